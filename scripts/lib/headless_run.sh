#!/usr/bin/env bash
# Runs the viewer without a display: in a private Xvfb server, takes the
# steps at once and saves a screenshot of the frame after them.
#   headless_run.sh SWEEPVIEW SCENE.dorn OUT.png [STEPS]   (default 200)
set -euo pipefail
viewer=$1
scene=$2
png=$3
steps=${4:-200}
source "$(dirname "$0")/x11.sh"

begin_session

start_xvfb "$work/xvfb.log"
if ! "$viewer" "$scene" --steps "$steps" --screenshot "$png" >"$work/out" 2>"$work/err"; then
    echo "The viewer saved no screenshot:" >&2
    cat "$work/err" >&2
    exit 1
fi
echo "Ran $(tail -n 1 "$work/out") steps of $scene without a display; screenshot: $png"
