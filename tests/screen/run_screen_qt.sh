#!/bin/bash
# The real Qt program on a real X server, used as a person uses it: xdotool
# clicks at the centres of controls (positions from the layout tables, as
# the layout probe converts them, and the window's measured place), presses
# keys and types; the test reads back what a person sees: screenshots
# (colours of lamps and status, dark pixels where the peer address stands),
# window places, captions, which windows exist, the exit status.
#
#   run_screen_qt.sh kelvane|sorrel PROGRAM DEVICE_SIM LAYOUT_PROBE [SHOT]
#
# The program runs on an Xvfb display of the test's own, in a private
# network namespace whose only adapter is one end of a veth pair
# (198.51.100.10); the device runs in a second namespace on the other end
# (198.51.100.20). With SHOT, a picture of the window with the device
# connected is saved there.
#
# Exit status: 0 passed, 1 failed, 77 skipped (no X server, xdotool or
# namespace). The folder is kept after a failure, or with SCREEN_KEEP set.
set -u

variant=${1:?variant}
readonly testTag="screen $variant"
program=${2:?program}
sim=${3:?device simulator}
probe=${4:?layout probe}
shot=${5:-}
# shellcheck source=SCRIPTDIR/../support/monitor_env.sh
source "$(dirname "${BASH_SOURCE[0]}")/../support/monitor_env.sh"

if [[ -z "${SCREEN_IN_NAMESPACE:-}" ]]; then
    require_tools Xvfb xdotool xwininfo import convert unshare nsenter ip iconv timeout
    require_built "$program" "$sim" "$probe"
    require_namespaces
    [[ -n "$shot" ]] && shot=$(absolute "$shot")
    rerun_in_namespace SCREEN_IN_NAMESPACE "$variant" "$program" "$sim" "$probe" "$shot"
fi

prepare_namespace
variant_facts "$variant"

readonly monitorAddress=198.51.100.10
readonly deviceAddress=198.51.100.20
readonly listenPort=10003

start_work "screen-$variant" SCREEN_KEEP
make_device_namespace scr "$monitorAddress" "$deviceAddress"

# ---- the display --------------------------------------------------------
start_xvfb "$work" 1280x1024
unset QT_QPA_PLATFORM

# ---- the layout -----------------------------------------------------------
peerText="接続元 : $deviceAddress"
"$probe" "$peerText" > "$work/layout" 2> /dev/null || { echo "$testTag: probe failed"; exit 1; }
declare -A rect
while read -r kind dialog id x y w h; do
    [[ $kind == control ]] && rect[$dialog.$id]="$x $y $w $h"
done < "$work/layout"
read -r _ mainW mainH < <(grep '^main ' "$work/layout")
peerWidth=$(awk '/^width/ { print $2 }' "$work/layout")

# Control ids of the templates.
readonly serverButton=1001 statusLabel=1017 titleButton=1020 saveButton=1021 adapterCombo=1003
readonly loggingCheck=1010 nameEdit1=1004 peerLabel1=1018 lamp1=1100 outLamp1=1105 onOff1=1027
readonly titleEdit=1018

# ---- eyes -------------------------------------------------------------------
window_of() {  # caption -> the visible window's id, waiting up to 5 s
    local id
    for _ in $(seq 100); do
        id=$(xdotool search --onlyvisible --name "^$1\$" 2> /dev/null | head -n 1)
        [[ -n "$id" ]] && { echo "$id"; return 0; }
        sleep 0.05
    done
    return 1
}
place_of() {  # window -> "X Y W H" of its client area on the screen
    xwininfo -id "$1" | awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
        /Width:/ { w = $NF } /Height:/ { h = $NF } END { print x, y, w, h }'
}
snap() { import -window root "$work/shot.png"; }
colour_at() {  # dialog control dx dy -> #RRGGBB of that pixel of the last shot
    local -a r origin
    read -ra r <<< "${rect[$1.$2]}"
    read -ra origin <<< "${origins[$1]}"
    convert "$work/shot.png" -crop "1x1+$((origin[0] + r[0] + $3))+$((origin[1] + r[1] + $4))" \
        -depth 8 txt:- | grep -o '#[0-9A-F]\{6\}' | head -n 1
}
face_of() { colour_at main "$1" 4 4; }  # inside the edge
darkest_in() {  # control x0 width -> darkest grey (0-255) of that strip of the label
    local -a r origin
    read -ra r <<< "${rect[main.$1]}"
    read -ra origin <<< "${origins[main]}"
    convert "$work/shot.png" -crop "$3x$((r[3]))+$((origin[0] + r[0] + $2))+$((origin[1] + r[1]))" \
        +repage -colorspace Gray -format '%[fx:int(255*minima)]' info:
}
expect_face() {  # control colour what
    local seen
    seen=$(face_of "$1")
    [[ $seen == "$2" ]] && pass "$3" || fail "$3: $seen instead of $2"
}

