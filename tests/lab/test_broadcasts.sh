#!/usr/bin/env bash
# Broadcasts written in the composer of one real instance: the ticker of the sender and of another host
# show it, an urgent bulletin reaches the other host's notice window but not the sender's, and an
# anonymous broadcast still carries the sender's address (checked on the wire from a third host).
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
netlab_add_host c 10.77.0.3
netlab_spawn c "$work/listener.log" "$python" "$here/labtool.py" listen-udp 6543 "$work/wire"
for ((i = 0; i < 100; i++)); do
    grep -q ready "$work/listener.log" 2>/dev/null && break
    sleep 0.1
done
window_start a
sleep 0.04
window_start b
window_wait_ready a b

"$python" "$here/windowlab.py" broadcasts "$(window_socket a)" 10.77.0.1 "甲站台" "$(window_socket b)" \
    "$work/wire" || fail "broadcasts"
echo "broadcasts: ok"
