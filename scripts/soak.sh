#!/usr/bin/env bash
# Soak runs: `dorn sim --check --stats` for STEPS steps (default a million) in
# each bundled scene and in the rooms around the benchmark's real meshes, from
# three start states each; prints one Markdown table row per run. Further
# arguments go to dorn sim (--exact-edges for the exact edge test,
# --two-sided for faces that stop from both sides).
#   scripts/soak.sh [STEPS [--exact-edges] [--two-sided]]   (after a release build)
set -euo pipefail
cd "$(dirname "$0")/.."
steps=${1:-1000000}
shift || true
source scripts/lib/bench_scenes.sh
scenes=(build/scenes/default.dorn build/scenes/wuson.dorn $(make_real_scenes build/bench-scenes))
starts=("0,12.5,0 1,-1,1" "30,40,-30 -0.8,-1.1,0.6" "-42,-42,42 1.3,0.9,-0.7")

echo "| scene | start, velocity | non-numbers | left the room | overlapping steps | deepest overlap (step) | overlaps begun: from the start; straight steps: face from behind, edge, corner, face from the front; at a contact: the same | steps at the contact bound | contacts per step (mean, max) | resident kB start → end | steps/s |"
echo "|---|---|---|---|---|---|---|---|---|---|---|"
for scene in "${scenes[@]}"; do
    for start in "${starts[@]}"; do
        read -r position velocity <<<"$start"
        report=$(build/bin/dorn sim "$scene" --steps "$steps" --position="$position" \
            --velocity="$velocity" --check --stats "$@" 2>&1 >/dev/null)
        field() { sed -n "s/^$1: //p" <<<"$report"; }
        nonnumbers=$(field "steps ending with a non-number")
        left=$(field "left the scene's bounds")
        overlapping=$(field "steps ending overlapping the mesh" | cut -d' ' -f1)
        smallest=$(field "smallest clearance")
        bound=$(field "steps that reached the bound of 64 contacts")
        contacts=$(field "contacts per step" | sed 's/mean //; s/max //')
        memory=$(field "resident memory" | sed 's/ kB after loading, / → /; s/ kB at the end//')
        rate=$(field "steps per second")
        causes() { sed -n "s/^  $1: \([0-9]*\) a face from behind, \([0-9]*\) an edge, \([0-9]*\) a corner, \([0-9]*\) a face from the front/\1, \2, \3, \4/p" <<<"$report"; }
        begun="$(field "overlaps begun" | sed 's/ at the start.*//'); $(causes "on straight steps, first touching"); $(causes "at a step's last contact, nearest")"
        echo "| $(basename "$scene" .dorn) | ($position), ($velocity) | $nonnumbers | $left | $overlapping | $smallest | $begun | $bound | $contacts | $memory | $rate |"
    done
done
