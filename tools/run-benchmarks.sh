#!/usr/bin/env bash
# Runs every benchmark program that the build made.
set -euo pipefail
build=${1:-build/default}
found=0
for bench in "$build"/benchmarks/benchmark_*; do
  [ -x "$bench" ] || continue
  found=1
  echo "== $(basename "$bench")"
  "$bench"
done
[ "$found" = 1 ] || echo "no benchmarks built"
