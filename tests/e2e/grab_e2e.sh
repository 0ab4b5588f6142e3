#!/bin/bash
# End-to-end check of the keyboard grab and the close rules on a real X11 window under Xvfb.
# Usage: grab_e2e.sh <grab_host> <x11_probe>. Exits 77 (skipped) when Xvfb or the tools are
# missing.
set -u
host=$1
probe=$2

for tool in Xvfb xdotool import compare; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "SKIP: $tool is not installed"
        exit 77
    fi
done

# No display at all: a clear message and a failing exit, not an invisible program.
no_display=$(env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER timeout 20 "$host" 2>&1)
status=$?
if [ "$status" -eq 0 ] || [ "$status" -eq 124 ] || ! grep -q "cannot open the display" <<<"$no_display"; then
    echo "FAIL: without a display the program ended with status $status: $no_display"
    exit 1
fi
echo "ok: no display gives a message and status $status"

work=$(mktemp -d)
xvfb_pid=""
host_pid=""
cleanup() {
    [ -n "$host_pid" ] && kill "$host_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*"
    exit 1
}

width=800
height=600
# -displayfd picks a free display number itself, so parallel runs cannot collide.
Xvfb -displayfd 3 -screen 0 ${width}x${height}x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    sleep 0.1
done
[ -s "$work/display" ] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=":$(head -n1 "$work/display")"
export SDL_VIDEODRIVER=x11
unset SDL_AUDIODRIVER
export SDL_AUDIODRIVER=dummy

"$probe" grab >/dev/null || fail "the keyboard is grabbed before the window runs"

# SDL unloads its X11 helper libraries at exit, so their leftovers cannot be attributed and no
# suppression matches them; the unit tests check Tappy's own allocations for leaks.
GRAB_HOST_DUMP="$work/back.ppm" ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" "$host" >"$work/host.log" 2>&1 &
host_pid=$!

# Waits up to $1 tenths of a second for the command that follows to succeed.
wait_for() {
    local tenths=$1
    shift
    for _ in $(seq "$tenths"); do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    return 1
}
grabbed() { "$probe" grab; [ $? -eq 2 ]; }
alive() { kill -0 "$host_pid" 2>/dev/null; }

wait_for 100 test -s "$work/back.ppm" || fail "the window never painted: $(cat "$work/host.log")"
wait_for 30 grabbed || fail "a second client could still grab the keyboard"
echo "ok: a second client's grab fails with AlreadyGrabbed"

"$probe" close Tappy || fail "no window named Tappy to send a close request to"
sleep 1
alive || fail "a window manager's close request closed the window"
grabbed || fail "the grab was lost after a close request"
echo "ok: a close request is ignored"

import -window root "$work/shot.png" || fail "no screenshot"
diff_pixels=$(compare -metric AE "$work/back.ppm" "$work/shot.png" null: 2>&1)
[ "$diff_pixels" = "0" ] || fail "the screen differs from the back buffer in $diff_pixels pixels"
echo "ok: the screen equals the back buffer"

"$probe" steal 1000 || fail "the focus and the grab did not come back within a second"
echo "ok: the focus and the grab come back after a focus steal"

# Idle CPU: clock ticks (utime + stime) used over five seconds without events.
ticks() { awk '{print $14 + $15}' "/proc/$host_pid/stat"; }
before=$(ticks)
sleep 5
after=$(ticks)
echo "idle CPU: $((after - before)) clock ticks in 5 s ($(getconf CLK_TCK) per second)"

# Corner clicks through XTEST, as a person's would be.
xdotool mousemove 5 5 click 1
sleep 0.2
alive || fail "the first corner click alone closed the window"
xdotool mousemove $((width - 5)) 5 click 1
wait_for 50 bash -c "! kill -0 $host_pid" || fail "the corner gesture did not close the window"
wait "$host_pid"
status=$?
host_pid=""
[ "$status" -eq 0 ] || fail "the program ended with status $status: $(cat "$work/host.log")"
echo "ok: the corner gesture closes the window"

"$probe" grab >/dev/null || fail "the keyboard stays grabbed after the window is gone"
echo "ok: the grab ends with the window"