# ---- hands ------------------------------------------------------------------
declare -A origins
click_at() {  # dialog control [dx] -> clicks the control's centre (or dx from its left)
    local -a r origin
    read -ra r <<< "${rect[$1.$2]}"
    read -ra origin <<< "${origins[$1]}"
    local x=$((origin[0] + r[0] + ${3:-$((r[2] / 2))})) y=$((origin[1] + r[1] + r[3] / 2))
    [[ $2 == "$adapterCombo" ]] && y=$((origin[1] + r[1] + 10))
    xdotool mousemove --sync "$x" "$y" click 1
    sleep 0.3
}
keys() { xdotool key --delay 80 "$@"; sleep 0.3; }
typed() { xdotool type --delay 40 "$1"; sleep 0.2; }
focus_window() { xdotool windowfocus --sync "$1" 2> /dev/null; sleep 0.2; }

wait_for() {  # tries command... : until it succeeds, every 50 ms
    local tries=$1
    shift
    for _ in $(seq "$tries"); do "$@" && return 0; sleep 0.05; done
    return 1
}
visible_windows() { xdotool search --onlyvisible --class . 2> /dev/null | wc -l; }
caption_is() { [[ "$(xdotool getwindowname "$1" 2> /dev/null)" == "$2" ]]; }

start_program() {
    "$work/$productName" > "$work/program.out" 2>&1 &
    programPid=$!
    mainWindow=$(window_of "$1") || {
        fail "no window captioned $1; the program wrote:"
        cat "$work/program.out"
        exit 1
    }
    focus_window "$mainWindow"
    read -r mx my mw mh < <(place_of "$mainWindow")
    origins[main]="$mx $my"
    sleep 0.5
}

# ---------------------------------------------------------------------------
cp "$program" "$work/$productName"
grey='#7F7F7F' red='#FF0000' black='#000000'

start_program "$productName"
[[ "$mw $mh" == "$mainW $mainH" ]] && pass "the window is $mw x $mh px, as its dialog units give" ||
    fail "the window is $mw x $mh px instead of $mainW x $mainH"
snap
expect_face "$lamp1" "$grey" "stopped: input lamp 1 grey"
expect_face "$statusLabel" "$grey" "stopped: status grey"

click_at main "$serverButton"
wait_for 100 all_listening "$listenPort" && pass "the server button starts the server" ||
    fail "nothing listens on $listenPort after the server button"
sleep 0.3
snap
expect_face "$statusLabel" "$red" "running: status red"

device --connect "$monitorAddress:$listenPort" --bind "$deviceAddress" --send "FC 02 02" --hold -1 \
    > "$work/device.out" 2>&1 &
holderPid=$!
wait_for 100 grep -q "FC 07\|FC 02" "$work/device.out" || fail "no reply to the change frame"
sleep 0.5
snap
expect_face "$lamp1" "$black" "input 1 off: black"
expect_face $((lamp1 + 1)) "$red" "input 2 on: red"
# The whole address in the label: dark pixels in the last pixels of its
# measured width (a label too narrow wraps the address below its height).
lastDark=$(darkest_in "$peerLabel1" $((peerWidth - 5)) 5)
((lastDark < 100)) && pass "the peer label shows the address to its end ($peerWidth px)" ||
    fail "no text at the end of \"$peerText\" in the peer label (darkest $lastDark)"
[[ -n "$shot" ]] && cp "$work/shot.png" "$shot"

if [[ $variant == kelvane ]]; then
    expect_face "$outLamp1" "$black" "output 1 off: black"
    click_at main "$onOff1"
    snap
    expect_face "$outLamp1" "$red" "ON/OFF turns output 1 on: red"
fi

click_at main "$loggingCheck" 8
device --connect "$monitorAddress:$listenPort" --bind "$deviceAddress" --send "FC 01 01" --quiet \
    > /dev/null 2>&1
wait_for 60 grep -q "$deviceAddress" "$work/$productName.csv" 2> /dev/null &&
    pass "the logging box switches the log on" || fail "no log line after ticking the logging box"

click_at main "$nameEdit1"
keys ctrl+a
typed "Pump1"

