#!/usr/bin/env bash
# Runs the viewer without a display: in a private Xvfb server, starts the
# animation, lets it run, saves a screenshot of the window and quits.
#   headless_run.sh SWEEPVIEW SCENE.dorn OUT.png [SECONDS]
set -euo pipefail
viewer=$1
scene=$2
png=$3
seconds=${4:-3}
source "$(dirname "$0")/x11.sh"

begin_session

start_xvfb "$work/xvfb.log"
printf '%s\n' "$scene" | "$viewer" >"$work/out" 2>"$work/err" &
VIEWER_PID=$!
if ! window=$(find_window "GLUT app" 60); then
    echo "The viewer opened no window:" >&2
    cat "$work/out" "$work/err" >&2
    exit 1
fi
# Keys typed before the window takes input are lost: ask for single steps
# until one is taken, then start the animation. (The first step number
# follows the prompt on its line.)
started=false
for ((attempt = 0; attempt < 60; attempt++)); do
    press "$window" s
    if wait_until 1 grep -qE '(^|: )1$' "$work/out"; then
        started=true
        break
    fi
done
$started || { echo "The viewer took no key presses" >&2; exit 1; }
press "$window" space
sleep "$seconds"
import -window root -crop 640x480+100+100 +repage "$png"
steps=$(tail -n 1 "$work/out" | sed 's/.*: //')
press "$window" Escape
status=0
wait "$VIEWER_PID" || status=$?
VIEWER_PID=
if ((status != 1)); then
    echo "The viewer ended with status $status instead of 1 (Esc)" >&2
    exit 1
fi
echo "Ran $steps steps of $scene in ${seconds} s without a display; screenshot: $png"
