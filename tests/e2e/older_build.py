"""qivra-peer as an older commit of this repository built it, for tests of what an older client
sees: built once into BUILD_DIR/older-COMMIT (the commit's files from git, a CMake build of
its own without the window), then reused.

    from older_build import older_peer, OlderHistoryMissing
    peer = older_peer("57d0a5f", build_dir)   # the path of its qivra-peer

    /usr/bin/python3 tests/e2e/older_build.py 57d0a5f build   # prints the path

The first build takes a minute or two on two cores; a lock keeps tests that run side by side
from building the same commit twice. QIVRA_OLDER_PEER names a ready binary instead (a
developer's own older build). Without the commit in the history the command exits with 77,
which ctest takes as a skip.
"""

import fcntl
import os
import shutil
import subprocess
import sys

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


NOT_IN_HISTORY = 77


class OlderHistoryMissing(Exception):
    """The repository's git history does not hold the commit (a shallow clone, or none)."""


def _git(*argv, **kwargs):
    # The tests run as root in a tree another user may own: git would refuse to read it.
    return subprocess.run(["git", "-c", "safe.directory=*", "-C", SOURCE] + list(argv), **kwargs)


def older_peer(commit, build_dir):
    """The path of qivra-peer built from commit. Raises OlderHistoryMissing when git cannot
    find the commit; a failed build raises subprocess.CalledProcessError."""
    given = os.environ.get("QIVRA_OLDER_PEER")
    if given:
        return given
    try:
        found = _git("rev-parse", "--verify", "--quiet", commit + "^{commit}", stdout=subprocess.DEVNULL)
    except FileNotFoundError:
        raise OlderHistoryMissing("git is not installed: commit %s cannot be read" % commit)
    if found.returncode != 0:
        raise OlderHistoryMissing("commit %s is not in the git history of %s (a shallow clone?)" % (commit, SOURCE))
    folder = os.path.join(os.path.abspath(build_dir), "older-" + commit)
    source, build = os.path.join(folder, "src"), os.path.join(folder, "build")
    peer = os.path.join(build, "qivra-peer")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "lock"), "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)  # released when the file closes
        if os.access(peer, os.X_OK):
            return peer
        unpacked = os.path.join(source, ".unpacked")
        if not os.path.exists(unpacked):  # an unpacking cut short is done again
            shutil.rmtree(source, ignore_errors=True)
            os.makedirs(source)
            archive = _git("archive", "--format=tar", commit, stdout=subprocess.PIPE, check=True).stdout
            subprocess.run(["tar", "-x", "-C", source], input=archive, check=True)
            open(unpacked, "w").close()
        quiet = {"stdout": subprocess.DEVNULL, "check": True}
        subprocess.run(["cmake", "-S", source, "-B", build, "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
                        "-DQIVRA_GUI=OFF", "-DBUILD_TESTING=OFF"], **quiet)
        subprocess.run(["cmake", "--build", build, "-j2", "--target", "qivra-peer"], **quiet)
    return peer


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit("usage: older_build.py COMMIT BUILD_DIR")
    try:
        print(older_peer(sys.argv[1], sys.argv[2]))
    except OlderHistoryMissing as missing:
        print("the older-client tests are skipped: %s" % missing)
        sys.exit(NOT_IN_HISTORY)
