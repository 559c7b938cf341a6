#!/bin/bash
# Test of the Debian package as a user gets it.
#
#   package_test.sh PACKAGE.deb DEVICE_SIM
#
# Checks the package's control fields and file list, runs lintian (no
# errors allowed) and appstreamcli on the metainfo, checks that the copyright
# file reserves all rights, then unpacks it into a scratch folder that a read-only
# bind mount makes unwritable even for root, as /usr/bin is for a user. Each
# program from there starts on a private X server with XDG_DATA_HOME in the
# scratch folder; its server is started, logging switched on and the
# settings saved with the keys a user would press (logging, which has no
# access key, is then switched on in the saved file). A second start, offscreen,
# must find the pointer and the settings in the per-user folder, listen
# again, and log a device's frame there. Everything runs in a private network
# and mount namespace with a veth pair, as the end-to-end tests do.
#
# Exit status: 0 passed, 1 failed, 77 skipped (no namespace, X server or tool).
# The work folder is removed after a pass unless PACKAGE_TEST_KEEP is set.
set -u

readonly testTag=package
deb=${1:?Debian package}
sim=${2:?device simulator}
# shellcheck source=SCRIPTDIR/../support/monitor_env.sh
source "$(dirname "${BASH_SOURCE[0]}")/../support/monitor_env.sh"

