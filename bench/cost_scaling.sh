#!/usr/bin/env bash
# How drawing cost grows: builds cost_scaling_bench, runs it pinned to one
# core (taskset, when there is one), keeps its table and .dat files, and plots
# nanoseconds per covered pixel into docs/cost_scaling.png, the table beside
# it as docs/cost_scaling.txt.
#
# usage: bench/cost_scaling.sh [BUILD] (default build)
#   ROUNDS (3) and FRAMES (3): rounds over all rows, timed frames per row and
#   round; CPU (1) the core to pin to; DATA (BUILD/cost_scaling) for the table
#   (table.txt) and .dat files; PLOT (docs/cost_scaling.png, the table goes
#   beside it as .txt); EXTRA more options for the program (e.g. "--depths
#   8,float"; the plot needs the points, radius and frame series).
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(realpath -m "${1:-$repo/build}")
data=$(realpath -m "${DATA:-$build/cost_scaling}")
plot=$(realpath -m "${PLOT:-$repo/docs/cost_scaling.png}")

buildTargets=cost_scaling_bench PATHBLOOM_BENCH=ON "$repo/scripts/build.sh" native "$build"

pin=()
if command -v taskset >/dev/null; then pin=(taskset -c "${CPU:-1}"); fi
mkdir -p "$data"
# shellcheck disable=SC2086
"${pin[@]}" "$build/bench/cost_scaling_bench" --rounds "${ROUNDS:-3}" --frames "${FRAMES:-3}" --out "$data" \
    ${EXTRA:-} | tee "$data/table.txt"
{
    echo "# $(date -u '+%Y-%m-%d %H:%M UTC'), load average $(cut -d' ' -f1-3 /proc/loadavg), ${pin[*]:-unpinned}"
    echo "# $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2-)"
} >>"$data/table.txt"

mkdir -p "$(dirname "$plot")"
gnuplot -c "$repo/bench/cost_scaling.gp" "$data" "$plot"
cp "$data/table.txt" "${plot%.png}.txt"
echo "cost_scaling.sh: data in $data, plot and table in ${plot%.png}.png and .txt"
