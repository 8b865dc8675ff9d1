#!/usr/bin/env bash
# Figures of one real instance on the real ports, in a network namespace: start-up time from exec to the
# listening port, idle resident memory, and how many unknown-code datagrams per second it takes in while
# another host floods it. Figures only, no verdicts. Needs root and network namespaces; skips (77) otherwise.
#   bench/lab_engine.sh BUILD_DIR [RUNS]
set -euo pipefail
build=$(realpath "${1:?usage: lab_engine.sh BUILD_DIR [RUNS]}")
runs=${2:-5}
source_dir=$(cd "$(dirname "$0")/.." && pwd)
here="$source_dir/tests/lab"
python=$(command -v /usr/bin/python3 || command -v python3) || { echo "lab_engine: needs python3"; exit 77; }
source "$here/netlab.sh"
netlab_require || { echo "lab_engine: skipped (needs root and network namespaces)"; exit 77; }

work=$(mktemp -d)
cleanup() {
    netlab_teardown
    rm -rf "$work"
}
trap cleanup EXIT

labtool() { "$python" "$here/labtool.py" "$@"; }
ask() { labtool ask "$work/a/automation" "$1" || { echo "lab_engine: the instance stopped answering" >&2; cat "$work/a.log" >&2; kill -0 "$pid" || echo "it is gone" >&2; exit 1; }; }
field() { "$python" -c "import json,sys; print(json.load(sys.stdin)[sys.argv[1]])" "$1"; }
now() { date +%s.%N; }

mkdir -p "$work/a/run" "$work/a/config"
chmod 700 "$work/a/run"
parlune=(env QT_QPA_PLATFORM=offscreen PARLUNE_DRY_POWER_OFF=1 XDG_RUNTIME_DIR="$work/a/run"
    XDG_CONFIG_HOME="$work/a/config" XDG_DATA_HOME="$work/a/data" PARLUNE_AUTOMATION="$work/a/automation"
    "$build/parlune")

# A compiled flooder: python alone sends fewer datagrams than the receiver takes.
flooder_bin="$work/udp_flood"
c++ -O2 -o "$flooder_bin" "$source_dir/bench/udp_flood.cpp" || { echo "lab_engine: cannot build the flooder"; exit 1; }

netlab_init
netlab_add_host a 10.78.0.1
netlab_add_host x 10.78.0.9

echo "== start-up: exec to listening on TCP 3289 (ms)"
for ((i = 1; i <= runs; i++)); do
    netlab_exec a "$python" "$here/labtool.py" startup-time "${parlune[@]}"
    sleep 0.5
done

netlab_spawn a "$work/a.log" "${parlune[@]}"
pid=$NETLAB_LAST_PID
labtool wait-ready "$work/a/automation" 30 || { echo "lab_engine: the instance did not come up"; cat "$work/a.log"; exit 1; }
sleep 3
echo "== idle resident memory (kB)"
for ((i = 1; i <= runs; i++)); do
    labtool rss "$pid"
    sleep 0.5
done

echo "== unknown-code datagrams handled per second, flooded from another host"
for ((i = 1; i <= runs; i++)); do
    netlab_spawn x "$work/flood.log" "$flooder_bin" 6543 4
    flooder=$NETLAB_LAST_PID
    sleep 1
    t0=$(now)
    n0=$(ask '{"cmd":"stats"}' | field datagrams)
    sleep 2
    t1=$(now)
    n1=$(ask '{"cmd":"stats"}' | field datagrams)
    wait "$flooder" || true
    sent=$(cat "$work/flood.log")
    "$python" -c "import sys; n0,n1,t0,t1,s=map(float,sys.argv[1:]); print('%.0f handled/s (flooder sent %.0f/s)' % ((n1-n0)/(t1-t0), s/4))" \
        "$n0" "$n1" "$t0" "$t1" "$sent"
    sleep 0.5
done
echo "resident after the floods: $(labtool rss "$pid") kB"
netlab_stop "$pid" TERM || true
