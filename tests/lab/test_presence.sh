#!/usr/bin/env bash
# Presence between five real instances, each on a host of its own: the friend tables after start-up,
# and what hidden, offline, away, back online and a host that dies without a goodbye do to them.
source "$2/tests/lab/labtest.sh" "$@"
checked() { lab_ask "$1" "{\"cmd\":\"checked\",\"name\":\"$2\"}" | grep -q '"checked":true'; }

netlab_init
lab_start_hosts a b c d e
A=$(lab_address a) B=$(lab_address b) C=$(lab_address c) D=$(lab_address d) E=$(lab_address e)

# Start-up: everyone lists everyone else, never itself, with the nickname from its settings.
for host in a b c d e; do
    lab_expect_friends "$host" $(lab_others "$host")
done
lab_ask a '{"cmd":"friends"}' | "$python" -c '
import json, sys
rows = {r["ip"]: r["user"] for r in json.load(sys.stdin)["friends"]}
assert rows == {"10.77.0.%d" % n: "站台" + h for n, h in zip(range(2, 6), "bcde")}, rows' ||
    fail "a does not show the others' nicknames"

# Hidden: c leaves every table, and after its own refresh still collects everyone.
lab_trigger c MenuItem_SHideLine
checked c MenuItem_SHideLine || fail "c: hidden not checked"
for host in a b d e; do
    lab_expect_friends "$host" $(lab_others "$host" | grep -vx "$C")
done
lab_trigger c MenuItem_Refurbish
lab_expect_friends c "$A" "$B" "$D" "$E"
# A hidden instance answers nobody: a's own refresh brings back everyone but c.
lab_trigger a MenuItem_Refurbish
lab_expect_friends a "$B" "$D" "$E"

# Offline: d leaves every table and its own refresh brings it no answers.
lab_trigger d MenuItem_SOffLine
for host in a b c e; do
    lab_expect_friends "$host" $(lab_others "$host" | grep -vx -e "$C" -e "$D")
done
lab_trigger d MenuItem_Refurbish
# Once b's refresh is answered by everyone, everyone has handled d's announcement before it.
lab_trigger b MenuItem_Refurbish
# An offline instance still answers later announcers: b lists d again.
lab_expect_friends b "$A" "$D" "$E"
sleep 0.5
# d heard b's announcement after its own refresh, and nothing else.
lab_expect_friends d "$B"

# Away: listed like online by everyone, and collects everyone who is not hidden.
lab_trigger e MenuItem_SLeave
checked e MenuItem_SLeave || fail "e: away not checked"
lab_expect_friends d "$B" "$E"
lab_trigger e MenuItem_Refurbish
lab_expect_friends e "$A" "$B" "$D"
lab_expect_friends a "$B" "$E"
lab_expect_friends b "$A" "$D" "$E"
lab_expect_friends c "$A" "$B" "$E"
lab_expect_friends d "$B" "$E"

# Back online: d is re-added everywhere and collects everyone who is not hidden.
lab_trigger d MenuItem_SOnLine
for host in a b c e; do
    labtool wait-friends "$(lab_socket "$host")" 30 $(lab_others "$host" | grep -vx "$C") ||
        fail "$host after d came back online"
done
lab_expect_friends d "$A" "$B" "$E"

# c comes back too; from here everyone lists everyone.
lab_trigger c MenuItem_SOnLine
for host in a b d e; do
    lab_expect_friends "$host" $(lab_others "$host")
done

# A host that dies without a goodbye stays listed until the listener's own next announcement.
{
    kill -KILL "${LAB_PID[e]}"
    wait "${LAB_PID[e]}" || true
} 2>/dev/null
lab_trigger b MenuItem_Refurbish
lab_expect_friends b "$A" "$C" "$D"
for host in a c d; do
    lab_ask "$host" '{"cmd":"friends"}' | grep -q "\"ip\":\"$E\"" || fail "$host lost e before its own refresh"
done
lab_trigger a MenuItem_Refurbish
lab_expect_friends a "$B" "$C" "$D"
lab_ask c '{"cmd":"friends"}' | grep -q "\"ip\":\"$E\"" || fail "c lost e before its own refresh"

lab_no_error_notices a b c d
echo "presence: ok"
