#!/bin/bash
# End-to-end test of one built monitor program, driven by the device
# simulator over a real virtual Ethernet link.
#
#   run_e2e.sh kelvane|sorrel PROGRAM DEVICE_SIM
#
# The program runs in a private network namespace whose only adapter is one
# end of a veth pair (198.51.100.10 and .11); the simulated devices run in a
# second private namespace on the other end (198.51.100.20 and .21). Nothing
# leaves the machine. The program starts from a fresh folder holding a
# pointer file and a settings file saved with the server running and
# logging on, with QT_QPA_PLATFORM=offscreen.
#
# Exit status: 0 passed, 1 failed, 77 skipped (no namespace could be made).
# The folder is removed after a pass unless E2E_KEEP is set.
set -u

readonly SKIP=77
variant=${1:?variant}
program=${2:?program}
sim=${3:?device simulator}

skip() {
    echo "e2e: SKIPPED: $*"
    exit "$SKIP"
}

# ---------------------------------------------------------------------------
# Step 1: enter a fresh network and mount namespace (re-running this script).
if [[ -z "${E2E_IN_NAMESPACE:-}" ]]; then
    for tool in unshare nsenter ip iconv; do
        command -v "$tool" > /dev/null || skip "$tool is not installed"
    done
    [[ -x "$program" ]] || { echo "e2e: $program is not built"; exit 1; }
    [[ -x "$sim" ]] || { echo "e2e: $sim is not built"; exit 1; }
    unshare -n -m true 2> /dev/null || skip "cannot create a network namespace (needs root)"
    E2E_IN_NAMESPACE=1 exec unshare -n -m --propagation private "$BASH" "$0" "$@"
fi

mount -t sysfs sysfs /sys 2> /dev/null || skip "cannot mount sysfs in the new namespace"
ip link set lo up || skip "cannot bring up the loopback interface"

case "$variant" in
    kelvane) productName=Kelvane extension=kvx inputs=3 outputs=3 ;;
    sorrel) productName=Sorrel extension=srx inputs=5 outputs=0 ;;
    *) echo "e2e: unknown variant $variant"; exit 1 ;;
esac

readonly monitorAddress=198.51.100.10
readonly otherMonitorAddress=198.51.100.11
readonly deviceAddress=198.51.100.20
readonly secondDeviceAddress=198.51.100.21
readonly port1=10003 port2=10004 destPort=10005

folder=$(mktemp -d "${TMPDIR:-/tmp}/e2e-$variant.XXXXXX")
devicePid=""
programPid=""
failures=0

cleanup() {
    [[ -n "$programPid" ]] && kill "$programPid" 2> /dev/null && wait "$programPid" 2> /dev/null
    [[ -n "$devicePid" ]] && kill "$devicePid" 2> /dev/null && wait "$devicePid" 2> /dev/null
    if ((failures == 0)) && [[ -z "${E2E_KEEP:-}" ]]; then
        rm -rf "$folder"
    else
        echo "e2e: files kept in $folder"
    fi
}
trap cleanup EXIT

pass() { echo "ok    $*"; }
fail() {
    echo "FAIL  $*"
    failures=$((failures + 1))
}

# ---------------------------------------------------------------------------
# Step 2: the devices' namespace and the veth pair. The monitor's end gets
# interface index 2 so that it lies within the interface count (adapter
# enumeration asks for indexes 1 to N only).
unshare -n sleep 3600 &
devicePid=$!
for _ in $(seq 100); do
    [[ "$(readlink /proc/$devicePid/ns/net)" != "$(readlink /proc/self/ns/net)" ]] && break
    sleep 0.02
done
ip link add e2e0 index 2 type veth peer name e2e1 netns "$devicePid" ||
    skip "cannot create a veth pair"
ip addr add "$monitorAddress/24" dev e2e0
ip addr add "$otherMonitorAddress/24" dev e2e0
ip link set e2e0 up
nsenter -t "$devicePid" -n sh -c "
    ip link set lo up &&
    ip addr add $deviceAddress/24 dev e2e1 &&
    ip addr add $secondDeviceAddress/24 dev e2e1 &&
    ip link set e2e1 up" || skip "cannot configure the devices' namespace"

# Runs the simulator as a device on the other end of the link.
device() { timeout 120 nsenter -t "$devicePid" -n "$sim" "$@"; }
# Runs the simulator beside the program (loopback addresses).
local_device() { timeout 60 "$sim" "$@"; }

# ---------------------------------------------------------------------------
# Step 3: the program's folder: the program, the pointer file and the
# settings file (CP932, CR LF), the log in a file with a Japanese name.
cp "$program" "$folder/$productName"
settings="$folder/e2e.$extension"
logFile="$folder/ログ.csv"
printf '%s' "$settings" > "$folder/$productName.ini"

