# shellcheck shell=bash
# Helpers of the tests that run a built monitor program in a private network
# namespace against the device simulator. Sourced, not run.
#
# The sourcing script sets testTag (the prefix of its messages), sim (the
# device simulator), monitorAddress, deviceAddress, port1, port2, destPort
# and variant, and calls variant_facts for productName, extension, inputs
# and outputs. The helpers count failures in failures, keep the test's files
# in work (start_work), keep the devices' namespace open with devicePid, and
# collect the expected log lines in expectedLines.
# shellcheck disable=SC2034,SC2154 # those names are shared with the sourcing script

readonly -a inputNames=(ポンプ Valve 扉 センサー DI5)
readonly -a outputNames=(ランプ Buzzer DO3)

skip() {
    echo "$testTag: SKIPPED: $*"
    exit 77
}
pass() { echo "ok    $*"; }
fail() {
    echo "FAIL  $*"
    failures=$((failures + 1))
}

# require_tools TOOL...: skips the test when one of them is missing.
require_tools() {
    local tool
    for tool in "$@"; do
        command -v "$tool" > /dev/null || skip "$tool is not installed"
    done
}

require_namespaces() {
    unshare -n -m true 2> /dev/null || skip "cannot create a network namespace (needs root)"
}

# require_built FILE...: the test cannot run (status 1) without every one.
require_built() {
    local file
    for file in "$@"; do
        [[ -f "$file" ]] || { echo "$testTag: $file is not built"; exit 1; }
    done
}

# absolute PATH: PATH from the root, as the run inside the namespace needs it.
absolute() { printf '%s/%s\n' "$(cd "$(dirname "$1")" && pwd)" "$(basename "$1")"; }

# absolute_folder [FOLDER]: FOLDER made if missing, from the root; nothing
# when no folder is given.
absolute_folder() {
    [[ -n "$1" ]] || return 0
    mkdir -p "$1" && (cd "$1" && pwd)
}

# rerun_in_namespace MARK ARG...: this script again with ARG..., in a fresh
# network and mount namespace; the variable MARK tells that run it is there.
rerun_in_namespace() {
    export "$1=1"
    shift
    exec unshare -n -m --propagation private "$BASH" "$0" "$@"
}

# The processes a test starts, ended by their ids when it exits, and the
# Wine prefix it made.
devicePid="" xvfbPid="" programPid="" holderPid="" ownWinePrefix=""
failures=0

# What else a test must undo before its folder goes; a test that has
# something defines its own.
release_work() { :; }

# start_work NAME KEEP: the test's work folder in work and the clean-up on
# exit: it ends the Wine server of the test's prefix and the test's
# processes, runs release_work, and removes the folder unless a check failed
# or the variable KEEP is set.
start_work() {
    work=$(mktemp -d "${TMPDIR:-/tmp}/$1.XXXXXX")
    keepVariable=$2
    trap end_work EXIT
}

end_work() {
    local pid
    [[ -n "$ownWinePrefix" ]] && WINEPREFIX=$ownWinePrefix wineserver -k 2> /dev/null
    for pid in "$programPid" "$holderPid" "$xvfbPid" "$devicePid"; do
        [[ -n "$pid" ]] && kill "$pid" 2> /dev/null && wait "$pid" 2> /dev/null
    done
    release_work
    if ((failures == 0)) && [[ -z "${!keepVariable:-}" ]]; then
        rm -rf "$work"
    else
        echo "$testTag: files kept in $work"
    fi
}

# finish: the test's verdict from the failed checks, and its exit status.
finish() {
    if ((failures > 0)); then
        echo "$testTag: $failures check(s) failed"
        exit 1
    fi
    echo "$testTag: all checks passed"
    exit 0
}

# Inside the fresh namespace: its own sysfs, so that adapter enumeration sees
# this namespace's interfaces, and a working loopback.
prepare_namespace() {
    mount -t sysfs sysfs /sys 2> /dev/null || skip "cannot mount sysfs in the new namespace"
    ip link set lo up || skip "cannot bring up the loopback interface"
}

# variant_facts VARIANT: productName, extension, inputs and outputs of one
# program (assigned in the caller's scope).
variant_facts() {
    case "$1" in
        kelvane) productName=Kelvane extension=kvx inputs=3 outputs=3 ;;
        sorrel) productName=Sorrel extension=srx inputs=5 outputs=0 ;;
        *)
            echo "$testTag: unknown variant $1"
            exit 1
            ;;
    esac
}

