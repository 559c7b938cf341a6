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
# server running and logging on; the test checks the replies to the frames,
# also while another Windows program (hold_file.exe, from the same build)
# holds the log without sharing and while the log's file system is full,
# and the CSV log byte for byte, then closes each window with Escape while a
# device is connected. With SCREENSHOT_DIR, a picture of each
# window goes there as kelvane-wine.png and sorrel-wine.png.
#
# Exit status: 0 passed, 1 failed, 77 skipped (no Wine, X server or namespace).
# The work folder is removed after a pass unless WINE_SMOKE_KEEP is set.
set -u

readonly testTag=wine-smoke
binDir=${1:?folder of Kelvane.exe and Sorrel.exe}
sim=${2:?device simulator}
shotDir=${3:-}
# shellcheck source=SCRIPTDIR/../support/monitor_env.sh
source "$(dirname "${BASH_SOURCE[0]}")/../support/monitor_env.sh"

# ---------------------------------------------------------------------------
# Step 1: a fresh network and mount namespace (this script again).
if [[ -z "${WINE_SMOKE_IN_NAMESPACE:-}" ]]; then
    tools=(wine wineserver Xvfb xwininfo xdotool unshare nsenter ip iconv timeout)
    [[ -n "$shotDir" ]] && tools+=(import)
    require_tools "${tools[@]}"
    require_built "$binDir/Kelvane.exe" "$binDir/Sorrel.exe" "$binDir/hold_file.exe" "$sim"
    require_namespaces
    rerun_in_namespace WINE_SMOKE_IN_NAMESPACE "$(absolute "$binDir")" "$(absolute "$sim")" \
        "$(absolute_folder "$shotDir")"
fi

prepare_namespace

readonly monitorAddress=198.51.100.10
readonly deviceAddress=198.51.100.20
readonly port1=10003 port2=10004 destPort=10005

mounts=()
release_work() {
    local mount
    for mount in "${mounts[@]}"; do umount "$mount" 2> /dev/null; done
}
start_work wine-smoke WINE_SMOKE_KEEP

# ---------------------------------------------------------------------------
# Step 2: the devices' namespace and the veth pair.
make_device_namespace wsm "$monitorAddress" "$deviceAddress"

# ---------------------------------------------------------------------------
# Step 3: an X server and a Wine prefix of the test's own, with the Windows
# Japanese font names mapped to the IPA fonts.
start_xvfb "$work"
make_wine_prefix "$work"
pass "Wine prefix ready"

# ---------------------------------------------------------------------------
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
    variant_facts "$variant"
    local folder=$work/$variant
    mkdir -p "$folder"
    cp "$binDir/$productName.exe" "$folder/"
    # The same folder as Windows paths see it, through Wine's drive Z:.
    local winFolder="Z:${folder//\//\\}"
    # The log lies on a small file system of its own, which fills up later.
    mkdir -p "$folder/logs"
    mount -t tmpfs -o size=2m tmpfs "$folder/logs" || skip "cannot mount a tmpfs for the log"
    mounts+=("$folder/logs")
    local logFile="$folder/logs/ログ.csv"
    local caption="$productName E2E"

    write_pointer "$folder/$productName.ini" "$winFolder\\e2e.$extension"
    write_settings "$folder/e2e.$extension" "$caption" "$winFolder\\logs\\ログ.csv"

    (cd "$folder" && exec wine "$productName.exe") > "$folder/program.out" 2>&1 &
    local programPid=$!
    # The first start of a prefix builds Wine's font cache; allow for it.
    if ! wait_for_listeners "$programPid" 1200 "$port1" "$port2"; then
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

    # The frames of the tables; expected log lines lose their timestamp
    # columns.
    local expectedLines=()
    send_table_frames "$port1" "$folder"

    send_counted_frames "$port2" 1000 "$folder/load.out"
    send_last_frame "$port1" "$folder/after.out"

    # Another Windows program holds the log without sharing, then the log's
    # file system fills up and is freed again: every frame is answered in
    # its usual time, and no line is lost.
    (cd "$folder" && LC_ALL=C.UTF-8 exec wine "$binDir/hold_file.exe" \
        "$winFolder\\logs\\ログ.csv" 3000) > "$folder/hold.out" 2>&1 &
    local holdPid=$!
    for _ in $(seq 400); do
        grep -q held "$folder/hold.out" && break
        sleep 0.05
    done
    grep -q held "$folder/hold.out" || fail "hold_file.exe did not take the log: $(cat "$folder/hold.out")"
    send_paced_frames "$port1" 30 "$folder" "the log is held by another program"
    wait "$holdPid" || fail "hold_file.exe ended with status $?"
    send_paced_frames "$port1" 5 "$folder" "the log is free again"
    # More lines than the free end of the log's last page holds.
    head -c 4M /dev/zero > "$folder/logs/filler" 2> /dev/null
    send_paced_frames "$port1" 120 "$folder" "the log's disk is full"
    lines_held_back "$logFile"
    rm -f "$folder/logs/filler"
    send_paced_frames "$port1" 5 "$folder" "the disk has room again"
    check_log "$logFile" "$folder" "the log in a folder path through UTF-16"

    # Each outage was told once, one box at a time (captioned with the
    # program's name alone): the held log, then the full disk. Each OK
    # brings the next, and the last leaves the window free.
    local boxes=0 box
    for _ in 1 2 3; do
        box=""
        for _ in $(seq 100); do
            box=$(xwininfo -root -tree 2> /dev/null |
                awk -v name="\"$productName\":" 'index($0, name) { print $1; exit }')
            [[ -n "$box" ]] && break
            sleep 0.05
        done
        [[ -n "$box" ]] || break
        boxes=$((boxes + 1))
        xdotool windowfocus --sync "$box" 2> /dev/null
        xdotool key Return
        for _ in $(seq 100); do
            xwininfo -id "$box" 2> /dev/null | grep -q IsViewable || break
            sleep 0.05
        done
    done
    ((boxes == 2)) && pass "two outages of the log, told in two boxes one after the other" ||
        fail "the log's outages were told in $boxes boxes instead of 2"

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
finish
