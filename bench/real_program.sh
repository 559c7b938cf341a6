#!/bin/bash
# Figures of a built program (Qt, offscreen) as a user runs it, beside the
# two reference servers, with the same client, in one run. Everything runs
# in a private network namespace whose adapter is one end of a veth pair
# (198.51.100.10), so nothing leaves the machine. Needs root.
#
#   real_program.sh BIN_FOLDER Kelvane|Sorrel
#
# BIN_FOLDER holds the built program, device_sim, frame_bench and
# reference_server. Four servers listen at once:
#   - the one-frame reference server (one recv per 3-byte frame),
#   - the batched reference server (reads what the socket holds, answers
#     its whole frames with one send),
#   - the program started from a saved set-up with four ports, logging off,
#   - a second copy of the program in a folder of its own, started from a
#     saved set-up with four ports and logging on into that folder.
# Each of ROUNDS rounds (3 by default) measures every server in turn: the
# round trip of TRIP_FRAMES frames one at a time (20,000 by default), then
# the pipelined rate of PIPELINED_FRAMES frames on one connection (1,000,000
# by default; batches of 64 frames sent back to back while another thread
# reads the replies). With logging on, the log's lines are counted after
# each measurement, against the frames answered, with a deadline of 10 s.
# The summary gives each server's best round (the lowest median, the
# highest rate, beside the rounds' median rate) and the ratios against the
# reference servers. Then, unless
# IDLE_SECONDS is 0, the CPU use (from /proc/<pid>/stat, IDLE_SECONDS each,
# 10 by default) of the one-frame reference server and of the program with
# logging off, idle with 0, 4, 32 and 128 quiet devices spread over the
# four ports.
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

address=198.51.100.10
rounds=${ROUNDS:-3}
tripFrames=${TRIP_FRAMES:-20000}
pipelinedFrames=${PIPELINED_FRAMES:-1000000}
idleSeconds=${IDLE_SECONDS:-10}

folder=$(mktemp -d "${TMPDIR:-/tmp}/bench-$name.XXXXXX")
serverPids=()
devicePids=()
cleanup() {
    local pid
    for pid in "${devicePids[@]}" "${serverPids[@]}"; do kill "$pid" 2> /dev/null || true; done
    for pid in "${devicePids[@]}" "${serverPids[@]}"; do wait "$pid" 2> /dev/null || true; done
    rm -rf "$folder"
}
trap cleanup EXIT

# listening PORT...: true when something listens on every port.
listening() {
    local port
    for port in "$@"; do
        awk -v p="$(printf ':%04X' "$port")" '$4 == "0A" && substr($2, length($2) - 4) == p { found = 1 }
            END { exit !found }' /proc/net/tcp || return 1
    done
}

# wait_listening PID PORT...: waits, 10 s at most and no longer than PID
# runs, until every port listens.
wait_listening() {
    local pid=$1 deadline=$((SECONDS + 10))
    shift
    until listening "$@"; do
        if ! kill -0 "$pid" 2> /dev/null || ((SECONDS >= deadline)); then
            echo "nothing listens on ${*} (process $pid)" >&2
            return 1
        fi
        sleep 0.05
    done
}

# established COUNT PORT...: true when COUNT connections to the ports are
# established on the server's side.
established() {
    local count=$1
    shift
    awk -v want="$count" -v list="$*" '
        BEGIN { n = split(list, ports, " "); for (i = 1; i <= n; i++) wanted[sprintf(":%04X", ports[i])] = 1 }
        $4 == "01" && (substr($2, length($2) - 4) in wanted) { have++ }
        END { exit !(have >= want) }' /proc/net/tcp
}

# start_program FOLDER LOGGING PORT1: a copy of the program in FOLDER, with
# the pointer to a saved set-up of four ports from PORT1 on, the server
# running and logging ON or OFF into FOLDER/bench.csv.
start_program() {
    local where=$1 logging=$2 port=$3
    mkdir -p "$where"
    cp "$program" "$where/$name"
    printf '%s' "$where/bench.cfg" > "$where/$name.ini"
    printf '#$PORT=%d\r\n#$PORT2=%d\r\n#$PORT3=%d\r\n#$PORT4=%d\r\n#$LOGGING=%s\r\n#$SERVER=START\r\n#$LOGFILENAME=%s\r\n' \
        "$port" $((port + 1)) $((port + 2)) $((port + 3)) "$logging" "$where/bench.csv" > "$where/bench.cfg"
    QT_QPA_PLATFORM=offscreen "$where/$name" > /dev/null 2>&1 &
    serverPids+=($!)
    startedPid=$!
}

