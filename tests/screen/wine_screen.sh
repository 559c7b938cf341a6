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
variant_facts "$variant"

if [[ -z "${WINE_SCREEN_IN_NAMESPACE:-}" ]]; then
    require_tools wine wineserver Xvfb xwininfo xdotool import convert unshare nsenter ip iconv \
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
readonly rcFile=$buildDir/generated/$productName.rc
readonly font=/usr/share/fonts/opentype/ipafont-gothic/ipagp.ttf

start_work wine-screen WINE_SCREEN_KEEP
readonly shot=$work/screen.png

make_device_namespace wsc "$monitorAddress $secondAddress" "$deviceAddress"
start_xvfb "$work"
make_wine_prefix "$work"
# Wine draws the windows' frames and captions itself, as Windows does: with
# no window manager on this server, a hide would wait for a withdrawal.
timeout 60 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f > /dev/null 2>&1 ||
    fail "Wine's unmanaged windows"

# ---------------------------------------------------------------------------
# The dialog template and the window on the screen.

# rc_rect ID: x y cx cy of a control of the main window, in dialog units.
rc_rect() {
    awk -F', *' -v id="$1" '
        /^102 DIALOGEX/ { inside = 1; next }
        inside && /^END/ { exit }
        inside && $2 == id { print $(NF - 4), $(NF - 3), $(NF - 2), $(NF - 1); exit }' "$rcFile"
}
# rc_size: cx cy of the main window, in dialog units.
rc_size() { awk -F', *' '/^102 DIALOGEX/ { print $3, $4; exit }' "$rcFile"; }

# window_of CAPTION: the X window of a viewable top-level window.
window_of() {
    local id
    for id in $(xwininfo -root -children 2> /dev/null | awk -v name="\"$1\":" 'index($0, name) { print $1 }'); do
        xwininfo -id "$id" 2> /dev/null | grep -q 'IsViewable' && { echo "$id"; return; }
    done
}
# viewable_windows: ids of every viewable top-level window.
viewable_windows() {
    local id
    for id in $(xwininfo -root -children 2> /dev/null | awk '/^ +0x/ { print $1 }'); do
        xwininfo -id "$id" 2> /dev/null | grep -q 'IsViewable' && echo "$id"
    done
}
# geometry ID: x y width height of a window on the screen.
geometry() {
    xwininfo -id "$1" 2> /dev/null | awk -F: '
        /Absolute upper-left X/ { x = $2 } /Absolute upper-left Y/ { y = $2 }
        /Width/ { w = $2 } /Height/ { h = $2 } END { print x + 0, y + 0, w + 0, h + 0 }'
}
# wait_until TRIES COMMAND...: polls every 50 ms.
wait_until() {
    local tries=$1
    shift
    for _ in $(seq "$tries"); do
        "$@" && return 0
        sleep 0.05
    done
    "$@"
}

