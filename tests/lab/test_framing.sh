#!/usr/bin/env bash
# Framing and hostile traffic on a real network: three instances on the real ports, each in a namespace of
# its own on one bridge, and a fourth host that sends what a broken or hostile peer would.
source "$2/tests/lab/labtest.sh" "$@"
from_x() { netlab_exec x "$python" "$here/labtool.py" "$@"; }

# check SOCKET SECONDS PYTHON-EXPRESSION: waits until the expression holds for the answers of "friends" and
# "notices" (bound as friends, notices: lists), "windows" (windows) and the expression's helpers.
check() {
    "$python" - "$here" "$@" <<'PY'
import re, sys, time
here, path, seconds, expression = sys.argv[1], sys.argv[2], float(sys.argv[3]), sys.argv[4]
sys.path.insert(0, here)
from labtool import ask_json

def ask(request):
    return ask_json(path, request, 20)

deadline = time.monotonic() + seconds
while True:
    friends = ask({"cmd": "friends"})["friends"]
    notices = ask({"cmd": "notices"})["notices"]
    windows = ask({"cmd": "windows"})["windows"]
    ips = {f["ip"]: f for f in friends}
    texts = [(n["caption"], n["text"].strip()) for n in notices]
    # Repeats of a notice within a few seconds arrive summed up in one notice that gives their count.
    def seen(kind):
        total = 0
        for caption, text in texts:
            if caption != kind[0] or not text.startswith(kind[1]):
                continue
            repeats = re.search(r"又出現了 (\d+) 次", text[len(kind[1]):])
            total += int(repeats.group(1)) if repeats else int(text == kind[1])
        return total
    if eval(expression):
        sys.exit(0)
    if time.monotonic() > deadline:
        print("not true: %s\nfriends: %s\nnotices: %s" % (expression, sorted(ips), texts[-8:]), file=sys.stderr)
        sys.exit(1)
    time.sleep(0.2)
PY
}

unknown_stream='("ERROR MESSAGE", "接收到不明數據包!")'
unrecognised='("ERROR MESSAGE", "接收到無法識別的數據包，請更新程序或聯絡供應商!")'
count_of() { echo "seen($1)"; }

netlab_init
netlab_add_host a 10.77.0.1
netlab_add_host b 10.77.0.2
netlab_add_host c 10.77.0.3
netlab_add_host x 10.77.0.9

declare -A pid_of
for host in a b c; do
    netlab_spawn "$host" "$work/$host.log" $(lab_env "$host") "$build/parlune"
    pid_of[$host]=$NETLAB_LAST_PID
    sleep 0.05
done
for host in a b c; do
    labtool wait-ready "$work/$host/automation" 30 || fail "$host did not come up"
done
A="$work/a/automation"
check "$A" 20 '"10.77.0.2" in ips and "10.77.0.3" in ips' || fail "a did not learn of b and c"

# Datagrams: one framed only at its start is acted on (its unterminated last field reads empty); one framed
# at neither end is dropped without a word.
from_x send-udp 6543 "$(hex '\b1\b10.77.0.7\bhalf\bFACE')"
from_x send-udp 6543 "$(hex '1\b10.77.0.8\bnone\bFACE')"
check "$A" 10 '"10.77.0.7" in ips and ips["10.77.0.7"]["user"] == "half" and ips["10.77.0.7"]["face"] == ""' ||
    fail "a datagram framed at its start only was not acted on"
from_x send-udp 6543 "$(hex '\b1\b10.77.0.4\bmarker\b\b')"
check "$A" 10 '"10.77.0.4" in ips' || fail "the marker did not arrive"
check "$A" 0 '"10.77.0.8" not in ips and not notices' || fail "a datagram framed at neither end was not dropped silently"

# Streams: framed at the start only, and empty, are unknown; a command that is no number is unrecognised.
from_x send-tcp 10.77.0.1 unterminated
check "$A" 10 "$(count_of "$unknown_stream") == 1" || fail "an unterminated stream gave no notice"
from_x send-tcp 10.77.0.1 empty
check "$A" 10 "$(count_of "$unknown_stream") == 2" || fail "an empty connection gave no notice"
from_x send-tcp 10.77.0.1 nan
check "$A" 10 "$(count_of "$unrecognised") == 1 and len(notices) == 3" || fail "a command that is no number"

