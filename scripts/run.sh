#!/usr/bin/env bash
# Builds the viewer and starts it on the bundled scene.
#   scripts/run.sh [SCENE.dorn]
# With a display, the window opens for you: keys x X y Y z Z and the arrows
# move the camera, space runs or pauses, s takes one step, b cycles the box
# drawing, Esc quits. Without one (no DISPLAY), it runs the viewer in a private
# Xvfb server, lets the sphere fly for 200 steps and saves a screenshot to
# build/sweepview.png.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
source scripts/lib/x11.sh

if [[ -n ${DISPLAY:-} ]] && xdpyinfo >/dev/null 2>&1; then
    scripts/install-packages.sh "${BUILD_PACKAGES[@]}"
    headless=false
else
    scripts/install-packages.sh "${BUILD_PACKAGES[@]}" "${X11_PACKAGES[@]}"
    headless=true
fi
cmake --preset release >/dev/null
cmake --build --preset release

scene=${1:-build/room.dorn}
if [[ $# -eq 0 ]]; then
    build/bin/make_test_scene "$scene"
fi

if ! $headless; then
    printf '%s\n' "$scene" | build/bin/sweepview
    exit
fi

viewer_pid=
cleanup() {
    [[ -n $viewer_pid ]] && kill "$viewer_pid" 2>/dev/null
    stop_xvfb
}
trap cleanup EXIT
start_xvfb build/xvfb.log
printf '%s\n' "$scene" | build/bin/sweepview >build/sweepview.out &
viewer_pid=$!
window=$(find_window "GLUT app" 60)
press "$window" b b space
wait_until 120 grep -qx 200 build/sweepview.out
import -window root -crop 640x480+100+100 +repage build/sweepview.png
press "$window" Escape
wait "$viewer_pid" || true
viewer_pid=
echo "Ran 200 steps in $scene without a display; screenshot: build/sweepview.png"
