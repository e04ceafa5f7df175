#!/usr/bin/env bash
# Our drawing against the peer libraries, back to back on this machine, and
# each depth against 8-bit. Each round runs raster_bench (W1-W4, the drawing
# alone), scene_bench (W5-W7, whole renders through minihost) and the peers'
# run.sh in turn, pinned to one core, all in wall-clock time as the peers
# time theirs; ratios are taken within a round (medians of that round), then
# their median over the rounds is printed. A second table gives W5-W7's
# depth ratios without the host's copy, fill, transfer and new-world calls
# (scene_bench's own_ms), the plug-in's own share of those frames.
#
# usage: bench/peer_ratios.sh [BUILD] (default build, with the benchmarks built:
#   PATHBLOOM_BENCH=ON scripts/build.sh native BUILD)
#   ROUNDS (3) rounds; CPU (1) the core; PEERS_BUILD (/tmp/peers-build) the
#   peers' programs, built by ../shared/peers/build.sh when missing.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(realpath -m "${1:-$repo/build}")
peers=${PEERS:-$repo/../shared/peers}
rounds=${ROUNDS:-3}
pin=()
if command -v taskset >/dev/null; then pin=(taskset -c "${CPU:-1}"); fi
raw=$(mktemp)
trap 'rm -f "$raw"' EXIT

for r in $(seq "$rounds"); do
    # "round R ours WORKLOAD DEPTH MS" and "round R peer LIBRARY WORKLOAD MS" lines.
    "${pin[@]}" "$build/bench/raster_bench" --benchmark_filter='draw/W' --benchmark_min_time=0.3 \
        --benchmark_repetitions=5 --benchmark_report_aggregates_only=true --benchmark_format=csv 2>/dev/null |
        awk -F, -v r="$r" '$1 ~ /_median"$/ { gsub(/"/, "", $1); sub(/_median$/, "", $1); split($1, p, "/")
                                              print "round", r, "ours", p[2], p[3], $3 }' >>"$raw"
    "${pin[@]}" "$build/bench/scene_bench" --workloads W5-circles-multiply,W6-big-circles-overlay,W7-layer-stamps \
        --frames 6 --rounds 3 |
        awk -v r="$r" '!/^#/ { d = $2; sub(/-bit$/, "", d); print "round", r, "ours", $1, d, $3
                              print "round", r, "own", $1, d, $12 }' >>"$raw"
    ROUNDS=3 "${pin[@]}" "$peers/run.sh" |
        awk -v r="$r" '{ print "round", r, "peer", $1, $2, $5 }' >>"$raw"
done

python3 - "$raw" "$rounds" <<'PY'
import collections, statistics, sys

peerOf = {"W1-circles-stroke": "circles-stroke", "W2-line-dabs": "line-dabs", "W3-hexagons": "hexagons",
          "W4-big-circles": "big-circles", "W5-circles-multiply": "circles-multiply-group",
          "W6-big-circles-overlay": "big-circles-overlay", "W7-layer-stamps": "layer-stamps"}
ours = collections.defaultdict(dict)   # round -> (workload, depth) -> ms
own = collections.defaultdict(dict)    # round -> (workload, depth) -> ms without the host's calls
peer = collections.defaultdict(dict)   # round -> (library, workload) -> ms
for line in open(sys.argv[1]):
    _, r, kind, a, b, ms = line.split()
    {"ours": ours, "own": own, "peer": peer}[kind][r][(a, b)] = float(ms)
rounds = sorted(ours)


def depthCells(table, r, w, cells):
    """Round r's 8-bit ms of workload w and its depths' ratios to it, into cells; False without an 8-bit row."""
    o = table[r]
    if (w, "8") not in o:
        return False
    cells["8"].append(o[(w, "8")])
    for d in ("16", "float"):
        if (w, d) in o:
            cells[d + "/8"].append(o[(w, d)] / o[(w, "8")])
    return True


def median(cells, k):
    return "%9.2f" % statistics.median(cells[k]) if cells[k] else "%9s" % "-"


print("# medians of the per-round ratios over %d rounds; each round's ms are medians" % len(rounds))
print("%-24s %-14s %9s %9s %9s %9s %9s" % ("workload", "fastest peer", "peer ms", "8-bit ms", "8/peer", "16/8", "float/8"))
for w, p in peerOf.items():
    cells = collections.defaultdict(list)
    for r in rounds:
        if not depthCells(ours, r, w, cells):
            continue
        rows = {lib: ms for (lib, wl), ms in peer[r].items() if wl == p}
        if rows:
            lib = min(rows, key=rows.get)
            cells["lib"].append(lib)
            cells["peer"].append(rows[lib])
            cells["8/peer"].append(ours[r][(w, "8")] / rows[lib])
    if not cells:
        continue
    lib = collections.Counter(cells["lib"]).most_common(1)[0][0] if cells["lib"] else "-"
    print("%-24s %-14s %s" % (w, lib, " ".join(median(cells, k) for k in ("peer", "8", "8/peer", "16/8", "float/8"))))
print("# without the host's copy, fill, transfer_rect and new-world calls")
print("%-24s %9s %9s %9s" % ("workload", "8-bit ms", "16/8", "float/8"))
for w in peerOf:
    cells = collections.defaultdict(list)
    for r in rounds:
        depthCells(own, r, w, cells)
    if cells:
        print("%-24s %s" % (w, " ".join(median(cells, k) for k in ("8", "16/8", "float/8"))))
PY
