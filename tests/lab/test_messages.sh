#!/usr/bin/env bash
# The message store between five real instances, each on a host of its own: a chat message stored at
# its recipient, the away auto-reply's round trip, and remote power-off without a password, then with a
# wrong and the right one.
source "$2/tests/lab/labtest.sh" "$@"
send() { # FROM TO CODE FIELD… : FROM's instance sends the packet to TO; its result must be a byte count
    local from=$1 to=$2 result
    shift 2
    result=$(labtool send-direct "$(lab_socket "$from")" "$(lab_address "$to")" "$@") || fail "send from $from"
    [ "$result" -gt 0 ] || fail "$from could not send to $to: $result"
}

netlab_init
lab_start_hosts a b c d e
A=$(lab_address a) B=$(lab_address b)
for host in a b c d e; do
    lab_expect_friends "$host" $(lab_others "$host")
done

# b keeps what arrives unread: no message window pops up.
lab_trigger b MenuItem_IAtuoShow
lab_ask b '{"cmd":"checked","name":"MenuItem_IAtuoShow"}' | grep -q '"checked":false' || fail "b: pop-up still on"

# A chat message is stored at its recipient, unread, under the receiver's clock, its nickname cut to 20 bytes.
long_nickname="一二三四五六七八九十abcde"
body='{\rtf1\ansi\ansicpg950\deff0{\fonttbl{\f0\fnil\fcharset136 \'"'"'b2\'"'"'d3;}}\viewkind4\uc1\pard\f0\fs20 lab\'"'"'a7\'"'"'41\par}'
send a b 5 "$A" "$long_nickname" 00:00 "$body" 0
labtool wait-messages "$(lab_socket b)" 30 1 >"$work/b-messages.json" || fail "b stored nothing"
"$python" - "$work/b-messages.json" "$A" "$body" <<'PY' || fail "b's message: $(cat "$work/b-messages.json")"
import base64, datetime, json, sys
rows = json.load(open(sys.argv[1], encoding="utf-8"))
assert len(rows) == 1, rows
row = rows[0]
assert row["nickname"] == "一二三四五六七八九十", row["nickname"]
assert row["ip"] == sys.argv[2], row["ip"]
assert base64.b64decode(row["content"]) == sys.argv[3].encode("ascii"), row["content"]
assert row["read"] is False, row
# The sender's 00:00 is informational; the row carries the receiver's own time.
age = datetime.datetime.now() - datetime.datetime.fromisoformat(row["date"])
assert abs(age.total_seconds()) < 30, row["date"]
PY
for host in c d e; do
    lab_ask "$host" '{"cmd":"messages"}' | grep -q '"messages":\[\]' || fail "$host stored a message not meant for it"
done

# Away: every message from another host is answered once with the auto-reply, one from itself never.
lab_trigger b MenuItem_SLeave
reply_caption="應答信息- [$(lab_nickname b)]"
reply_text="您好!我現在有事忙，請稍後聯絡..."
send a b 5 "$A" "$(lab_nickname a)" 00:00 "$body" 0
labtool wait-notices "$(lab_socket a)" 30 1 "$reply_caption" "$reply_text" || fail "a got no auto-reply"
send b b 5 "$B" "$(lab_nickname b)" 00:00 "$body" 0
send a b 5 "$A" "$(lab_nickname a)" 00:00 "$body" 0
labtool wait-notices "$(lab_socket a)" 30 2 "$reply_caption" "$reply_text" || fail "a got no second auto-reply"
labtool wait-messages "$(lab_socket b)" 30 4 >/dev/null || fail "b did not store all four messages"
[ "$(labtool count-notices "$(lab_socket a)" "$reply_caption")" -eq 2 ] || fail "a: not one auto-reply per message"
[ "$(labtool count-notices "$(lab_socket b)" "$reply_caption")" -eq 0 ] || fail "b answered itself"

# Remote power-off while c has no password (as every fresh install): refused as if remote control were
# off, even for the empty password that matches it, and c runs on.
shutdown_caption="遠程主機信息"
send a c 7 "$A" "$(lab_nickname a)" ""
labtool wait-notices "$(lab_socket a)" 30 1 "$shutdown_caption" "遠程主機未啟動遠程控制!" ||
    fail "a was not told that c without a password allows no remote control"
labtool wait-ready "$(lab_socket c)" 5 || fail "c stopped without a password"
! grep -q "power-off requested" "$work/c.log" || fail "c powered off without a password"

# c's user types a password into the settings file by hand, without a type, and starts c again.
netlab_stop "${LAB_PID[c]}" || fail "c did not end on TERM"
conf="$work/c/config/Parlune/Parlune.conf"
"$python" - "$conf" <<'PY' || fail "c's settings file has no password line: $(cat "$conf")"
import sys
path = sys.argv[1]
lines = open(path, encoding="ascii").read().splitlines()
key = "Duvo\\Parlune\\PIM\\Password="
assert sum(line.startswith(key) for line in lines) == 1, lines
open(path, "w", encoding="ascii").write("".join((key + "lab-secret" if line.startswith(key) else line) + "\n"
                                                for line in lines))
PY
netlab_spawn c "$work/c-again.log" $(lab_env c) "$build/parlune"
LAB_PID[c]=$NETLAB_LAST_PID
labtool wait-ready "$(lab_socket c)" 60 || fail "c did not come up again"
grep -qx 'Duvo\\Parlune\\PIM\\Password=lab-secret' "$conf" || fail "c replaced the password written by hand"
[ "$(stat -c %a "$conf")" = 600 ] || fail "c's settings file is readable by others: $(stat -c %a "$conf")"

# Wrong password: told so, and the host runs on.
send a c 7 "$A" "$(lab_nickname a)" wrong
labtool wait-notices "$(lab_socket a)" 30 1 "$shutdown_caption" "密碼錯誤!" || fail "a was not told the password was wrong"
labtool wait-ready "$(lab_socket c)" 5 || fail "c stopped after a wrong password"
! grep -q "power-off requested" "$work/c-again.log" || fail "c powered off with a wrong password"

# The right password: the host powers off (a dry run here, which the system accepts), tells a, says goodbye
# and ends.
send a c 7 "$A" "$(lab_nickname a)" lab-secret
labtool wait-notices "$(lab_socket a)" 30 1 "$shutdown_caption" "遠程主機已關閉!" || fail "a was not told c powered off"
status=0
netlab_wait_exit "${LAB_PID[c]}" 30 || status=$?
[ "$status" -eq 0 ] || fail "c ended with $status after the power-off"
grep -q "power-off requested" "$work/c-again.log" || fail "c did not request the power-off"
for host in a b d e; do
    lab_expect_friends "$host" $(lab_others "$host")
done

lab_no_error_notices a b d e
echo "messages: ok"