inputNames=(ポンプ Valve 扉 センサー DI5)
outputNames=(ランプ Buzzer DO3)
{
    printf '#$TITLEBAR=%s E2E\n' "$productName"
    printf '#$PORT=%s\n#$PORT2=%s\n#$PORT3=\n#$PORT4=\n' "$port1" "$port2"
    [[ $variant == kelvane ]] && printf '#$SEND=%s\n' "$destPort"
    for ((i = 1; i <= inputs; i++)); do printf '#$DI%d=%s\n' "$i" "${inputNames[i - 1]}"; done
    for ((i = 1; i <= outputs; i++)); do printf '#$DO%d=%s\n' "$i" "${outputNames[i - 1]}"; done
    printf '#$LOGGING=ON\n#$SERVER=START\n#$LOGFILENAME=%s\n' "$logFile"
} | sed 's/$/\r/' | iconv -f UTF-8 -t CP932 > "$settings"

# ---------------------------------------------------------------------------
# Step 4: start the program and wait until both ports listen.
QT_QPA_PLATFORM=offscreen "$folder/$productName" > "$folder/program.out" 2>&1 &
programPid=$!

listening_on() {  # port -> the listening addresses in /proc/net/tcp, dotted
    local hexPort
    hexPort=$(printf '%04X' "$1")
    awk -v p="$hexPort" 'NR > 1 { split($2, a, ":"); if (a[2] == p && $4 == "0A") print a[1] }' \
        /proc/net/tcp | while read -r hex; do
        printf '%d.%d.%d.%d\n' "0x${hex:6:2}" "0x${hex:4:2}" "0x${hex:2:2}" "0x${hex:0:2}"
    done
}

for _ in $(seq 300); do
    [[ -n "$(listening_on $port1)" && -n "$(listening_on $port2)" ]] && break
    kill -0 "$programPid" 2> /dev/null || break
    sleep 0.05
done
if [[ -z "$(listening_on $port1)" || -z "$(listening_on $port2)" ]]; then
    fail "$productName did not start listening on ports $port1 and $port2 from its saved settings"
    cat "$folder/program.out"
    exit 1
fi
pass "$productName started from the pointer file and listens on $port1 and $port2"

# ---------------------------------------------------------------------------
# Step 5: where the program can be reached.
reach() {  # expected(yes|no) description command...
    local expected=$1 what=$2
    shift 2
    "$@" --hold 0 --quiet > /dev/null 2>&1
    local status=$?
    if [[ $expected == yes && $status == 0 ]] || [[ $expected == no && $status == 3 ]]; then
        pass "$what"
    else
        fail "$what (simulator exit status $status)"
    fi
}
if [[ $variant == kelvane ]]; then
    [[ "$(listening_on $port1)" == "$monitorAddress" ]] && pass "bound to $monitorAddress only" ||
        fail "bound to $(listening_on $port1 | tr '\n' ' ') instead of $monitorAddress"
    reach yes "reachable on the first adapter address" device --connect "$monitorAddress:$port1"
    reach no "not reachable on the adapter's second address" device --connect "$otherMonitorAddress:$port1"
    reach no "not reachable on 127.0.0.1" local_device --connect "127.0.0.1:$port1"
else
    [[ "$(listening_on $port1)" == 0.0.0.0 ]] && pass "bound to every address" ||
        fail "bound to $(listening_on $port1 | tr '\n' ' ') instead of 0.0.0.0"
    reach yes "reachable on $monitorAddress" device --connect "$monitorAddress:$port1"
    reach yes "reachable on $otherMonitorAddress" device --connect "$otherMonitorAddress:$port1"
    reach yes "reachable on 127.0.0.1" local_device --connect "127.0.0.1:$port1"
fi

# ---------------------------------------------------------------------------
# Step 6: every frame of the tables, with the replies spelt out (the
# simulator's own frame model checks them a second time). expectedLines
# collects the log lines without their timestamp columns.
expectedLines=()
log_line() {  # peer input states...; outputs are all off
    local line=$1
    shift
    for state in "$@"; do line+=",$state"; done
    for ((i = 0; i < outputs; i++)); do line+=",0"; done
    expectedLines+=("$line")
}

script="$folder/frames.txt"
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
EOF
    for states in "1 0 1" "1 0 1" "1 1 1" "1 1 1" "0 1 0" "1 1 0" "1 1 0" "1 1 1" "0 0 0" "0 0 0"; do
        # shellcheck disable=SC2086
        log_line "$deviceAddress" $states
    done
else
    cat > "$script" << 'EOF'
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
EOF
    for states in "1 1 1 1 1" "1 1 0 0 0" "1 0 0 0 0" "1 1 1 0 0" "1 1 1 0 0" "1 1 1 1 1" \
        "1 0 0 0 0" "0 0 0 0 0"; do
        # shellcheck disable=SC2086
        log_line "$deviceAddress" $states
    done
fi
if device --connect "$monitorAddress:$port1" --bind "$deviceAddress" --variant "$variant" \
    --expect-replies --script "$script" > "$folder/frames.out" 2>&1; then
    pass "every frame of the $productName tables answered as they say"
else
    fail "frames of the $productName tables"
    cat "$folder/frames.out"
fi

