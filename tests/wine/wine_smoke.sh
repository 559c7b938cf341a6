#!/bin/bash
# Smoke test of the Windows programs under Wine, over a real virtual
# Ethernet link, driven by the device simulator.
#
#   wine_smoke.sh WINDOWS_BIN_DIR DEVICE_SIM [SCREENSHOT_DIR]
#
# WINDOWS_BIN_DIR holds Kelvane.exe and Sorrel.exe from the cross build;
# DEVICE_SIM is the Linux build of the device simulator. Everything runs in
# a private network namespace whose only adapter is one end of a veth pair
# (198.51.100.10); the simulated devices run in a second namespace on the
# other end (198.51.100.20). Wine gets a prefix of its own and its own
# server inside the namespace, so that its IP Helper reports the
# namespace's interfaces, and an X server of its own. Each program starts
# from a folder holding a pointer file and a settings file saved with the
# server running and logging on; the test checks the replies to the frames
# and the CSV log byte for byte, then closes each window with Escape while a
# device is connected. With SCREENSHOT_DIR, a picture of each
# window goes there as kelvane-wine.png and sorrel-wine.png.
#
# Exit status: 0 passed, 1 failed, 77 skipped (no Wine, X server or namespace).
# The work folder is removed after a pass unless WINE_SMOKE_KEEP is set.
set -u

readonly SKIP=77
binDir=${1:?folder of Kelvane.exe and Sorrel.exe}
sim=${2:?device simulator}
shotDir=${3:-}

skip() {
    echo "wine-smoke: SKIPPED: $*"
    exit "$SKIP"
}

# ---------------------------------------------------------------------------
# Step 1: a fresh network and mount namespace (this script again).
if [[ -z "${WINE_SMOKE_IN_NAMESPACE:-}" ]]; then
    tools=(wine wineserver Xvfb xwininfo xdotool unshare nsenter ip iconv timeout)
    [[ -n "$shotDir" ]] && tools+=(import)
    for tool in "${tools[@]}"; do
        command -v "$tool" > /dev/null || skip "$tool is not installed"
    done
    for exe in Kelvane.exe Sorrel.exe; do
        [[ -f "$binDir/$exe" ]] || { echo "wine-smoke: $binDir/$exe is not built"; exit 1; }
    done
    [[ -x "$sim" ]] || { echo "wine-smoke: $sim is not built"; exit 1; }
    unshare -n -m true 2> /dev/null || skip "cannot create a network namespace (needs root)"
    binDir=$(cd "$binDir" && pwd)
    sim=$(cd "$(dirname "$sim")" && pwd)/$(basename "$sim")
    if [[ -n "$shotDir" ]]; then
        mkdir -p "$shotDir"
        shotDir=$(cd "$shotDir" && pwd)
    fi
    WINE_SMOKE_IN_NAMESPACE=1 exec unshare -n -m --propagation private \
        "$BASH" "$0" "$binDir" "$sim" "$shotDir"
fi

mount -t sysfs sysfs /sys 2> /dev/null || skip "cannot mount sysfs in the new namespace"
ip link set lo up || skip "cannot bring up the loopback interface"

readonly monitorAddress=198.51.100.10
readonly deviceAddress=198.51.100.20
readonly port1=10003 port2=10004 destPort=10005

work=$(mktemp -d "${TMPDIR:-/tmp}/wine-smoke.XXXXXX")
devicePid=""
xvfbPid=""
failures=0

export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEARCH=win64
# No downloads of Wine's optional runtimes (there is no network anyway).
export WINEDLLOVERRIDES="mscoree,mshtml="

cleanup() {
    wineserver -k 2> /dev/null
    [[ -n "$xvfbPid" ]] && kill "$xvfbPid" 2> /dev/null && wait "$xvfbPid" 2> /dev/null
    [[ -n "$devicePid" ]] && kill "$devicePid" 2> /dev/null && wait "$devicePid" 2> /dev/null
    if ((failures == 0)) && [[ -z "${WINE_SMOKE_KEEP:-}" ]]; then
        rm -rf "$work"
    else
        echo "wine-smoke: files kept in $work"
    fi
}
trap cleanup EXIT

pass() { echo "ok    $*"; }
fail() {
    echo "FAIL  $*"
    failures=$((failures + 1))
}