# make_device_namespace LINK "MONITOR_ADDRESS..." "DEVICE_ADDRESS...": the
# devices' own network namespace, held open by devicePid, joined to this one
# by the veth pair LINK0 (here) and LINK1 (there), each end with its /24
# addresses. LINK0 gets interface index 2 so that it lies within the
# interface count (adapter enumeration asks for indexes 1 to N only).
make_device_namespace() {
    local link=$1 address setup="ip link set lo up"
    unshare -n sleep 3600 &
    devicePid=$!
    for _ in $(seq 100); do
        [[ "$(readlink /proc/$devicePid/ns/net)" != "$(readlink /proc/self/ns/net)" ]] && break
        sleep 0.02
    done
    ip link add "${link}0" index 2 type veth peer name "${link}1" netns "$devicePid" ||
        skip "cannot create a veth pair"
    for address in $2; do ip addr add "$address/24" dev "${link}0"; done
    ip link set "${link}0" up
    for address in $3; do setup+=" && ip addr add $address/24 dev ${link}1"; done
    nsenter -t "$devicePid" -n sh -c "$setup && ip link set ${link}1 up" ||
        skip "cannot configure the devices' namespace"
}

# device ARG...: the simulator as a device on the other end of the link.
device() { timeout 120 nsenter -t "$devicePid" -n "$sim" "$@"; }

listening_on() {  # port -> the listening addresses in /proc/net/tcp, dotted
    local hexPort
    hexPort=$(printf '%04X' "$1")
    awk -v p="$hexPort" 'NR > 1 { split($2, a, ":"); if (a[2] == p && $4 == "0A") print a[1] }' \
        /proc/net/tcp | while read -r hex; do
        printf '%d.%d.%d.%d\n' "0x${hex:6:2}" "0x${hex:4:2}" "0x${hex:2:2}" "0x${hex:0:2}"
    done
}

all_listening() {  # port... -> true when something listens on every one
    local port
    for port in "$@"; do
        [[ -n "$(listening_on "$port")" ]] || return 1
    done
}

# wait_for_listeners PID TRIES PORT...: polls every 50 ms, TRIES times at
# most and no longer than PID runs, until every PORT listens.
wait_for_listeners() {
    local pid=$1 tries=$2
    shift 2
    for _ in $(seq "$tries"); do
        all_listening "$@" && return 0
        kill -0 "$pid" 2> /dev/null || break
        sleep 0.05
    done
    all_listening "$@"
}

# write_pointer FILE SETTINGS_PATH: the pointer file naming the settings
# file the program loads at start, CP932.
write_pointer() { printf '%s' "$2" | iconv -f UTF-8 -t CP932 > "$1"; }

# write_settings FILE CAPTION LOG_PATH: a settings file saved with the server
# running and logging on, CP932 with CR LF line ends.
write_settings() {
    local i
    {
        printf '#$TITLEBAR=%s\n' "$2"
        printf '#$PORT=%s\n#$PORT2=%s\n#$PORT3=\n#$PORT4=\n' "$port1" "$port2"
        [[ $variant == kelvane ]] && printf '#$SEND=%s\n' "$destPort"
        for ((i = 1; i <= inputs; i++)); do printf '#$DI%d=%s\n' "$i" "${inputNames[i - 1]}"; done
        for ((i = 1; i <= outputs; i++)); do printf '#$DO%d=%s\n' "$i" "${outputNames[i - 1]}"; done
        printf '#$LOGGING=ON\n#$SERVER=START\n#$LOGFILENAME=%s\n' "$3"
    } | sed 's/$/\r/' | iconv -f UTF-8 -t CP932 > "$1"
}

# log_line PEER STATE...: one expected log line without its timestamp
# columns, outputs all off.
log_line() {
    local line=$1 state i
    shift
    for state in "$@"; do line+=",$state"; done
    for ((i = 0; i < outputs; i++)); do line+=",0"; done
    expectedLines+=("$line")
}

