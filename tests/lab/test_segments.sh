#!/usr/bin/env bash
# Two segments joined by a router: A on one, B and C on the other. Apart, they do not see each other. A and
# B each put the other's segment broadcast address in the settings window; then they find each other, chat
# and hear each other's broadcasts. C starts with A's segment already in its stored settings, and A lists C
# from C's first announcement.
source "$2/tests/lab/labtest.sh" "$@"

netlab_init
netlab_add_segment br1
netlab_add_router r br0 10.77.0.254 br1 10.78.0.254

# start_host NAME ADDRESS BRIDGE GATEWAY [EXTRA_DESTINATIONS]
start_host() {
    LAB_ADDRESS[$1]=$2
    LAB_NICKNAME[$1]="站台$1"
    netlab_add_routed_host "$1" "$2" "$3" "$4"
    lab_write_nickname "$1" "${LAB_NICKNAME[$1]}"
    [ -z "${5:-}" ] || echo "Duvo\\Parlune\\SYS\\ExtraDestinations=sz:$5" >>"$work/$1/config/Parlune/Parlune.conf"
    netlab_spawn "$1" "$work/$1.log" $(lab_env "$1") "$build/parlune"
    LAB_PID[$1]=$NETLAB_LAST_PID
    LAB_ORDER+=("$1")
    labtool wait-ready "$(lab_socket "$1")" 60 || fail "$1 did not come up"
}

start_host a 10.77.0.1 br0 10.77.0.254
start_host b 10.78.0.1 br1 10.78.0.254
"$python" "$here/windowlab.py" segments "$(lab_socket a)" "$(lab_address a)" 10.77.0.255 \
    "$(lab_socket b)" "$(lab_address b)" "$(lab_nickname b)" 10.78.0.255 || fail "segments"

start_host c 10.78.0.2 br1 10.78.0.254 10.77.0.255
labtool wait-listed "$(lab_socket a)" 30 "$(lab_address c)" yes || fail "a did not hear c's start"
lab_expect_friends c "$(lab_address a)" "$(lab_address b)"
lab_no_error_notices a b c
echo "segments: ok"
