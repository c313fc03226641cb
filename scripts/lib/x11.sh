# Helpers for running the viewer under a private X server; sourced by the run
# script and the end-to-end test. They only ever stop processes they started.

# wait_until SECONDS COMMAND...: runs COMMAND every 0.1 s until it succeeds;
# fails when SECONDS pass first.
wait_until() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@" >/dev/null 2>&1; do
        if ((SECONDS >= deadline)); then
            return 1
        fi
        sleep 0.1
    done
}

# start_xvfb LOG: starts Xvfb on a display it picks itself (so parallel runs
# never collide), exports DISPLAY and sets XVFB_PID.
start_xvfb() {
    local log=$1 display_file
    display_file=$(mktemp)
    # -noreset: without it the server resets whenever its last client leaves
    # (here the readiness probe), refusing connections for a moment.
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$display_file" >"$log" 2>&1 &
    XVFB_PID=$!
    if ! wait_until 30 test -s "$display_file"; then
        echo "Xvfb did not start; see $log" >&2
        rm -f "$display_file"
        return 1
    fi
    export DISPLAY=":$(head -n 1 "$display_file")"
    rm -f "$display_file"
    wait_until 30 xdpyinfo
}

stop_xvfb() {
    if [[ -n ${XVFB_PID:-} ]]; then
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
        XVFB_PID=
    fi
}

# find_window TITLE SECONDS: prints the id of the window named exactly TITLE
# once it is mapped.
find_window() {
    local title=$1 seconds=$2 id
    wait_until "$seconds" xdotool search --onlyvisible --name "^${title}\$" || return 1
    id=$(xdotool search --onlyvisible --name "^${title}\$" | head -n 1)
    echo "$id"
}

# press WINDOW KEY...: points at the window and types the keys through XTEST,
# as a user's keyboard would (there is no window manager to give it focus).
press() {
    local window=$1
    shift
    xdotool mousemove --window "$window" 320 240
    xdotool key --delay 30 "$@"
}

# begin_session: a work folder in $work and, on exit, the viewer (VIEWER_PID,
# when set) and the X server stopped and the folder removed.
begin_session() {
    work=$(mktemp -d)
    VIEWER_PID=
    trap end_session EXIT
}

# fail MESSAGE: ends a test with the message and the start of what the viewer
# wrote ($work/out, $work/err) and of the X server's log.
fail() {
    local file
    {
        echo "FAIL: $*"
        for file in out err xvfb.log; do
            if [[ -e $work/$file ]]; then
                echo "--- $file (first 4000 bytes; X server on ${DISPLAY:-no display}):"
                head -c 4000 "$work/$file"
                echo
            fi
        done
    } >&2
    exit 1
}

end_session() {
    if [[ -n ${VIEWER_PID:-} ]]; then
        kill "$VIEWER_PID" 2>/dev/null || true
    fi
    stop_xvfb
    rm -rf "$work"
}
