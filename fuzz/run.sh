#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, ASan+UBSan) in build-fuzz/ and runs each one for
# a while on its corpus, two at a time; prints each run's count of inputs and fails when any
# target crashed, hung or leaked (its log's end is printed and the input kept).
#
# Usage: fuzz/run.sh [SECONDS] [TARGET...]     (default: 30 seconds each, every target)
#        fuzz/run.sh --build-only               (builds the targets, runs none)
#   CI runs it with the default; run it longer by hand, e.g. fuzz/run.sh 600 ms3d.
# Inputs that found new code pile up in build-fuzz/corpus/<target>/ and are used again on the
# next run; a crashing input is kept as build-fuzz/crashes/<target>/crash-*.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD  # absolute paths below: a target may change its working folder
build_only=no
[ "${1:-}" = --build-only ] && build_only=yes && shift
seconds=${1:-30}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(irc_lines datagrams seal config window_place world bitmap ms3d)
jobs=${FUZZ_JOBS:-2}
out=$root/build-fuzz

if ! { CC=clang CXX=clang++ nice cmake -S . -B "$out" -DQIVRA_FUZZ=ON -DBUILD_TESTING=OFF \
         -DCMAKE_BUILD_TYPE=RelWithDebInfo >"$out.log" 2>&1 &&
       nice cmake --build "$out" -j "$jobs" --target qivra_fuzz >>"$out.log" 2>&1; }; then
  tail -40 "$out.log"
  echo "fuzz: the build failed"
  exit 1
fi
[ $build_only = yes ] && exit 0

run_one() {  # target: runs it, leaves its log, returns libFuzzer's status
  local t=$1
  mkdir -p "$out/corpus/$t" "$out/crashes/$t"
  nice "$out/fuzz/fuzz_$t" "$out/corpus/$t" "$root/fuzz/corpus/$t" -max_total_time="$seconds" \
    -timeout=20 -rss_limit_mb=2048 -artifact_prefix="$out/crashes/$t/" >"$out/fuzz_$t.log" 2>&1
}

report() {  # target, status
  local t=$1 status=$2 done
  done=$(grep -o 'Done [0-9]* runs in [0-9]* second' "$out/fuzz_$t.log" | tail -1)
  if [ "$status" -eq 0 ] && [ -n "$done" ]; then
    echo "fuzz_$t: ${done#Done }s, no crash"
    return 0
  fi
  echo "fuzz_$t: FAILED (status $status); the end of build-fuzz/fuzz_$t.log:"
  tail -40 "$out/fuzz_$t.log"
  return 1
}

status=0
declare -A pids
for t in "${targets[@]}"; do
  [ -x "$out/fuzz/fuzz_$t" ] || { echo "fuzz: no target fuzz_$t"; status=1; continue; }
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n; done
  run_one "$t" &
  pids[$t]=$!
done
for t in "${targets[@]}"; do
  [ -n "${pids[$t]:-}" ] || continue
  wait "${pids[$t]}"
  report "$t" $? || status=1
done
exit $status
