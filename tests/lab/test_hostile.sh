#!/usr/bin/env bash
# A hostile host on the segment sends everything it can at a real instance while a friendly host chats
# with it: floods of one-byte datagrams, port-scan connections, announcements naming addresses nobody has,
# power-off guesses, picture-bomb bulletins and streams holding every place the instance has for it.
# Throughout, the chat keeps working, the instance answers its automation channel within half a second,
# and its resident memory stays within 64 MB of where it started. At the end it quits with the hostile
# connections still open: status 0 and exactly one goodbye.
#
# HOSTILE_PHASES (default: all of "dots scan unreachable guesses bombs hold") runs a subset.
source "$2/tests/lab/labtest.sh" "$@"
phases=${HOSTILE_PHASES:-dots scan unreachable guesses bombs hold}

netlab_init
lab_start_hosts v f
netlab_add_host h 10.77.0.3
V=$(lab_socket v)
F=$(lab_socket f)
lab_expect_friends v "$(lab_address f)"
lab_expect_friends f "$(lab_address v)"

# The goodbye is heard on the hostile host, where no instance holds the port.
netlab_spawn h "$work/listener.log" "$python" "$here/labtool.py" listen-udp 6543 "$work/wire"
wait_for_line "$work/listener.log" ready || fail "the listener did not start"

cat >"$work/hostile.py" <<'PY'
import socket, sys, time

SEP = b"\x08"
VICTIM = sys.argv[2] if len(sys.argv) > 2 else ""


def packet(*fields):
    return SEP + SEP.join(fields) + SEP


def broadcast(datagrams, pause_every=200):
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
    for i, data in enumerate(datagrams):
        s.sendto(data, ("255.255.255.255", 6543))
        if i % pause_every == pause_every - 1:
            time.sleep(0.01)


def stream(data):
    try:
        with socket.create_connection((VICTIM, 3289), timeout=5) as s:
            s.sendall(data)
    except OSError:
        pass  # refused or cut off: what a defended host does


def dots(count):
    broadcast([SEP] * count)


def scan(count):
    for _ in range(count):
        try:
            socket.create_connection((VICTIM, 3289), timeout=5).close()
        except OSError:
            pass


