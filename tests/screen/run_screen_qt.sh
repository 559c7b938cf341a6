#!/bin/bash
# The real Qt program on a real X server, used as a person uses it: xdotool
# clicks at the centres of controls (from the dialog templates in dialog
# units, as rcgen writes them, and the window's measured place), presses
# keys and types; the test reads back what a person sees: screenshots
# (colours of lamps and status, dark pixels where the peer address stands),
# window places and sizes, captions, which windows exist, the exit status.
#
#   run_screen_qt.sh kelvane|sorrel PROGRAM DEVICE_SIM RCGEN [SHOT]
#
# The program runs on an Xvfb display of the test's own, in a private
# network namespace whose only adapter is one end of a veth pair
# (198.51.100.10); the device runs in a second namespace on the other end
# (198.51.100.20). With SHOT, a picture of the window with the device
# connected is saved there, and one of the signal history beside it.
#
# Exit status: 0 passed, 1 failed, 77 skipped (no X server, xdotool or
# namespace). The folder is kept after a failure, or with SCREEN_KEEP set.
set -u

variant=${1:?variant}
readonly testTag="screen $variant"
program=${2:?program}
sim=${3:?device simulator}
rcgen=${4:?resource script generator}
shot=${5:-}
# shellcheck source=SCRIPTDIR/../support/monitor_env.sh
source "$(dirname "${BASH_SOURCE[0]}")/../support/monitor_env.sh"
# shellcheck source=SCRIPTDIR/../support/screen_env.sh
source "$(dirname "${BASH_SOURCE[0]}")/../support/screen_env.sh"
# shellcheck source=SCRIPTDIR/../support/history_screen.sh
source "$(dirname "${BASH_SOURCE[0]}")/../support/history_screen.sh"

if [[ -z "${SCREEN_IN_NAMESPACE:-}" ]]; then
    require_tools Xvfb xdotool xclip xwininfo import convert unshare nsenter ip iconv timeout flock
    require_built "$program" "$sim" "$rcgen"
    require_namespaces
    [[ -n "$shot" ]] && shot=$(absolute "$shot")
    rerun_in_namespace SCREEN_IN_NAMESPACE "$variant" "$program" "$sim" "$rcgen" "$shot"
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

# ---- what a person must see, worked out by hand ----------------------------
# The Qt programs draw "ＭＳ Ｐゴシック" 9 pt in IPAPGothic. On this 100 dpi
# screen the 52 letters A-Z a-z are 369 px wide in it and a line is 13 px
# high, so the dialog base units are (369 / 26 + 1) / 2 = 7 px across and
# 13 px down, and the platform's rule MulDiv(du, 7, 4) by MulDiv(du, 13, 8)
# makes the main window's 263 x 402 du (Kelvane) or 263 x 282 du (Sorrel)
# 460 x 653 or 460 x 458 px, and the title bar dialog's 187 x 50 du 327 x 81.
# The peer label's text, "接続元 : 198.51.100.20", is 131 px long in that
# face: shown whole, its dark pixels span at least 126 px.
if [[ $variant == kelvane ]]; then
    readonly mainSize="460 653"
else
    readonly mainSize="460 458"
fi
readonly titleSize="327 81" peerInk=126

rcFile=$work/$productName.rc
"$rcgen" "$rcFile" "$work/$productName.ico" 1.0.3.0 ||
    { echo "$testTag: the resource script could not be written"; exit 1; }

find_main() {  # CAPTION: the main window, which the hands and eyes address
    wait_until 100 caption_is "$1" || return 1
    mainId=$(window_of "$1")
    # shellcheck disable=SC2046 # x y w h
    use_dialog 102 $(geometry "$mainId")
}

start_program() {  # CAPTION
    "$work/$productName" > "$work/program.out" 2>&1 &
    programPid=$!
    if ! find_main "$1"; then
        fail "no window captioned $1; the program wrote:"
        cat "$work/program.out"
        exit 1
    fi
    focus_window "$mainId"
}

listens() { all_listening "$listenPort"; }
not_listening() { ! listens; }
caption_of_main_is() { [[ "$(xdotool getwindowname "$mainId" 2> /dev/null)" == "$1" ]]; }

# ---------------------------------------------------------------------------
cp "$program" "$work/$productName"