# ---------------------------------------------------------------------------
# Step 2: the devices' namespace and the veth pair; the monitor's end gets
# interface index 2, within the interface count that adapter enumeration
# asks for.
unshare -n sleep 600 &
devicePid=$!
for _ in $(seq 100); do
    [[ "$(readlink /proc/$devicePid/ns/net)" != "$(readlink /proc/self/ns/net)" ]] && break
    sleep 0.02
done
ip link add wsm0 index 2 type veth peer name wsm1 netns "$devicePid" ||
    skip "cannot create a veth pair"
ip addr add "$monitorAddress/24" dev wsm0
ip link set wsm0 up
nsenter -t "$devicePid" -n sh -c "
    ip link set lo up &&
    ip addr add $deviceAddress/24 dev wsm1 &&
    ip link set wsm1 up" || skip "cannot configure the devices' namespace"

device() { timeout 120 nsenter -t "$devicePid" -n "$sim" "$@"; }

# ---------------------------------------------------------------------------
# Step 3: an X server and a Wine prefix of the test's own, with the Windows
# Japanese font names mapped to the IPA fonts.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3> "$work/display" 2> "$work/xvfb.log" &
xvfbPid=$!
for _ in $(seq 100); do
    [[ -s "$work/display" ]] && break
    sleep 0.1
done
[[ -s "$work/display" ]] || skip "Xvfb did not start"
export DISPLAY=:$(cat "$work/display")

if ! timeout 120 wine wineboot --init > "$work/wineboot.log" 2>&1; then
    fail "wineboot could not make the prefix"
    cat "$work/wineboot.log"
    exit 1
fi
{
    printf '\xff\xfe'
    printf '%s\r\n' 'Windows Registry Editor Version 5.00' '' \
        '[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]' \
        '"ＭＳ Ｐゴシック"="IPAPGothic"' '"ＭＳ ゴシック"="IPAGothic"' '"MS Shell Dlg"="IPAPGothic"' |
        iconv -f UTF-8 -t UTF-16LE
} > "$work/fonts.reg"
timeout 60 wine regedit /S "$work/fonts.reg" > /dev/null 2>&1 || fail "the font replacements"
pass "Wine prefix ready"

# ---------------------------------------------------------------------------
listening_on() {  # port -> the listening addresses in /proc/net/tcp, dotted
    local hexPort
    hexPort=$(printf '%04X' "$1")
    awk -v p="$hexPort" 'NR > 1 { split($2, a, ":"); if (a[2] == p && $4 == "0A") print a[1] }' \
        /proc/net/tcp | while read -r hex; do
        printf '%d.%d.%d.%d\n' "0x${hex:6:2}" "0x${hex:4:2}" "0x${hex:2:2}" "0x${hex:0:2}"
    done
}

window_of() {  # caption -> X window id
    xwininfo -root -tree 2> /dev/null | awk -v name="\"$1\":" '$2 " " $3 == name { print $1; exit }'
}

screenshot() {  # caption output
    local id info geometry
    id=$(window_of "$1")
    [[ -n "$id" ]] || { fail "no window \"$1\" for the screenshot"; return; }
    info=$(xwininfo -id "$id")
    field() { awk -F: -v key="$1" '$1 ~ key { gsub(/ /, "", $2); print $2 }' <<< "$info"; }
    geometry=$(field 'Width')x$(field 'Height')+$(field 'Absolute upper-left X')+$(field 'Absolute upper-left Y')
    import -window root -crop "$geometry" +repage "$2" && pass "screenshot $2 ($geometry)"
}

