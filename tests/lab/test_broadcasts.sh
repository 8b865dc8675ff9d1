#!/usr/bin/env bash
# Broadcasts written in the composer of one real instance: the ticker of the sender and of another host
# show it and the other host's desktop character reads it aloud, an urgent bulletin reaches the other host's
# notice window but not the sender's, and an anonymous broadcast still carries the sender's address (checked
# on the wire from a third host).
source "$2/tests/lab/labtest.sh" "$@"

netlab_init
# c only listens, so that the datagrams are seen as any host on the segment sees them.
netlab_add_host c 10.77.0.3
netlab_spawn c "$work/listener.log" "$python" "$here/labtool.py" listen-udp 6543 "$work/wire"
wait_for_line "$work/listener.log" ready || fail "the listener did not start"
lab_start_hosts a b
"$python" "$here/windowlab.py" broadcasts "$(lab_socket a)" "$(lab_address a)" "$(lab_nickname a)" \
    "$(lab_socket b)" "$work/wire" || fail "broadcasts"
echo "broadcasts: ok"
