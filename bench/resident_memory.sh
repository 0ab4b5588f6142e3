#!/usr/bin/env bash
# Tappy's resident memory while playing, on X11 (Xvfb) and on native Wayland (headless sway), at
# one screen size: starts the program on its bundled content, presses 20 keys, and reads the peak
# resident size (VmHWM) from /proc. Run from the top folder after `make`:
#   bench/resident_memory.sh [build/tappy] [1920x1080]
# Needs Xvfb, xdotool, sway and wtype (apt install xvfb xdotool sway wtype). sway refuses to
# run as root; as root it runs as nobody, with the runtime folder its own.
set -eu
tappy=$(realpath "${1:-build/tappy}")
size=${2:-1920x1080}
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; sleep 0.5; rm -rf "$work"' EXIT
chmod 755 "$work"
keys="a s d f g h j k l q w e r t y u i o p z"

peak_kb() { # pid
    grep VmHWM "/proc/$1/status" | awk '{print $2}'
}

# X11.
Xvfb -displayfd 3 -screen 0 "${size}x24" 3>"$work/display" 2>/dev/null &
while [ ! -s "$work/display" ]; do sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"
SDL_AUDIODRIVER=dummy "$tappy" 2>/dev/null &
pid=$!
sleep 3
for k in $keys; do xdotool key "$k"; sleep 0.2; done
echo "X11     $size: $(($(peak_kb $pid) / 1024)) MB peak resident"
kill $pid
unset DISPLAY

# Wayland.
as_user=()
if [ "$(id -u)" = 0 ]; then as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups); fi
mkdir -m 700 "$work/run"
printf 'output HEADLESS-1 mode %s\n' "$size" >"$work/config"
[ "$(id -u)" = 0 ] && chown nobody:nogroup "$work/run" "$work/config"
env -i PATH="$PATH" HOME="$work" XDG_RUNTIME_DIR="$work/run" WLR_BACKENDS=headless \
    WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman WLR_HEADLESS_OUTPUTS=1 \
    "${as_user[@]}" sway -c "$work/config" >/dev/null 2>&1 &
while ! ls "$work/run"/wayland-* >/dev/null 2>&1; do sleep 0.1; done
export XDG_RUNTIME_DIR="$work/run" WAYLAND_DISPLAY=$(basename "$(ls "$work/run"/wayland-? | head -1)")
SDL_AUDIODRIVER=dummy "$tappy" 2>/dev/null &
pid=$!
sleep 3
for k in $keys; do wtype "$k"; sleep 0.2; done
echo "Wayland $size: $(($(peak_kb $pid) / 1024)) MB peak resident"
kill $pid
