# shellcheck shell=bash
# The eyes and hands of the real-screen tests, the same for the Qt programs
# and the Windows programs under Wine. Sourced after monitor_env.sh, not run.
#
# Controls are found from the program's resource script (rcFile: the dialog
# templates in dialog units, as rcgen writes them from the layout tables)
# and the measured client area of their dialog on the screen, so the test
# never asks the program's own code where it put them. Verdicts on what the
# screen shows poll until it shows it or a deadline passes; they never rest
# on a fixed pause. The sourcing script sets rcFile and work.
# shellcheck disable=SC2034,SC2154 # those names are shared with the sourcing script

# wait_until TRIES COMMAND...: polls every 50 ms, TRIES times at most, then
# once more for the status.
wait_until() {
    local tries=$1
    shift
    for _ in $(seq "$tries"); do
        "$@" && return 0
        sleep 0.05
    done
    "$@"
}

# ---- windows ----------------------------------------------------------------

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
caption_is() { [[ -n "$(window_of "$1")" ]]; }
caption_gone() { [[ -z "$(window_of "$1")" ]]; }
# A window that came since $before was taken (a list, a file dialog), and
# whether there is one.
new_window() { comm -13 <(sort <<< "$before") <(viewable_windows | sort) | head -n 1; }
list_open() { [[ -n "$(new_window)" ]]; }
list_closed() { ! list_open; }

# ---- dialog units ---------------------------------------------------------

# rc_rect TEMPLATE ID: x y cx cy of a control of a dialog, in dialog units.
rc_rect() {
    awk -F', *' -v template="$1" -v id="$2" '
        $0 ~ "^" template " DIALOGEX" { inside = 1; next }
        inside && /^END/ { exit }
        inside && $2 == id { print $(NF - 4), $(NF - 3), $(NF - 2), $(NF - 1); exit }' "$rcFile"
}
# rc_size TEMPLATE: cx cy of a dialog, in dialog units.
rc_size() { awk -F', *' -v template="$1" '$0 ~ "^" template " DIALOGEX" { print $3, $4; exit }' "$rcFile"; }

# use_dialog TEMPLATE X Y W H: the dialog whose controls the hands and eyes
# below address, with its client area on the screen.
use_dialog() {
    dialogTemplate=$1 dialogX=$2 dialogY=$3 dialogW=$4 dialogH=$5
    read -r dialogCx dialogCy <<< "$(rc_size "$1")"
}
# to_px DU_X DU_Y: the screen point of a dialog-unit point of the dialog.
to_px() {
    echo $((dialogX + ($1 * dialogW + dialogCx / 2) / dialogCx)) \
        $((dialogY + ($2 * dialogH + dialogCy / 2) / dialogCy))
}
# rect_px ID: left top width height of a control on the screen.
rect_px() {
    local x y cx cy left top right bottom
    read -r x y cx cy <<< "$(rc_rect "$dialogTemplate" "$1")"
    read -r left top <<< "$(to_px "$x" "$y")"
    read -r right bottom <<< "$(to_px $((x + cx)) $((y + cy)))"
    echo "$left" "$top" $((right - left)) $((bottom - top))
}

# ---- hands ------------------------------------------------------------------

click() {  # ID [DX]: a click at the centre of a control, or DX px from its left
    local left top width height
    read -r left top width height <<< "$(rect_px "$1")"
    xdotool mousemove --sync $((left + ${2:-$((width / 2))})) $((top + height / 2)) click 1
    sleep 0.2
}
# click_field ID: a drop-down list's field, whose template height is the
# height of the open list.
click_field() {
    local x y
    read -r x y _ _ <<< "$(rc_rect "$dialogTemplate" "$1")"
    read -r x y <<< "$(to_px $((x + 20)) $((y + 6)))"
    xdotool mousemove --sync "$x" "$y" click 1
    sleep 0.2
}
keys() {
    xdotool key --delay 60 "$@"
    sleep 0.2
}
typed() {
    xdotool type --delay 60 "$1"
    sleep 0.2
}
focus_window() { xdotool windowfocus --sync "$1" 2> /dev/null; }

# ---- file dialogs -------------------------------------------------------------

# answer_file_dialog DONE [NAME]: answers the file dialog that opened since
# $before once it has settled (window_still: it has read its folder and
# applied its initial selection; keys that come before are lost or
# overwritten): focused, NAME typed over its name field when given, Enter.
# DONE is a command without arguments; until it holds, the answer is given
# again while the dialog stays open, five times at most; the status is
# DONE's. attemptsMade says how many answers it took.
answer_file_dialog() {
    local done=$1 name=${2-} dialog
    dialog=$(new_window)
    for attemptsMade in 1 2 3 4 5; do
        focus_window "$dialog"
        wait_until 100 window_still "$dialog"
        if [[ -n "$name" ]]; then
            keys ctrl+a
            typed "$name"
        fi
        keys Return
        wait_until 40 "$done" && return 0
        list_open || break
    done
    "$done"
}

