#!/usr/bin/env bash
# Chat between two real instances through their message windows: a typed message pops up at its
# recipient, the recipient replies from its window, a message stays unread with the pop-up off, a long
# message with pictures arrives byte for byte, and a send to a host that is gone keeps the window and its text.
set -euo pipefail
build=$1
source_dir=$2
here="$source_dir/tests/lab"
# The system's interpreter starts fastest; a shim in front of it costs a second per call.
python=$(command -v /usr/bin/python3 || command -v python3) || { echo "needs python3"; exit 77; }
source "$here/netlab.sh"
source "$here/windowlab_hosts.sh"
netlab_require || exit 77

work=$(mktemp -d)
cleanup() {
    netlab_teardown
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    window_fail_report
    exit 1
}

netlab_init
window_host a 10.77.0.1 "甲站台"
window_host b 10.77.0.2 "乙站台"
window_start a
sleep 0.04
window_start b
window_wait_ready a b

"$python" "$here/windowlab.py" chat "$(window_socket a)" 10.77.0.1 "甲站台" \
    "$(window_socket b)" 10.77.0.2 "乙站台" "${WINDOW_PID[b]}" || fail "chat"
echo "chat: ok"
