#!/usr/bin/env bash
# Five in a row between real instances: A's player list shows B waiting and C idle, D with its game switch off
# answers with the refusal; A invites B from the list, they play a whole game through their windows to A's
# win with both boards alike move for move, and a hostile C's forged moves and result change nothing.
source "$2/tests/lab/labtest.sh" "$@"

netlab_init
lab_start_hosts a b c d
"$python" "$here/windowlab.py" gobang "$(lab_socket a)" "$(lab_address a)" "$(lab_nickname a)" \
    "$(lab_socket b)" "$(lab_address b)" "$(lab_nickname b)" \
    "$(lab_socket c)" "$(lab_address c)" "$(lab_nickname c)" "$(lab_socket d)" || fail "gobang"
lab_no_error_notices a b c
echo "gobang: ok"
