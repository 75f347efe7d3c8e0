#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for SECONDS each, on a scratch copy
# of its seeds (libFuzzer adds what it finds to the first folder), and fails
# on the first finding.
#   scripts/run-fuzz.sh <fuzz build folder> <seconds per target> [target...]
set -euo pipefail
BUILD=${1:?fuzz build folder}
SECONDS_EACH=${2:?seconds per target}
shift 2
ROOT=$(cd "$(dirname "$0")/.." && pwd)
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in "$ROOT"/fuzz/*_fuzzer.cpp; do targets+=("$(basename "$f" .cpp)"); done
fi

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
failed=0
for t in "${targets[@]}"; do
  corpus="$ROOT/fuzz/corpus/${t%_fuzzer}"
  mkdir -p "$WORK/$t"
  [ -d "$corpus" ] && cp -r "$corpus/." "$WORK/$t/"
  echo "== $t: ${SECONDS_EACH}s"
  if ! nice -n 19 "$BUILD/$t" -max_total_time="$SECONDS_EACH" -rss_limit_mb=2048 \
        -artifact_prefix="$WORK/$t-" -print_final_stats=1 "$WORK/$t" > "$WORK/$t.log" 2>&1; then
    echo "FINDING in $t:"; tail -60 "$WORK/$t.log"
    mkdir -p "$ROOT/build-fuzz-findings"
    cp "$WORK/$t-"* "$ROOT/build-fuzz-findings/" 2>/dev/null || true
    failed=1
  else
    grep -E "^stat::number_of_executed_units|^Done " "$WORK/$t.log" | tr '\n' ' '; echo
  fi
done
exit $failed
