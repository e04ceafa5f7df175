#!/usr/bin/env bash
# Renders a scene's frames FIRST..LAST in chunks of CHUNK frames with GNU
# parallel: one `pathbloom render --frames A-B` per chunk, as many at once as
# parallel runs jobs, on this machine or on others (--sshlogin). Frames are
# written under a temporary name and renamed when whole, so a chunk that dies
# leaves no partial frame, and running the same command again finishes the
# job (--skip-existing).
#
# usage: render-chunks.sh SCENE OUTPUT FIRST LAST CHUNK [PARALLEL_OPTION...]
#   render-chunks.sh title.json 'out/title.####.png' 1001 1300 25 --jobs 2
#   render-chunks.sh /shared/title.json '/shared/out/title.####.exr' 1001 1300 25 \
#       --sshlogin 2/render1,2/render2 --jobs 2
# OUTPUT is a folder or a file pattern, as `pathbloom render -o` takes it.
# Across machines the scene, its images and OUTPUT must be at the same paths
# on every machine (a shared filesystem), and `pathbloom` in each one's PATH
# (or PATHBLOOM set to its path). Each chunk renders with one worker
# (`--jobs 1`): parallel spreads the chunks over the cores.
set -euo pipefail

if (($# < 5)); then
    echo "usage: render-chunks.sh SCENE OUTPUT FIRST LAST CHUNK [PARALLEL_OPTION...]" >&2
    exit 2
fi
scene=$1 output=$2 first=$3 last=$4 chunk=$5
shift 5
pathbloom=${PATHBLOOM:-pathbloom}

for ((a = first; a <= last; a += chunk)); do
    b=$((a + chunk - 1 < last ? a + chunk - 1 : last))
    echo "$a-$b"
done | parallel --will-cite --halt now,fail=1 "$@" \
    -q "$pathbloom" render "$scene" -o "$output" --frames {} --jobs 1 --skip-existing
