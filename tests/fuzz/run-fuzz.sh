#!/usr/bin/env bash
# Runs each fuzz target for SECONDS on its seeds and a corpus kept in the build dir.
# Exits non-zero when a target finds a crash; the input is left in the build dir.
set -euo pipefail
build=${1:-build/fuzz}
seconds=${2:-20}
"$build/tests/fuzz/corvalin-fuzz-seeds" "$build/seeds"
status=0
# Each line of targets.txt (written by tests/fuzz/CMakeLists.txt) is TARGET:SEEDS.
while IFS= read -r target; do
    [ -n "$target" ] || continue
    name=${target%%:*}
    seeds=${target##*:}
    corpus="$build/corpus/$name"
    mkdir -p "$corpus" "$build/crashes"
    # The CCF files that cost a reader most are larger than libFuzzer's 4 KB default.
    limits=()
    if [ "$name" = ccf_reader ]; then limits=(-max_len=65536); fi
    echo "== fuzz_$name for ${seconds}s"
    if ! "$build/tests/fuzz/fuzz_$name" -max_total_time="$seconds" -print_final_stats=1 "${limits[@]}" \
        -artifact_prefix="$build/crashes/$name-" "$corpus" "$build/seeds/$seeds" </dev/null \
        2> "$build/fuzz_$name.log"; then
        status=1
    fi
    grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb)|ERROR|SUMMARY' "$build/fuzz_$name.log" || true
done < "$build/tests/fuzz/targets.txt"
exit $status