start_program "$productName"
[[ "$dialogW $dialogH" == "$mainSize" ]] && pass "the window is $dialogW x $dialogH px, as its dialog units give" ||
    fail "the window is $dialogW x $dialogH px instead of $mainSize"
expect_faces "stopped: status and input lamp 1" grey 1017 1100

click 1001
wait_until 100 listens && pass "the server button starts the server" ||
    fail "nothing listens on $listenPort after the server button"
expect_faces "running: status" red 1017

device --connect "$monitorAddress:$listenPort" --bind "$deviceAddress" --send "FC 02 02" --hold -1 \
    > "$work/device.out" 2>&1 &
holderPid=$!
wait_until 100 grep -q '^[0-9:.]* <- FC 02' "$work/device.out" && pass "the change frame is answered FC 02" ||
    fail "no reply FC 02 to the change frame"
expect_faces "input 1 off" black 1100
expect_faces "input 2 on" red 1101
# The whole address in the label: a label too narrow wraps it below its
# height or cuts it.
wait_until 40 ink_at_least 1018 "$peerInk" &&
    pass "the peer label shows the address to its end ($inkSeen px of text)" ||
    fail "the peer label shows $inkSeen px of text, not the whole address"
[[ -n "$shot" ]] && cp "$work/shot.png" "$shot"

if [[ $variant == kelvane ]]; then
    expect_faces "output 1 off" black 1105
    click 1027
    expect_faces "ON/OFF turns output 1 on" red 1105
    wait_until 100 grep -q '^[0-9:.]* <- FA F0 01' "$work/device.out" &&
        pass "the device got output frame FA F0 01" || fail "no output frame FA F0 01 reached the device"
fi

# ---- the signal history ------------------------------------------------------
history_send() {
    device --connect "$monitorAddress:$listenPort" --bind "$deviceAddress" "$@" \
        > "$work/history_send.out" 2>&1 || fail "the device's frames $*"
}
history_client() { geometry "$1"; }  # no window manager: no frame
history_png_name() { echo "$1"; }
history_scenario "${shot:+${shot%.png}-history.png}" "$work/history.png"
# A log as big as HISTORY_LOG_MB, 2 MB unless set (100 for the check by hand).
history_big_log "${HISTORY_LOG_MB:-2}"

# A Qt check box takes clicks on its box and text, not on the rest of its rectangle.
click 1010 8
device --connect "$monitorAddress:$listenPort" --bind "$deviceAddress" --send "FC 01 01" --quiet \
    > /dev/null 2>&1
wait_until 60 grep -q "$deviceAddress" "$work/$productName.csv" 2> /dev/null &&
    pass "the logging box switches the log on" || fail "no log line after ticking the logging box"

click 1004
keys ctrl+a
typed "Pump1"

# ---- the title bar dialog ----------------------------------------------------
title_dialog() {  # opens it; its window in titleId
    click 1020
    wait_until 100 caption_is "タイトルバーの変更" || return 1
    titleId=$(window_of "タイトルバーの変更")
    focus_window "$titleId"
}
if title_dialog; then
    read -r tx ty tw th <<< "$(geometry "$titleId")"
    [[ "$tw $th" == "$titleSize" ]] && pass "the title bar dialog is $tw x $th px" ||
        fail "the title bar dialog is $tw x $th px instead of $titleSize"
    dx=$((tx + tw / 2 - dialogX - dialogW / 2)) dy=$((ty + th / 2 - dialogY - dialogH / 2))
    ((dx * dx + dy * dy <= 4)) && pass "the title bar dialog opens centred over the window" ||
        fail "the title bar dialog is off centre by $dx,$dy px"
    keys Tab Tab
    typed "Wrong"
    keys Tab Tab Return
    wait_until 40 caption_gone "タイトルバーの変更" && caption_of_main_is "$productName" &&
        pass "Enter on ｷｬﾝｾﾙ cancels" || fail "Enter on ｷｬﾝｾﾙ: caption $(xdotool getwindowname "$mainId")"
else
    fail "the title bar button opened no dialog"
