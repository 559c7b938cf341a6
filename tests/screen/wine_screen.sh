#!/bin/bash
# One Windows program under Wine as a person uses it: the real .exe on an X
# server of the test's own, driven with the mouse and the keyboard (xdotool)
# at control centres taken from the program's generated dialog template and
# the window's measured size, read back from screenshots (pixel colours,
# dark pixels where a text stands), window geometry, captions, which windows
# exist and the exit status. A device on the other end of a veth pair in a
# private network namespace sends the frames.
#
#   wine_screen.sh VARIANT WINDOWS_BUILD_DIR DEVICE_SIM [SCREENSHOT_DIR]
#
# VARIANT is kelvane or sorrel; WINDOWS_BUILD_DIR is the cross build (bin/
# holds the .exe, generated/ its resource script); DEVICE_SIM is the Linux
# device simulator. With SCREENSHOT_DIR, a picture of the window with a
# device connected goes there as VARIANT-wine.png.
#
# Exit status: 0 passed, 1 failed, 77 skipped (no Wine, X server or namespace).
# The work folder is removed after a pass unless WINE_SCREEN_KEEP is set.
set -u

readonly testTag=wine-screen
variant=${1:?kelvane or sorrel}
buildDir=${2:?folder of the Windows build}
sim=${3:?device simulator}
shotDir=${4:-}
# shellcheck source=SCRIPTDIR/../support/monitor_env.sh
source "$(dirname "${BASH_SOURCE[0]}")/../support/monitor_env.sh"
# shellcheck source=SCRIPTDIR/../support/screen_env.sh
source "$(dirname "${BASH_SOURCE[0]}")/../support/screen_env.sh"
# shellcheck source=SCRIPTDIR/../support/history_screen.sh
source "$(dirname "${BASH_SOURCE[0]}")/../support/history_screen.sh"
variant_facts "$variant"

if [[ -z "${WINE_SCREEN_IN_NAMESPACE:-}" ]]; then
    require_tools wine wineserver Xvfb xwininfo xdotool xclip import convert unshare nsenter ip iconv \
        timeout
    require_built "$buildDir/bin/$productName.exe" "$buildDir/generated/$productName.rc" "$sim"
    require_namespaces
    rerun_in_namespace WINE_SCREEN_IN_NAMESPACE "$variant" "$(absolute "$buildDir")" \
        "$(absolute "$sim")" "$(absolute_folder "$shotDir")"
fi

prepare_namespace

# Addresses of the longest dotted form, so that the peer label must hold its
# widest text; the second address of the adapter is a second list entry.
readonly monitorAddress=100.100.100.100 secondAddress=100.100.100.101
readonly deviceAddress=100.100.100.200
readonly port1=10003 caption2="Monitor A"
rcFile=$buildDir/generated/$productName.rc
readonly font=/usr/share/fonts/opentype/ipafont-gothic/ipagp.ttf

start_work wine-screen WINE_SCREEN_KEEP

make_device_namespace wsc "$monitorAddress $secondAddress" "$deviceAddress"
# Wide enough for the history window beside the main window.
start_xvfb "$work" 1280x1024
make_wine_prefix "$work"
# Wine draws the windows' frames and captions itself, as Windows does: with
# no window manager on this server, a hide would wait for a withdrawal.
timeout 60 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f > /dev/null 2>&1 ||
    fail "Wine's unmanaged windows"

# ---------------------------------------------------------------------------
# The main window on the screen.

mainId="" frame=""
# client_found: a fresh snap shows the frame and caption of mainId; its
# client area becomes the dialog the hands and eyes address. The frame is as
# thick on every side as above the caption, whose last row is followed by one
# line of the frame's colour.
client_found() {
    local x y w h first last
    frame=$(geometry "$mainId")
    read -r x y w h <<< "$frame"
    snap
    read -r first last <<< "$(convert "$work/shot.png" -crop "1x80+$((x + w / 2))+$y" +repage \
        -depth 8 txt:- | awk -F'[,:() ]+' '/^[0-9]/ { if ($3 < 200) { if (first == "") first = $2; last = $2 } }
                                          END { print first, last }')"
    # A window not yet drawn is dark from top to bottom.
    [[ -n "$first" ]] && ((last < 60)) || return 1
    use_dialog 102 $((x + first)) $((y + last + 2)) $((w - 2 * first)) $((h - last - 2 - first))
}
# find_main CAPTION: the main window, once it is drawn.
find_main() {
    wait_until 1200 caption_is "$1" || return 1
    mainId=$(window_of "$1")
    wait_until 40 client_found
}
# text_width TEXT: the width of a text in the font the dialog font maps to.
text_width() {
    convert -font "$font" -pointsize 9 -density 96 label:"$1" -format '%@' info: | sed 's/x.*//'
}
listens_at() { [[ "$(listening_on "$port1")" == "$1" ]]; }
not_listening() { [[ -z "$(listening_on "$port1")" ]]; }

