"""The qivra-peer of the version before proof of origin and private discovery (commit 57d0a5f), for
the tests that check that a newer client still links with it. Built from the clone's own history:
`git archive` of that commit into BUILD/older/src (no worktree is registered), configured and
built there once, and kept for the next run.

    /usr/bin/python3 tests/e2e/older_peer.py BUILD_DIR     # builds it (minutes), prints its path

QIVRA_OLDER_PEER names a ready binary instead (a developer's own older build).
"""

import os
import subprocess
import sys

OLDER_COMMIT = "57d0a5f"
SOURCE = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
NOT_IN_HISTORY = 77  # a shallow clone: the tests that need it are skipped (ctest SKIP_RETURN_CODE)


def older_peer(build_dir, make=True):
    """The older qivra-peer's path, built into build_dir/older when make and not there yet;
    None when it cannot be had."""
    given = os.environ.get("QIVRA_OLDER_PEER")
    if given:
        return given if os.access(given, os.X_OK) else None
    folder = os.path.join(os.path.abspath(build_dir), "older")
    binary = os.path.join(folder, "build", "qivra-peer")
    stamp = os.path.join(folder, "commit")
    if os.access(binary, os.X_OK) and os.path.exists(stamp) and open(stamp).read().strip() == OLDER_COMMIT:
        return binary
    if not make:
        return None
    if subprocess.run(["git", "-C", SOURCE, "cat-file", "-e", OLDER_COMMIT + "^{commit}"],
                      stderr=subprocess.DEVNULL).returncode != 0:
        return None
    src = os.path.join(folder, "src")
    os.makedirs(src, exist_ok=True)
    archive = subprocess.Popen(["git", "-C", SOURCE, "archive", OLDER_COMMIT], stdout=subprocess.PIPE)
    subprocess.run(["tar", "-x", "-C", src], stdin=archive.stdout, check=True)
    if archive.wait() != 0:
        return None
    build = os.path.join(folder, "build")
    subprocess.run(["cmake", "-S", src, "-B", build, "-DCMAKE_BUILD_TYPE=RelWithDebInfo"], check=True,
                   stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", build, "-j2", "--target", "qivra-peer"], check=True, stdout=subprocess.DEVNULL)
    with open(stamp, "w") as f:
        f.write(OLDER_COMMIT + "\n")
    return binary


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    binary = older_peer(sys.argv[1])
    if not binary:
        print("commit %s is not in this clone's history: the older-client tests are skipped" % OLDER_COMMIT)
        return NOT_IN_HISTORY
    print(binary)
    return 0


if __name__ == "__main__":
    sys.exit(main())