# ---------------------------------------------------------------------------
# Step 1: the package itself, then a fresh network and mount namespace.
if [[ -z "${PACKAGE_TEST_IN_NAMESPACE:-}" ]]; then
    require_tools dpkg-deb lintian appstreamcli unshare nsenter ip iconv Xvfb xdotool xwininfo \
        timeout
    require_built "$deb" "$sim"

    [[ "$(dpkg-deb -f "$deb" Package Version Architecture | tr '\n' ' ')" == \
        "Package: kelvane Version: 1.0.3.0 Architecture: amd64 " ]] &&
        pass "package kelvane 1.0.3.0 for amd64" ||
        fail "control fields: $(dpkg-deb -f "$deb" Package Version Architecture | tr '\n' ' ')"
    depends=$(dpkg-deb -f "$deb" Depends)
    [[ $depends == *libqt6widgets6* && $depends == *libc6* && $depends == *libstdc++6* ]] &&
        pass "dependencies from the libraries the programs load: $depends" ||
        fail "dependencies: $depends"

    files=$(dpkg-deb -c "$deb" | awk '{ print $6 }')
    expected=(./usr/bin/kelvane ./usr/bin/sorrel
        ./usr/share/applications/kelvane.desktop ./usr/share/applications/sorrel.desktop
        ./usr/share/man/man1/kelvane.1.gz ./usr/share/man/man1/sorrel.1.gz
        ./usr/share/doc/kelvane/copyright ./usr/share/doc/kelvane/changelog.gz
        ./usr/share/metainfo/org.example.kelvane.metainfo.xml
        ./usr/share/metainfo/org.example.sorrel.metainfo.xml)
    for size in 16 22 24 32 48 64 128 256; do
        expected+=("./usr/share/icons/hicolor/${size}x${size}/apps/kelvane.png"
            "./usr/share/icons/hicolor/${size}x${size}/apps/sorrel.png")
    done
    missing=0
    for file in "${expected[@]}"; do
        grep -qxF "$file" <<< "$files" || { fail "the package lacks $file"; missing=1; }
    done
    ((missing == 0)) &&
        pass "programs, menu entries, icons, manual pages, documents and metainfo are there"
    unexpected=$(grep -v '/$' <<< "$files" | grep -vxF -f <(printf '%s\n' "${expected[@]}"))
    [[ -z "$unexpected" ]] && pass "nothing else in the package" ||
        fail "files not expected: $unexpected"

    lintian --fail-on error "$deb" > lintian.out 2>&1
    status=$?
    cat lintian.out
    [[ $status == 0 ]] && pass "lintian finds no error" || fail "lintian (status $status)"
    rm -f lintian.out

    metainfo=$(mktemp -d)
    dpkg-deb -x "$deb" "$metainfo"
    appstreamcli validate --no-net "$metainfo"/usr/share/metainfo/*.metainfo.xml &&
        pass "appstreamcli validates both programs' metainfo" || fail "appstreamcli validate"
    grep -qx ' All rights reserved. No licence to use, copy, modify or distribute this' \
        "$metainfo/usr/share/doc/kelvane/copyright" &&
        pass "the copyright file reserves all rights" || fail "the copyright file grants a licence"
    rm -rf "$metainfo"

    require_namespaces
    export PACKAGE_TEST_FAILURES=$failures
    rerun_in_namespace PACKAGE_TEST_IN_NAMESPACE "$(absolute "$deb")" "$(absolute "$sim")"
fi
failures=${PACKAGE_TEST_FAILURES:-0}

prepare_namespace

readonly monitorAddress=198.51.100.10
readonly deviceAddress=198.51.100.20
readonly port1=10003

release_work() { umount "$work/root" 2> /dev/null; }
start_work package-test PACKAGE_TEST_KEEP

make_device_namespace pkg "$monitorAddress" "$deviceAddress"

# ---------------------------------------------------------------------------
# Step 2: the unpacked package, read-only for everyone, and an X server.
dpkg-deb -x "$deb" "$work/root"
mount --bind "$work/root" "$work/root" && mount -o remount,bind,ro "$work/root" ||
    skip "cannot make the unpacked package read-only"
touch "$work/root/usr/bin/probe" 2> /dev/null && fail "the program folder can still be written"

start_xvfb "$work"
export HOME=$work/home
mkdir -p "$HOME"

window_of() {  # caption -> X window id of a mapped window
    timeout 5 xdotool search --onlyvisible --name "^$1\$" 2> /dev/null | head -n 1
}

wait_for_window() {  # caption -> id, within 20 s
    local id
    for _ in $(seq 200); do
        id=$(window_of "$1")
        [[ -n "$id" ]] && { echo "$id"; return 0; }
        sleep 0.1
    done
    return 1
}

press() {  # window key...: the keys, typed into that window
    timeout 5 xdotool windowfocus --sync "$1" 2> /dev/null
    shift
    timeout 5 xdotool key --delay 50 "$@"
}

# ---------------------------------------------------------------------------
# Step 3: each program saves into its per-user folder and finds it again.
run_program() {
    local variant=$1 productName extension inputs outputs
    variant_facts "$variant"
    local data=$work/data-$variant
    local files=$data/$productName
    export XDG_DATA_HOME=$data

    QT_QPA_PLATFORM=xcb "$work/root/usr/bin/$variant" > "$work/$variant-first.out" 2>&1 &
    programPid=$!
    local id
    if ! id=$(wait_for_window "$productName"); then
        fail "no window of $variant from the package"
        cat "$work/$variant-first.out"
        return
    fi
    [[ -d "$files" ]] && pass "$variant made its per-user folder $files" ||
        fail "$variant did not make $files"

    # Server on, logging on, then the save button and its dialog's default.
    press "$id" alt+s
    wait_for_listeners "$programPid" 100 "$port1" &&
        pass "$variant listens on $port1 after its server button" ||
        fail "$variant does not listen on $port1"
    press "$id" alt+a
    local dialog=""
    for _ in $(seq 100); do
        dialog=$(timeout 5 xdotool search --onlyvisible --pid "$programPid" 2> /dev/null | grep -vx "$id" | head -n 1)
        [[ -n "$dialog" ]] && break
        sleep 0.1
    done
    [[ -n "$dialog" ]] && press "$dialog" Return || fail "no save dialog from $variant"
    for _ in $(seq 100); do
        [[ -s "$files/$productName.ini" ]] && break
        sleep 0.1
    done
    local saved
    saved=$(iconv -f CP932 -t UTF-8 "$files/$productName.ini" 2> /dev/null)
    [[ "$saved" == "$files/$productName.$extension" ]] &&
        pass "the pointer in the per-user folder names $saved" ||
        fail "pointer file: \"$saved\""
    local settings=$files/$productName.$extension
    grep -q "^#\$LOGFILENAME=$files/$productName.csv"$'\r'"\$" "$settings" 2> /dev/null &&
        grep -q '^#\$SERVER=START'$'\r''$' "$settings" &&
        pass "the settings name the default log in the per-user folder and a running server" ||
        fail "settings file: $(cat "$settings" 2> /dev/null)"
    # The check box has no access key; logging is switched on in the file.
    sed -i 's/^#\$LOGGING=OFF/#$LOGGING=ON/' "$settings"
    press "$id" Escape
    for _ in $(seq 100); do
        kill -0 "$programPid" 2> /dev/null || break
        sleep 0.1
    done
    if kill -0 "$programPid" 2> /dev/null; then
        fail "$variant did not end on Escape"
        kill "$programPid" 2> /dev/null
        wait "$programPid" 2> /dev/null
    else
        wait "$programPid"
        local status=$?
        ((status == 0)) && pass "$variant ended on Escape with status 0" ||
            fail "$variant ended with status $status on Escape"
    fi
    programPid=""

    # The restart finds the pointer, starts its server and logs beside it.
    QT_QPA_PLATFORM=offscreen "$work/root/usr/bin/$variant" > "$work/$variant-second.out" 2>&1 &
    programPid=$!
    if wait_for_listeners "$programPid" 200 "$port1"; then
        pass "restarted offscreen, $variant found its settings and listens on $port1"
    else
        fail "restarted, $variant does not listen on $port1"
        cat "$work/$variant-second.out"
    fi
    local frame="FA F0 01"
    [[ $variant == sorrel ]] && frame="F0 01"
    device --connect "$monitorAddress:$port1" --variant "$variant" --expect-replies \
        --send "$frame" > "$work/$variant-device.out" 2>&1 || fail "the device's frame: $(cat "$work/$variant-device.out")"
    for _ in $(seq 100); do
        [[ $(wc -l 2> /dev/null < "$files/$productName.csv") -ge 2 ]] && break
        sleep 0.05
    done
    # The saved set-up keeps the default names; the frame sets input 1 alone.
    local names=(DI1 DI2 DI3 DO1 DO2 DO3)
    [[ $variant == sorrel ]] && names=(DI1 DI2 DI3 DI4 DI5)
    expectedLines=()
    if [[ $variant == kelvane ]]; then
        log_line "$deviceAddress" 1 0 0
    else
        log_line "$deviceAddress" 1 0 0 0 0
    fi
    check_log "$files/$productName.csv" "$work" "the log in the per-user folder" "${names[@]}"
    kill "$programPid" 2> /dev/null
    wait "$programPid" 2> /dev/null
    programPid=""
}

run_program kelvane
run_program sorrel

finish
