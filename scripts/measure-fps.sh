#!/usr/bin/env bash
# The viewer's frame rate under Xvfb with Mesa's software renderer, for each
# box draw mode, on terrains of about 10 thousand, 100 thousand and 1 million
# triangles. For each mode it prints three figures:
#   run    frames/s while the animation runs (one step per frame, --rate 0)
#   drag   frames/s while the view is dragged with the mouse
#   full   seconds from the end of the drag to the full picture of the boxes
# The rates are the medians of the viewer's own once-a-second counts (--fps).
#   scripts/measure-fps.sh [SECONDS]     (after a release build; default 3)
# SIZES (terrain grid sizes, default "71 224 707") and MODES (default
# "0 1 2 3 4", repeats allowed) narrow or reorder the runs. SWEEPVIEW names
# another viewer binary (default build/bin/sweepview), e.g. an earlier build
# to compare with.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/x11.sh
seconds=${1:-3}
viewer=${SWEEPVIEW:-build/bin/sweepview}
begin_session
start_xvfb "$work/xvfb.log"

# median FILE FROM: the median of the "N frames/s" lines after line FROM.
median() {
    tail -n +"$(($2 + 1))" "$1" | tr -d '\0' | awk '/ frames\/s$/ { print $1 }' | sort -n |
        awk '{ v[NR] = $1 } END { if (NR == 0) print "-"; else printf "%.1f", v[int((NR + 1) / 2)] }'
}
lines() { wc -l <"$1"; }
# wait_for_full FILE FROM: the seconds of the first "full picture" line after FROM.
wait_for_full() {
    local deadline=$((SECONDS + 30))
    until tail -n +"$(($2 + 1))" "$1" | tr -d '\0' | grep -q '^full picture'; do
        ((SECONDS < deadline)) || { echo "-"; return; }
        sleep 0.2
    done
    tail -n +"$(($2 + 1))" "$1" | tr -d '\0' | awk '/^full picture/ { print $3; exit }'
}
# drag WINDOW SECONDS: the left button held and the pointer moved back and
# forth every 10 ms, faster than any frame here, so the frames follow one
# another; one xdotool for the whole drag, so it takes little of the machine.
drag() {
    local moves=() i
    for ((i = 0; i < 100 * $2; i++)); do
        moves+=(mousemove --window "$1" $((300 + 10 * (i % 2))) 240 sleep 0.01)
    done
    xdotool mousemove --window "$1" 300 240 mousedown 1 "${moves[@]}" mouseup 1
}

modes=(${MODES:-0 1 2 3 4})
printf '%-10s' triangles
for mode in "${modes[@]}"; do printf ' | %-20s' "mode $mode run/drag/full"; done
echo
for n in ${SIZES:-71 224 707}; do
    build/bin/scenegen terrain "$n" "$work/terrain.ply" >/dev/null
    build/bin/dorn build "$work/terrain.ply" --no-normals -o "$work/terrain.dorn" >/dev/null
    row=$(printf '%-10s' $((2 * n * n)))
    for mode in "${modes[@]}"; do
        "$viewer" "$work/terrain.dorn" --rate 0 --fps >/dev/null 2>"$work/err" &
        VIEWER_PID=$!
        window=$(find_window "sweepview - terrain.dorn" 120)
        for ((i = 0; i < mode; i++)); do press "$window" b; done
        sleep 1
        wait_for_full "$work/err" 0 >/dev/null  # the boxes of a new mode are laid once still
        from=$(lines "$work/err")
        press "$window" space
        sleep "$seconds"
        press "$window" space
        run=$(median "$work/err" "$from")
        sleep 1
        from=$(lines "$work/err")
        drag "$window" "$seconds"
        dragged=$(median "$work/err" "$from")
        full=$(wait_for_full "$work/err" "$from")
        press "$window" Escape
        wait "$VIEWER_PID" || true
        VIEWER_PID=
        row+=$(printf ' | %6s %6s %6s' "$run" "$dragged" "$full")
    done
    echo "$row"
done