# ---- the title bar dialog ----------------------------------------------------
click_at main "$titleButton"
titleWindow=$(window_of "タイトルバーの変更") || fail "the title bar dialog did not open"
if [[ -n "${titleWindow:-}" ]]; then
    focus_window "$titleWindow"
    read -r tx ty tw th < <(place_of "$titleWindow")
    dx=$((tx + tw / 2 - mx - mw / 2)) dy=$((ty + th / 2 - my - mh / 2))
    ((dx * dx + dy * dy <= 4)) && pass "the title bar dialog opens centred over the window" ||
        fail "the title bar dialog is off centre by $dx,$dy px"
    keys Tab Tab
    typed "Wrong"
    keys Tab Tab Return
    wait_for 40 bash -c "! xdotool search --onlyvisible --name '^タイトルバーの変更\$' > /dev/null" &&
        caption_is "$mainWindow" "$productName" &&
        pass "Enter on ｷｬﾝｾﾙ cancels" || fail "Enter on ｷｬﾝｾﾙ: caption $(xdotool getwindowname "$mainWindow")"

    click_at main "$titleButton"
    titleWindow=$(window_of "タイトルバーの変更")
    focus_window "$titleWindow"
    origins[title]="$(place_of "$titleWindow" | cut -d' ' -f1-2)"
    click_at title "$titleEdit"
    keys ctrl+a
    typed "Line A"
    keys Return
    wait_for 40 caption_is "$mainWindow" "Line A" && pass "Enter in the edit is OK: caption Line A" ||
        fail "Enter in the edit: caption $(xdotool getwindowname "$mainWindow")"
fi
focus_window "$mainWindow"

# ---- the save dialog -----------------------------------------------------
settings="$work/screen.$extension"
windowsBefore=$(xdotool search --onlyvisible --name . 2> /dev/null | sort)
click_at main "$saveButton"
fileWindow=""
for _ in $(seq 100); do
    fileWindow=$(comm -13 <(echo "$windowsBefore") \
        <(xdotool search --onlyvisible --name . 2> /dev/null | sort) | head -n 1)
    [[ -n "$fileWindow" ]] && break
    sleep 0.05
done
if [[ -n "$fileWindow" ]]; then
    focus_window "$fileWindow"
    sleep 0.5
    keys ctrl+a
    typed "$settings"
    keys Return
fi
if wait_for 60 test -s "$settings" &&
    iconv -f CP932 -t UTF-8 "$settings" | grep -q '^#$DI1=Pump1' &&
    iconv -f CP932 -t UTF-8 "$settings" | grep -q '^#$TITLEBAR=Line A'; then
    pass "the save dialog saved the typed name and the caption"
else
    fail "no settings saved through the save dialog"
fi
focus_window "$mainWindow"

# ---- stop ------------------------------------------------------------------
click_at main "$serverButton"
wait_for 100 bash -c "! grep -q ':$(printf '%04X' $listenPort) 00000000:0000 0A' /proc/net/tcp" ||
    fail "still listening after the stop"
sleep 0.5
snap
expect_face "$lamp1" "$grey" "stopped: input lamp 1 grey"
expect_face $((lamp1 + 1)) "$grey" "stopped: input lamp 2 grey"
expect_face "$statusLabel" "$grey" "stopped: status grey"
[[ $variant == kelvane ]] && expect_face "$outLamp1" "$black" "stopped: output 1 black"
labelDark=$(darkest_in "$peerLabel1" 0 "$peerWidth")
((labelDark > 150)) && pass "stopped: the peer label is empty" ||
    fail "stopped: the peer label still shows text"

# ---- Escape on the open list, then Escape ---------------------------------
visibleBefore=$(visible_windows)
click_at main "$adapterCombo"
if wait_for 40 bash -c "[[ \$(xdotool search --onlyvisible --class . 2> /dev/null | wc -l) -gt $visibleBefore ]]"; then
    pass "a click on the adapter field opens its list"
else
    fail "the adapter list did not open"
fi
keys Escape
sleep 0.3
kill -0 "$programPid" 2> /dev/null && window_of "Line A" > /dev/null &&
    pass "Escape on the open list closes the list only" ||
    fail "Escape on the open list ended the program"
focus_window "$mainWindow"
keys Escape
if wait_for 100 bash -c "! kill -0 $programPid 2> /dev/null"; then
    wait "$programPid"
    status=$?
    programPid=""
    ((status == 0)) && pass "Escape ends the program with status 0" ||
        fail "the program ended with status $status"
else
    fail "Escape did not end the program"
fi

# ---- the restart from the pointer -------------------------------------------
start_program "Line A"
wait_for 100 all_listening "$listenPort" && pass "restarted from the pointer: caption and server back" ||
    fail "the restart did not start the server from the saved settings"
snap
expect_face "$statusLabel" "$red" "restarted: status red"
keys Escape
wait_for 100 bash -c "! kill -0 $programPid 2> /dev/null" && wait "$programPid" && programPid=""

finish
