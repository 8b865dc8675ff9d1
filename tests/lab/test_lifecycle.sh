#!/usr/bin/env bash
# The program's life on a real network: single instance, the goodbye on every way out (the menu's close,
# SIGTERM and SIGHUP with a peer's connection open and half-read, the X server going away), and a broadcast
# port that is already taken. Every host runs in a namespace of its own on one bridge.
source "$2/tests/lab/labtest.sh" "$@"
heard() { grep -c -x "$1" "$work/wire" || true; }

netlab_init
netlab_add_host a 10.77.0.1
netlab_add_host b 10.77.0.2
netlab_add_host c 10.77.0.3

netlab_spawn b "$work/listener.log" "$python" "$here/labtool.py" listen-udp 6543 "$work/wire"
wait_for_line "$work/listener.log" ready || fail "the listener did not start"

# half_read HOST ADDRESS : from b, a connection to ADDRESS that sent the start of a message and stays open.
half_read() {
    netlab_spawn b "$work/half-$1.log" "$python" "$here/labtool.py" half-tcp "$2" "$(hex '\b5\b10.77.0.2\bhalf a')"
    wait_for_line "$work/half-$1.log" ready || fail "no connection to $1"
}

# A: an ordinary start.
netlab_spawn a "$work/a.log" $(lab_env a) "$build/parlune"
pid_a=$NETLAB_LAST_PID
labtool wait-ready "$work/a/automation" 30 || fail "a did not come up"

# A second start of the same user ends at once, successfully, and leaves the first one as it was.
status=0
netlab_exec a timeout 30 $(lab_env a) "$build/parlune" >"$work/a-second.log" 2>&1 || status=$?
[ "$status" -eq 0 ] || fail "the second start ended with $status"
labtool wait-ready "$work/a/automation" 5 || fail "a stopped answering after the second start"

# C: the broadcast port is taken; the program tells so and runs on.
netlab_spawn c "$work/holder.log" "$python" "$here/labtool.py" hold-udp 6543
wait_for_line "$work/holder.log" ready || fail "the port holder did not start"
netlab_spawn c "$work/c.log" $(lab_env c) "$build/parlune"
pid_c=$NETLAB_LAST_PID
labtool wait-ready "$work/c/automation" 30 || fail "c did not come up"
labtool ask "$work/c/automation" '{"cmd":"notices"}' >"$work/c-notices.json"
"$python" - "$work/c-notices.json" <<'PY' || fail "c did not show the bind notice: $(cat "$work/c-notices.json")"
import json, sys
notices = json.load(open(sys.argv[1], encoding="utf-8"))["notices"]
assert any(n["caption"] == "Socket Engine" and n["text"].strip() == "發送方套按字綁定失敗!" for n in notices), notices
PY
labtool wait-ready "$work/c/automation" 5 || fail "c stopped after the notice"

# C ends through its menu, A through SIGTERM, each while b is in the middle of sending it a message: each
# ends with status 0 and says goodbye exactly once.
half_read a 10.77.0.1
half_read c 10.77.0.3
labtool ask "$work/c/automation" '{"cmd":"trigger","name":"MenuItem_Close"}' >/dev/null
status=0
netlab_wait_exit "$pid_c" 30 || status=$?
[ "$status" -eq 0 ] || fail "c ended with $status after the menu's close"
status=0
netlab_stop "$pid_a" TERM || status=$?
[ "$status" -eq 0 ] || fail "a ended with $status after SIGTERM"

# D runs on an X display of its own that then dies, E gets SIGHUP (its session ended) with a connection
# half-read; F watches both leave its friend table at once, not ten minutes later.
netlab_add_host d 10.77.0.4
netlab_add_host e 10.77.0.5
netlab_add_host f 10.77.0.6
gone=(a c e)
if command -v Xvfb >/dev/null; then
    # Xvfb picks a free display itself: other tests start servers at the same time.
    Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
    pid_x=$!
    NETLAB_PIDS+=("$pid_x")
    display=
    for _ in $(seq 100); do
        display=$(cat "$work/display" 2>/dev/null)
        [ -n "$display" ] && [ -e /tmp/.X11-unix/X$display ] && break
        sleep 0.1
    done
    # Qt takes the StatusNotifier tray only with a session bus; without one it stays on plain X.
    netlab_spawn d "$work/d.log" $(lab_env d) QT_QPA_PLATFORM=xcb DISPLAY=:$display \
        DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent "$build/parlune"
    pid_d=$NETLAB_LAST_PID
    labtool wait-ready "$work/d/automation" 30 || fail "d did not come up on its display"
    gone+=(d)
else
    echo "no Xvfb: the display's end is not tried"
fi
netlab_spawn e "$work/e.log" $(lab_env e) "$build/parlune"
pid_e=$NETLAB_LAST_PID
labtool wait-ready "$work/e/automation" 30 || fail "e did not come up"
netlab_spawn f "$work/f.log" $(lab_env f) "$build/parlune"
labtool wait-ready "$work/f/automation" 30 || fail "f did not come up"
labtool wait-listed "$work/f/automation" 10 10.77.0.5 yes || fail "f does not list e"

if [ -n "${pid_d:-}" ]; then
    labtool wait-listed "$work/f/automation" 10 10.77.0.4 yes || fail "f does not list d"
    kill -KILL "$pid_x"
    labtool wait-listed "$work/f/automation" 5 10.77.0.4 no || fail "f still lists d after its display died"
    status=0
    netlab_wait_exit "$pid_d" 20 || status=$?
    [ "$status" -ne 124 ] || fail "d did not end when its display died"
    [ "$status" -lt 128 ] || fail "d died by signal $((status - 128)) when its display died"
fi

half_read e 10.77.0.5
status=0
netlab_stop "$pid_e" HUP || status=$?
[ "$status" -eq 0 ] || fail "e ended with $status after SIGHUP"
labtool wait-listed "$work/f/automation" 5 10.77.0.5 no || fail "f still lists e after SIGHUP"

# Whatever was sent has arrived once a later datagram has.
marker=$(hex '\bmarker\b')
netlab_exec a "$python" "$here/labtool.py" send-udp 6543 "$marker"
wait_for_line "$work/wire" "^$marker\$" || fail "the marker did not arrive"

declare -A address_of=([a]=10.77.0.1 [c]=10.77.0.3 [d]=10.77.0.4 [e]=10.77.0.5)
for host in "${gone[@]}"; do
    address=${address_of[$host]}
    [ "$(heard "$(hex "\\b0\\b$address\\b")")" -eq 1 ] || fail "$host: not exactly one CMD_OFFLINE: $(cat "$work/wire")"
    [ "$(grep -c "^$(hex "\\b1\\b$address\\b")" "$work/wire")" -eq 1 ] || fail "$host: not exactly one CMD_ONLINE"
done
echo "lifecycle: ok"
