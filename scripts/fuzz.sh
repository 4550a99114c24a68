#!/usr/bin/env bash
# Builds the libFuzzer targets (preset fuzz, clang) and runs each over its seed corpus.
#   scripts/fuzz.sh            a bounded run of every target, as the test command does
#   scripts/fuzz.sh 600        every target for 600 seconds
#   scripts/fuzz.sh 0 NAME     one target until stopped (Ctrl+C)
# New inputs go to build/fuzz/corpus/<name>; crashes to build/fuzz/crashes. Keep a crash as a
# seed in tests/fuzz/corpus/<name> once it is fixed.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-}"
only="${2:-}"
runs="${DRAVIK_FUZZ_RUNS:-100000}"

scripts/install-deps.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

mkdir -p build/fuzz/crashes
failed=()
for seeds in tests/fuzz/corpus/*/; do
    name="$(basename "$seeds")"
    if [ -n "$only" ] && [ "$name" != "$only" ]; then
        continue
    fi
    work="build/fuzz/corpus/${name}"
    mkdir -p "$work"
    if [ -z "$seconds" ]; then
        target_runs="$runs"
        # An exchange runs the whole channel and log per input, a hundred times the codec's cost.
        if [ "$name" = transaction ] && [ -z "${DRAVIK_FUZZ_RUNS:-}" ]; then
            target_runs=20000
        fi
        limit=(-runs="$target_runs")
    elif [ "$seconds" = 0 ]; then
        limit=()
    else
        limit=(-max_total_time="$seconds")
    fi
    echo "=== fuzz ${name}: ${limit[*]:-until stopped}"
    # With pipefail the fuzzer's own status survives the filter, which never fails.
    if ! "build/fuzz/bin/fuzz_${name}" "$work" "$seeds" "${limit[@]}" -max_len=4096 \
        -artifact_prefix="build/fuzz/crashes/${name}-" -print_final_stats=1 2>&1 \
        | { grep -E '^(#[0-9]+[[:space:]]+DONE|stat::number_of_executed_units|==[0-9]+==|SUMMARY|artifact)' || true; }; then
        failed+=("${name}")
    fi
done

if [ "${#failed[@]}" -ne 0 ]; then
    echo "=== fuzzing failed: ${failed[*]} (inputs in build/fuzz/crashes)" >&2
    exit 1
fi
