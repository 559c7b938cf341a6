# shellcheck shell=bash
# The signal history window on the real screen, the same for the Qt
# programs and the Windows programs under Wine. Sourced after
# screen_env.sh; the sourcing script addresses the main window (template
# 102) when it calls history_scenario, and defines:
#   history_send BYTES        a frame from the device, e.g. "FC 04 04"
#   history_client ID         x y w h of the client area of the window ID
#   history_png_name PATH     what to type into the save dialog for PATH
# shellcheck disable=SC2034,SC2154 # names shared with the sourcing scripts

# The history window (template 140) as its layout table has it: the diagram
# (1206) with the names' column 90 dialog units wide and the clock times 12
# high above one row per signal, each row's band half its height in its
# middle; the pointer's text (1208); the PNG button (1205).
readonly historyCaption=信号の履歴

# history_geometry: the diagram's plot and rows on the screen.
history_geometry() {
    local x y
    read -r plotLeft plotTop plotWidth plotHeight <<< "$(rect_px 1206)"
    read -r x _ <<< "$(to_px $((5 + 90)) 0)"
    read -r _ y <<< "$(to_px 0 $((24 + 12)))"
    plotRight=$((plotLeft + plotWidth - 1))
    rowsTop=$y
    rowHeight=$(((plotTop + plotHeight - rowsTop) / inputs_and_outputs))
    plotLeft=$x
}
# band_y ROW: the middle of a row's band.
band_y() { echo $((rowsTop + $1 * rowHeight + rowHeight / 2)); }
# right_end_is ROW NAME: a fresh snap shows the row's last columns in a colour.
right_end_is() {
    snap
    endSeen=$(name_of "$(colour_at $((plotRight - 2)) "$(band_y "$1")")")
    [[ $endSeen == "$2" ]]
}
# red_run ROW: the first and last red pixel along the row's band in the last
# snap, "" when there is none.
red_run() {
    convert "$work/shot.png" -crop "$((plotRight - plotLeft + 1))x1+$plotLeft+$(band_y "$1")" +repage \
        -depth 8 txt:- | awk -F'[,:]' '/#FF0000/ { if (first == "") first = $1; last = $1 }
                                        END { if (first != "") print first, last }'
}
# band_ended ROW: the row is white at its right end again, with a red run of
# at least 2 px that stops short of it; the run is left in runSeen.
band_ended() {
    right_end_is "$1" 255,255,255 || return 1
    runSeen=$(red_run "$1")
    local first last
    read -r first last <<< "$runSeen"
    [[ -n "$first" ]] && ((last - first >= 1 && plotLeft + last < plotRight - 2))
}
# png_saved FILE W H: a PNG of W x H, give or take the pixel that dialog
# units round to.
png_saved() {
    local kind w h
    read -r kind w h <<< "$(identify -format '%m %w %h' "$1" 2> /dev/null)"
    [[ $kind == PNG ]] && (((w - $2) * (w - $2) <= 4 && (h - $3) * (h - $3) <= 4))
}

# history_scenario SHOT PNG: the history button opens the history beside the
# main window; a device turns input 3 on and off and its row shows a red
# band that reaches the right edge while on and stops when off; the main
# window answers a frame meanwhile; a click on the band names the change;
# the diagram is saved as a PNG of its size; Escape closes the window and
# the program runs on. With SHOT, a picture of the history goes there.
history_scenario() {
    local shot=$1 png=$2 main="$dialogX $dialogY $dialogW $dialogH" historyId first mainX mainW
    [[ $variant == kelvane ]] && inputs_and_outputs=6 || inputs_and_outputs=5
    click 1032
    if ! wait_until 100 caption_is "$historyCaption"; then
        fail "the history button opened no window"
        return
    fi
    historyId=$(window_of "$historyCaption")
    # shellcheck disable=SC2046 # x y w h
    use_dialog 140 $(history_client "$historyId")
    read -r mainX _ mainW _ <<< "$main"
    ((dialogX >= mainX + mainW)) && pass "the history opens beside the main window, at x $dialogX" ||
        fail "the history window at x $dialogX covers the main window (right edge $((mainX + mainW)))"
    history_geometry

    history_send "FC 04 04"
    wait_until 100 right_end_is 2 red && pass "input 3 on: its row is red up to the present" ||
        fail "input 3 on: its row ends in $endSeen, not red"
    history_send "FC 00 04"
    wait_until 100 band_ended 2 && pass "input 3 off: its red band (x $runSeen) stops short of the present" ||
        fail "input 3 off: row end $endSeen, red run '$runSeen'"

    # The main window goes on working beside it.
    # shellcheck disable=SC2086 # x y w h
    use_dialog 102 $main
    history_send "FC 01 01"
    expect_faces "with the history open, input 1 on: lamp 1" red 1100
    # shellcheck disable=SC2046 # x y w h
    use_dialog 140 $(history_client "$historyId")
    wait_until 100 right_end_is 0 red && pass "input 1's row turns red as its lamp did" ||
        fail "input 1's row ends in $endSeen"
    [[ -n "$shot" ]] && import -window root -crop "${dialogW}x$dialogH+$dialogX+$dialogY" +repage "$shot" &&
        pass "screenshot $shot"

    read -r first _ <<< "$runSeen"
    xdotool mousemove --sync $((plotLeft + first + 1)) "$(band_y 2)" click 1
    wait_until 40 ink_at_least 1208 60 && pass "a click on the band names the change ($inkSeen px of text)" ||
        fail "a click on the band shows $inkSeen px of text under the diagram"

    before=$(viewable_windows)
    click 1205
    if wait_until 200 list_open; then
        diagram_saved() { png_saved "$png" "$plotWidth" "$plotHeight"; }
        answer_file_dialog diagram_saved "$(history_png_name "$png")"
        wait_until 100 diagram_saved &&
            pass "the diagram saved as a PNG of ${plotWidth}x$plotHeight (typed $attemptsMade times)" ||
            fail "no PNG of ${plotWidth}x$plotHeight: $(identify "$png" 2> /dev/null)"
    else
        fail "the PNG button opened no dialog"
    fi

    focus_window "$historyId"
    keys Escape
    wait_until 100 caption_gone "$historyCaption" && kill -0 "$programPid" 2> /dev/null &&
        pass "Escape closes the history and the program runs on" ||
        fail "Escape in the history: window open: $(caption_is "$historyCaption" && echo yes || echo no)"
    # shellcheck disable=SC2086 # x y w h
    use_dialog 102 $main
    focus_window "$mainId"
}
