#!/bin/bash
# The device simulator through its command line, on loopback: exit
# statuses, reply checking against a server that answers wrongly, the
# output-frame listener, a reset that really is a reset, and a load run.
#
#   device_sim_cli_test.sh DEVICE_SIM REFERENCE_SERVER
set -u

sim=${1:?device simulator}
reference=${2:?reference server}
folder=$(mktemp -d "${TMPDIR:-/tmp}/device-sim-cli.XXXXXX")
failures=0
started=()

cleanup() {
    for pid in "${started[@]}"; do kill "$pid" 2> /dev/null; done
    wait 2> /dev/null
    rm -rf "$folder"
}
trap cleanup EXIT

check() {  # description expected-status actual-status
    if [[ "$2" == "$3" ]]; then
        echo "ok    $1"
    else
        echo "FAIL  $1: exit status $3, expected $2"
        failures=$((failures + 1))
    fi
}
# Waits until something listens on the port (at most 10 s): a slow start,
# as under a sanitiser, must not look like a refused connection.
waitForListener() {  # port
    for _ in $(seq 100); do
        ss -Hltn "sport = :$1" | grep -q . && return 0
        sleep 0.1
    done
    return 1
}

contains() {  # description file text
    if grep -qF -- "$3" "$2"; then
        echo "ok    $1"
    else
        echo "FAIL  $1: no \"$3\" in"
        sed 's/^/      /' "$2"
        failures=$((failures + 1))
    fi
}

# Ports unlikely to be taken by parallel runs of this test, and below the
# system's range of ephemeral ports, where any outgoing connection of the
# machine (this test's own among them) may hold one.
base=$((20000 + ($$ % 1200) * 10))
# Each listener gets a port of its own: a port whose listener ended may be
# held in TIME_WAIT for a while.
serverPort=$base listenPort=$((base + 1)) resetPort=$((base + 2)) closedPort=$((base + 3))
strayPort=$((base + 4)) closePort=$((base + 5))

"$reference" 127.0.0.1 60 "$serverPort" &
started+=($!)
for _ in $(seq 50); do
    timeout 5 "$sim" --connect "127.0.0.1:$serverPort" --hold 0 --quiet > /dev/null 2>&1 && break
    sleep 0.05
done

timeout 10 "$sim" --frobnicate > /dev/null 2>&1
check "an unknown option is a usage error" 2 $?
printf 'send FA F0 01\nsnd 02\n' > "$folder/bad.txt"
timeout 10 "$sim" --connect "127.0.0.1:$serverPort" --script "$folder/bad.txt" 2> "$folder/bad.err"
check "a bad script line is a usage error" 2 $?
contains "the bad line is named" "$folder/bad.err" "bad.txt:2: unknown command snd"

timeout 10 "$sim" --connect "127.0.0.1:$closedPort" --send "FA F0 01" > /dev/null 2>&1
check "a refused connection is a network error" 3 $?

timeout 10 "$sim" --connect "127.0.0.1:$serverPort" --expect-replies --send "FA F0 05" \
    --send "FA F0 1E" > "$folder/good.out" 2>&1
check "replies that match the tables pass" 0 $?
contains "the summary counts them" "$folder/good.out" "replies 2, output frames 0, mismatches 0"

# The reference server answers every three bytes with F0 and the third,
# so a change frame gets the wrong kind of reply.
timeout 10 "$sim" --connect "127.0.0.1:$serverPort" --expect-replies --send "FC 01 01" \
    > "$folder/wrong.out" 2>&1
check "a wrong reply fails the run" 1 $?
contains "the wrong reply is shown" "$folder/wrong.out" "<- F0 01  reply MISMATCH, expected FC 01"

timeout 10 "$sim" --connect "127.0.0.1:$serverPort" --variant sorrel --expect-replies \
    --send "FA F0 FF" --settle 300 > "$folder/unasked.out" 2>&1
check "a reply to a frame Sorrel drops fails the run" 1 $?

printf 'send FA F0 03\nexpect F0 04\n' > "$folder/expect.txt"
timeout 10 "$sim" --connect "127.0.0.1:$serverPort" --script "$folder/expect.txt" \
    > "$folder/expect.out" 2>&1
check "a failed expect line fails the run" 1 $?
contains "the failed expect is shown" "$folder/expect.out" "expect F0 04: FAILED, got F0 03"

printf 'send FA F0 03\nexpect close\n' > "$folder/close.txt"
timeout 10 "$sim" --connect "127.0.0.1:$serverPort" --script "$folder/close.txt" --reply-timeout 300 \
    > /dev/null 2>&1
check "expect close fails while the server keeps the connection" 1 $?

# The output-frame listener, fed by senders that connect, send and close.
timeout 20 "$sim" --listen "$listenPort" --bind 127.0.0.1 --outputs 2 --duration 15 \
    > "$folder/listen.out" 2>&1 &
listener=$!
started+=($listener)
waitForListener "$listenPort"
printf '\xFA\xF0\x02' > "/dev/tcp/127.0.0.1/$listenPort"
printf '\xFA\xF0\x07' > "/dev/tcp/127.0.0.1/$listenPort"
wait "$listener"
check "the listener ends after the output frames asked for" 0 $?
contains "it prints the first frame" "$folder/listen.out" "<- FA F0 02  output frame from 127.0.0.1"
contains "it prints the second frame" "$folder/listen.out" "<- FA F0 07  output frame from 127.0.0.1"

timeout 20 "$sim" --listen "$strayPort" --outputs 1 --duration 5 > "$folder/stray.out" 2>&1 &
listener=$!
started+=($listener)
waitForListener "$strayPort"
printf '\x12\xFA\xF0\x01' > "/dev/tcp/127.0.0.1/$strayPort"
wait "$listener"
check "stray bytes at the listener fail the run" 1 $?

# A reset reaches the peer as a reset, a close as an orderly close.
for ending in reset close; do
    port=$resetPort
    [[ $ending == close ]] && port=$closePort
    timeout 20 "$sim" --listen "$port" --duration 3 > "$folder/$ending.out" 2>&1 &
    listener=$!
    started+=($listener)
    waitForListener "$port"
    printf 'send FA F0 01\npause 200\n%s\n' "$ending" > "$folder/$ending.txt"
    timeout 10 "$sim" --connect "127.0.0.1:$port" --script "$folder/$ending.txt" > /dev/null 2>&1
    wait "$listener"
done
contains "reset gives the peer a connection reset" "$folder/reset.out" "failed: error 10054"
contains "close gives the peer an orderly close" "$folder/close.out" " closed"
if grep -q "failed: error" "$folder/close.out"; then
    echo "FAIL  close must not reset the connection"
    failures=$((failures + 1))
fi

timeout 60 "$sim" --connect "127.0.0.1:$serverPort" --connections 4 --frames 500 > "$folder/load.out" 2>&1
check "a load run against a sound server passes" 0 $?
contains "it counts every reply" "$folder/load.out" "frames sent 2000, replies 2000, mismatches 0, missing 0"
contains "it gives round-trip figures" "$folder/load.out" "round trip us: median"

if ((failures > 0)); then
    echo "device_sim command line: $failures check(s) failed"
    exit 1
fi
echo "device_sim command line: all checks passed"
