#!/usr/bin/env bash
# Runs each fuzz harness of the fuzz build (scripts/build.sh fuzz) for SECONDS
# seconds, starting from the committed seed corpus (fuzz/corpus/NAME) and the
# corpus earlier runs grew (ROOT/fuzz/corpus/NAME, kept out of git). Inputs
# that crash, leak, hang or trip a sanitizer are written to
# ROOT/fuzz/artifacts/. Exits 1 if any harness reported one. With
# FUZZ_FRESH=1 a run starts from the seeds alone and grows a corpus of its
# own, emptied first (ROOT/fuzz/fresh-corpus/NAME): replaying a large grown
# corpus takes minutes before any fuzzing starts, whatever SECONDS says.
# usage: fuzz.sh SECONDS [ROOT [HARNESS...]] (default build; scene and params)
set -uo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds=${1:?usage: fuzz.sh SECONDS [ROOT [HARNESS...]]}
root=$(realpath -m "${2:-$repo/build}")
shift $(($# < 2 ? $# : 2))
if (($# > 0)); then harnesses=("$@"); else harnesses=(scene params); fi
dir=$root/fuzz
mkdir -p "$dir/artifacts"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

failed=0
for harness in "${harnesses[@]}"; do
    program=$dir/${harness}_fuzzer
    corpus=$dir/corpus/$harness
    if [[ ${FUZZ_FRESH:-0} == 1 ]]; then
        corpus=$dir/fresh-corpus/$harness
        rm -rf "$corpus"
    fi
    log=$dir/$harness.log
    mkdir -p "$corpus"
    options=(-max_total_time="$seconds" -timeout=25 -rss_limit_mb=2048 -print_final_stats=1
        -artifact_prefix="$dir/artifacts/${harness}-")
    [[ -f $repo/fuzz/$harness.dict ]] && options+=(-dict="$repo/fuzz/$harness.dict")
    echo "--- $harness: $program for ${seconds}s (log: $log)"
    if "$program" "${options[@]}" "$corpus" "$repo/fuzz/corpus/$harness" >"$log" 2>&1; then
        grep -E '^stat::number_of_executed_units|^Done' "$log"
    else
        grep -E -A30 '^==[0-9]+==|^SUMMARY|runtime error|fuzz: after' "$log" | head -n 60
        echo "*** $harness: the fuzzer reported a finding (artifacts in $dir/artifacts)"
        failed=1
    fi
done
exit $failed
