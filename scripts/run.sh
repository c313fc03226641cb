#!/usr/bin/env bash
# Builds the viewer and the bundled scenes, then starts the viewer.
#   scripts/run.sh [SCENE.dorn]       (default: build/scenes/default.dorn)
# With a display, the window opens for you (keys in the README). Without one
# (no DISPLAY), it runs the viewer in a private Xvfb server for 200 steps and
# saves a screenshot of the frame after them to build/sweepview.png.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh

headless=true
if [[ -n ${DISPLAY:-} ]] && command -v xdpyinfo >/dev/null && xdpyinfo >/dev/null 2>&1; then
    headless=false
fi
scripts/install-packages.sh "${BUILD_PACKAGES[@]}" "${TOOL_PACKAGES[@]}" "${BENCH_PACKAGES[@]}" \
    $($headless && echo "${X11_PACKAGES[@]}")
cmake --preset release >/dev/null
cmake --build --preset release

scene=${1:-build/scenes/default.dorn}
if $headless; then
    exec scripts/lib/headless_run.sh build/bin/sweepview "$scene" build/sweepview.png
fi
printf '%s\n' "$scene" | build/bin/sweepview
