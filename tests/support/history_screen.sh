# shellcheck shell=bash
# The signal history window on the real screen, the same for the Qt
# programs and the Windows programs under Wine. Sourced after
# screen_env.sh; the sourcing script addresses the main window (template
# 102) when it calls history_scenario, and defines:
#   history_send OPTIONS...   the device simulator's options after its
#                             connection, e.g. --send "FC 04 04"; what
#                             it printed goes to $work/history_send.out
#   history_client ID         x y w h of the client area of the window ID
#   history_png_name PATH     what to type into the save dialog for PATH
# shellcheck disable=SC2034,SC2154 # names shared with the sourcing scripts

# The history window (template 140) as its layout table has it: the diagram
# (1206) at 42 dialog units down, with the names' column 90 dialog units
# wide and the clock times 12 high above one row per signal, each row's band
# half its height in its middle; the pointer's text (1208); the PNG button
# (1205); the buttons that show the whole history (1211) and copy the
# measurements (1213).
readonly historyCaption=信号の履歴

# history_geometry: the diagram's plot and rows on the screen.
history_geometry() {
    local x y
    read -r plotLeft plotTop plotWidth plotHeight <<< "$(rect_px 1206)"
    read -r x _ <<< "$(to_px $((5 + 90)) 0)"
    read -r _ y <<< "$(to_px 0 $((42 + 12)))"
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

# The measurements as the clipboard has them, as UTF-8.
clipboard_text() { xclip -o -selection clipboard -t UTF8_STRING 2> /dev/null; }
# measured_row ROW: the copied table's line of a row, its fields apart by
# spaces: changes, rises, ON total, ON share, shortest, longest, mean period.
measured_row() { clipboard_text | tr -d '\r' | awk -F'\t' -v line=$(($1 + 2)) 'NR == line { $1 = ""; print }'; }
# near A B TOLERANCE: two decimals within the tolerance of each other.
near() { awk -v a="$1" -v b="$2" -v t="$3" 'BEGIN { d = a - b; exit !(d <= t && -d <= t) }'; }
# pulses_sent WHOLE: from the times at which the device got the replies
# to its frames FC 04 04 (input 3 on) and FC 00 04 (off), the first WHOLE pulses' ON
# total, shortest and longest, and the mean period of all the rises: what
# the program saw, give or take its own time to answer. On a busy machine
# the device's pauses, and the program's reads under Wine, stray by tens
# of milliseconds from the 0.2 s and 0.5 s asked for.
pulses_sent() {
    awk -v whole="$1" '
        function seconds(t, p) { split(t, p, ":"); return p[1] * 3600 + p[2] * 60 + p[3] }
        / -> FC 04 04/ { sent = "on" }
        / -> FC 00 04/ { sent = "off" }
        / <- / && sent == "on" { rise[++rises] = seconds($1) }
        / <- / && sent == "off" && rises > pulses && pulses < whole {
            width = seconds($1) - rise[rises]; total += width; pulses++
            if (pulses == 1 || width < shortest) shortest = width
            if (pulses == 1 || width > longest) longest = width }
        END { printf "%.3f %.3f %.3f %.3f\n", total, shortest, longest, (rise[rises] - rise[1]) / (rises - 1) }
    ' "$work/history_send.out"
}
# pulses_measured ROW RISES WHOLE: the row's figures are RISES rises, and
# WHOLE whole pulses whose times are those the device saw, each within 50 ms.
pulses_measured() {
    local changes rises total share shortest longest period sentTotal sentShortest sentLongest sentPeriod
    read -r changes rises total share shortest longest period <<< "$(measured_row "$1")"
    read -r sentTotal sentShortest sentLongest sentPeriod <<< "$(pulses_sent "$3")"
    rowSeen="$changes $rises $total $share $shortest $longest $period"
    sentSeen="$sentTotal $sentShortest $sentLongest $sentPeriod"
    [[ $rises == "$2" ]] && near "$total" "$sentTotal" 0.05 && near "$shortest" "$sentShortest" 0.05 &&
        near "$longest" "$sentLongest" 0.05 && near "$period" "$sentPeriod" 0.05
}

# both_cursors_seen: a fresh snap shows cursor A's blue and cursor B's green
# line across the last row of the diagram.
both_cursors_seen() {
    snap
    local line
    line=$(convert "$work/shot.png" -crop "$((plotRight - plotLeft + 1))x1+$plotLeft+$(band_y $((inputs_and_outputs - 1)))" \
        +repage -depth 8 txt:-)
    grep -q '#0000FF' <<< "$line" && grep -q '#009600' <<< "$line"
}

# history_measure_pulses [SHOT]: the device pulses input 3 five times, 0.2 s on
# every 0.5 s; "全体表示" then "測定のコピー" copy those figures. Then the
# cursors from the keys: B two changes back from the view's end (the fifth
# rise), A ten (the first rise); the copy then measures four whole pulses
# and the rise of the fifth, nine changes. "A-B を拡大" fits the view to
# them; with SHOT, a picture of the window goes there. The view follows the
# present again at the end.
history_measure_pulses() {
    local script=$work/pulses.txt i
    for i in 1 2 3 4 5; do printf 'send FC 04 04\npause 200\nsend FC 00 04\npause 300\n'; done > "$script"
    history_send --script "$script"
    click 1211
    click 1213
    wait_until 40 pulses_measured 2 5 5 &&
        pass "the copied measurements of input 3: 5 pulses of 0.2 s every 0.5 s ($rowSeen; the device saw $sentSeen)" ||
        fail "the copied measurements of input 3 are '$rowSeen', the device saw $sentSeen; the clipboard holds: $(clipboard_text | head -c 400)"

    xdotool mousemove --sync $((plotLeft + plotWidth / 2)) "$(band_y 2)" click 1
    keys Delete ctrl+shift+Left ctrl+shift+Left
    for i in 1 2 3 4 5 6 7 8 9 10; do keys ctrl+Left; done
    click 1213
    wait_until 40 pulses_measured 2 5 4 && [[ ${rowSeen%% *} == 9 ]] &&
        pass "between the cursors set by the keys: 9 changes, 4 whole pulses ($rowSeen; the device saw $sentSeen)" ||
        fail "between the cursors set by the keys, input 3 measures '$rowSeen', the device saw $sentSeen"
    click 1212
    [[ -n "$1" ]] && wait_until 40 both_cursors_seen && import -window root -crop "${dialogW}x$dialogH+$dialogX+$dialogY" +repage "$1" &&
        pass "screenshot $1"
    # End, with the diagram focused by a click on its names, follows the
    # present again.
    xdotool mousemove --sync $((plotLeft - 20)) "$(band_y 0)" click 1
    keys End
}

# history_open: the history button opens the history window; it becomes
# the dialog the hands and eyes address (historyId), its diagram measured.
history_open() {
    click 1032
    if ! wait_until 100 caption_is "$historyCaption"; then
        fail "the history button opened no window"
        return 1
    fi
    historyId=$(window_of "$historyCaption")
    # shellcheck disable=SC2046 # x y w h
    use_dialog 140 $(history_client "$historyId")
    history_geometry
}

# history_scenario SHOT PNG: the history button opens the history beside the
# main window; a device turns input 3 on and off and its row shows a red
# band that reaches the right edge while on and stops when off (after the
# pulses that history_measure_pulses measures); the main
# window answers a frame meanwhile; a click on the band names the change;
# the diagram is saved as a PNG of its size; Escape closes the window and
# the program runs on. With SHOT, a picture of the history with its cursors
# goes there.
history_scenario() {
    local shot=$1 png=$2 main="$dialogX $dialogY $dialogW $dialogH" historyId first mainX mainW
    runSeen="" endSeen=""
    [[ $variant == kelvane ]] && inputs_and_outputs=6 || inputs_and_outputs=5
    history_open || return
    read -r mainX _ mainW _ <<< "$main"
    ((dialogX >= mainX + mainW)) && pass "the history opens beside the main window, at x $dialogX" ||
        fail "the history window at x $dialogX covers the main window (right edge $((mainX + mainW)))"
    history_measure_pulses "$shot"

    history_send --send "FC 04 04"
    wait_until 100 right_end_is 2 red && pass "input 3 on: its row is red up to the present" ||
        fail "input 3 on: its row ends in $endSeen, not red"
    history_send --send "FC 00 04"
    wait_until 100 band_ended 2 && pass "input 3 off: its red band (x $runSeen) stops short of the present" ||
        fail "input 3 off: row end $endSeen, red run '$runSeen'"

    # The main window goes on working beside it.
    # shellcheck disable=SC2086 # x y w h
    use_dialog 102 $main
    history_send --send "FC 01 01"
    expect_faces "with the history open, input 1 on: lamp 1" red 1100
    # shellcheck disable=SC2046 # x y w h
    use_dialog 140 $(history_client "$historyId")
    wait_until 100 right_end_is 0 red && pass "input 1's row turns red as its lamp did" ||
        fail "input 1's row ends in $endSeen"

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

# history_log_measured LINES: after "全体表示" and "測定のコピー", input 1's
# figures are those of the written log: a change at every line after the
# first, each second, ON half the time in pulses of one second every two.
history_log_measured() {
    local changes rises total share shortest longest period
    click 1211
    click 1213
    read -r changes rises total share shortest longest period <<< "$(measured_row 0)"
    rowSeen="$changes $rises $total $share $shortest $longest $period"
    [[ $changes == $(($1 - 1)) && $share == 50.0 && $shortest == 1.000 && $longest == 1.000 && $period == 2.000 ]]
}
history_range_saved() { [[ $(tr -d '\r' < "$1" 2> /dev/null | wc -l) == 4 ]]; }

# history_big_log MEGABYTES: a log of that size, input 1 turning on and off
# every second, opened in the history window. Whole, it measures as written;
# the cursors set by the keys on its last three changes measure three
# changes and one pulse of a second; "範囲の保存" writes those three
# changes under the log's header. Prints how long the log took from the
# open dialog's answer to its first right measurements.
history_big_log() {
    local megabytes=$1 main="$dialogX $dialogY $dialogW $dialogH" log=$work/big.csv lines started
    local states=",0,0,0,0,0"
    [[ $variant == sorrel ]] && states=",0,0,0,0"
    printf '日付,時刻,接続元IPアドレス,DI1%s\r\n' "${states//0/X}" | iconv -f UTF-8 -t CP932 > "$log"
    awk -v bytes=$((megabytes * 1048576)) -v rest="$states" 'BEGIN {
        split("31 28 31 30 31 30 31 31 30 31 30 31", days, " ")
        month = 1; day = 1
        for (i = 0; written < bytes; i++) {
            s = i % 86400
            if (i > 0 && s == 0 && ++day > days[month]) { day = 1; month++ }
            line = sprintf("2026/%02d/%02d,%02d:%02d:%02d,10.0.0.1,%d%s\r", month, day,
                           int(s / 3600), int(s / 60) % 60, s % 60, i % 2, rest)
            print line; written += length(line) + 1
        }
        print i > "/dev/stderr" }' >> "$log" 2> "$work/big.lines"
    lines=$(cat "$work/big.lines")
    history_open || return
    before=$(viewable_windows)
    click 1201
    wait_until 200 list_open || {
        fail "the open button opened no dialog"
        return
    }
    started=$(date +%s.%N)
    answer_file_dialog list_closed "$(history_png_name "$log")"
    if wait_until 2400 history_log_measured "$lines"; then
        pass "a log of $megabytes MB ($lines lines) opened and measured whole in $(awk -v a="$started" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }') s ($rowSeen)"
    else
        fail "the log of $megabytes MB ($lines lines) measures '$rowSeen'"
    fi
    xdotool mousemove --sync $((plotLeft + plotWidth / 2)) "$(band_y 0)" click 1
    keys Delete ctrl+shift+Left ctrl+Left ctrl+Left ctrl+Left
    click 1212
    click 1213
    read -r changes _ _ _ shortest longest _ <<< "$(measured_row 0)"
    [[ $changes == 3 && $shortest == 1.000 && $longest == 1.000 ]] &&
        pass "the cursors on the log's last three changes: 3 changes, a pulse of 1.000 s" ||
        fail "the cursors on the log's last three changes measure: $(measured_row 0)"
    before=$(viewable_windows)
    click 1214
    if wait_until 200 list_open; then
        range_saved() { history_range_saved "$work/range.csv"; }
        answer_file_dialog range_saved "$(history_png_name "$work/range.csv")"
        wait_until 100 range_saved && pass "the cursors' range saved as a log of 3 lines under its header" ||
            fail "the saved range holds: $(head -c 300 "$work/range.csv" 2> /dev/null)"
    else
        fail "the range's save button opened no dialog"
    fi
    focus_window "$historyId"
    keys Escape
    wait_until 100 caption_gone "$historyCaption" || fail "Escape left the history window open"
    # shellcheck disable=SC2086 # x y w h
    use_dialog 102 $main
    focus_window "$mainId"
}
