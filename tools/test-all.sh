#!/usr/bin/env bash
# Builds QIVRA three ways and runs every test: plain (unit, rendering, whole-program),
# ASan+UBSan (unit and rendering) and TSan (the threaded irc and presence tests); then runs
# every fuzz target for 30 seconds.
set -uo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
status=0

build() {  # dir, cmake args...
  local dir=$1; shift
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null &&
    cmake --build "$dir" -j "$jobs" >"$dir.log" 2>&1 || { tail -50 "$dir.log"; return 1; }
}

echo "== module order of the includes"
tools/check-layers || status=1

echo "== plain build: every test"
if build build; then
  (cd build && ctest --output-on-failure -j "$jobs" --timeout 300) || status=1
else status=1; fi

echo "== ASan+UBSan build: unit and rendering tests"
if build build-asan -DQIVRA_SANITIZE=address,undefined; then
  (cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --output-on-failure -j "$jobs" -LE e2e --timeout 300) || status=1
else status=1; fi

echo "== TSan build: irc and presence tests"
if build build-tsan -DQIVRA_SANITIZE=thread -DQIVRA_GUI=OFF; then
  (cd build-tsan && TSAN_OPTIONS=halt_on_error=1 \
    ctest --output-on-failure -j "$jobs" -L threaded --timeout 300) || status=1
else status=1; fi

echo "== fuzz targets: 30 s each on their corpus (clang, libFuzzer, ASan+UBSan)"
fuzz/run.sh 30 || status=1

exit $status
