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
# logging on, with QT_QPA_PLATFORM=offscreen. Its log lies on a small file
# system of the test's own mount namespace, which the test holds with a lock
# and fills up while devices send.
#
# Exit status: 0 passed, 1 failed, 77 skipped (no namespace could be made).
# The folder is removed after a pass unless E2E_KEEP is set.
set -u

variant=${1:?variant}
readonly testTag="e2e $variant"
program=${2:?program}
sim=${3:?device simulator}
# shellcheck source=SCRIPTDIR/../support/monitor_env.sh
source "$(dirname "${BASH_SOURCE[0]}")/../support/monitor_env.sh"

# ---------------------------------------------------------------------------
# Step 1: enter a fresh network and mount namespace (re-running this script).
if [[ -z "${E2E_IN_NAMESPACE:-}" ]]; then
    require_tools unshare nsenter ip iconv flock
    require_built "$program" "$sim"
    require_namespaces
    rerun_in_namespace E2E_IN_NAMESPACE "$@"
fi

prepare_namespace
variant_facts "$variant"

readonly monitorAddress=198.51.100.10
readonly otherMonitorAddress=198.51.100.11
readonly deviceAddress=198.51.100.20
readonly secondDeviceAddress=198.51.100.21
readonly port1=10003 port2=10004 destPort=10005

start_work "e2e-$variant" E2E_KEEP

# ---------------------------------------------------------------------------
# Step 2: the devices' namespace and the veth pair.
make_device_namespace e2e "$monitorAddress $otherMonitorAddress" \
    "$deviceAddress $secondDeviceAddress"

# Runs the simulator beside the program (loopback addresses).
local_device() { timeout 60 "$sim" "$@"; }

# ---------------------------------------------------------------------------
# Step 3: the program's folder: the program, the pointer file and the
# settings file (CP932, CR LF), the log in a file with a Japanese name on a
# small file system of its own, which the test fills up later.
cp "$program" "$work/$productName"
settings="$work/e2e.$extension"
mkdir -p "$work/logs"
mount -t tmpfs -o size=4m tmpfs "$work/logs" || skip "cannot mount a tmpfs for the log"
release_work() { umount "$work/logs" 2> /dev/null; }
logFile="$work/logs/ログ.csv"
write_pointer "$work/$productName.ini" "$settings"
write_settings "$settings" "$productName E2E" "$logFile"

# ---------------------------------------------------------------------------
# Step 4: start the program and wait until both ports listen.
QT_QPA_PLATFORM=offscreen "$work/$productName" > "$work/program.out" 2>&1 &
programPid=$!

if ! wait_for_listeners "$programPid" 300 "$port1" "$port2"; then
    fail "$productName did not start listening on ports $port1 and $port2 from its saved settings"
    cat "$work/program.out"
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
# Step 6: every frame of the tables. expectedLines collects the log lines
# without their timestamp columns.
expectedLines=()
send_table_frames "$port1" "$work"

# A frame cut short by the device's close changes nothing and is not logged.
printf 'send FC 05\nclose\n' > "$work/cut.txt"
device --connect "$monitorAddress:$port1" --script "$work/cut.txt" --quiet > /dev/null 2>&1 ||
    fail "the device with a cut frame could not connect"

# ---------------------------------------------------------------------------
# Step 7: a second device on the other port while the first one holds its
# connection; the first one ends with a reset.
printf 'send FA F0 01\nexpect F0 01\npause 1500\nreset\n' > "$work/first.txt"
device --connect "$monitorAddress:$port1" --bind "$deviceAddress" --script "$work/first.txt" \
    > "$work/first.out" 2>&1 &
firstPid=$!
for _ in $(seq 100); do
    grep -q 'expect F0 01: ok' "$work/first.out" && break
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
printf 'send %s\nexpect %s\nwait\nclose\n' "$secondFrame" "$secondReply" > "$work/second.txt"
if device --connect "$monitorAddress:$port2" --bind "$secondDeviceAddress" --variant "$variant" \
    --expect-replies --script "$work/second.txt" > "$work/second.out" 2>&1; then
    pass "a second device on port $port2 answered while the first is connected"
else
    fail "the second device on port $port2"
    cat "$work/second.out"
fi
wait "$firstPid" || { fail "the first device (reset at its end)"; cat "$work/first.out"; }

# ---------------------------------------------------------------------------
# Step 8: 10,000 frames in a row, then one more frame with its reply.
send_counted_frames "$port1" 10000 "$work/load.out"
send_last_frame "$port1" "$work/after.out"

# ---------------------------------------------------------------------------
# Step 9: another program holds the log with a lock the program honours,
# then the log's file system fills up and is freed again: every frame is
# answered in its usual time throughout, and no line is lost.
flock "$logFile" sleep 3 &
lockPid=$!
for _ in $(seq 100); do
    flock -n "$logFile" true 2> /dev/null || break
    sleep 0.02
done
send_paced_frames "$port1" 30 "$work" "the log is held"
wait "$lockPid"
send_paced_frames "$port1" 5 "$work" "the log is free again"

# More lines than the free end of the log's last page holds.
head -c 8M /dev/zero > "$work/logs/filler" 2> /dev/null
send_paced_frames "$port1" 120 "$work" "the log's disk is full"
lines_held_back "$logFile"
rm -f "$work/logs/filler"
send_paced_frames "$port1" 5 "$work" "the disk has room again"

# ---------------------------------------------------------------------------
# Step 10: the log, byte for byte apart from the timestamp columns.
check_log "$logFile" "$work" "the log"

kill -0 "$programPid" 2> /dev/null && pass "$productName still runs" || fail "$productName ended"

finish