# One program: its folder, start, frames, log.
run_program() {
    local variant=$1 productName extension inputs outputs
    case "$variant" in
        kelvane) productName=Kelvane extension=kvx inputs=3 outputs=3 ;;
        sorrel) productName=Sorrel extension=srx inputs=5 outputs=0 ;;
    esac
    local folder=$work/$variant
    mkdir -p "$folder"
    cp "$binDir/$productName.exe" "$folder/"
    # The same folder as Windows paths see it, through Wine's drive Z:.
    local winFolder="Z:${folder//\//\\}"
    local logFile="$folder/ログ.csv"
    local caption="$productName E2E"

    printf '%s' "$winFolder\\e2e.$extension" | iconv -f UTF-8 -t CP932 > "$folder/$productName.ini"
    local inputNames=(ポンプ Valve 扉 センサー DI5) outputNames=(ランプ Buzzer DO3)
    {
        printf '#$TITLEBAR=%s\n' "$caption"
        printf '#$PORT=%s\n#$PORT2=%s\n#$PORT3=\n#$PORT4=\n' "$port1" "$port2"
        [[ $variant == kelvane ]] && printf '#$SEND=%s\n' "$destPort"
        for ((i = 1; i <= inputs; i++)); do printf '#$DI%d=%s\n' "$i" "${inputNames[i - 1]}"; done
        for ((i = 1; i <= outputs; i++)); do printf '#$DO%d=%s\n' "$i" "${outputNames[i - 1]}"; done
        printf '#$LOGGING=ON\n#$SERVER=START\n#$LOGFILENAME=%s\n' "$winFolder\\ログ.csv"
    } | sed 's/$/\r/' | iconv -f UTF-8 -t CP932 > "$folder/e2e.$extension"

    (cd "$folder" && exec wine "$productName.exe") > "$folder/program.out" 2>&1 &
    local programPid=$!
    # The first start of a prefix builds Wine's font cache; allow for it.
    for _ in $(seq 1200); do
        [[ -n "$(listening_on $port1)" && -n "$(listening_on $port2)" ]] && break
        kill -0 "$programPid" 2> /dev/null || break
        sleep 0.05
    done
    if [[ -z "$(listening_on $port1)" || -z "$(listening_on $port2)" ]]; then
        fail "$productName.exe did not start listening on $port1 and $port2 from its saved settings"
        cat "$folder/program.out"
        wineserver -k
        return
    fi
    pass "$productName.exe started from the pointer file and listens on $port1 and $port2"

    if [[ $variant == kelvane ]]; then
        [[ "$(listening_on $port1)" == "$monitorAddress" ]] &&
            pass "bound to the adapter's address $monitorAddress, found through IP Helper" ||
            fail "bound to $(listening_on $port1 | tr '\n' ' ') instead of $monitorAddress"
    else
        [[ "$(listening_on $port1)" == 0.0.0.0 ]] && pass "bound to every address" ||
            fail "bound to $(listening_on $port1 | tr '\n' ' ') instead of 0.0.0.0"
    fi
    for _ in $(seq 100); do
        [[ -n "$(window_of "$caption")" ]] && break
        sleep 0.1
    done
    [[ -n "$(window_of "$caption")" ]] && pass "the window's caption is \"$caption\" from the settings" ||
        fail "no window captioned \"$caption\""

    # The frames of the tables, with the replies spelt out; expected log
    # lines lose their timestamp columns.
    local expectedLines=() states state line script=$folder/frames.txt
    log_line() {
        line=$1
        shift
        for state in "$@"; do line+=",$state"; done
        for ((i = 0; i < outputs; i++)); do line+=",0"; done
        expectedLines+=("$line")
    }
    if [[ $variant == kelvane ]]; then
        cat > "$script" << 'EOF'
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
send FC FF F8
expect FC 00
wait
close
EOF
        for states in "1 0 1" "1 0 1" "1 1 1" "1 1 1" "0 1 0" "1 1 0" "1 1 0" "1 1 1" "0 0 0" \
            "0 0 0"; do
            # shellcheck disable=SC2086
            log_line "$deviceAddress" $states
        done
    else
        cat > "$script" << 'EOF'
