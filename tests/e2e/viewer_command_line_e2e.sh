#!/usr/bin/env bash
# The viewer's command line, end to end under Xvfb:
#   viewer_command_line_e2e.sh SWEEPVIEW DORN SCENE.dorn
# A scene argument skips the prompt; a scene that cannot be loaded and a bad
# number are refused with their reasons; --steps N --screenshot writes N step
# lines and a PNG with the mesh's blue and the sphere's red; a replayed escape
# of an audit report of a holed room prints the report's step and position;
# --lit and --size change the picture, a .jpg screenshot is refused; walk
# mode steps and draws, and its options need --walk; the
# window is titled after the scene, sleeps while paused, turns with a drag
# and steps at the --rate asked for.
set -euo pipefail
viewer=$1
dorn=$2
scene=$3
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../scripts/lib/x11.sh"

begin_session
start_xvfb "$work/xvfb.log" || fail "no X server"

# A scene that cannot be loaded: its reason, status 1, no prompt.
status=0
"$viewer" "$work/missing.dorn" </dev/null >"$work/out" 2>"$work/err" || status=$?
((status == 1)) || fail "missing scene: status $status, expected 1"
grep -q "missing.dorn: cannot open" "$work/err" || fail "missing scene: no reason given"
[[ ! -s $work/out ]] || fail "missing scene: something on standard output"

# Numbers checked as dorn's are: status 2, a line naming the option.
for args in "--radius x" "--steps -1" "--start 1,nan,0" "--velocity 1e30,0,0"; do
    status=0
    # shellcheck disable=SC2086
    "$viewer" "$scene" $args </dev/null >"$work/out" 2>"$work/err" || status=$?
    option=${args%% *}
    ((status == 2)) || fail "$args: status $status, expected 2"
    [[ $(head -n 1 "$work/err") == "$option: takes a number from"* ]] ||
        fail "$args: the first line does not name $option"
done
status=0
"$viewer" "$scene" --replay x.json --event escape </dev/null >/dev/null 2>"$work/err" || status=$?
((status == 2)) && grep -q -- "--event: takes KIND:INDEX" "$work/err" || fail "--event escape not refused"
status=0
"$viewer" "$scene" --steps 5 --screenshot /nonexistent/a.png </dev/null >"$work/out" 2>"$work/err" ||
    status=$?
((status == 1)) && [[ ! -s $work/out ]] || fail "an unwritable screenshot was not refused before the steps"
"$viewer" --help | grep -q -- "--screenshot" || fail "--help does not list --screenshot"

# N steps at once, then a screenshot of the frame, and status 0.
"$viewer" "$scene" --steps 7 --screenshot "$work/shot.png" </dev/null >"$work/out" 2>"$work/err" ||
    fail "--steps --screenshot failed"
[[ $(cat "$work/out") == "$(seq 1 7)" ]] || fail "--steps 7 did not write the step lines 1 to 7"
count_pixels() {  # IMAGE FX-CONDITION
    convert "$1" -fx "$2 ? 1 : 0" -format '%[fx:round(mean*w*h)]' info:
}
[[ $(identify -format '%wx%h' "$work/shot.png") == 640x480 ]] || fail "screenshot is not 640x480"
red=$(count_pixels "$work/shot.png" 'r>0.7 && g<0.6 && b<0.7')
blue=$(convert "$work/shot.png" -format '%[fx:mean.b-mean.r > 0.03 ? 1 : 0]' info:)
((red >= 5 && blue == 1)) || fail "screenshot without the red sphere ($red pixels) or the blue mesh"

# A room from -40 to 40 with one floor triangle left out; its audit finds
# escapes, and the first one, replayed from another folder than the audit's,
# ends where the report says.
{
    for v in "-40 -40 -40" "40 -40 -40" "40 -40 40" "-40 -40 40" "-40 40 -40" "40 40 -40" "40 40 40" "-40 40 40"; do
        echo "v $v"
    done
    # Floor (one triangle missing), ceiling, four walls; faces towards the inside.
    printf 'f %s\n' "1 3 2" "5 6 7" "5 7 8" "1 6 5" "1 2 6" "2 7 6" "2 3 7" "3 8 7" "3 4 8" "4 5 8" "4 1 5"
} >"$work/holed.obj"
"$dorn" build "$work/holed.obj" -o "$work/holed.dorn" >/dev/null
mkdir "$work/sub"
(cd "$work" && "$dorn" audit holed.dorn --starts 20 --threads 1 --report sub/report.json >/dev/null) ||
    true # status 3 or 0: findings are expected
first=$(awk '/"escape": \{/ { getline; print; exit }' "$work/sub/report.json")
[[ $first == *'"start"'* ]] || fail "the audit found no escape to replay"
step=$(sed -E 's/.*"step": ([0-9]+).*/\1/' <<<"$first")
position=$(sed -E 's/.*"position": (\[[^]]*\]).*/\1/' <<<"$first")
"$viewer" --replay "$work/sub/report.json" --event escape:0 --screenshot "$work/replay.png" \
    >"$work/out" 2>"$work/err" || fail "the replay failed: $(cat "$work/err")"
grep -qF "escape 0: " "$work/out" || fail "the replay printed no line for escape 0"
grep -qF "step $step, position $position" "$work/out" ||
    fail "replayed '$(head -n 1 "$work/out")', the report says step $step, position $position"
