#!/usr/bin/env bash
# Builds every target and runs every test: native, sanitizer, 32-bit Linux
# under qemu-i386, Windows x64 under wine, checks of the plug-in files, and a
# short run of each fuzz harness from its corpus.
# Goes on after a failure so that one run shows everything; exits 1 if anything
# failed. usage: test-all.sh [ROOT] (default build)
set -uo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
root=$(realpath -m "${1:-$repo/build}")
logs=$root/test-logs
mkdir -p "$logs"
cd "$repo"

totalPassed=0
totalFailed=0
totalSkipped=0
summary=()

# runGtest LABEL COMMAND...: one GoogleTest program; adds its counts.
runGtest() {
    local label=$1
    shift
    local log="$logs/$label.log"
    echo "--- $label: $*"
    # Windows programs end their lines with CR LF.
    "$@" --gtest_brief=1 2>&1 | tr -d '\r' | tee "$log"
    local status=${PIPESTATUS[0]}
    local passed failed skipped
    passed=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\?\.$/\1/p' "$log" | tail -1)
    failed=$(sed -n 's/^\[  FAILED  \] \([0-9]*\) tests\?[.,].*$/\1/p' "$log" | tail -1)
    skipped=$(sed -n 's/^\[  SKIPPED \] \([0-9]*\) tests\?[.,].*$/\1/p' "$log" | tail -1)
    passed=${passed:-0}
    failed=${failed:-0}
    skipped=${skipped:-0}
    if ((status != 0 && failed == 0)); then
        echo "*** $label exited with status $status without a test count (crash or sanitizer report)"
        failed=1
    elif ((status == 0 && passed + failed + skipped == 0)); then
        echo "*** $label ran no test"
        failed=1
    fi
    stagePassed=$((stagePassed + passed))
    stageFailed=$((stageFailed + failed))
    stageSkipped=$((stageSkipped + skipped))
}

# runTestPrograms PREFIX DIR SUFFIX [RUNNER...]: every test program built in
# DIR (files named *SUFFIX), each through RUNNER when one is given.
runTestPrograms() {
    local prefix=$1 dir=$2 suffix=$3
    shift 3
    local program found=0
    for program in "$dir"/*"$suffix"; do
        [[ -f "$program" && -x "$program" ]] || continue
        found=1
        runGtest "$prefix-$(basename "$program" "$suffix")" "$@" "$program"
    done
    if ((found == 0)); then
        echo "*** no test programs in $dir"
        stageFailed=$((stageFailed + 1))
    fi
}

# checkPlugin FILE ARGS...: the file's exports, imports and property list.
checkPlugin() {
    if "$repo/scripts/check_plugin.py" "$@" >"$logs/check.log" 2>&1; then
        grep -E '^checks:' "$logs/check.log" | sed "s|^|--- $1 |"
        stagePassed=$((stagePassed + 1))
    else
        cat "$logs/check.log"
        stageFailed=$((stageFailed + 1))
    fi
}

# stage NAME: builds NAME, then runs the stage's tests (function test_NAME).
stage() {
    local name=$1 started buildSeconds testSeconds
    stagePassed=0
    stageFailed=0
    stageSkipped=0
    echo
    echo "=== $name: build"
    started=$SECONDS
    # The native build compiles the benchmarks too (they are not run here),
    # so that they keep building as the code under them changes.
    if PATHBLOOM_BENCH=ON "$repo/scripts/build.sh" "$name" "$root" >"$logs/$name-build.log" 2>&1; then
        tail -n 3 "$logs/$name-build.log"
        buildSeconds=$((SECONDS - started))
        echo "=== $name: tests"
        started=$SECONDS
        "test_$name"
        testSeconds=$((SECONDS - started))
    else
        buildSeconds=$((SECONDS - started))
        testSeconds=0
        grep -E -B2 -A12 'error|FAILED' "$logs/$name-build.log" | head -n 80
        echo "*** $name: build failed (log: $logs/$name-build.log)"
        stageFailed=$((stageFailed + 1))
    fi
    totalPassed=$((totalPassed + stagePassed))
    totalFailed=$((totalFailed + stageFailed))
    totalSkipped=$((totalSkipped + stageSkipped))
    summary+=("$(printf '%-7s %-4s build %4ds  tests %4ds  %5d passed, %d failed, %d skipped' "$name" \
        "$( ((stageFailed == 0)) && echo ok || echo FAIL)" "$buildSeconds" "$testSeconds" \
        "$stagePassed" "$stageFailed" "$stageSkipped")")
}

test_native() {
    local dir=$root
    checkPlugin "$dir/plugin/VomrelPathBloom.so" --profile X64
    checkPlugin "$dir/plugin-x86profile/VomrelPathBloom.so" --profile X86
    runTestPrograms native "$dir/tests" ""
}

test_asan() {
    local dir=$root/asan
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    runTestPrograms asan "$dir/tests" ""
    unset ASAN_OPTIONS UBSAN_OPTIONS
}

# Each harness for 25 s from its seed corpus: a crash, leak, hang, sanitizer
# report or anything left in minihost's ledger fails it. Committed inputs of
# past findings are among the seeds, so each run replays them first.
test_fuzz() {
    local harness
    for harness in scene params; do
        if FUZZ_FRESH=1 "$repo/scripts/fuzz.sh" 25 "$root" "$harness" 2>&1 | tee "$logs/fuzz-$harness.log"; ((PIPESTATUS[0] == 0)); then
            stagePassed=$((stagePassed + 1))
        else
            stageFailed=$((stageFailed + 1))
        fi
    done
}

test_i686() {
    local dir=$root/linux-i686
    checkPlugin "$dir/plugin/VomrelPathBloom.so" --profile X86
    runTestPrograms i686 "$dir/tests" "" qemu-i386 -L /
    # Again on a processor without AVX (Westmere: SSE2 to SSE4.2), where the
    # drawing takes its SSE2 forms: the kernels and walks against their
    # references, and whole frames against the native build's.
    runGtest i686-sse2-frame_tests qemu-i386 -cpu Westmere -L / "$dir/tests/frame_tests"
    runGtest i686-sse2-unit_tests qemu-i386 -cpu Westmere -L / "$dir/tests/unit_tests" \
        --gtest_filter='PixelKernelsTest.*:ShapeRasteriserTest.*:LayerStamp*'
}

test_win64() {
    local dir=$root/win64
    checkPlugin "$dir/plugin/VomrelPathBloom.aex" --profile X64
    checkPlugin "$dir/plugin-x86profile/VomrelPathBloom.aex" --profile X86 --machine x64
    export WINEPREFIX=$dir/wineprefix
    runTestPrograms win64 "$dir/tests" .exe "$repo/scripts/wine-run.sh"
    wineserver -k 2>/dev/null || true
    unset WINEPREFIX
}

test_win32() {
    checkPlugin "$root/win32/plugin/VomrelPathBloom.aex" --profile X86
}

started=$SECONDS
for name in ${PATHBLOOM_STAGES:-native asan fuzz i686 win64 win32}; do
    stage "$name"
done

echo
echo "=== summary (logs in $logs, $((SECONDS - started))s in all)"
printf '%s\n' "${summary[@]}"
if ((totalFailed == 0)); then
    echo "ALL TESTS PASSED"
else
    echo "SOME TESTS FAILED"
fi
echo "$totalPassed passed, $totalFailed failed, $totalSkipped skipped"
((totalFailed == 0))