# ---- eyes -------------------------------------------------------------------

snap() { import -window root "$work/shot.png"; }
# colour_at X Y: the colour of a screen point in the last snap, as r,g,b.
colour_at() {
    convert "$work/shot.png" -format "%[fx:int(255*p{$1,$2}.r+.5)],%[fx:int(255*p{$1,$2}.g+.5)],%[fx:int(255*p{$1,$2}.b+.5)]" info:
}
name_of() {  # r,g,b -> red, black or grey (the lamps' exact colours), or the triple
    case $1 in
        255,0,0) echo red ;;
        0,0,0) echo black ;;
        127,127,127) echo grey ;;
        *) echo "$1" ;;
    esac
}
# face ID: the colour name of a control's face, sampled inside its left edge
# at mid-height, where no text stands.
face() {
    local left top width height
    read -r left top width height <<< "$(rect_px "$1")"
    name_of "$(colour_at $((left + 5)) $((top + height / 2)))"
}
# faces_are COLOUR ID...: a fresh snap shows every control's face in COLOUR;
# what each showed is left in facesSeen.
faces_are() {
    local colour=$1 id got wrong=0
    shift
    snap
    facesSeen=""
    for id in "$@"; do
        got=$(face "$id")
        facesSeen+=" $id:$got"
        [[ $got == "$colour" ]] || wrong=1
    done
    ((wrong == 0))
}
# expect_faces WHAT COLOUR ID...: every control's face in one colour within
# 5 s, as the window repaints.
expect_faces() {
    local what=$1
    shift
    wait_until 25 faces_are "$@" && pass "$what: $1" || fail "$what: not all $1:$facesSeen"
}
# ink ID: the width and left offset of the dark pixels inside a control in
# the last snap, "0 0" when there are none.
ink() {
    local left top width height box
    read -r left top width height <<< "$(rect_px "$1")"
    box=$(convert "$work/shot.png" -crop "${width}x${height}+$left+$top" +repage -colorspace gray \
        -threshold 50% -format '%@' info: 2> /dev/null)
    [[ "$box" =~ ^([0-9]+)x[0-9]+\+([0-9]+)\+ ]] && ((BASH_REMATCH[1] < width)) &&
        echo "${BASH_REMATCH[1]} ${BASH_REMATCH[2]}" || echo "0 0"
}
# ink_at_least ID WIDTH: a fresh snap shows at least WIDTH px of text in a
# control; the width seen is left in inkSeen.
ink_at_least() {
    snap
    read -r inkSeen _ <<< "$(ink "$1")"
    ((inkSeen >= $2))
}
no_ink() {
    snap
    read -r inkSeen _ <<< "$(ink "$1")"
    ((inkSeen == 0))
}

# ---- the end ----------------------------------------------------------------

# escape_ends WHAT WINDOW [PORT]: Escape in the window ends the program
# (programPid) with status 0 within 6 s; with PORT, whose listener runs, the
# window leaves the screen when the modal run ends, no later than the
# listener closes. How long the end took, in ms, is left in endedAfter.
escape_ends() {
    local what=$1 window=$2 port=${3:-} start now gone="" closed="" ended="" status
    endedAfter=""
    focus_window "$window"
    start=$(date +%s%N)
    xdotool key Escape
    for _ in $(seq 600); do
        now=$((($(date +%s%N) - start) / 1000000))
        [[ -z "$gone" ]] && ! xwininfo -id "$window" 2> /dev/null | grep -q IsViewable && gone=$now
        [[ -n "$port" && -z "$closed" && -z "$(listening_on "$port")" ]] && closed=$now
        kill -0 "$programPid" 2> /dev/null || { ended=$now; break; }
        sleep 0.01
    done
    if [[ -z "$ended" ]]; then
        fail "$what: the program did not end within 6 s of Escape"
        return
    fi
    endedAfter=$ended
    wait "$programPid"
    status=$?
    programPid=""
    ((status == 0)) && pass "$what: Escape ended the program with status 0 after ${ended} ms" ||
        fail "$what: the program ended with status $status after Escape"
    [[ -n "$port" ]] || return 0
    if [[ -n "$gone" && -n "$closed" ]] && ((gone <= closed)); then
        pass "$what: the window left the screen ${gone} ms after Escape, the listener closed at ${closed} ms"
    else
        fail "$what: the window stayed on the screen for ${gone:-$ended} ms after Escape, past the listener's close at ${closed:-?} ms"
    fi
}
