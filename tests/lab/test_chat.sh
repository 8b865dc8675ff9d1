#!/usr/bin/env bash
# Chat between two real instances through their message windows: a typed message pops up at its
# recipient, the recipient replies from its window, a message stays unread with the pop-up off, a long
# message with pictures arrives byte for byte, and a send to a host that is gone keeps the window and its text.
source "$2/tests/lab/labtest.sh" "$@"

netlab_init
lab_start_hosts a b
"$python" "$here/windowlab.py" chat "$(lab_socket a)" "$(lab_address a)" "$(lab_nickname a)" \
    "$(lab_socket b)" "$(lab_address b)" "$(lab_nickname b)" "${LAB_PID[b]}" "$(netlab_namespace b)" || fail "chat"
echo "chat: ok"
