#!/usr/bin/env bash
# The viewer's frame rate under Xvfb with Mesa's software renderer, for each
# box draw mode, on terrains of about 10 thousand, 100 thousand and 1 million
# triangles. While the animation runs, each frame takes one step, so frames per
# second are the step numbers printed per second.
#   scripts/measure-fps.sh [SECONDS]     (after a release build)
# SIZES (terrain grid sizes, default "71 224 707") and MODES (default
# "0 1 2 3 4", repeats allowed) narrow or reorder the runs. SWEEPVIEW names
# another viewer binary (default build/bin/sweepview), e.g. an earlier build
# to compare with. SETTLE (default 1) is the seconds waited after the mode
# is set before counting, for modes that prepare once before running.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/x11.sh
seconds=${1:-3}
viewer=${SWEEPVIEW:-build/bin/sweepview}
begin_session
start_xvfb "$work/xvfb.log"

modes=(${MODES:-0 1 2 3 4})
printf '%-12s' triangles
printf ' %8s' "${modes[@]/#/mode}"
echo
for n in ${SIZES:-71 224 707}; do
    build/bin/scenegen terrain "$n" "$work/terrain.ply"
    build/bin/dorn build "$work/terrain.ply" --no-normals -o "$work/terrain.dorn" >/dev/null
    row=$(printf '%-12s' $((2 * n * n)))
    for mode in "${modes[@]}"; do
        printf '%s\n' "$work/terrain.dorn" | "$viewer" >"$work/out" 2>/dev/null &
        VIEWER_PID=$!
        window=$(find_window "GLUT app" 120)
        until grep -qE '(^|: )1$' "$work/out"; do press "$window" s; sleep 0.5; done
        for ((i = 0; i < mode; i++)); do press "$window" b; done
        press "$window" space
        sleep "${SETTLE:-1}"
        first=$(tail -n 1 "$work/out" | grep -oE '[0-9]+$')
        sleep "$seconds"
        last=$(tail -n 1 "$work/out" | grep -oE '[0-9]+$')
        press "$window" Escape
        wait "$VIEWER_PID" || true
        VIEWER_PID=
        row+=$(awk -v a="$first" -v b="$last" -v s="$seconds" 'BEGIN { printf " %8.1f", (b - a) / s }')
    done
    echo "$row"
done