fi
if title_dialog; then
    # shellcheck disable=SC2046 # x y w h
    use_dialog 134 $(geometry "$titleId")
    click 1018
    keys ctrl+a
    typed "Line A"
    keys Return
    wait_until 40 caption_of_main_is "Line A" && pass "Enter in the edit is OK: caption Line A" ||
        fail "Enter in the edit: caption $(xdotool getwindowname "$mainId")"
else
    fail "the title bar button opened no dialog the second time"
fi
find_main "Line A" || find_main "$productName"
focus_window "$mainId"

# ---- the save dialog -----------------------------------------------------
settings="$work/screen.$extension"
before=$(viewable_windows)
click 1021
settings_saved() { test -s "$settings"; }
if wait_until 100 list_open; then
    answer_file_dialog settings_saved "$settings"
else
    fail "the save button opened no dialog"
fi
if wait_until 60 settings_saved &&
    iconv -f CP932 -t UTF-8 "$settings" | grep -q '^#$DI1=Pump1' &&
    iconv -f CP932 -t UTF-8 "$settings" | grep -q '^#$TITLEBAR=Line A'; then
    pass "the save dialog saved the typed name and the caption"
else
    fail "no settings saved through the save dialog"
fi
focus_window "$mainId"

# ---- stop ------------------------------------------------------------------
click 1001
wait_until 100 not_listening || fail "still listening after the stop"
expect_faces "stopped: status and input lamps 1 and 2" grey 1017 1100 1101
[[ $variant == kelvane ]] && expect_faces "stopped: output 1" black 1105
wait_until 40 no_ink 1018 && pass "stopped: the peer label is empty" ||
    fail "stopped: the peer label still shows $inkSeen px of text"

# ---- Escape on the open list, then Escape ---------------------------------
before=$(viewable_windows)
click_field 1003
if wait_until 40 list_open; then
    pass "a click on the adapter field opens its list"
    keys Escape
    wait_until 40 list_closed && kill -0 "$programPid" 2> /dev/null && caption_is "Line A" &&
        pass "Escape on the open list closes the list only" ||
        fail "Escape on the open list: list open: $(list_open && echo yes || echo no), program runs: $(kill -0 "$programPid" 2> /dev/null && echo yes || echo no)"
else
    fail "the adapter list did not open"
fi
escape_ends "first run" "$mainId"

# ---- the restart from the pointer -------------------------------------------
start_program "Line A"
wait_until 100 listens && pass "restarted from the pointer: caption and server back" ||
    fail "the restart did not start the server from the saved settings"
expect_faces "restarted: status" red 1017

# ---- the log held by another program, then the close ------------------------
# A box captioned with the program's name alone tells of the held log once;
# at the close the line still owed goes into a file of its own beside the
# log, and a second box names it.
logFile="$work/$productName.csv"
flock "$logFile" sleep 60 &
lockPid=$!
wait_until 100 bash -c "! flock -n '$logFile' true" || fail "the test could not lock the log"
device --connect "$monitorAddress:$listenPort" --bind "$deviceAddress" --send "FC 04 04" --quiet \
    > /dev/null 2>&1 || fail "the frame while the log is held"
if wait_until 100 caption_is "$productName"; then
    pass "a box tells that the log cannot be opened"
    focus_window "$(window_of "$productName")"
    keys Return
    wait_until 40 caption_gone "$productName" || fail "the box stayed after its OK"
else
    fail "no box told of the held log"
fi
focus_window "$mainId"
keys Escape
if wait_until 100 caption_is "$productName"; then
    rescued=$(ls "$work/${productName}_未記録_"*.csv 2> /dev/null | head -n 1)
    [[ -n "$rescued" ]] && tail -n 1 "$rescued" | grep -q ",$deviceAddress,0,0,1" &&
        pass "at the close the owed line went to $(basename "$rescued"), which a box names" ||
        fail "no file beside the log holds the owed line"
    focus_window "$(window_of "$productName")"
    keys Return
else
    fail "no box named the file of the owed line at the close"
fi
if wait_until 100 bash -c "! kill -0 $programPid 2> /dev/null"; then
    wait "$programPid"
    status=$?
    programPid=""
    ((status == 0)) && pass "the program ended with status 0 after the box" ||
        fail "the program ended with status $status"
else
    fail "the program did not end after the box"
fi
kill "$lockPid" 2> /dev/null
wait "$lockPid" 2> /dev/null

finish
