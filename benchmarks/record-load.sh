#!/usr/bin/env bash
# Four processes append 1,000 record lines each to one file at once; the file must hold
# 4,000 whole lines that verify as one chain. Then single bytes of a 1,000-line record
# are changed in turn (TAMPER_SAMPLES of them, spread evenly) and the changes that
# verification misses are counted.
# usage: benchmarks/record-load.sh BUILD_DIR [TAMPER_SAMPLES]
set -euo pipefail
build=${1:?build folder}
samples=${2:-5000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
log=$work/record.jsonl
for i in 1 2 3 4; do "$build/benchmarks/benchmark_record" append "$log" 1000 & done
wait
echo "lines: $(wc -l <"$log")"
"$build/corvalin-cli" log --verify "$log"
"$build/benchmarks/benchmark_record" append "$work/short.jsonl" 1000 >/dev/null
"$build/benchmarks/benchmark_record" tamper "$work/short.jsonl" "$samples"
