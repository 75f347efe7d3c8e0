#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for SECONDS each, on a scratch copy
# of its seeds (libFuzzer adds what it finds to the first folder), JOBS
# targets side by side (one per processor by default), and fails when any
# target finds something.
#   [JOBS=n] scripts/run-fuzz.sh <fuzz build folder> <seconds per target> [target...]
set -euo pipefail
BUILD=${1:?fuzz build folder}
SECONDS_EACH=${2:?seconds per target}
shift 2
JOBS=${JOBS:-$(nproc)}
ROOT=$(cd "$(dirname "$0")/.." && pwd)
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in "$ROOT"/fuzz/*_fuzzer.cpp; do targets+=("$(basename "$f" .cpp)"); done
fi

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

# One target; its exit status lands in $WORK/<target>.rc.
run_one() {
  local t=$1 corpus="$ROOT/fuzz/corpus/${1%_fuzzer}" rc=0
  mkdir -p "$WORK/$t"
  [ -d "$corpus" ] && cp -r "$corpus/." "$WORK/$t/"
  nice -n 19 "$BUILD/$t" -max_total_time="$SECONDS_EACH" -rss_limit_mb=2048 \
    -artifact_prefix="$WORK/$t-" -print_final_stats=1 "$WORK/$t" > "$WORK/$t.log" 2>&1 || rc=$?
  echo "$rc" > "$WORK/$t.rc"
}

running=0
for t in "${targets[@]}"; do
  if [ "$running" -ge "$JOBS" ]; then
    wait -n || true
    running=$((running - 1))
  fi
  echo "== $t: ${SECONDS_EACH}s"
  run_one "$t" &
  running=$((running + 1))
done
wait || true

failed=0
for t in "${targets[@]}"; do
  if [ "$(cat "$WORK/$t.rc" 2>/dev/null || echo 1)" != 0 ]; then
    echo "FINDING in $t:"; tail -60 "$WORK/$t.log"
    mkdir -p "$ROOT/build-fuzz-findings"
    cp "$WORK/$t-"* "$ROOT/build-fuzz-findings/" 2>/dev/null || true
    failed=1
  else
    echo "$t: $(grep -E "^stat::number_of_executed_units|^Done " "$WORK/$t.log" | tr '\n' ' ')"
  fi
done
exit $failed
