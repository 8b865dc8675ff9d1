#!/usr/bin/env bash
# The program's life on a real network: single instance, the goodbye on SIGTERM and on the menu's close,
# and a broadcast port that is already taken. Every host runs in a namespace of its own on one bridge.
set -euo pipefail
build=$1
source_dir=$2
here="$source_dir/tests/lab"
# The system's interpreter starts fastest; a shim in front of it costs a second per call.
python=$(command -v /usr/bin/python3 || command -v python3) || { echo "needs python3"; exit 77; }
source "$here/netlab.sh"
netlab_require || exit 77

work=$(mktemp -d)
cleanup() {
    netlab_teardown
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    for log in "$work"/*.log; do
        echo "--- $log" >&2
        cat "$log" >&2
    done
    exit 1
}

labtool() { "$python" "$here/labtool.py" "$@"; }
hex() { printf "$1" | od -An -tx1 | tr -d ' \n'; }
heard() { grep -c -x "$1" "$work/wire" || true; }

wait_for_line() { # FILE PATTERN
    local i
    for ((i = 0; i < 200; i++)); do
        grep -q "$2" "$1" 2>/dev/null && return 0
        sleep 0.1
    done
    return 1
}

# parlune_env HOST : the environment of one user on one host.
parlune_env() {
    mkdir -p "$work/$1/run" "$work/$1/config"
    chmod 700 "$work/$1/run"
    echo env QT_QPA_PLATFORM=offscreen PARLUNE_DRY_POWER_OFF=1 XDG_RUNTIME_DIR="$work/$1/run" \
        XDG_CONFIG_HOME="$work/$1/config" PARLUNE_AUTOMATION="$work/$1/automation"
}

netlab_init
netlab_add_host a 10.77.0.1
netlab_add_host b 10.77.0.2
netlab_add_host c 10.77.0.3

netlab_spawn b "$work/listener.log" "$python" "$here/labtool.py" listen-udp 6543 "$work/wire"
wait_for_line "$work/listener.log" ready || fail "the listener did not start"

# A: an ordinary start.
netlab_spawn a "$work/a.log" $(parlune_env a) "$build/parlune"
pid_a=$NETLAB_LAST_PID
labtool wait-ready "$work/a/automation" 30 || fail "a did not come up"

# A second start of the same user ends at once, successfully, and leaves the first one as it was.
status=0
netlab_exec a timeout 30 $(parlune_env a) "$build/parlune" >"$work/a-second.log" 2>&1 || status=$?
[ "$status" -eq 0 ] || fail "the second start ended with $status"
labtool wait-ready "$work/a/automation" 5 || fail "a stopped answering after the second start"

# C: the broadcast port is taken; the program tells so and runs on.
netlab_spawn c "$work/holder.log" "$python" "$here/labtool.py" hold-udp 6543
wait_for_line "$work/holder.log" ready || fail "the port holder did not start"
netlab_spawn c "$work/c.log" $(parlune_env c) "$build/parlune"
pid_c=$NETLAB_LAST_PID
labtool wait-ready "$work/c/automation" 30 || fail "c did not come up"
labtool ask "$work/c/automation" '{"cmd":"notices"}' >"$work/c-notices.json"
"$python" - "$work/c-notices.json" <<'PY' || fail "c did not show the bind notice: $(cat "$work/c-notices.json")"
import json, sys
notices = json.load(open(sys.argv[1], encoding="utf-8"))["notices"]
assert any(n["caption"] == "Socket Engine" and n["text"].strip() == "發送方套按字綁定失敗!" for n in notices), notices
PY
labtool wait-ready "$work/c/automation" 5 || fail "c stopped after the notice"

# C ends through its menu, A through SIGTERM: each says goodbye exactly once.
labtool ask "$work/c/automation" '{"cmd":"trigger","name":"MenuItem_Close"}' >/dev/null
status=0
netlab_wait_exit "$pid_c" 30 || status=$?
[ "$status" -eq 0 ] || fail "c ended with $status after the menu's close"
status=0
netlab_stop "$pid_a" TERM || status=$?
[ "$status" -eq 0 ] || fail "a ended with $status after SIGTERM"

# Whatever was sent has arrived once a later datagram has.
marker=$(hex '\bmarker\b')
netlab_exec a "$python" "$here/labtool.py" send-udp 6543 "$marker"
wait_for_line "$work/wire" "^$marker\$" || fail "the marker did not arrive"

declare -A address_of=([a]=10.77.0.1 [c]=10.77.0.3)
for host in a c; do
    address=${address_of[$host]}
    [ "$(heard "$(hex "\\b0\\b$address\\b")")" -eq 1 ] || fail "$host: not exactly one CMD_OFFLINE: $(cat "$work/wire")"
    [ "$(grep -c "^$(hex "\\b1\\b$address\\b")" "$work/wire")" -eq 1 ] || fail "$host: not exactly one CMD_ONLINE"
done
echo "lifecycle: ok"
