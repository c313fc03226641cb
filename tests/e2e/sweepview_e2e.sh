#!/usr/bin/env bash
# End-to-end test of the viewer in a real X server (Xvfb with Mesa):
#   sweepview_e2e.sh SWEEPVIEW SCENE.dorn
# Feeds a bad and a good scene name, checks the window, types keys, checks
# standard output line by line, looks for the spheres and the mesh on a
# screenshot, and checks exit status 1 after Esc.
set -euo pipefail
viewer=$1
scene=$2
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../scripts/lib/x11.sh"

begin_session

start_xvfb "$work/xvfb.log" || fail "no X server"

printf 'missing.dorn\n%s\n' "$scene" >"$work/in"
"$viewer" <"$work/in" >"$work/out" 2>"$work/err" &
VIEWER_PID=$!

window=$(find_window "GLUT app" 60) || fail "no window titled 'GLUT app'"
geometry=$(xdotool getwindowgeometry "$window")
[[ $geometry == *"Geometry: 640x480"* ]] || fail "window geometry: $geometry"
grep -q "missing.dorn: cannot open" "$work/err" || fail "no reason for the refused name"

# Pixels of the window that match a colour condition, in a region.
count_pixels() {  # IMAGE GEOMETRY FX-CONDITION
    convert "$1" -crop "$2" +repage -fx "$3 ? 1 : 0" -format '%[fx:round(mean*w*h)]' info:
}
shoot() {  # FILE: the window's content
    import -window root -crop 640x480+100+100 +repage "$1"
}

# Paused at start: the red sphere at (0, 12.5, 0) and the blue one a step
# ahead, both near pixel (321, 205) of the window, over the translucent mesh.
# Shot again until the first frames are drawn.
red=0
blue=0
start_view_ok() {
    shoot "$work/start.png" || return 1
    red=$(count_pixels "$work/start.png" 40x40+301+185 'r>0.7 && g<0.6 && b<0.7')
    blue=$(count_pixels "$work/start.png" 40x40+301+185 'b>0.8 && r<0.6 && g<0.6')
    local mesh
    mesh=$(convert "$work/start.png" -format '%[fx:mean.b-mean.r > 0.03 ? 1 : 0]' info:)
    ((red >= 5 && blue >= 5 && mesh == 1))
}
wait_until 60 start_view_ok ||
    fail "spheres or mesh not visible (red $red, blue $blue pixels); see the screenshot check"

has_line() { grep -qx -- "$1" "$work/out"; }
# The box draw mode line is not flushed by itself: the step number after it is.
press "$window" b s
wait_until 30 has_line 1 || fail "s did not take one step"
has_line "Enter the name of the dorn file: Box Draw Mode 1 : spheres." ||
    fail "b did not write the box draw mode"
press "$window" space
wait_until 60 has_line 40 || fail "space did not start the animation"
press "$window" space
output_stable() {
    local before
    before=$(wc -l <"$work/out")
    sleep 0.5
    [[ $(wc -l <"$work/out") == "$before" ]]
}
wait_until 30 output_stable || fail "space did not pause the animation"
output_stable || fail "the animation went on after the pause"

# The camera keys move the view: the picture changes.
shoot "$work/before.png"
press "$window" x x x Left Up
wait_until 30 bash -c "import -window root -crop 640x480+100+100 +repage '$work/after.png' &&
    [[ \$(compare -metric AE '$work/before.png' '$work/after.png' null: 2>&1) != 0 ]]" ||
    fail "the camera keys did not change the view"

press "$window" Escape
status=0
wait "$VIEWER_PID" || status=$?
VIEWER_PID=
((status == 1)) || fail "exit status $status after Esc, expected 1"

# Standard output, line by line: the dialogue, the mode line, then the step
# numbers 1, 2, 3, ... with nothing else.
mapfile -t lines <"$work/out"
[[ ${lines[0]} == "Enter the name of the dorn file: Invalid file name" ]] || fail "line 1: ${lines[0]}"
[[ ${lines[1]} == "Enter the name of the dorn file: Box Draw Mode 1 : spheres." ]] ||
    fail "line 2: ${lines[1]}"
for ((i = 2; i < ${#lines[@]}; i++)); do
    [[ ${lines[i]} == "$((i - 1))" ]] || fail "line $((i + 1)): '${lines[i]}', expected $((i - 1))"
done
((${#lines[@]} >= 42)) || fail "only ${#lines[@]} lines"
echo "sweepview end-to-end: ${#lines[@]} lines, red $red, blue $blue pixels: ok"