# send_table_frames PORT FOLDER: every frame of the program's tables from a
# device at deviceAddress, with the replies spelt out (the simulator's own
# frame model checks them a second time); the log lines they give. The
# script and the simulator's report stay in FOLDER.
send_table_frames() {
    local port=$1 script=$2/frames.txt states
    if [[ $variant == kelvane ]]; then
        cat > "$script" << 'SCRIPT'
send FA F0 05
expect F0 05
send FA F0 FD
expect F0 FD
send FC 02 02
expect FC 07
send FC 00 00
expect FC 07
send FC 00 05
expect FC 02
# F0 05 is no frame in Kelvane; its bytes stay in the window
send F0 05
send 00 FC 01 01
expect FC 03
send 12 FA F0 03
expect F0 03
splitgap 50
sendsplit FC 04 04
expect FC 07
garbage 5
send FA F0 00
expect F0 00
# a mask of high bits only changes nothing
send FC FF F8
expect FC 00
wait
close
SCRIPT
        for states in "1 0 1" "1 0 1" "1 1 1" "1 1 1" "0 1 0" "1 1 0" "1 1 0" "1 1 1" "0 0 0" \
            "0 0 0"; do
            # shellcheck disable=SC2086
            log_line "$deviceAddress" $states
        done
    else
        cat > "$script" << 'SCRIPT'
send F0 1F
expect F0 1F
send FA F0 03
expect F0 03
# FA and the byte after it are dropped
send FA 12
send FC 01 00
expect F0 01
send FC 06 06
expect FC 07
# FF stands for nothing received: no reply
send F0 FF
send FC FF 01
# a mask of high bits only changes nothing and is answered FC s
send FC 1F E0
expect FC 07
splitgap 50
sendsplit FC 18 18
expect FC 1F
send F0 E1
expect F0 E1
garbage 4
send F0 00
expect F0 00
wait
close
SCRIPT
        for states in "1 1 1 1 1" "1 1 0 0 0" "1 0 0 0 0" "1 1 1 0 0" "1 1 1 0 0" "1 1 1 1 1" \
            "1 0 0 0 0" "0 0 0 0 0"; do
            # shellcheck disable=SC2086
            log_line "$deviceAddress" $states
        done
    fi
    if device --connect "$monitorAddress:$port" --bind "$deviceAddress" --variant "$variant" \
        --expect-replies --script "$script" > "$2/frames.out" 2>&1; then
        pass "every frame of the $productName tables answered as they say"
    else
        fail "frames of the $productName tables"
        cat "$2/frames.out"
    fi
}

# send_counted_frames PORT COUNT OUT_FILE: COUNT frames in a row from one
# device at deviceAddress, every one answered; their log lines.
send_counted_frames() {
    local port=$1 count=$2 out=$3 n v k
    local -a states
    if device --connect "$monitorAddress:$port" --bind "$deviceAddress" --connections 1 \
        --frames "$count" --quiet > "$out" 2>&1 &&
        grep -q "replies $count, mismatches 0, missing 0" "$out"; then
        pass "$count frames answered on port $port: $(grep 'round trip' "$out")"
    else
        fail "$count frames in a row on port $port"
        cat "$out"
    fi
    for ((n = 0; n < count; n++)); do
        v=$((n % 32))
        states=()
        for ((k = 0; k < inputs; k++)); do states+=($(((v >> k) & 1))); done
        log_line "$deviceAddress" "${states[@]}"
    done
}

# send_paced_frames PORT COUNT FOLDER NAME: COUNT state frames from one
# device at deviceAddress, 50 ms apart, each answered within a second (a
# frame that waits for the log's file would take far longer); their log
# lines. The script and the simulator's report stay in FOLDER as NAME.*.
send_paced_frames() {
    local port=$1 count=$2 script=$3/$4.txt out=$3/$4.out n v k
    local -a states
    : > "$script"
    for ((n = 0; n < count; n++)); do
        v=$(((n + 1) % 8))
        if [[ $variant == kelvane ]]; then
            printf 'send FA F0 %02X\nexpect F0 %02X\npause 50\n' "$v" "$v" >> "$script"
        else
            printf 'send F0 %02X\nexpect F0 %02X\npause 50\n' "$v" "$v" >> "$script"
        fi
        states=()
        for ((k = 0; k < inputs; k++)); do states+=($(((v >> k) & 1))); done
        log_line "$deviceAddress" "${states[@]}"
    done
    echo close >> "$script"
    if device --connect "$monitorAddress:$port" --bind "$deviceAddress" --variant "$variant" \
        --reply-timeout 1000 --script "$script" > "$out" 2>&1; then
        pass "$count frames answered within a second each ($4)"
    else
        fail "frames while $4: $(grep -m 1 FAILED "$out")"
    fi
}

