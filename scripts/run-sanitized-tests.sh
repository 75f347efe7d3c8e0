#!/usr/bin/env bash
# Runs the whole suite of a QUILLON_SANITIZE=ON build. The suppression files
# name only system libraries; a finding in our code fails the test it ran in.
#   scripts/run-sanitized-tests.sh <build folder> [jobs]
set -euo pipefail
BUILD=${1:?build folder}
JOBS=${2:-$(nproc)}
SUPP=$(cd "$(dirname "$0")/sanitizers" && pwd)
# libopencc frees with free() a dictionary it allocated with new; the check
# cannot be suppressed by library, so it is off for the whole run.
ASAN_BASE="detect_leaks=1:halt_on_error=1:detect_stack_use_after_return=0:alloc_dealloc_mismatch=0:suppressions=$SUPP/asan.supp"
export LSAN_OPTIONS="suppressions=$SUPP/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:suppressions=$SUPP/ubsan.supp"
cd "$BUILD"
status=0
# The core (every rule, parser and worker) with every check.
ASAN_OPTIONS="$ASAN_BASE" ctest --output-on-failure -j "$JOBS" --timeout 900 -E '^gui_' || status=1
# The widget tests load Qt WebEngine, which deletes a WebContentsAdapter
# through a base of another size. GCC's AddressSanitizer can switch that one
# check off only for the whole process, not by library, so it is off for
# these programs alone.
ASAN_OPTIONS="$ASAN_BASE:new_delete_type_mismatch=0" \
  ctest --output-on-failure -j "$JOBS" --timeout 900 -R '^gui_' || status=1
exit $status
