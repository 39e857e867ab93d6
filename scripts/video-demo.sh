#!/bin/sh
# Shows the drone's video in the player, with the simulated drone, and takes a
# screenshot. Everything runs in a private network namespace with only loopback:
# nothing can reach a real network.
#
#   scripts/video-demo.sh [BUILD_DIR] [SCREENSHOT]
#
# BUILD_DIR holds bin/hoverdeck and bin/hoverdeck-drone (default: build);
# SCREENSHOT defaults to /tmp/video.png. Needs Xvfb, xdotool, ImageMagick's
# import, ffmpeg and ffplay.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
shot=${2:-/tmp/video.png}

if [ -z "${HOVERDECK_DEMO_NETNS:-}" ]; then
    # Again, inside a new network namespace with only lo up.
    export HOVERDECK_DEMO_NETNS=1
    if [ "$(id -u)" -eq 0 ]; then unshare_opts=-n; else unshare_opts=-rn; fi
    exec unshare $unshare_opts sh -c 'ip link set lo up && exec "$0" "$1" "$2"' "$0" "$build" "$shot"
fi

if ip -o addr show | grep -v ' lo ' | grep -q inet; then
    echo "video-demo: refusing to run with a network interface other than lo" >&2
    exit 1
fi

work=$(mktemp -d)
pids=""
cleanup() {
    for pid in $pids; do
        kill "$pid" 2>/dev/null || true
    done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

# A virtual display on the first free display number.
Xvfb -displayfd 5 -screen 0 1400x900x24 -nolisten tcp 5>"$work/display" 2>"$work/xvfb.log" &
pids="$pids $!"
timeout 10 sh -c "until [ -s '$work/display' ]; do sleep 0.1; done"
DISPLAY=:$(cat "$work/display")
export DISPLAY

# The application finds the player in this bundle next to its executable.
cp "$build/bin/hoverdeck" "$work/hoverdeck"
mkdir -p "$work/Quenbrast.app/Contents/Resources"
ln -s "$(command -v ffplay)" "$work/Quenbrast.app/Contents/Resources/ffplay"

"$build/bin/hoverdeck-drone" --address 127.0.0.2 --port 8889 --video >"$work/drone.log" 2>&1 &
drone=$!
pids="$pids $drone"

"$work/hoverdeck" >"$work/app.log" 2>&1 &
app=$!
pids="$pids $app"

win=$(timeout 20 xdotool search --sync --onlyvisible --name '^Hoverdeck$' | head -n 1)
eval "$(xdotool getwindowgeometry --shell "$win")"
# The content area (780 x 550) sits at the bottom of the window, under the menu bar.
left=$X
top=$((Y + HEIGHT - 550))
click() {
    xdotool mousemove --sync $((left + $1)) $((top + $2)) click 1
}

# Aim at the simulated drone before anything is sent.
click 126 19 # AddressEF
xdotool key --clearmodifiers ctrl+a
xdotool type --delay 20 127.0.0.2
click 360 22 # Connect
click 650 22 # streamon

timeout 20 xdotool search --sync --onlyvisible --name 'udp://' >/dev/null
sleep 5 # let the player show some frames
import -window root "$shot"
echo "video-demo: screenshot in $shot"

click 650 49 # streamoff
# File > Quit: the close sequence lands the drone and ends the application.
xdotool key --window "$win" --clearmodifiers ctrl+q
if timeout 10 sh -c "while kill -0 $app 2>/dev/null; do sleep 0.2; done"; then
    wait "$app" && echo "video-demo: the application ended with 0" || echo "video-demo: the application ended with $?"
fi
echo "--- what the simulated drone received and answered:"
cat "$work/drone.log"