# lines_held_back LOG_FILE: the log holds fewer lines than the frames so far
# gave, as it must while its disk is full; nothing is lost once it frees up.
lines_held_back() {
    local lines
    lines=$(($(wc -l < "$1") - 1))
    ((lines < ${#expectedLines[@]})) &&
        pass "with the disk full the log holds $lines of ${#expectedLines[@]} lines; the rest wait" ||
        fail "the full disk held back no line: $lines of ${#expectedLines[@]}"
}

# send_last_frame PORT OUT_FILE: one more frame after the others, answered;
# its log line.
send_last_frame() {
    if device --connect "$monitorAddress:$1" --variant "$variant" --expect-replies \
        --send "FA F0 06" --quiet > "$2" 2>&1; then
        pass "still answering after the frames in a row"
    else
        fail "no answer after the frames in a row"
        cat "$2"
    fi
    if [[ $variant == kelvane ]]; then
        log_line "$deviceAddress" 0 1 1
    else
        log_line "$deviceAddress" 0 1 1 0 0
    fi
}

# check_log LOG_FILE FOLDER WHAT [NAME...]: the log byte for byte against
# the CP932 header (with the signal names given, else those of
# write_settings) and expectedLines, apart from the timestamp columns of data
# lines; the expected and the compared text are left in FOLDER.
check_log() {
    local logFile=$1 folder=$2 what=$3 header="日付,時刻,接続元IPアドレス" i badStamps name
    local stampPattern='^[0-9]{4}/[0-9]{2}/[0-9]{2},[0-9]{2}:[0-9]{2}:[0-9]{2},'
    shift 3
    if (($# > 0)); then
        for name in "$@"; do header+=",$name"; done
    else
        for ((i = 0; i < inputs; i++)); do header+=",${inputNames[i]}"; done
        for ((i = 0; i < outputs; i++)); do header+=",${outputNames[i]}"; done
    fi
    if [[ ! -f "$logFile" ]]; then
        fail "no log file $logFile"
        return
    fi
    # The log's writer writes a moment after the frames are answered.
    for _ in $(seq 200); do
        (($(wc -l < "$logFile") >= ${#expectedLines[@]} + 1)) && break
        sleep 0.05
    done
    {
        printf '%s\r\n' "$header" | iconv -f UTF-8 -t CP932
        printf '%s\r\n' "${expectedLines[@]}"
    } > "$folder/expected.csv"
    # The first line stays whole; data lines lose "yyyy/mm/dd,hh:mm:ss,".
    badStamps=$(tail -n +2 "$logFile" | LC_ALL=C grep -cvE "$stampPattern")
    { head -n 1 "$logFile"; tail -n +2 "$logFile" | LC_ALL=C sed -E "s#$stampPattern##"; } \
        > "$folder/actual.csv"
    if cmp -s "$folder/expected.csv" "$folder/actual.csv" && [[ $badStamps == 0 ]]; then
        pass "$what holds the CP932 header and all ${#expectedLines[@]} lines, CR LF"
    else
        fail "the log differs from what the frames must give (bad timestamps: $badStamps)"
        diff <(LC_ALL=C cat -A "$folder/expected.csv") <(LC_ALL=C cat -A "$folder/actual.csv") |
            head -20
    fi
}

# start_xvfb WORK [WIDTHxHEIGHT]: an X server of the test's own (1024x768
# unless a size is given), its display in DISPLAY and its process in
# xvfbPid; skips when it does not come up, fails when it comes up but takes
# no client. The server never resets: a reset when the last client leaves
# (wineboot, say) can turn away the program that connects next.
start_xvfb() {
    Xvfb -displayfd 3 -screen 0 "${2:-1024x768}x24" -nolisten tcp -noreset 3> "$1/display" \
        2> "$1/xvfb.log" &
    xvfbPid=$!
    for _ in $(seq 100); do
        [[ -s "$1/display" ]] && break
        sleep 0.1
    done
    [[ -s "$1/display" ]] || skip "Xvfb did not start"
    DISPLAY=:$(cat "$1/display")
    export DISPLAY
    xwininfo -root > /dev/null 2>&1 || { fail "Xvfb does not take clients"; exit 1; }
}

# make_wine_prefix WORK: a Wine prefix of the test's own made in WORK, with
# the Windows Japanese font names mapped to the IPA fonts.
make_wine_prefix() {
    ownWinePrefix=$1/prefix
    export WINEPREFIX=$ownWinePrefix WINEDEBUG=-all WINEARCH=win64
    # No downloads of Wine's optional runtimes (there is no network anyway).
    export WINEDLLOVERRIDES="mscoree,mshtml="
    if ! timeout 120 wine wineboot --init > "$1/wineboot.log" 2>&1; then
        fail "wineboot could not make the prefix"
        cat "$1/wineboot.log"
        exit 1
    fi
    {
        printf '\xff\xfe'
        printf '%s\r\n' 'Windows Registry Editor Version 5.00' '' \
            '[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]' \
            '"ＭＳ Ｐゴシック"="IPAPGothic"' '"ＭＳ ゴシック"="IPAGothic"' '"MS Shell Dlg"="IPAPGothic"' |
            iconv -f UTF-8 -t UTF-16LE
    } > "$1/fonts.reg"
    timeout 60 wine regedit /S "$1/fonts.reg" > /dev/null 2>&1 || fail "the font replacements"
}

# window_still ID: the window shows the same picture on two looks a moment
# apart: it has painted, or a dialog has filled itself.
window_still() {
    local first second
    first=$(import -window "$1" rgb:- 2> /dev/null | md5sum) || return 1
    sleep 0.15
    second=$(import -window "$1" rgb:- 2> /dev/null | md5sum) || return 1
    [[ "$first" == "$second" ]]
}