[[ ! -s $work/err ]] || fail "the replay complained: $(cat "$work/err")"
# A report without the scene's paths (an older dorn's) replays from the
# audit's folder; the line ends with the event's detail as the report words it.
grep -v '"scene_' "$work/sub/report.json" >"$work/older.json"
detail=$(awk '/"overlap": \{/ { getline; print; exit }' "$work/older.json" |
    sed -nE 's/.*"detail": "([^"]+)".*/\1/p')
[[ -n $detail ]] || fail "the audit found no overlap with a detail to replay"
(cd "$work" && "$viewer" --replay older.json --event overlap:0 --screenshot older.png >out 2>err) ||
    fail "an older report did not replay: $(cat "$work/err")"
[[ $(cat "$work/out") == "overlap 0: "*", $detail" ]] ||
    fail "replayed '$(cat "$work/out")' without '$detail'"
# A report whose scene is gone: refused, naming the report and the scene.
sed 's/holed\.dorn/gone.dorn/' "$work/sub/report.json" >"$work/sub/gone.json"
status=0
"$viewer" --replay "$work/sub/gone.json" --event escape:0 >"$work/out" 2>"$work/err" || status=$?
named="the scene named by report $work/sub/gone.json, gone.dorn (tried $work/sub/../gone.dorn,"
((status == 1)) && grep -qF "$named" "$work/err" && grep -qF "cannot open: No such file" "$work/err" ||
    fail "a missing scene: $(cat "$work/err")"
printf '{"scene": ' >"$work/bad.json"
status=0
"$viewer" --replay "$work/bad.json" --event escape:0 >"$work/out" 2>"$work/err" || status=$?
((status == 1)) && grep -q "bad.json: not valid JSON" "$work/err" || fail "a malformed report was not refused"

# A screenshot is a PNG: another name is a usage error. --size sets the
# window and so the picture; --lit draws the room in neutral greys where the
# translucent mesh has none.
status=0
"$viewer" "$scene" --screenshot "$work/shot.jpg" </dev/null >/dev/null 2>"$work/err" || status=$?
((status == 2)) && grep -q -- "--screenshot: .*shot.jpg" "$work/err" && [[ ! -e $work/shot.jpg ]] ||
    fail "--screenshot shot.jpg: status $status"
"$viewer" "$scene" --lit --size 800x600 --screenshot "$work/lit.png" </dev/null >/dev/null 2>&1 || fail "--lit failed"
[[ $(identify -format '%wx%h' "$work/lit.png") == 800x600 ]] || fail "--size 800x600 gave another picture"
grey='abs(r-g)<0.03 && abs(r-b)<0.1 && r<0.85 && r>0.2'
(($(count_pixels "$work/lit.png" "$grey") > 20000 && $(count_pixels "$work/shot.png" "$grey") == 0)) ||
    fail "the lit picture does not differ from the translucent one"

# Walk mode: N steps under gravity, then the picture with the sphere; its
# options without --walk are usage errors.
"$viewer" "$scene" --walk --hud --steps 150 --screenshot "$work/walk.png" </dev/null >"$work/out" 2>"$work/err" ||
    fail "--walk --steps --screenshot failed: $(cat "$work/err")"
[[ $(tail -n 1 "$work/out") == 150 ]] || fail "--walk took $(wc -l <"$work/out") steps, not 150"
(($(count_pixels "$work/walk.png" 'r>0.7 && g<0.6 && b<0.7') >= 5)) || fail "walk mode: no red sphere"
status=0
"$viewer" "$scene" --step-height 1 </dev/null >/dev/null 2>"$work/err" || status=$?
((status == 2)) || fail "--step-height without --walk: status $status, expected 2"

# The running viewer: a title naming the scene; asleep while paused; a drag
# turns the scene; steps paced by --rate.
"$viewer" "$scene" --rate 30 >"$work/out" 2>"$work/err" &
VIEWER_PID=$!
window=$(find_window "sweepview - $(basename "$scene")" 60) || fail "no window titled after the scene"
shoot() { import -window root -crop 640x480+100+100 +repage "$1"; }
drawn() { shoot "$work/before.png" && (($(count_pixels "$work/before.png" 'r>0.7 && g<0.6 && b<0.7') >= 5)); }
wait_until 60 drawn || fail "the viewer drew nothing"
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$VIEWER_PID/stat"; }
before=$(cpu_ticks)
sleep 2
idle=$(($(cpu_ticks) - before))
((4 * idle < 2 * $(getconf CLK_TCK))) || fail "paused, the viewer used $idle ticks of CPU in 2 s"
shoot "$work/before.png"
xdotool mousemove --window "$window" 300 240 mousedown 1 mousemove --window "$window" 340 250 \
    mousemove --window "$window" 400 260 mouseup 1
changed() {
    shoot "$work/after.png" && [[ $(compare -metric AE "$work/before.png" "$work/after.png" null: 2>&1) != 0 ]]
}
wait_until 30 changed || fail "a drag did not change the view"
[[ ! -s $work/out ]] || fail "steps taken while paused"
press "$window" space
sleep 2
press "$window" space
steps=$(wc -l <"$work/out")
((steps >= 40 && steps <= 80)) || fail "--rate 30 took $steps steps in 2 s"
press "$window" Escape
wait "$VIEWER_PID" || true
VIEWER_PID=
echo "viewer command line end-to-end: ok (red $red pixels, escape at step $step, idle $idle ticks, $steps steps in 2 s)"
