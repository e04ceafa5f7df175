#!/usr/bin/env bash
# Frames per second of whole sequences through `pathbloom render`, files
# included: W1 (scenes/bench/w1.json) as a 1920x1080 sequence to 8-bit PNG
# and to float EXR, at each --jobs count, ROUNDS runs each, median.
# The scene is W1 with its frame range widened to FRAMES frames; its frames
# are all alike, so the figure is the command's own throughput.
#
# usage: bench/sequence_fps.sh [BUILD] (default build)
#   FRAMES (300), JOBS_LIST ("1 2"), ROUNDS (3), FORMATS ("png exr"),
#   EXTRA (more render options, e.g. "--png-compression 6")
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(realpath -m "${1:-$repo/build}")
frames=${FRAMES:-300}
rounds=${ROUNDS:-3}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 - "$repo/scenes/bench/w1.json" "$work/w1.json" "$frames" <<'PY'
import json, os, sys
scene = json.load(open(sys.argv[1]))
scene["frames"] = [0, int(sys.argv[3]) - 1]
# W1 has no image to find; a colour background stays as it is.
assert not str(scene.get("background", "")).endswith(".png")
json.dump(scene, open(sys.argv[2], "w"))
PY

printf '%-6s %5s %8s %8s %8s\n' format jobs fps 'min fps' 'max fps'
for format in ${FORMATS:-png exr}; do
    depth=8
    [[ $format == exr ]] && depth=32
    for jobs in ${JOBS_LIST:-1 2}; do
        results=()
        for ((round = 0; round < rounds; ++round)); do
            rm -rf "$work/out"
            started=$(date +%s.%N)
            # shellcheck disable=SC2086
            "$build/pathbloom" render "$work/w1.json" -o "$work/out/w1.####.$format" --depth "$depth" \
                --jobs "$jobs" ${EXTRA:-} 2>/dev/null
            finished=$(date +%s.%N)
            results+=("$(awk -v n="$frames" -v a="$started" -v b="$finished" 'BEGIN { print n / (b - a) }')")
        done
        printf '%s\n' "${results[@]}" | sort -g | awk -v f="$format" -v j="$jobs" \
            '{ v[NR] = $1 } END { printf "%-6s %5d %8.1f %8.1f %8.1f\n", f, j, v[int((NR + 1) / 2)], v[1], v[NR] }'
    done
done