"$bin/reference_server" "$address" 3600 20003 20004 20005 20006 &
oneFramePid=$!
serverPids+=($oneFramePid)
"$bin/reference_server" --batched "$address" 3600 21003 &
batchedPid=$!
serverPids+=($batchedPid)
start_program "$folder/off" OFF 10003
programPid=$startedPid
start_program "$folder/on" ON 11003
loggedPid=$startedPid
log=$folder/on/bench.csv
wait_listening "$oneFramePid" 20003 20004 20005 20006
wait_listening "$batchedPid" 21003
wait_listening "$programPid" 10003 10004 10005 10006
wait_listening "$loggedPid" 11003 11004 11005 11006

servers=(oneFrame batched off on)
declare -A label=([oneFrame]="one-frame reference server" [batched]="batched reference server"
    [off]="$name, logging off" [on]="$name, logging on")
declare -A port=([oneFrame]=20003 [batched]=21003 [off]=10003 [on]=11003)
declare -A bestMedian bestP90 bestP99 bestRate rates

# The log's lines, counted on from where the last count stopped, up to the
# file's size when the count began (a line being written is left to the
# next count).
logOffset=0
logLines=0
count_log() {
    [[ -f $log ]] || return 0
    local size
    size=$(stat -c %s "$log")
    ((size > logOffset)) || return 0
    logLines=$((logLines + $(tail -c +$((logOffset + 1)) "$log" | head -c $((size - logOffset)) | tr -dc '\n' | wc -c)))
    logOffset=$size
}

# check_log FRAMES: waits, 10 s at most, until the log holds a line for each
# of FRAMES more answered frames (and its header, before the first line),
# and tells what it holds.
expectedLines=0
check_log() {
    local frames=$1 start=$EPOCHREALTIME deadline=$((SECONDS + 10)) header=""
    ((expectedLines == 0)) && header=1
    expectedLines=$((expectedLines + frames + ${header:-0}))
    count_log
    while ((logLines < expectedLines && SECONDS < deadline)); do
        sleep 0.02
        count_log
    done
    awk -v have="$logLines" -v want="$expectedLines" -v frames="$frames" -v header="${header:+, with its header}" \
        -v ms="$(awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.0f", (b - a) * 1000 }')" \
        'BEGIN { printf "    log: %d of %d lines%s (%d more frames answered), counted %d ms after the last reply%s\n",
                 have, want, header, frames, ms, have == want ? "" : "  <-- NOT ONE LINE PER FRAME" }'
}

echo "$name beside the reference servers on $address in a private namespace;" \
    "$rounds rounds, $tripFrames round trips and $pipelinedFrames pipelined frames each"
echo "load average at the start: $(cut -d' ' -f1-3 /proc/loadavg)"
for ((round = 1; round <= rounds; round++)); do
    echo "round $round"
    for s in "${servers[@]}"; do
        trips=$("$bin/frame_bench" "$address" "${port[$s]}" "$tripFrames" 0) || echo "    (round trips incomplete)"
        echo "  ${label[$s]}: $trips"
        [[ $s == on ]] && check_log "$tripFrames"
        read -r median p90 p99 <<< "$(sed -E 's/.*median ([0-9.]+) us, p90 ([0-9.]+) us, p99 ([0-9.]+) us.*/\1 \2 \3/' <<< "$trips")"
        if [[ -z "${bestMedian[$s]:-}" ]] || awk -v a="$median" -v b="${bestMedian[$s]}" 'BEGIN { exit !(a < b) }'; then
            bestMedian[$s]=$median bestP90[$s]=$p90 bestP99[$s]=$p99
        fi
        pipelined=$("$bin/frame_bench" "$address" "${port[$s]}" 0 "$pipelinedFrames") || echo "    (pipelined run incomplete)"
        echo "  ${label[$s]}: $pipelined"
        [[ $s == on ]] && check_log "$pipelinedFrames"
        rate=$(sed -E 's/.*: ([0-9]+) frames\/s.*/\1/' <<< "$pipelined")
        if [[ -z "${bestRate[$s]:-}" ]] || ((rate > bestRate[$s])); then bestRate[$s]=$rate; fi
        rates[$s]+="$rate "
    done