# The notices are on screen, in the notice window, and its button closes it.
check "$A" 10 'any(w["name"] == "Form_RebutInfo" and any(c["name"] == "suiMemo_Info" and "不明數據包" in c["text"]
    for c in w["controls"]) for w in windows)' || fail "the notice window does not show the notices"
labtool ask "$A" '{"cmd":"click","window":"Form_RebutInfo","control":"suiButton_OK"}' | grep -q '"ok":true' ||
    fail "could not click the notice window's button"
check "$A" 10 'not any(w["name"] == "Form_RebutInfo" for w in windows)' || fail "the notice window stayed open"

# Hostile traffic.
rss_before=$(labtool rss "${pid_of[a]}")
from_x flood-udp 6543 5000
from_x big-udp 6543 "$(hex '\b1\b10.77.0.6\bbig\b')" 40000
from_x send-udp 6543 "$(hex '\b1\b10.77.0.5\bafter\b\b')"
check "$A" 20 '"10.77.0.5" in ips' || fail "a stopped taking datagrams after the flood"
check "$A" 0 '"10.77.0.6" not in ips' || fail "a datagram of more than 30000 bytes was acted on"

netlab_spawn x "$work/hold.log" "$python" "$here/labtool.py" hold-tcp 10.77.0.1 100
holder=$NETLAB_LAST_PID
wait_for_line "$work/hold.log" "ready 100" || fail "could not open 100 connections"
labtool wait-ready "$A" 5 || fail "a stopped answering while 100 connections hung"
notices_before=$(labtool ask "$A" '{"cmd":"notices"}' | "$python" -c 'import json,sys; print(len(json.load(sys.stdin)["notices"]))')
netlab_stop "$holder" TERM || true

from_x send-tcp 10.77.0.1 huge
from_x send-tcp 10.77.0.1 nested
from_x send-tcp 10.77.0.1 bin
labtool wait-ready "$A" 30 || fail "a stopped answering after the hostile streams"

# Still a working peer: a direct packet from b arrives, the friends learnt before are still there.
notice=$(labtool b64 "$(hex '\b8\bLAB\bstill here\b')")
labtool ask "$work/b/automation" "{\"cmd\":\"sendDirect\",\"address\":\"10.77.0.1\",\"packet\":\"$notice\"}" |
    grep -q '"result":' || fail "b could not send"
check "$A" 60 '("LAB", "still here") in texts' || fail "a no longer takes direct packets"
check "$A" 0 'all(ip in ips for ip in ("10.77.0.2", "10.77.0.3", "10.77.0.7", "10.77.0.5"))' ||
    fail "the friend table lost entries"
check "$A" 0 "len(notices) > $notices_before" || fail "the released connections were not judged"

rss_after=$(labtool rss "${pid_of[a]}")
echo "a: resident ${rss_before} kB before the hostile traffic, ${rss_after} kB after"
[ "$rss_after" -lt $((rss_before + 150000)) ] || fail "resident memory grew from $rss_before kB to $rss_after kB"

for host in b c; do
    labtool wait-ready "$work/$host/automation" 5 || fail "$host stopped answering"
done

# A clean close still says goodbye exactly once.
netlab_spawn x "$work/listener.log" "$python" "$here/labtool.py" listen-udp 6543 "$work/wire"
wait_for_line "$work/listener.log" ready || fail "the listener did not start"
labtool ask "$A" '{"cmd":"trigger","name":"MenuItem_Close"}' >/dev/null
status=0
netlab_wait_exit "${pid_of[a]}" 30 || status=$?
[ "$status" -eq 0 ] || fail "a ended with $status"
marker=$(hex '\bmarker\b')
netlab_exec b "$python" "$here/labtool.py" send-udp 6543 "$marker"
wait_for_line "$work/wire" "^$marker\$" || fail "the marker did not arrive"
[ "$(grep -c -x "$(hex '\b0\b10.77.0.1\b')" "$work/wire")" -eq 1 ] || fail "not exactly one CMD_OFFLINE from a"
echo "framing: ok"