lamps=()
for ((i = 0; i < inputs; i++)); do lamps+=($((1100 + i))); done
outputLamps=(1105 1106 1107)
boundAt=$monitorAddress
[[ $variant == sorrel ]] && boundAt=0.0.0.0
folder=$work/$variant
mkdir -p "$folder"
cp "$buildDir/bin/$productName.exe" "$folder/"

start_program() {
    (cd "$folder" && exec wine "$productName.exe") >> "$folder/program.out" 2>&1 &
    programPid=$!
}

# ---------------------------------------------------------------------------
# Start without a saved set-up; the server button starts the server.
started=$(date +%s)
start_program
if ! find_main "$productName"; then
    fail "no window \"$productName\" appeared"
    cat "$folder/program.out"
    exit 1
fi
pass "$productName.exe shows its window, client area ${dialogW}x$dialogH at $dialogX,$dialogY"
expect_faces "stopped: status and input lamps" grey 1017 "${lamps[@]}"

click 1001
wait_until 100 listens_at "$boundAt" && pass "the server button starts the server on $boundAt:$port1" ||
    fail "no listener on $boundAt:$port1 after the server button: $(listening_on $port1)"
# Enter on the focused server button presses nothing in the main window: a
# stop would take the listener away within this half second.
keys Return
sleep 0.5
listens_at "$boundAt" && caption_is "$productName" &&
    pass "Enter on the focused server button leaves the server running and the window open" ||
    fail "Enter on the focused server button stopped the server or closed the window"
expect_faces "running: status" red 1017
expect_faces "running, no frame yet: input lamps" black "${lamps[@]}"

# A device reports input 2 on and keeps its connection.
device --connect "$monitorAddress:$port1" --bind "$deviceAddress" --send "FC 02 02" --hold 60000 \
    > "$folder/holder.out" 2>&1 &
holderPid=$!
wait_until 100 grep -q '^[0-9:.]* <- FC 02' "$folder/holder.out" && pass "the change frame is answered FC 02" ||
    fail "the device got no reply FC 02"
expect_faces "input 2 on: lamp 2" red 1101
expect_faces "input 2 on: the other lamps" black "${lamps[@]:0:1}" "${lamps[@]:2}"
read -r _ _ labelWidth _ <<< "$(rect_px 1018)"
shown="接続元 : $deviceAddress"
shownWidth=$(text_width "$shown")
widest=$(text_width "接続元 : 255.255.255.255")
if wait_until 40 ink_at_least 1018 $((shownWidth - 3)); then
    pass "\"$shown\" readable in full: ${inkSeen} px of text, the text is ${shownWidth} px, the label ${labelWidth} px"
else
    fail "\"$shown\" cut: ${inkSeen} px of text shown of ${shownWidth} px (label ${labelWidth} px)"
fi
((widest <= labelWidth)) && pass "the widest address text (${widest} px) fits the label" ||
    fail "the widest address text (${widest} px) is wider than the label (${labelWidth} px)"
[[ -n "$shotDir" ]] && import -window root -crop "${dialogW}x$dialogH+$dialogX+$dialogY" +repage \
    "$shotDir/$variant-wine.png" && pass "screenshot $shotDir/$variant-wine.png"

if [[ $variant == kelvane ]]; then
    click 1027
    expect_faces "ON/OFF 1 pressed: output lamp 1" red 1105
    wait_until 100 grep -q '^[0-9:.]* <- FA F0 01' "$folder/holder.out" &&
        pass "the device got output frame FA F0 01" || fail "no output frame FA F0 01 reached the device"
    click 1027
    expect_faces "ON/OFF 1 pressed again: output lamps" black "${outputLamps[@]}"
