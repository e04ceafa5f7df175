#!/usr/bin/env bash
# Paired timing of two builds of one Google Benchmark program: each round
# runs the old and the new program back to back, in alternating order,
# pinned to one core, and takes new / old per row from that round's CPU
# times; the median and quartiles of the ratios over the rounds are
# printed. Other users of the machine slow both programs of a round alike,
# so the ratios scatter far less than times taken minutes apart. Comparing a
# program with itself shows the scatter left.
#
# usage: bench/ab_ratio.sh OLD NEW [FILTER]
#   e.g. bench/ab_ratio.sh /tmp/old/bench/raster_bench build/bench/raster_bench 'draw/W2'
#   ROUNDS (21) rounds; MIN_TIME (0.1) seconds per row and round; CPU (1) the core.
set -euo pipefail

if [ $# -lt 2 ]; then
    sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//'
    exit 2
fi
old=$1 new=$2 filter=${3:-.}
rounds=${ROUNDS:-21}
pin=()
if command -v taskset >/dev/null; then pin=(taskset -c "${CPU:-1}"); fi
raw=$(mktemp)
trap 'rm -f "$raw"' EXIT

for r in $(seq "$rounds"); do
    if ((r % 2)); then order="old new"; else order="new old"; fi
    for which in $order; do
        program=$old
        [ "$which" = new ] && program=$new
        # "round WHICH ROW CPU_TIME" lines; CSV rows start with the quoted name.
        "${pin[@]}" "$program" --benchmark_filter="$filter" --benchmark_min_time="${MIN_TIME:-0.1}" \
            --benchmark_format=csv 2>/dev/null |
            awk -F, -v r="$r" -v w="$which" '/^"/ { gsub(/"/, "", $1); print r, w, $1, $4 }' >>"$raw"
    done
done

python3 - "$raw" <<'PY'
import collections, statistics, sys

times = collections.defaultdict(dict)  # (row, round) -> {"old": t, "new": t}
for line in open(sys.argv[1]):
    r, which, row, t = line.split()
    times[(row, r)][which] = float(t)
ratios = collections.defaultdict(list)
for (row, _), t in times.items():
    if "old" in t and "new" in t and t["old"] > 0:
        ratios[row].append(t["new"] / t["old"])
print("%-36s %8s %17s %7s" % ("row", "new/old", "quartiles", "rounds"))
for row in sorted(ratios):
    v = sorted(ratios[row])
    q = statistics.quantiles(v, n=4) if len(v) > 1 else [v[0], v[0], v[0]]
    print("%-36s %8.3f %8.3f %8.3f %7d" % (row, statistics.median(v), q[0], q[2], len(v)))
PY
