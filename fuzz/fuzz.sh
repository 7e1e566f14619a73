#!/usr/bin/env bash
# Builds the libFuzzer targets (clang) and runs each for a set time, two at a
# time, then prints executions and findings per target.
#   fuzz/fuzz.sh [seconds per target, default 60] [target...]
# BUILD_DIR (default build-fuzz) and JOBS (default 2) may be set. Each target
# starts from fuzz/corpus/<target> and grows a working corpus in
# $BUILD_DIR/fuzz-work/<target>; findings (crash-, leak-, timeout-, oom-
# inputs) land in $BUILD_DIR/fuzz-findings/<target>/. Copy a finding into
# fuzz/corpus/<target>/ once it is fixed, so that the tests replay it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh fuzz
root=$PWD
seconds=${1:-60}
shift || true
build=${BUILD_DIR:-build-fuzz}
jobs=${JOBS:-2}
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=($(sed -n 's/^set(VELLUMARK_FUZZ_TARGETS \(.*\))$/\1/p' fuzz/targets.cmake))
fi

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DVELLUMARK_FUZZ=ON -DBUILD_TESTING=OFF -Wno-dev >/dev/null
cmake --build "$build" -j"$jobs" --target "${targets[@]/#/fuzz_}" >/dev/null

run_one() {
  local t=$1
  local work="$root/$build/fuzz-work/$t" found="$root/$build/fuzz-findings/$t"
  mkdir -p "$work" "$found"
  # Leaks count as findings; a target stops at its first finding.
  ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1} \
  "$root/$build/fuzz/fuzz_$t" "$work" "$root/fuzz/corpus/$t" \
    -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=8192 \
    -artifact_prefix="$found/" -print_final_stats=1 >"$root/$build/fuzz-findings/$t.log" 2>&1 || true
}

start=$(date +%s)
running=0
for t in "${targets[@]}"; do
  run_one "$t" &
  running=$((running + 1))
  if [ "$running" -ge "$jobs" ]; then
    wait -n
    running=$((running - 1))
  fi
done
wait

printf '%-12s %12s %10s %8s  %s\n' target executions exec/s findings log
for t in "${targets[@]}"; do
  log="$build/fuzz-findings/$t.log"
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  [ -n "$runs" ] || runs=$(grep -o '^#[0-9]*' "$log" | tail -1 | tr -d '#')
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  findings=$(find "$build/fuzz-findings/$t" -type f | wc -l)
  printf '%-12s %12s %10s %8s  %s\n' "$t" "${runs:-0}" "${rate:--}" "$findings" "$log"
done
echo "wall time: $(( $(date +%s) - start )) s for ${#targets[@]} targets of ${seconds} s, ${jobs} at a time"