fi

# The signal history beside the main window.
history_send() {
    device --connect "$monitorAddress:$port1" --bind "$deviceAddress" "$@" \
        > "$work/history_send.out" 2>&1 || fail "the device's frames $*"
}
# Wine draws the frame: the client area is the template's size, at the
# main window's scale, inside a frame as thick at the sides as below.
history_client() {
    local x y w h cx cy
    read -r x y w h <<< "$(geometry "$1")"
    read -r cx cy <<< "$(rc_size 140)"
    cx=$(((cx * mainClientW + mainCx / 2) / mainCx)) cy=$(((cy * mainClientH + mainCy / 2) / mainCy))
    echo $((x + (w - cx) / 2)) $((y + h - cy - (w - cx) / 2)) "$cx" "$cy"
}
history_png_name() { echo "Z:${1//\//\\}"; }
mainClientW=$dialogW mainClientH=$dialogH mainCx=$dialogCx mainCy=$dialogCy
history_scenario "${shotDir:+$shotDir/$variant-history-wine.png}" "$folder/history.png"
# A log as big as HISTORY_LOG_MB, 2 MB unless set (100 for the check by hand).
history_big_log "${HISTORY_LOG_MB:-2}"

# A name typed, logging switched on: the next frame's log line comes under a
# header with the new name.
click 1004
keys End shift+Home
typed Pump
click 1010
device --connect "$monitorAddress:$port1" --bind "$deviceAddress" --send "FC 01 01" --quiet \
    > "$folder/second.out" 2>&1 || fail "the second frame"
logFile=$folder/$productName.csv
wait_until 40 test -s "$logFile"
header=$(head -n 1 "$logFile" 2> /dev/null | iconv -f CP932 -t UTF-8 | tr -d '\r')
if [[ "$header" == 日付,時刻,接続元IPアドレス,Pump,DI2* ]] && grep -q ",$deviceAddress,1,1" "$logFile"; then
    pass "logging box and typed name: the log holds \"$header\" and the frame's line"
else
    fail "log after the logging box and the typed name: \"$header\" / $(tail -n 1 "$logFile" 2> /dev/null)"
fi

# The title bar dialog: centred over the main window; Enter on the focused
# Cancel button is Cancel, Enter in the edit is OK.
title_dialog() {  # opens it; its window in titleId
    click 1020
    wait_until 100 caption_is タイトルバーの変更 || return 1
    titleId=$(window_of タイトルバーの変更)
    focus_window "$titleId"
}
if title_dialog; then
    read -r tx ty tw th <<< "$(geometry "$titleId")"
    read -r mx my mw mh <<< "$frame"
    dx=$(((tx + tw / 2) - (mx + mw / 2))) dy=$(((ty + th / 2) - (my + mh / 2)))
    ((dx * dx <= 9 && dy * dy <= 9)) && pass "the title bar dialog opens centred over the main window" ||
        fail "the title bar dialog is off the main window's centre by $dx,$dy px"
    keys Tab Tab
    typed Wrong
    keys Tab Tab Return
    wait_until 40 caption_gone タイトルバーの変更 || fail "Enter on ｷｬﾝｾﾙ left the dialog open"
    caption_is "$productName" && pass "Enter on ｷｬﾝｾﾙ keeps the caption \"$productName\"" ||
        fail "Enter on ｷｬﾝｾﾙ changed the caption: $(xdotool getwindowname "$mainId")"
else
    fail "the title bar button opened no dialog"
fi
if title_dialog; then
    keys Tab Tab
    typed "$caption2"
    keys Return
    wait_until 40 caption_is "$caption2" && pass "Enter in the edit is OK: the caption is \"$caption2\"" ||
        fail "Enter in the edit did not set the caption: $(xdotool getwindowname "$mainId")"
else
    fail "the title bar button opened no dialog the second time"
fi

