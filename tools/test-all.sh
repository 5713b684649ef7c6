#!/usr/bin/env bash
# Builds QIVRA three ways and runs every test: plain (unit, rendering, whole-program), the
# Debian package made from the plain build (installed with apt, tested, removed again),
# ASan+UBSan (unit and rendering) and TSan (the threaded irc and presence tests, and the
# whole-program chat and presence tests); then runs every fuzz target (a fourth build, with
# clang) for 30 seconds.
set -uo pipefail
cd "$(dirname "$0")/.."
# The whole-program tests make network namespaces and the package test installs with apt: both
# need root, so a user who is not root is asked for sudo once (the build folders are given back).
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "test-all: the tests need root, and there is no sudo" >&2; exit 1; }
  exec sudo bash "$0" "$@"
fi
jobs=$(nproc)
status=0
tsan_targets="qivra qivra-peer qivra_irc_tests qivra_presence_tests"
rm -f build-asan/.status build-tsan/.status

build() {  # dir, cmake args... (TARGETS, when set, names the targets to build)
  local dir=$1; shift
  local targets=()
  for t in ${TARGETS:-}; do targets+=(--target "$t"); done
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null &&
    cmake --build "$dir" -j "$jobs" "${targets[@]}" >"$dir.log" 2>&1 || { tail -50 "$dir.log"; return 1; }
}

echo "== module order of the includes  (at ${SECONDS} s)"
tools/check-layers || status=1

echo "== plain build: every test  (at ${SECONDS} s)"
plain_built=no
if build build; then
  plain_built=yes
  # The sanitizer builds go on beside the tests at the lowest priority: the whole-program
  # tests mostly wait on servers, timers and one another's namespaces, and leave the processors
  # idle most of the time (a quarter of one core on two), which the builds then take.
  (nice -n 19 bash -c "$(declare -f build); jobs=$jobs
     build build-asan -DQIVRA_SANITIZE=address,undefined; echo \$? >build-asan/.status
     TARGETS='$tsan_targets' build build-tsan -DQIVRA_SANITIZE=thread; echo \$? >build-tsan/.status
     fuzz/run.sh --build-only >/dev/null") &
  builder=$!
  (cd build && ctest --output-on-failure -j "$jobs" -LE e2e --timeout 300) || status=1
  # Two tests to a processor: they wait far more than they compute.
  (cd build && ctest --output-on-failure -j $((jobs * 2)) -L e2e --timeout 300) || status=1
  wait "$builder"
else status=1; fi

echo "== package: the .deb installed with apt, the installed program tested, the package removed  (at ${SECONDS} s)"
if [ $plain_built = yes ]; then bash tools/test-package.sh build || status=1; else status=1; fi

sanitizer_built() {  # dir, cmake args...: the build made beside the plain tests, else made now
  local dir=$1; shift
  [ "$(cat "$dir/.status" 2>/dev/null)" = 0 ] || build "$dir" "$@"
}

echo "== ASan+UBSan build: unit and rendering tests  (at ${SECONDS} s)"
if sanitizer_built build-asan -DQIVRA_SANITIZE=address,undefined; then
  (cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --output-on-failure -j "$jobs" -LE e2e --timeout 300) || status=1
else status=1; fi

echo "== TSan build: irc and presence tests, and the whole program's chat and presence tests  (at ${SECONDS} s)"
# Races are written to files beside the build and any there fails the step; the races TSan
# sees inside the font and GL libraries (built without it) are suppressed by name. Keys are
# typed more slowly for the slower program; a whole-program test that fails there is run once
# more, since this step looks for races (the plain step holds the tests to their results) and a
# program ten times slower under a loaded desktop now and then misses a typed key.
tsan_logs=$PWD/build-tsan/races
tsan_quiet=$PWD/tests/e2e/tsan-suppressions.txt  # named before the steps move into the build folder
if TARGETS="$tsan_targets" sanitizer_built build-tsan -DQIVRA_SANITIZE=thread; then
  rm -rf "$tsan_logs" && mkdir -p "$tsan_logs"
  (cd build-tsan && TSAN_OPTIONS=halt_on_error=1 \
    ctest --output-on-failure -j "$jobs" -L threaded --timeout 300) || status=1
  (cd build-tsan && E2E_TYPE_DELAY_MS=80 \
    TSAN_OPTIONS="log_path=$tsan_logs/race suppressions=$tsan_quiet" \
    ctest --output-on-failure -j "$jobs" -L e2e --timeout 300 --repeat until-pass:2 \
      -R 'e2e\.chat\.|e2e\.commands|e2e\.peers|e2e\.privacy|e2e\.flood' -E server_wait) || status=1
  if ls "$tsan_logs"/race.* >/dev/null 2>&1; then
    echo "TSan saw races in the whole program:"; cat "$tsan_logs"/race.*; status=1
  fi
else status=1; fi

echo "== fuzz targets: 30 s each on their corpus (clang, libFuzzer, ASan+UBSan)  (at ${SECONDS} s)"
fuzz/run.sh 30 || status=1

echo "== done in ${SECONDS} s"
[ -n "${SUDO_UID:-}" ] && chown -R "$SUDO_UID:${SUDO_GID:-$SUDO_UID}" build build-asan build-tsan build-fuzz 2>/dev/null
exit $status
