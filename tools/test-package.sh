#!/usr/bin/env bash
# Builds the Debian package from a build folder (default build/), installs it with apt, tests
# the installed program, then removes it and every package apt brought in with it, so that the
# machine is left as it was. Run as root, or as a user with sudo.
#
#   bash tools/test-package.sh [build-folder]
set -uo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
sudo_cmd=""
[ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
export DEBIAN_FRONTEND=noninteractive
failures=0
scratch=$(mktemp -d)
installed=""

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
check() {  # description, command...
  local what=$1; shift
  if "$@" >"$scratch/out" 2>&1; then echo "ok: $what"; else fail "$what"; sed 's/^/  /' "$scratch/out" | tail -20; fi
}

# One run at a time on a machine: runs share the installed package.
exec 9>/tmp/qivra-package-test.lock
flock -w 600 9 || { echo "FAIL: another package test held the lock for 10 minutes"; exit 1; }

if dpkg-query -W -f '${Status}' qivra 2>/dev/null | grep -q "ok installed"; then
  echo "FAIL: qivra is already installed here; this test would replace it (apt-get purge qivra first)"
  exit 1
fi

remove() {
  [ -n "$installed" ] || return 0
  # What apt brought in besides qivra goes too; then nothing of the package may stay.
  comm -13 "$scratch/before" <(dpkg-query -W -f '${Package}\n' | sort) | grep -vx qivra >"$scratch/added"
  $sudo_cmd apt-get purge -y -qq -o DPkg::Lock::Timeout=300 qivra $(cat "$scratch/added") >"$scratch/purge.log" 2>&1 ||
    { fail "apt-get purge"; cat "$scratch/purge.log"; }
  if dpkg-query -W -f '${Status}' qivra 2>/dev/null | grep -q installed; then fail "qivra is still installed"; fi
  local left=0
  while read -r path; do
    [ -f "$path" ] || [ -L "$path" ] && { echo "  left behind: $path"; left=1; }
  done <"$scratch/files"
  [ $left -eq 0 ] && echo "ok: removed, with $(wc -l <"$scratch/added") other package(s) apt had added; no file left" ||
    fail "files of the package are left after removal"
  installed=""
}
finish() { remove; rm -rf "$scratch"; }
trap finish EXIT

echo "-- package"
rm -rf "$build/package"
(cd "$build" && nice cpack -G DEB >"$scratch/cpack.log" 2>&1) || { cat "$scratch/cpack.log"; fail "cpack"; exit 1; }
deb=$(ls "$build"/package/qivra_*.deb 2>/dev/null | head -1)
[ -n "$deb" ] || { fail "no .deb was made"; exit 1; }
echo "ok: $(basename "$deb"), depends: $(dpkg-deb -f "$deb" Depends)"

dpkg-query -W -f '${Package}\n' | sort >"$scratch/before"
installed=yes
if ! $sudo_cmd apt-get install -y -qq -o DPkg::Lock::Timeout=300 "$(realpath "$deb")" >"$scratch/apt.log" 2>&1; then
  cat "$scratch/apt.log"; fail "apt-get install"; exit 1
fi
dpkg-query -L qivra | sort >"$scratch/files"
echo "ok: installed with apt ($(grep -c . "$scratch/files") paths)"

echo "-- the installed files"
version=$(sed -n 's/^project(qivra VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
check "qivra --version without a display" \
  sh -c "[ \"\$(env -u DISPLAY qivra --version)\" = 'qivra $version' ]"
check "qivra --version while another copy holds the lock" \
  sh -c "d=\$(mktemp -d) && flock \$d/QIVRA-Beta-2.lock env -u DISPLAY QIVRA_LOCK_DIR=\$d qivra --version | grep -qx 'qivra $version'; s=\$?; rm -rf \$d; exit \$s"
check "qivra --help names the installed default" \
  sh -c "env -u DISPLAY qivra --help | grep -q '^ *the installed default: /usr/share/qivra/config.txt$'"
check "qivra with an unknown option exits 2" sh -c "qivra --no-such-option 2>/dev/null; [ \$? -eq 2 ]"
check "qivra-peer --version" sh -c "[ \"\$(qivra-peer --version)\" = 'qivra-peer $version' ]"
check "desktop-file-validate" desktop-file-validate /usr/share/applications/org.qivra.qivra.desktop
check "appstreamcli validate" appstreamcli validate --no-net /usr/share/metainfo/org.qivra.qivra.metainfo.xml
check "the desktop entry's program and icon are installed" sh -c '
  exec_line=$(sed -n "s/^Exec=//p" /usr/share/applications/org.qivra.qivra.desktop)
  icon=$(sed -n "s/^Icon=//p" /usr/share/applications/org.qivra.qivra.desktop)
  [ "$(command -v "$exec_line")" = /usr/bin/qivra ] &&
  for s in 16 24 32 48 64 128 256; do [ -s "/usr/share/icons/hicolor/${s}x${s}/apps/$icon.png" ] || exit 1; done &&
  [ -s "/usr/share/icons/hicolor/scalable/apps/$icon.svg" ]'
check "the man page formats without warnings" \
  sh -c '[ -z "$(MANWIDTH=80 man --warnings -l /usr/share/man/man1/qivra.1 2>&1 >/dev/null)" ]'
check "the README and the data are installed" \
  sh -c '[ -s /usr/share/doc/qivra/README.md ] && [ -s /usr/share/qivra/world.txt ] && [ -s /usr/share/qivra/config.txt ]'

echo "-- the installed program from an empty folder"
if $sudo_cmd env QIVRA_PROGRAM=/usr/bin/qivra /usr/bin/python3 tests/e2e/test_installed.py >"$scratch/e2e.log" 2>&1; then
  echo "ok: $(tail -3 "$scratch/e2e.log" | grep -m1 '^Ran')"
else
  cat "$scratch/e2e.log"; fail "the installed program's whole-program test"
fi

echo "-- removal"
remove
[ $failures -eq 0 ] && echo "package: all passed" || echo "package: $failures failed"
exit $((failures > 0))