# The save dialog: Enter saves the offered file, which the pointer names.
before=$(viewable_windows)
click 1021
settings=$folder/$productName.$extension
settings_saved() { test -s "$settings"; }
if wait_until 200 list_open; then
    answer_file_dialog settings_saved
    saved=$(iconv -f CP932 -t UTF-8 "$settings" 2> /dev/null | tr -d '\r')
    if grep -qx "#\$TITLEBAR=$caption2" <<< "$saved" && grep -qx '#$DI1=Pump' <<< "$saved" &&
        grep -qx '#$SERVER=START' <<< "$saved" && grep -qx '#$LOGGING=ON' <<< "$saved"; then
        pass "the save dialog saved the set-up to $productName.$extension"
    else
        fail "the saved settings: $(tr '\n' ' ' <<< "$saved")"
    fi
else
    fail "the save button opened no dialog"
fi
wait_until 40 list_closed || fail "the save dialog stayed open"

# Stop with output 1 on and input 1 and 2 on.
[[ $variant == kelvane ]] && click 1027
click 1001
wait_until 100 not_listening && pass "the server button stops the server" || fail "still listening after the stop"
expect_faces "stopped: status and input lamps" grey 1017 "${lamps[@]}"
[[ $variant == kelvane ]] && expect_faces "stopped: output lamps" black "${outputLamps[@]}"
wait_until 40 no_ink 1018 && pass "stopped: the peer label is empty" ||
    fail "stopped: the peer label still shows $inkSeen px of text"

# Escape on the open adapter list closes the list only; Enter on it picks the
# entry under the highlight.
before=$(viewable_windows)
click_field 1003
if wait_until 40 list_open; then
    keys Escape
    if wait_until 40 list_closed && kill -0 "$programPid" 2> /dev/null && [[ -n "$(window_of "$caption2")" ]]; then
        pass "Escape on the open list closes the list and the program runs on"
    else
        fail "Escape on the open list: list open: $(list_open && echo yes || echo no), program runs: $(kill -0 "$programPid" 2> /dev/null && echo yes || echo no)"
    fi
else
    fail "a click on the adapter list did not open it"
fi
if kill -0 "$programPid" 2> /dev/null; then
    click_field 1003
    if wait_until 40 list_open; then
        keys Down Return
        wait_until 40 list_closed && pass "Enter on the open list closes it" || fail "Enter left the list open"
        click 1001
        if [[ $variant == kelvane ]]; then
            wait_until 100 listens_at "$secondAddress" &&
                pass "Enter picked the second entry: the server listens on $secondAddress" ||
                fail "after Enter on the second entry the server listens on: $(listening_on $port1)"
        else
            wait_until 100 listens_at "$boundAt" || fail "the server did not start again"
        fi
    else
        fail "a second click on the adapter list did not open it"
    fi
    escape_ends "first run" "$mainId" "$port1"
fi
closedAlone=$endedAfter

# ---------------------------------------------------------------------------
# The pointer names the saved set-up: the next start restores it.
start_program
if find_main "$caption2"; then
    pass "restart from the pointer: the caption is \"$caption2\""
    wait_until 100 listens_at "$boundAt" && pass "restart: the server runs on $boundAt:$port1" ||
        fail "restart: no listener on $boundAt:$port1"
    expect_faces "restart: status" red 1017
    # The history window open at the close: it leaves with the main window,
    # and Wine hides and destroys it within the close's time without it.
    click 1032
    if wait_until 100 caption_is "$historyCaption"; then
        # A click on a bare spot of the main window brings the keys back to it.
        read -r x y <<< "$(to_px 3 $((dialogCy - 3)))"
        xdotool mousemove --sync "$x" "$y" click 1
        escape_ends "restart with the history open" "$mainId" "$port1"
        wait_until 40 caption_gone "$historyCaption" || fail "the history window outlived the program"
        if [[ -n "$endedAfter" && -n "$closedAlone" ]]; then
            ((endedAfter <= closedAlone + 500)) &&
                pass "with the history open the close took $endedAfter ms, without it $closedAlone ms" ||
                fail "with the history open the close took $endedAfter ms, without it $closedAlone ms"
        fi
    else
        fail "restart: the history button opened no window"
        escape_ends "restart" "$mainId" "$port1"
    fi
else
    fail "restart: no window \"$caption2\""
fi

echo "$testTag: $productName took $(($(date +%s) - started)) s after the prefix"
finish
