#!/usr/bin/env bash
# Nothing received is lost, between two real instances. B takes 1000 chat messages from A, is killed outright
# and started again: every message A's sends reported delivered is back, in its order, with the mark it had.
# Then B, with three messages unread, is powered off remotely (a dry run) and started again: the three are
# there, still unread, and the tray flashes for them.
source "$2/tests/lab/labtest.sh" "$@"

netlab_init
lab_start_hosts a b
A=$(lab_address a) B=$(lab_address b)
lab_expect_friends a "$B"
lab_expect_friends b "$A"

# A sends through its own instance, back to back; each body is told apart by its number. Prints the numbers
# delivered. B drains four connections of one host at a time, so their order may mix.
send_from_a() { # FIRST COUNT
    "$python" - "$here" "$(lab_socket a)" "$(lab_socket b)" "$A" "$B" "$(lab_nickname a)" "$1" "$2" <<'PY'
import sys
sys.path.insert(0, sys.argv[1])
import labtool
path, path_b, a, b, nickname = sys.argv[2:7]
first, count = int(sys.argv[7]), int(sys.argv[8])
for n in range(first, first + count):
    body = "{\\rtf1\\ansi\\ansicpg950\\deff0\\pard\\f0\\fs20 lab %04d \\'a4\\'a4\\'a4\\'e5\\par}" % n
    if labtool.send_direct(path, b, 5, [a, nickname, "00:00", body, "0"]) > 0:
        print(n)
PY
}
# B's table as "number read" lines, in its order.
table_of_b() {
    labtool ask "$(lab_socket b)" '{"cmd":"messages"}' | "$python" -c '
import base64, json, re, sys
for row in json.load(sys.stdin)["messages"]:
    number = re.search(rb"lab (\d{4})", base64.b64decode(row["content"])).group(1).decode()
    print(number, row["ip"], row["date"], "read" if row["read"] else "unread")'
}
start_b() { # LOG
    netlab_spawn b "$work/$1" $(lab_env b) "$build/parlune"
    LAB_PID[b]=$NETLAB_LAST_PID
    labtool wait-ready "$(lab_socket b)" 60 || fail "b did not come up again"
}

# The first message pops B's window up and is read; the rest arrive while it is open and stay unread.
send_from_a 0 1000 >"$work/delivered"
[ "$(wc -l <"$work/delivered")" -eq 1000 ] || fail "a delivered only $(wc -l <"$work/delivered") of 1000"
labtool wait-messages "$(lab_socket b)" 60 1000 >/dev/null || fail "b stored $(table_of_b | wc -l) of 1000 $(lab_ask b '{"cmd":"stats"}')"
table_of_b >"$work/before"
grep -q " unread$" "$work/before" && grep -q " read$" "$work/before" || fail "b: no mix of marks"
netlab_stop "${LAB_PID[b]}" KILL || true

# B's user gives it a password for remote control while it is down.
conf="$work/b/config/Parlune/Parlune.conf"
"$python" - "$conf" <<'PY'
import sys
path = sys.argv[1]
key = "Duvo\\Parlune\\PIM\\Password="
lines = [line for line in open(path, encoding="ascii").read().splitlines() if not line.startswith(key)]
at = lines.index("[Software]") + 1
open(path, "w", encoding="ascii").write("\n".join(lines[:at] + [key + "lab-secret"] + lines[at:]) + "\n")
PY

start_b b-restarted.log
table_of_b >"$work/after"
cmp -s "$work/before" "$work/after" || fail "b's table after the kill: $(diff "$work/before" "$work/after" | head)"
cut -d' ' -f1 "$work/after" | sed 's/^0*\([0-9]\)/\1/' | sort -n | cmp -s - "$work/delivered" ||
    fail "b lost delivered messages"
labtool ask "$(lab_socket b)" '{"cmd":"timer","name":"Timer_Innervation"}' | grep -q '"active":true' ||
    fail "b's tray does not flash for the unread messages"

# Emptied, with the pop-up off: three new messages stay unread. Then the power-off with the right password.
lab_trigger b MenuItem_Empty
lab_trigger b MenuItem_IAtuoShow
labtool wait-notices "$(lab_socket b)" 10 1 "EMPTY MESSAGE" || fail "b did not empty its table"
lab_ask b '{"cmd":"checked","name":"MenuItem_IAtuoShow"}' | grep -q '"checked":false' || fail "b: pop-up still on"
send_from_a 1000 3 >/dev/null
labtool wait-messages "$(lab_socket b)" 30 3 >/dev/null || fail "b did not store the three"
table_of_b >"$work/three"
[ "$(grep -c " unread$" "$work/three")" -eq 3 ] || fail "b: $(cat "$work/three")"
result=$(labtool send-direct "$(lab_socket a)" "$B" 7 "$A" "$(lab_nickname a)" lab-secret)
[ "$result" -gt 0 ] || fail "a could not ask b to power off"
labtool wait-notices "$(lab_socket a)" 30 1 "遠程主機信息" "遠程主機已關閉!" || fail "b did not power off"
status=0
netlab_wait_exit "${LAB_PID[b]}" 30 || status=$?
[ "$status" -eq 0 ] || fail "b ended with $status after the power-off"
grep -q "power-off requested" "$work/b-restarted.log" || fail "b did not request the power-off"

start_b b-powered-on.log
table_of_b >"$work/three-after"
cmp -s "$work/three" "$work/three-after" || fail "b after the power-off: $(cat "$work/three-after")"
labtool ask "$(lab_socket b)" '{"cmd":"timer","name":"Timer_Innervation"}' | grep -q '"active":true' ||
    fail "b's tray does not flash after the power-off"
lab_no_error_notices a b
echo "history: ok"
