#!/bin/bash
# Figures of a built program (Qt, offscreen) as a user runs it: started from
# a saved set-up with four ports and logging off, in a private network
# namespace whose adapter is one end of a veth pair (198.51.100.10), so
# nothing leaves the machine. Prints the round trip and the pipelined rate
# of 20,000 frames each, then
# the program's CPU use (from /proc/<pid>/stat, IDLE_SECONDS each, 10 by
# default) while idle with 0, 4, 32 and 128 quiet devices spread over its
# four ports. Needs root.
#
#   real_program.sh BIN_FOLDER Kelvane|Sorrel
#
# BIN_FOLDER holds the built program, device_sim, frame_bench and
# reference_server; the reference server is measured the same way, in the
# same run, for comparison.
set -eu

bin=${1:?bin folder}
name=${2:?program name}
program=$bin/$name
sim=$bin/device_sim
if [[ -z "${BENCH_IN_NAMESPACE:-}" ]]; then
    BENCH_IN_NAMESPACE=1 exec unshare -n -m --propagation private "$BASH" "$0" "$@"
fi
mount -t sysfs sysfs /sys
ip link set lo up
ip link add e2e0 index 2 type veth peer name e2e1 index 3
ip addr add 198.51.100.10/24 dev e2e0
ip link set e2e0 up
ip link set e2e1 up

folder=$(mktemp -d "${TMPDIR:-/tmp}/bench-$name.XXXXXX")
programPid=""
devicePids=()
cleanup() {
    for pid in "${devicePids[@]}" $programPid ${referencePid:-}; do kill "$pid" 2> /dev/null || true; done
    wait 2> /dev/null || true
    rm -rf "$folder"
}
trap cleanup EXIT

cp "$program" "$folder/$name"
printf '%s' "$folder/bench.cfg" > "$folder/$name.ini"
printf '#$PORT=10003\r\n#$PORT2=10004\r\n#$PORT3=10005\r\n#$PORT4=10006\r\n#$LOGGING=OFF\r\n#$SERVER=START\r\n' \
    > "$folder/bench.cfg"
QT_QPA_PLATFORM=offscreen "$folder/$name" > /dev/null 2>&1 &
programPid=$!
for _ in $(seq 200); do
    [[ $(awk '$4 == "0A"' /proc/net/tcp | grep -c ':271[3-6] ') == 4 ]] && break
    sleep 0.05
done

ticks=$(getconf CLK_TCK)
cpu_percent() {  # pid seconds -> CPU of the process in percent of one core
    local before after
    before=$(awk '{print $14 + $15}' "/proc/$1/stat")
    sleep "$2"
    after=$(awk '{print $14 + $15}' "/proc/$1/stat")
    awk -v d=$((after - before)) -v t="$ticks" -v s="$2" 'BEGIN { printf "%.2f", 100 * d / t / s }'
}

idleSeconds=${IDLE_SECONDS:-10}
# idle_figures PID PORT...: the process's CPU with 0, 4, 32 and 128 quiet
# devices spread over the ports.
idle_figures() {
    local pid=$1 count n have=0 ports
    shift
    ports=("$@")
    for count in 0 4 32 128; do
        for ((n = have; n < count; n++)); do
            "$sim" --connect "198.51.100.10:${ports[n % ${#ports[@]}]}" --send "FA F0 01" \
                --hold 600000 --quiet > /dev/null 2>&1 &
            devicePids+=($!)
        done
        have=$count
        sleep 2
        echo "  idle, ${#ports[@]} ports listening, $count quiet devices: $(cpu_percent "$pid" "$idleSeconds") % of one core"
    done
    for pid in "${devicePids[@]}"; do kill "$pid" 2> /dev/null; done
    wait "${devicePids[@]}" 2> /dev/null || true
    devicePids=()
}

"$bin/reference_server" 198.51.100.10 600 20003 20004 20005 20006 &
referencePid=$!
sleep 0.3
echo "reference server on 198.51.100.10 in a private namespace"
"$bin/frame_bench" 198.51.100.10 20003 | sed "s/^/  /"
idle_figures "$referencePid" 20003 20004 20005 20006
kill "$referencePid"
wait "$referencePid" 2> /dev/null || true

echo "$name (Qt offscreen), logging off, on 198.51.100.10 in a private namespace"
"$bin/frame_bench" 198.51.100.10 10003 | sed "s/^/  /"
idle_figures "$programPid" 10003 10004 10005 10006
