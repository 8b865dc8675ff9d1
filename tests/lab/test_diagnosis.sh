#!/usr/bin/env bash
# "Why can't I see them?": A's diagnosis window probes four hosts, each with a real cause of its own: an
# address where no host is, a host that runs no Parlune, a Parlune host whose firewall drops UDP 6543, and a
# healthy one named by nickname. The firewalled host's own window finds the rule that drops its port.
# With PARLUNE_SCREENSHOTS naming a folder, A runs under an Xvfb of its own, and pictures of its window after
# each failed probe are saved there.
source "$2/tests/lab/labtest.sh" "$@"
command -v nft >/dev/null || { echo "needs nft (nftables)"; exit 77; }

netlab_init
shots=${PARLUNE_SCREENSHOTS:-}
if [ -n "$shots" ]; then
    mkdir -p "$shots"
    display=$((200 + $$ % 400))
    Xvfb ":$display" -screen 0 1280x800x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
    NETLAB_PIDS+=("$!")
    for ((i = 0; i < 50; i++)); do [ -S "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
    # A reaches the display through its file socket; the other hosts stay offscreen.
    eval "$(declare -f lab_env | sed '1s/lab_env/lab_env_offscreen/')"
    lab_env() {
        lab_env_offscreen "$1"
        [ "$1" != a ] || echo "QT_QPA_PLATFORM=xcb DISPLAY=:$display"
    }
    export DISPLAY=":$display"
fi
lab_start_hosts a c d
netlab_add_host b 10.77.0.4
netlab_exec c nft add table inet lab
netlab_exec c nft add chain inet lab input '{ type filter hook input priority 0; policy accept; }'
netlab_exec c nft add rule inet lab input udp dport 6543 drop
lab_expect_friends a "$(lab_address c)" "$(lab_address d)"
"$python" "$here/windowlab.py" diagnosis "$(lab_socket a)" "$(lab_socket c)" 10.77.0.99 10.77.0.4 \
    "$(lab_address c)" "$(lab_nickname d)" "$shots" || fail "diagnosis"
lab_no_error_notices a c d
echo "diagnosis: ok"
