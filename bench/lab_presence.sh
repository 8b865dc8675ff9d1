#!/usr/bin/env bash
# Presence convergence on the lab: N real instances, each on a host of its own, started 30 ms apart; the
# time from the last start until every friend table lists the N-1 others. Beside it the floor: the same
# exchange done by a minimal program per host (presence_floor.py), with the listen backlog of 5 that
# Windows peers use and with the program's own. With BASELINE_BUILD set to another build folder, that
# build's program runs as well, for a before and after. Also counted: connections the hosts' listeners dropped, SYNs retransmitted, and the
# program's resident memory per instance once converged. Needs root; a benchmark, not a test.
#
#   bench/lab_presence.sh BUILD_DIR [HOSTS…]        (HOSTS: 20 50 by default)
set -euo pipefail
build=$(realpath "${1:?usage: lab_presence.sh BUILD_DIR [HOSTS…]}")
shift
counts=("$@")
[ ${#counts[@]} -gt 0 ] || counts=(20 50)
source_dir=$(cd "$(dirname "$0")/.." && pwd)
here="$source_dir/tests/lab"
python=$(command -v /usr/bin/python3 || command -v python3) || { echo "needs python3"; exit 77; }
source "$here/netlab.sh"
source "$here/lab_hosts.sh"
netlab_require || { echo "lab_presence: skipped (needs root and network namespaces)"; exit 77; }
[ -x "$build/parlune" ] || { echo "no $build/parlune" >&2; exit 1; }

# The listen backlog the program is built with, for the floor to copy.
program_backlog=$(sed -n 's/.*ListenBacklog = \([0-9]*\);.*/\1/p' "$source_dir/engine/SocketEngine.cpp")
program_backlog=${program_backlog:-5}
START_GAP=0.03
TIMEOUT=60

work=$(mktemp -d)
cleanup() {
    netlab_teardown
    rm -rf "$work"
}
trap cleanup EXIT

# counters HOSTS… : listen overflows, listen drops and SYN retransmissions, summed over the hosts.
counters() {
    local host
    for host in "$@"; do
        netlab_exec "$host" nstat -asz TcpExtListenOverflows TcpExtListenDrops TcpExtTCPSynRetrans
    done | awk '!/^#/ { sum[$1] += $2 } END {
        printf "%d %d %d", sum["TcpExtListenOverflows"], sum["TcpExtListenDrops"], sum["TcpExtTCPSynRetrans"] }'
}

# run KIND N BACKLOG [PROGRAM] : one lab of N hosts; prints one result row.
run() {
    local kind=$1 n=$2 backlog=$3 program=${4:-$build/parlune} i host hosts=() sockets=() pids=() started seconds rss="-" status=0
    rm -rf "${work:?}"/*
    netlab_init
    netlab_raise_neighbour_limits "$n"
    for ((i = 1; i <= n; i++)); do
        host="h$i"
        hosts+=("$host")
        netlab_add_host "$host" "10.77.0.$i"
        mkdir -p "$work/$host/run"
        chmod 700 "$work/$host/run"
        lab_write_nickname "$host" "站台$i"
    done
    for ((i = 1; i <= n; i++)); do
        host="h$i"
        if [ "$kind" != floor ]; then
            netlab_spawn "$host" "$work/$host.log" $(lab_env "$host") "$program"
            sockets+=("$(lab_socket "$host")")
        else
            netlab_spawn "$host" "$work/$host.log" "$python" "$source_dir/bench/presence_floor.py" "10.77.0.$i" \
                "站台$i" $((n - 1)) "$backlog" "$work/$host.done"
        fi
        pids+=("$NETLAB_LAST_PID")
        [ "$i" -eq "$n" ] || sleep "$START_GAP"
    done
    started=$(date +%s.%N)

    if [ "$kind" != floor ]; then
        seconds=$(labtool wait-converged "$TIMEOUT" "$started" $((n - 1)) "${sockets[@]}") || status=$?
        local kb=0 pid
        for pid in "${pids[@]}"; do
            kb=$((kb + $(awk '/^VmRSS/ { print $2 }' "/proc/$pid/status" 2>/dev/null || echo 0)))
        done
        rss=$((kb / n / 1024))
    else
        for ((i = 0; i < TIMEOUT * 20; i++)); do
            [ "$(find "$work" -maxdepth 1 -name '*.done' | wc -l)" -lt "$n" ] || break
            sleep 0.05
        done
        if [ "$(find "$work" -maxdepth 1 -name '*.done' | wc -l)" -eq "$n" ]; then
            seconds=$(cat "$work"/*.done | sort -n | tail -n 1 | awk -v s="$started" '{ printf "%.3f", $1 - s }')
        else
            status=1
        fi
    fi
    [ "$status" -eq 0 ] || seconds="incomplete"
    printf "%5d  %-8s %7s  %12s  %s  %s\n" "$n" "$kind" "$backlog" "$seconds" "$(counters "${hosts[@]}")" "$rss"
    netlab_teardown
}

echo "hosts  kind     backlog  converged_s  overflows drops syn_retrans  rss_mb_per_instance"
for n in "${counts[@]}"; do
    run floor "$n" 5
    run floor "$n" "$program_backlog"
    [ -z "${BASELINE_BUILD:-}" ] || run baseline "$n" "-" "$(realpath "$BASELINE_BUILD")/parlune"
    run parlune "$n" "$program_backlog"
done
