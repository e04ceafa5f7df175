#!/usr/bin/env bash
# Configures (with Ninja) and builds one of the project's builds. All share the
# same sources; ROOT (default build) holds the native build, the others below it.
#
#   build.sh native [ROOT]  Linux x64: plug-in, minihost, pathbloom, tests  -> ROOT
#   build.sh asan   [ROOT]  the same with AddressSanitizer+UBSan            -> ROOT/asan
#   build.sh fuzz   [ROOT]  clang, libFuzzer harnesses and the plug-in,
#                           with coverage, AddressSanitizer+UBSan          -> ROOT/fuzz
#   build.sh i686   [ROOT]  Linux 32-bit: plug-in and unit_tests            -> ROOT/linux-i686
#   build.sh win64  [ROOT]  Windows x64 DLL (.aex) and unit_tests.exe       -> ROOT/win64
#   build.sh win32  [ROOT]  Windows 32-bit DLL (.aex) only                   -> ROOT/win32
#   build.sh dir NAME [ROOT]  prints the build folder of NAME
#
# JOBS (default 2) limits parallel compiles; EXTRA_CMAKE_ARGS is added to the
# configure step; PATHBLOOM_BENCH=ON adds the benchmarks to the native build.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
jobs=${JOBS:-2}

buildDir() {
    local name=$1 root=$2
    case $name in
        native) echo "$root" ;;
        asan) echo "$root/asan" ;;
        fuzz) echo "$root/fuzz" ;;
        i686) echo "$root/linux-i686" ;;
        win64) echo "$root/win64" ;;
        win32) echo "$root/win32" ;;
        *) echo "unknown build: $name" >&2; return 2 ;;
    esac
}

configureAndBuild() {
    local dir=$1
    shift
    # shellcheck disable=SC2086
    cmake -S "$repo" -B "$dir" -G Ninja "$@" ${EXTRA_CMAKE_ARGS:-} >"$dir/configure.log" 2>&1 || {
        cat "$dir/configure.log"
        echo "build.sh: configuring $dir failed" >&2
        return 1
    }
    # shellcheck disable=SC2086
    cmake --build "$dir" -j "$jobs" ${buildTargets:+--target $buildTargets}
}

# Cross builds write their property lists with the build machine's pipl_tool.
nativePiplTool() {
    local root=$1
    if [[ ! -f "$root/build.ninja" ]]; then
        mkdir -p "$root"
        cmake -S "$repo" -B "$root" -G Ninja -DCMAKE_BUILD_TYPE=Release ${EXTRA_CMAKE_ARGS:-} >"$root/configure.log" 2>&1 || {
            cat "$root/configure.log" >&2
            echo "build.sh: configuring $root failed" >&2
            return 1
        }
    fi
    cmake --build "$root" -j "$jobs" --target pipl_tool >&2
    echo "$root/pipl_tool"
}

# The other builds compare their frames with the native build's.
frameReference() {
    echo "-DPATHBLOOM_FRAMES_REFERENCE=$1/same-frames"
}

name=${1:?usage: build.sh native|asan|fuzz|i686|win64|win32 [ROOT]}
if [[ $name == dir ]]; then
    buildDir "${2:?}" "$(realpath -m "${3:-build}")"
    exit
fi
root=$(realpath -m "${2:-$repo/build}")
dir=$(buildDir "$name" "$root")
mkdir -p "$dir"

case $name in
    native)
        configureAndBuild "$dir" -DCMAKE_BUILD_TYPE=Release -DPATHBLOOM_BENCH="${PATHBLOOM_BENCH:-OFF}"
        ;;
    asan)
        # -O1 with line tables: much quicker to compile than -O2 -g, still readable reports.
        configureAndBuild "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPATHBLOOM_SANITIZE=ON "$(frameReference "$root")" \
            -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g1"
        ;;
    fuzz)
        # Only the harnesses and what they load: the tests run in the other builds.
        CC=clang CXX=clang++ buildTargets="scene_fuzzer params_fuzzer" configureAndBuild "$dir" \
            -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPATHBLOOM_FUZZ=ON -DPATHBLOOM_TESTS=OFF \
            -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g1"
        ;;
    i686)
        tool=$(nativePiplTool "$root")
        configureAndBuild "$dir" -DCMAKE_BUILD_TYPE=Release \
            -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/toolchains/linux-i686.cmake" \
            -DPATHBLOOM_IMAGE_TOOLS=OFF "$(frameReference "$root")" -DPATHBLOOM_GTEST_FROM_SOURCE=ON -DPATHBLOOM_PIPL_TOOL="$tool"
        ;;
    win64)
        tool=$(nativePiplTool "$root")
        configureAndBuild "$dir" -DCMAKE_BUILD_TYPE=Release \
            -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/toolchains/mingw-x64.cmake" \
            -DPATHBLOOM_IMAGE_TOOLS=OFF "$(frameReference "$root")" -DPATHBLOOM_GTEST_FROM_SOURCE=ON -DPATHBLOOM_PIPL_TOOL="$tool"
        ;;
    win32)
        tool=$(nativePiplTool "$root")
        configureAndBuild "$dir" -DCMAKE_BUILD_TYPE=Release \
            -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/toolchains/mingw-x86.cmake" \
            -DPATHBLOOM_HOST_TOOLS=OFF -DPATHBLOOM_PIPL_TOOL="$tool"
        ;;
esac
