#!/usr/bin/env bash
# Installs the Debian packages that the builds and tests need, only those that
# are missing (quick when everything is there). Uses sudo when not root.
set -euo pipefail

packages=(
    # native build, the pathbloom command and the tests
    g++ cmake ninja-build make pkg-config python3 binutils
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    libpng-dev libopenexr-dev nlohmann-json3-dev libcli11-dev
    # fuzz build: clang with libFuzzer and the sanitizer runtimes
    clang libclang-rt-14-dev
    # 32-bit Linux build, run under emulation
    g++-multilib qemu-user
    # Windows builds, the 64-bit tests run under wine
    mingw-w64 g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine wine64
    # the frame comparison reads scene images in the builds without libpng
    libstb-dev
    # the farm example: chunks of a render with GNU parallel
    parallel
    # animated previews (mp4, webp, gif) are encoded by the ffmpeg command
    ffmpeg
    # SVG mask paths: the document is read with pugixml
    libpugixml-dev
    # the drawing cost benchmark plots its tables
    gnuplot-nox
)

missing=()
for package in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$package")
done

if ((${#missing[@]} == 0)); then
    echo "install-deps: all ${#packages[@]} packages present"
    exit 0
fi

sudo=()
if [[ $(id -u) -ne 0 ]]; then
    sudo=(sudo)
fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq "${missing[@]}" </dev/null
echo "install-deps: done"
