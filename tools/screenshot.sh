#!/bin/sh
# Takes a PNG of a program's window on a private X server.
#
#   tools/screenshot.sh <program> <output.png> [window caption] [settle seconds]
#
# Starts Xvfb on a free display, runs the program on it, waits until a window
# with the caption (default: the program's file name) is mapped, lets it paint,
# captures the screen with ImageMagick's import, crops it to the window and
# ends the program and the server again.
set -eu

if [ $# -lt 2 ]; then
    echo "usage: $0 <program> <output.png> [window caption] [settle seconds]" >&2
    exit 2
fi
program=$1
output=$2
caption=${3:-$(basename "$program")}
settle=${4:-2}

for tool in Xvfb xwininfo import; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "$0: $tool is missing (apt-get install xvfb x11-utils imagemagick)" >&2
        exit 1
    fi
done

work=$(mktemp -d)
xvfb_pid=
program_pid=
cleanup() {
    status=$?
    if [ -n "$program_pid" ]; then kill "$program_pid" 2>/dev/null || true; fi
    if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
    wait 2>/dev/null || true
    rm -rf "$work"
    exit "$status"
}
trap cleanup EXIT INT TERM

# Waits up to ten seconds for a command to succeed.
wait_for() {
    tries=0
    until "$@"; do
        tries=$((tries + 1))
        [ "$tries" -ge 100 ] && return 1
        sleep 0.1
    done
}

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
if ! wait_for test -s "$work/display"; then
    echo "$0: Xvfb did not start" >&2
    cat "$work/xvfb.log" >&2
    exit 1
fi
DISPLAY=:$(cat "$work/display")
export DISPLAY
unset WAYLAND_DISPLAY
QT_QPA_PLATFORM=xcb "$program" >"$work/program.log" 2>&1 &
program_pid=$!

window_mapped() {
    id=$(xwininfo -root -tree 2>/dev/null |
        awk -v name="\"$caption\":" '$2 == name { print $1; exit }')
    [ -n "$id" ] && xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable'
}
if ! wait_for window_mapped; then
    echo "$0: no window \"$caption\" appeared" >&2
    cat "$work/program.log" >&2
    exit 1
fi
sleep "$settle"

info=$(xwininfo -id "$id")
field() { echo "$info" | awk -F: -v key="$1" '$1 ~ key { gsub(/ /, "", $2); print $2 }'; }
geometry=$(field 'Width')x$(field 'Height')+$(field 'Absolute upper-left X')+$(field 'Absolute upper-left Y')
import -window root -crop "$geometry" +repage "$output"
echo "$output: $caption $geometry"
