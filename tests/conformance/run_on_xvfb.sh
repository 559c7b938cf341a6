#!/bin/bash
# Runs a conformance program on an X server of its own (the Qt backend on
# xcb, or Wine's X11 driver), then ends the server.
#
#   run_on_xvfb.sh PROGRAM [ARGS...]
#
# Exit status: the program's, or 77 (skipped) when Xvfb is missing or does
# not start.
set -u

command -v Xvfb > /dev/null || { echo "skipped: no Xvfb"; exit 77; }
work=$(mktemp -d "${TMPDIR:-/tmp}/ui-conformance-x.XXXXXX")
xvfbPid=""
end() {
    [[ -n "$xvfbPid" ]] && kill "$xvfbPid" 2> /dev/null && wait "$xvfbPid" 2> /dev/null
    rm -rf "$work"
}
trap end EXIT

# The server never resets: a reset when the last client leaves can turn
# away the next one.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3> "$work/display" \
    2> "$work/xvfb.log" &
xvfbPid=$!
for _ in $(seq 200); do
    [[ -s "$work/display" ]] && break
    kill -0 "$xvfbPid" 2> /dev/null || break
    sleep 0.05
done
[[ -s "$work/display" ]] || { echo "skipped: Xvfb did not start"; cat "$work/xvfb.log"; exit 77; }
export DISPLAY=:$(cat "$work/display")
export QT_QPA_PLATFORM=xcb
"$@"