send F0 1F
expect F0 1F
send FA F0 03
expect F0 03
send FA 12
send FC 01 00
expect F0 01
send FC 06 06
expect FC 07
send F0 FF
send FC FF 01
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
EOF
        for states in "1 1 1 1 1" "1 1 0 0 0" "1 0 0 0 0" "1 1 1 0 0" "1 1 1 0 0" "1 1 1 1 1" \
            "1 0 0 0 0" "0 0 0 0 0"; do
            # shellcheck disable=SC2086
            log_line "$deviceAddress" $states
        done
    fi
    if device --connect "$monitorAddress:$port1" --bind "$deviceAddress" --variant "$variant" \
        --expect-replies --script "$script" > "$folder/frames.out" 2>&1; then
        pass "frames of the $productName tables answered as they say"
    else
        fail "frames of the $productName tables"
        cat "$folder/frames.out"
    fi

    local manyFrames=1000 n v k
    if device --connect "$monitorAddress:$port2" --bind "$deviceAddress" --connections 1 \
        --frames "$manyFrames" --quiet > "$folder/load.out" 2>&1 &&
        grep -q "replies $manyFrames, mismatches 0, missing 0" "$folder/load.out"; then
        pass "$manyFrames frames answered on port $port2: $(grep 'round trip' "$folder/load.out")"
    else
        fail "$manyFrames frames in a row on port $port2"
        cat "$folder/load.out"
    fi
    for ((n = 0; n < manyFrames; n++)); do
        v=$((n % 32))
        states=()
        for ((k = 0; k < inputs; k++)); do states+=($(((v >> k) & 1))); done
        log_line "$deviceAddress" "${states[@]}"
    done
    if [[ $variant == kelvane ]]; then
        device --connect "$monitorAddress:$port1" --variant kelvane --expect-replies \
            --send "FA F0 06" --quiet > "$folder/after.out" 2>&1
        log_line "$deviceAddress" 0 1 1
    else
        device --connect "$monitorAddress:$port1" --variant sorrel --expect-replies \
            --send "FA F0 06" --quiet > "$folder/after.out" 2>&1
        log_line "$deviceAddress" 0 1 1 0 0
    fi
    # shellcheck disable=SC2181
    [[ $? == 0 ]] && pass "still answering" || { fail "no answer at the end"; cat "$folder/after.out"; }

    local header="日付,時刻,接続元IPアドレス"
    for ((i = 0; i < inputs; i++)); do header+=",${inputNames[i]}"; done
    for ((i = 0; i < outputs; i++)); do header+=",${outputNames[i]}"; done
    if [[ ! -f "$logFile" ]]; then
        fail "no log file $logFile"
    else
        local stampPattern='^[0-9]{4}/[0-9]{2}/[0-9]{2},[0-9]{2}:[0-9]{2}:[0-9]{2},' badStamps
        {
            printf '%s\r\n' "$header" | iconv -f UTF-8 -t CP932
            printf '%s\r\n' "${expectedLines[@]}"
        } > "$folder/expected.csv"
        badStamps=$(tail -n +2 "$logFile" | LC_ALL=C grep -cvE "$stampPattern")
        { head -n 1 "$logFile"; tail -n +2 "$logFile" | LC_ALL=C sed -E "s#$stampPattern##"; } \
            > "$folder/actual.csv"
        if cmp -s "$folder/expected.csv" "$folder/actual.csv" && [[ $badStamps == 0 ]]; then
            pass "the log in a folder path through UTF-16 holds the CP932 header and all ${#expectedLines[@]} lines, CR LF"
        else
            fail "the log differs from what the frames must give (bad timestamps: $badStamps)"
            diff <(LC_ALL=C cat -A "$folder/expected.csv") <(LC_ALL=C cat -A "$folder/actual.csv") |
                head -20
        fi
    fi

    [[ -n "$shotDir" ]] && screenshot "$caption" "$shotDir/$variant-wine.png"
    kill -0 "$programPid" 2> /dev/null && pass "$productName.exe still runs" ||
        fail "$productName.exe ended"

    # Escape closes the window while a device holds its connection and the
    # server runs: every worker must end and the program with them.
    local frame=F0
    [[ $variant == kelvane ]] && frame="FA F0"
    printf 'send %s 01\nexpect F0 01\npause 30000\nclose\n' "$frame" > "$folder/holder.txt"
    device --connect "$monitorAddress:$port1" --script "$folder/holder.txt" \
        > "$folder/holder.out" 2>&1 &
    local holderPid=$! id ended=no
    for _ in $(seq 100); do
        grep -q 'expect F0 01: ok' "$folder/holder.out" && break
        sleep 0.05
    done
    id=$(window_of "$caption")
    if [[ -n "$id" ]] && xdotool windowfocus --sync "$id" && xdotool key Escape; then
        for _ in $(seq 300); do
            kill -0 "$programPid" 2> /dev/null || { ended=yes; break; }
            sleep 0.05
        done
    fi
    if [[ $ended == yes ]]; then
        wait "$programPid"
        local status=$?
        [[ $status == 0 ]] && pass "Escape closed $productName.exe with a device connected" ||
            fail "$productName.exe ended with status $status after Escape"
    else
        fail "$productName.exe did not end within 15 s of Escape"
    fi
    kill "$holderPid" 2> /dev/null
    wait "$holderPid" 2> /dev/null
    wineserver -k
    wait "$programPid" 2> /dev/null
}

run_program kelvane
run_program sorrel

if ((failures > 0)); then
    echo "wine-smoke: $failures check(s) failed"
    exit 1
fi
echo "wine-smoke: all checks passed"
exit 0
