#!/usr/bin/env bash
# Runs every benchmark program and keeps its JSON beside it in build/bench/.
set -euo pipefail
build=${1:-build}
out="$build/bench"
mkdir -p "$out"
shopt -s nullglob
for b in "$out"/bench_*; do
  [ -x "$b" ] && [ -f "$b" ] || continue
  case "$b" in *.json) continue ;; esac
  name=$(basename "$b")
  echo "== $name"
  QT_QPA_PLATFORM=offscreen "$b" --benchmark_out="$out/$name.json" --benchmark_out_format=json
done