def unreachable(count):
    names = [b"10.77.0.%d" % (100 + i % 150) for i in range(count // 2)]
    names += [b"10.77.%d.%d" % (1 + i // 250, 1 + i % 250) for i in range(count - len(names))]
    names += [b"10.77.0.255", b"255.255.255.255", b"127.0.0.1", b"0.0.0.0", b"224.0.0.1", b"0x0a.77.0.2",
              b"10.77.0.2 ", VICTIM.encode()]
    codes = [b"1", b"6", b"2"]
    broadcast([packet(codes[i % 3], name, b"ghost", b"") for i, name in enumerate(names)], 50)


def guesses(count):
    for i in range(count):
        requester = b"10.77.0.3" if i % 2 else b"10.77.0.%d" % (200 + i % 50)
        password = b"" if i == 0 else b"guess%d" % i
        stream(packet(b"7", requester, b"guesser", password))


def bombs(count):
    # A run-length bitmap that declares 8192 x 8192 pixels in a few bytes.
    header = (40).to_bytes(4, "little") + (8192).to_bytes(4, "little") + (8192).to_bytes(4, "little")
    header += (1).to_bytes(2, "little") + (8).to_bytes(2, "little") + (1).to_bytes(4, "little")
    header += (2).to_bytes(4, "little") + bytes(8) + (2).to_bytes(4, "little") + bytes(4)
    dib = header + bytes(8) + b"\x00\x01"
    body = b"{\\rtf1{\\pict\\dibitmap0\\picw8192\\pich8192 " + dib.hex().encode() + b"}}"
    broadcast([packet(b"11", b"10.77.0.3", b"bomb%d" % i, b"12:00", body) for i in range(count)], 5)


globals()[sys.argv[1].replace("-", "_")](int(sys.argv[3]))
PY
attack() { netlab_exec h "$python" "$work/hostile.py" "$1" "$(lab_address v)" "$2"; }

# Half-second answers throughout: a prober asks for a ping every 100 ms until told to stop.
cat >"$work/prober.py" <<'PY'
import json, os, sys, time
sys.path.insert(0, sys.argv[1])
from labtool import ask
path, stop, out = sys.argv[2], sys.argv[3], sys.argv[4]
worst, asked, slow = 0.0, 0, []
while not os.path.exists(stop):
    began = time.monotonic()
    try:
        ok = json.loads(ask(path, '{"cmd":"ping"}', 5)).get("ok")
    except (OSError, ValueError):
        ok = False
    took = time.monotonic() - began if ok else 5.0
    asked += 1
    worst = max(worst, took)
    if took > 0.5:
        slow.append(round(took, 3))
    time.sleep(0.1)
with open(out, "w") as f:
    json.dump({"asked": asked, "worst": worst, "slow": slow}, f)
PY

rss_start=$(labtool rss "${LAB_PID[v]}")
"$python" "$work/prober.py" "$here" "$V" "$work/stop-probing" "$work/probes.json" >"$work/prober.log" 2>&1 &
prober=$!
NETLAB_PIDS+=("$prober") # ended with the namespaces' processes if the test fails first

chats=0
chat() {
    chats=$((chats + 1))
    labtool send-direct "$F" "$(lab_address v)" 5 "$(lab_address f)" "friend" "12:00" "{\\rtf1 to v $chats}" 0 |
        grep -qx -- '-1' && fail "f could not reach v during $1"
    labtool send-direct "$V" "$(lab_address f)" 5 "$(lab_address v)" "victim" "12:00" "{\\rtf1 to f $chats}" 0 |
        grep -qx -- '-1' && fail "v could not reach f during $1"
    labtool wait-messages "$V" 30 "$chats" >/dev/null || fail "v did not store the chat during $1"
    labtool wait-messages "$F" 30 "$chats" >/dev/null || fail "f did not store the chat during $1"
    echo "chat during $1: ok"
}

for phase in $phases; do
    case $phase in
    dots) attack dots 3000 ;;
    scan) attack scan 300 ;;
    unreachable) attack unreachable 300 ;;
    guesses)
        attack guesses 20
        # An accepted guess would close the console once the event loop comes round to it.
        labtool wait-ready "$V" 5 && sleep 1 && lab_running v || fail "a power-off guess powered v off"
        ;;
    bombs) attack bombs 20 ;;
    hold)
        netlab_spawn h "$work/hold.log" "$python" "$here/labtool.py" hold-tcp "$(lab_address v)" 40
        holder=$NETLAB_LAST_PID
        wait_for_line "$work/hold.log" "ready 40" || fail "could not open the connections"
        ;;
    *) fail "unknown phase $phase" ;;
    esac
    chat "$phase"
    echo "$phase: resident $(labtool rss "${LAB_PID[v]}") kB"
done

touch "$work/stop-probing"
wait "$prober" || fail "the prober failed"
rss_end=$(labtool rss "${LAB_PID[v]}")
echo "v: resident ${rss_start} kB before the hostile host, ${rss_end} kB after; probes $(cat "$work/probes.json")"
"$python" - "$work/probes.json" <<'PY' || fail "v did not answer within half a second throughout"
import json, sys
probes = json.load(open(sys.argv[1]))
assert probes["asked"] > 0 and probes["worst"] <= 0.5, probes
PY
[ "$rss_end" -le $((rss_start + 65536)) ] || fail "resident memory grew from $rss_start kB to $rss_end kB"
# Thousands of unreadable packets are a handful of notices, each repeat counted rather than shown.
errors=$(labtool count-notices "$V" "ERROR MESSAGE")
echo "v: $errors error notices"
[ "$errors" -le 40 ] || fail "v showed $errors error notices"
lab_ask v '{"cmd":"friends"}' | grep -q "\"$(lab_address f)\"" || fail "v no longer lists f"

# Quitting with the hostile connections still open: status 0 and one goodbye.
lab_trigger v MenuItem_Close
status=0
netlab_wait_exit "${LAB_PID[v]}" 30 || status=$?
[ "$status" -eq 0 ] || fail "v ended with $status"
marker=$(hex '\bmarker\b')
netlab_exec f "$python" "$here/labtool.py" send-udp 6543 "$marker"
wait_for_line "$work/wire" "^$marker\$" || fail "the marker did not arrive"
[ "$(grep -c -x "$(hex "\\b0\\b$(lab_address v)\\b")" "$work/wire")" -eq 1 ] || fail "not exactly one CMD_OFFLINE from v"
echo "hostile: ok"
