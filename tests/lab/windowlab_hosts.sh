# Two or three real instances for the window lab tests. Source after netlab.sh with $build, $work, $python
# and $here set, and a fail function defined.
#
#   window_host NAME ADDRESS NICKNAME   a host with its own user, nickname stored before the start
#   window_start NAME                   starts the instance; its pid in WINDOW_PID[NAME]
#   window_socket NAME                  its automation socket

declare -A WINDOW_PID

window_socket() { echo "$work/$1/automation"; }

window_host() {
    local name=$1 address=$2 nickname=$3
    netlab_add_host "$name" "$address"
    mkdir -p "$work/$name/run" "$work/$name/config/Parlune"
    chmod 700 "$work/$name/run"
    # A string setting as the program stores it: code page 950, bytes outside printable ASCII as %XX.
    "$python" - "$nickname" >"$work/$name/config/Parlune/Parlune.conf" <<'PY'
import sys
raw = sys.argv[1].encode("cp950")
text = "".join(chr(b) if 0x20 <= b <= 0x7E and b not in b"%," else "%%%02X" % b for b in raw)
print("[Software]")
print("Duvo\\Parlune\\PIM\\Nickname=sz:" + text)
PY
}

window_start() {
    netlab_spawn "$1" "$work/$1.log" env QT_QPA_PLATFORM=offscreen PARLUNE_DRY_POWER_OFF=1 \
        XDG_RUNTIME_DIR="$work/$1/run" XDG_CONFIG_HOME="$work/$1/config" PARLUNE_AUTOMATION="$(window_socket "$1")" \
        "$build/parlune"
    WINDOW_PID[$1]=$NETLAB_LAST_PID
}

window_wait_ready() {
    local name
    for name in "$@"; do
        "$python" "$here/labtool.py" wait-ready "$(window_socket "$name")" 60 || fail "$name did not come up"
    done
}

window_fail_report() {
    local log
    for log in "$work"/*.log; do
        [ -f "$log" ] || continue
        echo "--- $log" >&2
        tail -n 30 "$log" >&2
    done
}