mainId="" mainX=0 mainY=0 mainW=0 mainH=0 frame=""
read -r dialogCx dialogCy <<< "$(rc_size)"
# find_main CAPTION: the main window and its client area on the screen. The
# frame is as thick on every side as above the caption, whose last row is
# followed by one line of the frame's colour.
find_main() {
    local x y w h
    wait_until 1200 caption_is "$1" || return 1
    mainId=$(window_of "$1")
    frame=$(geometry "$mainId")
    read -r x y w h <<< "$frame"
    sleep 0.5
    import -window root "$shot"
    local column
    column=$(convert "$shot" -crop "1x80+$((x + w / 2))+$y" +repage -depth 8 txt:- |
        awk -F'[,:() ]+' '/^[0-9]/ { if ($3 < 200) { if (first == "") first = $2; last = $2 } }
                          END { print first, last }')
    local first last
    read -r first last <<< "$column"
    [[ -n "$first" ]] || return 1
    mainX=$((x + first)) mainY=$((y + last + 2)) mainW=$((w - 2 * first))
    mainH=$((h - last - 2 - first))
}
# to_px DU_X DU_Y: the screen point of a dialog-unit point of the main window.
to_px() { echo $((mainX + ($1 * mainW + dialogCx / 2) / dialogCx)) $((mainY + ($2 * mainH + dialogCy / 2) / dialogCy)); }
# rect_px ID: left top width height of a control on the screen.
rect_px() {
    local x y cx cy left top right bottom
    read -r x y cx cy <<< "$(rc_rect "$1")"
    read -r left top <<< "$(to_px "$x" "$y")"
    read -r right bottom <<< "$(to_px $((x + cx)) $((y + cy)))"
    echo "$left" "$top" $((right - left)) $((bottom - top))
}
# centre_of ID: the screen point at the centre of a control.
centre_of() {
    local left top width height
    read -r left top width height <<< "$(rect_px "$1")"
    echo $((left + width / 2)) $((top + height / 2))
}
click() {
    local x y
    read -r x y <<< "$(centre_of "$1")"
    xdotool mousemove "$x" "$y" click 1
    sleep 0.3
}
# click_field ID: a drop-down list's field, whose template height is the
# height of the open list.
click_field() {
    local x y
    read -r x y _ _ <<< "$(rc_rect "$1")"
    read -r x y <<< "$(to_px $((x + 20)) $((y + 6)))"
    xdotool mousemove "$x" "$y" click 1
    sleep 0.3
}
keys() {
    xdotool key --delay 60 "$@"
    sleep 0.3
}

snap() { sleep 0.3 && import -window root "$shot"; }
# colour_at X Y: the colour of a screen point in the last snap, as r,g,b.
colour_at() {
    convert "$shot" -format "%[fx:int(255*p{$1,$2}.r+.5)],%[fx:int(255*p{$1,$2}.g+.5)],%[fx:int(255*p{$1,$2}.b+.5)]" info:
}
name_of() {  # r,g,b -> red, black, grey or the triple
    local r g b
    IFS=, read -r r g b <<< "$1"
    if ((r > 200 && g < 60 && b < 60)); then
        echo red
    elif ((r < 40 && g < 40 && b < 40)); then
        echo black
    elif ((r > 110 && r < 145 && g > 110 && g < 145 && b > 110 && b < 145)); then
        echo grey
    else
        echo "$1"
    fi
}
# face ID: the colour name of a control's face, sampled inside its left edge
# at mid-height, where no text stands.
face() {
    local left top width height
    read -r left top width height <<< "$(rect_px "$1")"
    name_of "$(colour_at $((left + 5)) $((top + height / 2)))"
}
# expect_faces WHAT COLOUR ID...: every control's face in one colour.
expect_faces() {
    local what=$1 colour=$2 id seen="" wrong=0 got
    shift 2
    for id in "$@"; do
        got=$(face "$id")
        seen+=" $id:$got"
        [[ $got == "$colour" ]] || wrong=1
    done
    ((wrong == 0)) && pass "$what: $colour" || fail "$what: not all $colour:$seen"
}
# ink ID: the width and left offset of the dark pixels inside a control in
# the last snap, "0 0" when there are none.
ink() {
    local left top width height box
    read -r left top width height <<< "$(rect_px "$1")"
    box=$(convert "$shot" -crop "${width}x${height}+$left+$top" +repage -colorspace gray \
        -threshold 50% -format '%@' info: 2> /dev/null)
    [[ "$box" =~ ^([0-9]+)x[0-9]+\+([0-9]+)\+ ]] && ((BASH_REMATCH[1] < width)) &&
        echo "${BASH_REMATCH[1]} ${BASH_REMATCH[2]}" || echo "0 0"
}
# text_width TEXT: the width of a text in the font the dialog font maps to.
text_width() {
    convert -font "$font" -pointsize 9 -density 96 label:"$1" -format '%@' info: | sed 's/x.*//'
}
caption_is() { [[ -n "$(window_of "$1")" ]]; }
caption_gone() { [[ -z "$(window_of "$1")" ]]; }
# list_open, list_closed: whether a window has come since $before was taken.
list_open() { [[ -n "$(comm -13 <(sort <<< "$before") <(viewable_windows | sort))" ]]; }
list_closed() { ! list_open; }
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

# Escape with no list open, the server running, ends the program with status
# 0; the window leaves the screen when the modal run ends, before the close
# stops the listener (and, in Kelvane, takes its 400 ms).
escape_ends() {
    local start now gone="" closed="" ended=""
    xdotool windowfocus --sync "$mainId" 2> /dev/null
    start=$(date +%s%N)
    xdotool key Escape
    for _ in $(seq 600); do
        now=$((($(date +%s%N) - start) / 1000000))
        [[ -z "$gone" ]] && ! xwininfo -id "$mainId" 2> /dev/null | grep -q IsViewable && gone=$now
        [[ -z "$closed" ]] && not_listening && closed=$now
        kill -0 "$programPid" 2> /dev/null || { ended=$now; break; }
        sleep 0.01
    done
    if [[ -z "$ended" ]]; then
        fail "$1: the program did not end within 6 s of Escape"
        return
    fi
    wait "$programPid"
    local status=$?
    programPid=""
    ((status == 0)) && pass "$1: Escape ended the program with status 0 after ${ended} ms" ||
        fail "$1: the program ended with status $status after Escape"
    if [[ -n "$gone" && -n "$closed" ]] && ((gone <= closed)); then
        pass "$1: the window left the screen ${gone} ms after Escape, the listener closed at ${closed} ms"
    else
        fail "$1: the window stayed on the screen for ${gone:-$ended} ms after Escape, past the listener's close at ${closed:-?} ms"
    fi
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
pass "$productName.exe shows its window, client area ${mainW}x$mainH at $mainX,$mainY"
snap
expect_faces "stopped: status and input lamps" grey 1017 "${lamps[@]}"

click 1001
wait_until 100 listens_at "$boundAt" && pass "the server button starts the server on $boundAt:$port1" ||
    fail "no listener on $boundAt:$port1 after the server button: $(listening_on $port1)"
# Enter on the focused server button presses nothing in the main window.
keys Return
sleep 0.5
listens_at "$boundAt" && caption_is "$productName" &&
    pass "Enter on the focused server button leaves the server running and the window open" ||
    fail "Enter on the focused server button stopped the server or closed the window"
snap
expect_faces "running: status" red 1017
expect_faces "running, no frame yet: input lamps" black "${lamps[@]}"

# A device reports input 2 on and keeps its connection.
device --connect "$monitorAddress:$port1" --bind "$deviceAddress" --send "FC 02 02" --hold 60000 \
    > "$folder/holder.out" 2>&1 &
holderPid=$!
wait_until 100 grep -q reply "$folder/holder.out" || fail "the device got no reply"
snap
expect_faces "input 2 on: lamp 2" red 1101
expect_faces "input 2 on: the other lamps" black "${lamps[@]:0:1}" "${lamps[@]:2}"
read -r inkWidth inkLeft <<< "$(ink 1018)"
read -r _ _ labelWidth _ <<< "$(rect_px 1018)"
shown="接続元 : $deviceAddress"
shownWidth=$(text_width "$shown")
widest=$(text_width "接続元 : 255.255.255.255")
if ((inkWidth + 3 >= shownWidth)); then
    pass "\"$shown\" readable in full: ${inkWidth} px of text at +$inkLeft, the text is ${shownWidth} px, the label ${labelWidth} px"
else
    fail "\"$shown\" cut: ${inkWidth} px of text shown of ${shownWidth} px (label ${labelWidth} px)"
fi
((widest <= labelWidth)) && pass "the widest address text (${widest} px) fits the label" ||
    fail "the widest address text (${widest} px) is wider than the label (${labelWidth} px)"
[[ -n "$shotDir" ]] && import -window root -crop "${mainW}x$mainH+$mainX+$mainY" +repage \
    "$shotDir/$variant-wine.png" && pass "screenshot $shotDir/$variant-wine.png"

if [[ $variant == kelvane ]]; then
    click 1027
    snap
    expect_faces "ON/OFF 1 pressed: output lamp 1" red 1105
    wait_until 40 grep -q 'FA F0 01' "$folder/holder.out" && pass "the device got output frame FA F0 01" ||
        fail "no output frame FA F0 01 reached the device"
    click 1027
    snap
    expect_faces "ON/OFF 1 pressed again: output lamps" black "${outputLamps[@]}"
fi

# A name typed, logging switched on: the next frame's log line comes under a
# header with the new name.
click 1004
keys End shift+Home
xdotool type --delay 60 Pump
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
title_dialog() {
    local id
    click 1020
    wait_until 100 caption_is タイトルバーの変更 || return 1
    id=$(window_of タイトルバーの変更)
    xdotool windowfocus --sync "$id" 2> /dev/null
    echo "$id"
}
if titleId=$(title_dialog); then
    read -r tx ty tw th <<< "$(geometry "$titleId")"
    read -r mx my mw mh <<< "$frame"
    dx=$(((tx + tw / 2) - (mx + mw / 2))) dy=$(((ty + th / 2) - (my + mh / 2)))
    ((dx * dx <= 9 && dy * dy <= 9)) && pass "the title bar dialog opens centred over the main window" ||
        fail "the title bar dialog is off the main window's centre by $dx,$dy px"
    keys Tab Tab
    xdotool type --delay 60 Wrong
    keys Tab Tab Return
    wait_until 40 caption_gone タイトルバーの変更 || fail "Enter on ｷｬﾝｾﾙ left the dialog open"
    caption_is "$productName" && pass "Enter on ｷｬﾝｾﾙ keeps the caption \"$productName\"" ||
        fail "Enter on ｷｬﾝｾﾙ changed the caption: $(xdotool getwindowname "$mainId")"
else
    fail "the title bar button opened no dialog"
fi
if title_dialog > /dev/null; then
    keys Tab Tab
    xdotool type --delay 60 "$caption2"
    keys Return
    wait_until 40 caption_is "$caption2" && pass "Enter in the edit is OK: the caption is \"$caption2\"" ||
        fail "Enter in the edit did not set the caption: $(xdotool getwindowname "$mainId")"
else
    fail "the title bar button opened no dialog the second time"
fi

# The save dialog: Enter saves the offered file, which the pointer names.
before=$(viewable_windows)
click 1021
saveId=""
find_new() { saveId=$(comm -13 <(sort <<< "$before") <(viewable_windows | sort) | head -n 1); [[ -n "$saveId" ]]; }
if wait_until 200 find_new; then
    sleep 1
    xdotool windowfocus --sync "$saveId" 2> /dev/null
    keys Return
    settings=$folder/$productName.$extension
    wait_until 100 test -s "$settings"
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
snap
expect_faces "stopped: status and input lamps" grey 1017 "${lamps[@]}"
[[ $variant == kelvane ]] && expect_faces "stopped: output lamps" black "${outputLamps[@]}"
read -r inkWidth _ <<< "$(ink 1018)"
((inkWidth == 0)) && pass "stopped: the peer label is empty" || fail "stopped: the peer label still shows text"

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
    escape_ends "first run"
fi

# ---------------------------------------------------------------------------
# The pointer names the saved set-up: the next start restores it.
start_program
if find_main "$caption2"; then
    pass "restart from the pointer: the caption is \"$caption2\""
    wait_until 100 listens_at "$boundAt" && pass "restart: the server runs on $boundAt:$port1" ||
        fail "restart: no listener on $boundAt:$port1"
    snap
    expect_faces "restart: status" red 1017
    escape_ends "restart"
else
    fail "restart: no window \"$caption2\""
fi

echo "$testTag: $productName took $(($(date +%s) - started)) s after the prefix"
finish