done
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"

echo
# median_of VALUE...: the middle value (the lower middle of an even count).
median_of() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
declare -A medianRate
echo "best of $rounds rounds (round trip: the round with the lowest median; the pipelined"
echo "rate's median of the rounds beside its best)"
printf '  %-30s %10s %10s %10s %14s %14s\n' server "p50 us" "p90 us" "p99 us" "pipelined /s" "median /s"
for s in "${servers[@]}"; do
    # shellcheck disable=SC2086
    medianRate[$s]=$(median_of ${rates[$s]})
    printf '  %-30s %10s %10s %10s %14s %14s\n' "${label[$s]}" "${bestMedian[$s]}" "${bestP90[$s]}" "${bestP99[$s]}" \
        "${bestRate[$s]}" "${medianRate[$s]}"
done
# ratio NAME A B GOAL: A / B, and whether it reaches the goal (">= x" or "<= x").
ratio() {
    awk -v what="$1" -v a="$2" -v b="$3" -v goal="$4" 'BEGIN {
        r = a / b; split(goal, g, " ")
        met = g[1] == ">=" ? r >= g[2] : r <= g[2]
        printf "  %-62s %6.2f  (goal %s: %s)\n", what, r, goal, met ? "reached" : "MISSED" }'
}
echo "ratios of the best figures"
ratio "pipelined, logging off / batched server" "${bestRate[off]}" "${bestRate[batched]}" ">= 0.5"
ratio "pipelined, logging on / batched server" "${bestRate[on]}" "${bestRate[batched]}" ">= 0.25"
ratio "pipelined, logging off / one-frame server" "${bestRate[off]}" "${bestRate[oneFrame]}" ">= 1"
ratio "pipelined, logging on / one-frame server" "${bestRate[on]}" "${bestRate[oneFrame]}" ">= 1"
ratio "round trip p50, logging off / one-frame server" "${bestMedian[off]}" "${bestMedian[oneFrame]}" "<= 1.25"
ratio "round trip p50, logging on / one-frame server" "${bestMedian[on]}" "${bestMedian[oneFrame]}" "<= 1.25"
echo "ratios of the rounds' median rates"
ratio "pipelined, logging off / batched server" "${medianRate[off]}" "${medianRate[batched]}" ">= 0.5"
ratio "pipelined, logging on / batched server" "${medianRate[on]}" "${medianRate[batched]}" ">= 0.25"

((idleSeconds > 0)) || exit 0
ticks=$(getconf CLK_TCK)
cpu_percent() {  # pid seconds -> CPU of the process in percent of one core
    local before after
    before=$(awk '{print $14 + $15}' "/proc/$1/stat")
    sleep "$2"
    after=$(awk '{print $14 + $15}' "/proc/$1/stat")
    awk -v d=$((after - before)) -v t="$ticks" -v s="$2" 'BEGIN { printf "%.2f", 100 * d / t / s }'
}

# idle_figures PID PORT...: the process's CPU with 0, 4, 32 and 128 quiet
# devices spread over the ports. Each count's devices are waited for (10 s
# at most) until the server holds their connections, then given a second
# for their one frame's work to end before the process's CPU is read.
idle_figures() {
    local pid=$1 count n have=0 ports deadline
    shift
    ports=("$@")
    for count in 0 4 32 128; do
        for ((n = have; n < count; n++)); do
            "$sim" --connect "$address:${ports[n % ${#ports[@]}]}" --send "FA F0 01" \
                --hold 600000 --quiet > /dev/null 2>&1 &
            devicePids+=($!)
        done
        have=$count
        deadline=$((SECONDS + 10))
        until established "$count" "${ports[@]}" || ((SECONDS >= deadline)); do sleep 0.05; done
        sleep 1
        echo "  idle, ${#ports[@]} ports listening, $count quiet devices: $(cpu_percent "$pid" "$idleSeconds") % of one core"
    done
    for pid in "${devicePids[@]}"; do kill "$pid" 2> /dev/null || true; done
    for pid in "${devicePids[@]}"; do wait "$pid" 2> /dev/null || true; done
    devicePids=()
}

echo
echo "CPU while idle"
echo " one-frame reference server"
idle_figures "$oneFramePid" 20003 20004 20005 20006
echo " $name (Qt offscreen), logging off"
idle_figures "$programPid" 10003 10004 10005 10006