# A frame cut short by the device's close changes nothing and is not logged.
printf 'send FC 05\nclose\n' > "$folder/cut.txt"
device --connect "$monitorAddress:$port1" --script "$folder/cut.txt" --quiet > /dev/null 2>&1 ||
    fail "the device with a cut frame could not connect"

# ---------------------------------------------------------------------------
# Step 7: a second device on the other port while the first one holds its
# connection; the first one ends with a reset.
printf 'send FA F0 01\nexpect F0 01\npause 1500\nreset\n' > "$folder/first.txt"
device --connect "$monitorAddress:$port1" --bind "$deviceAddress" --script "$folder/first.txt" \
    > "$folder/first.out" 2>&1 &
firstPid=$!
for _ in $(seq 100); do
    grep -q 'expect F0 01: ok' "$folder/first.out" && break
    sleep 0.02
done
if [[ $variant == kelvane ]]; then
    log_line "$deviceAddress" 1 0 0
    log_line "$secondDeviceAddress" 0 1 0
    secondFrame="FA F0 02" secondReply="F0 02"
else
    log_line "$deviceAddress" 1 0 0 0 0
    log_line "$secondDeviceAddress" 0 1 0 0 0
    secondFrame="F0 02" secondReply="F0 02"
fi
printf 'send %s\nexpect %s\nwait\nclose\n' "$secondFrame" "$secondReply" > "$folder/second.txt"
if device --connect "$monitorAddress:$port2" --bind "$secondDeviceAddress" --variant "$variant" \
    --expect-replies --script "$folder/second.txt" > "$folder/second.out" 2>&1; then
    pass "a second device on port $port2 answered while the first is connected"
else
    fail "the second device on port $port2"
    cat "$folder/second.out"
fi
wait "$firstPid" || { fail "the first device (reset at its end)"; cat "$folder/first.out"; }

# ---------------------------------------------------------------------------
# Step 8: 10,000 frames in a row, then one more frame with its reply.
readonly manyFrames=10000
if device --connect "$monitorAddress:$port1" --bind "$deviceAddress" --connections 1 \
    --frames "$manyFrames" --quiet > "$folder/load.out" 2>&1 &&
    grep -q "replies $manyFrames, mismatches 0, missing 0" "$folder/load.out"; then
    pass "$manyFrames frames answered: $(grep 'round trip' "$folder/load.out")"
else
    fail "$manyFrames frames in a row"
    cat "$folder/load.out"
fi
for ((n = 0; n < manyFrames; n++)); do
    v=$((n % 32))
    states=()
    for ((k = 0; k < inputs; k++)); do states+=($(((v >> k) & 1))); done
    log_line "$deviceAddress" "${states[@]}"
done
if device --connect "$monitorAddress:$port1" --variant "$variant" --expect-replies \
    --send "FA F0 06" --quiet > "$folder/after.out" 2>&1; then
    pass "still answering after $manyFrames frames"
else
    fail "no answer after $manyFrames frames"
    cat "$folder/after.out"
fi
if [[ $variant == kelvane ]]; then log_line "$deviceAddress" 0 1 1; else log_line "$deviceAddress" 0 1 1 0 0; fi

# ---------------------------------------------------------------------------
# Step 9: the log, byte for byte apart from the timestamp columns.
header="日付,時刻,接続元IPアドレス"
for ((i = 0; i < inputs; i++)); do header+=",${inputNames[i]}"; done
for ((i = 0; i < outputs; i++)); do header+=",${outputNames[i]}"; done

if [[ ! -f "$logFile" ]]; then
    fail "no log file $logFile"
else
    expectedLog="$folder/expected.csv"
    actualLog="$folder/actual.csv"
    {
        printf '%s\r\n' "$header" | iconv -f UTF-8 -t CP932
        printf '%s\r\n' "${expectedLines[@]}"
    } > "$expectedLog"
    # The first line stays whole; data lines lose "yyyy/mm/dd,hh:mm:ss,".
    stampPattern='^[0-9]{4}/[0-9]{2}/[0-9]{2},[0-9]{2}:[0-9]{2}:[0-9]{2},'
    badStamps=$(tail -n +2 "$logFile" | LC_ALL=C grep -cvE "$stampPattern")
    { head -n 1 "$logFile"; tail -n +2 "$logFile" | LC_ALL=C sed -E "s#$stampPattern##"; } \
        > "$actualLog"
    if cmp -s "$expectedLog" "$actualLog" && [[ $badStamps == 0 ]]; then
        pass "the log holds the CP932 header and all $((${#expectedLines[@]})) lines, CR LF"
    else
        fail "the log differs from what the frames must give (bad timestamps: $badStamps)"
        diff <(LC_ALL=C cat -A "$expectedLog") <(LC_ALL=C cat -A "$actualLog") | head -20
    fi
fi

kill -0 "$programPid" 2> /dev/null && pass "$productName still runs" || fail "$productName ended"

if ((failures > 0)); then
    echo "e2e $variant: $failures check(s) failed"
    exit 1
fi
echo "e2e $variant: all checks passed"
exit 0
