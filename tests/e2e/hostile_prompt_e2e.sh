#!/usr/bin/env bash
# Hostile answers at the viewer's prompt, end to end:
#   hostile_prompt_e2e.sh SWEEPVIEW SCENE.dorn
# Each of these names must be refused within a bounded time with "Invalid file
# name" on standard output and its reason on standard error, and the program
# must go on asking: a 1 MB word, binary bytes, a name with a NUL byte after a
# loadable scene's name, a directory, a file without read permission, a name
# with a leading dash, a FIFO nobody writes to. End of input then ends the
# program with status 1; a scene named after them all still opens the window.
# As root (where permissions do not bind) the viewer runs as nobody.
set -euo pipefail
viewer=$1
scene=$2
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../scripts/lib/x11.sh"

begin_session

as_user=()
if [[ $(id -u) -eq 0 ]]; then
    as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
fi
chmod 755 "$work"
dir=$work/scenes
mkdir -m 755 "$dir"
cp "$scene" "$dir/-scene.dorn"
chmod 644 "$dir/-scene.dorn"
cp "$scene" "$dir/locked.dorn"
chmod 000 "$dir/locked.dorn"
mkfifo -m 644 "$dir/silent.fifo"
cp "$viewer" "$work/sweepview"

{
    head -c 1048576 /dev/zero | tr '\0' 'a'
    echo
    printf '\x01\x02\xfe\xff\x1b[2J.dorn\n'
    printf -- '-scene.dorn\0junk\n'
    printf '%s\n' "$dir" locked.dorn -rf --help silent.fifo
} >"$work/hostile"
refusals=8

# The names alone, then end of input.
start=$SECONDS
status=0
(cd "$dir" && timeout 60 "${as_user[@]}" "$work/sweepview" <"$work/hostile" >"$work/out" 2>"$work/err") ||
    status=$?
((status == 1)) || fail "status $status after end of input (1 expected; 124 is a time-out)"
((SECONDS - start < 30)) || fail "the refusals took $((SECONDS - start)) s"
count=$(grep -o "Invalid file name" "$work/out" | wc -l)
((count == refusals)) || fail "$count refusals for $refusals names"
grep -q "aaaa... (a name of 1048576 bytes): cannot open: File name too long" "$work/err" ||
    fail "the 1 MB word's reason"
grep -qF '\x01\x02' "$work/err" || fail "the binary name's reason"
grep -qF -- '-scene.dorn\x00junk: the name holds a NUL byte' "$work/err" || fail "the NUL's reason"
grep -qF "$dir: is a directory" "$work/err" || fail "the directory's reason"
grep -qF "locked.dorn: cannot open: Permission denied" "$work/err" || fail "the locked file's reason"
grep -qF -- "-rf: cannot open: No such file or directory" "$work/err" || fail "the dashed name's reason"
grep -qF -- "--help: cannot open" "$work/err" || fail "--help's reason"
grep -qF "silent.fifo: not a regular file" "$work/err" || fail "the FIFO's reason"
grep -q "No scene loaded" "$work/err" || fail "no message at end of input"
if grep -q $'\x1b' "$work/err"; then fail "a control byte of a name reached the terminal"; fi
((refusals + 2 == $(wc -l <"$work/err"))) || fail "standard error has other lines"
echo "$refusals hostile names refused in $((SECONDS - start)) s, then end of input: ok"

# The same names, then a scene whose name begins with a dash: the window opens.
start_xvfb "$work/xvfb.log" || fail "no X server"
{
    cat "$work/hostile"
    echo "-scene.dorn"
} >"$work/hostile-then-scene"
(cd "$dir" && exec "${as_user[@]}" "$work/sweepview" <"$work/hostile-then-scene" >"$work/out" 2>"$work/err") &
VIEWER_PID=$!
find_window "GLUT app" 60 >/dev/null || fail "no window after the hostile names"
count=$(grep -o "Invalid file name" "$work/out" | wc -l)
((count == refusals)) || fail "$count refusals before the scene loaded"
echo "the scene named -scene.dorn loaded after them: ok"
