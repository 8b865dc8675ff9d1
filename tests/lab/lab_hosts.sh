# Real instances on the lab's hosts, for the lab tests. Source after netlab.sh, with $build, $work,
# $python and $here set. Each host gets a user of its own (configuration, data and runtime directory, automation
# socket) and a nickname written into its settings before the start.
#
#   lab_start_hosts a b c …   hosts 10.77.0.1, .2, … on the bridge, one instance each, started apart
#   lab_socket a              the automation socket of a's instance
#   lab_address a             a's address
#   lab_nickname a            a's nickname (UTF-8)
#   lab_others a              the addresses of every started host but a, whose instance still runs

declare -A LAB_PID LAB_ADDRESS LAB_NICKNAME
LAB_ORDER=()

labtool() { "$python" "$here/labtool.py" "$@"; }
lab_socket() { echo "$work/$1/automation"; }
lab_address() { echo "${LAB_ADDRESS[$1]}"; }
lab_nickname() { echo "${LAB_NICKNAME[$1]}"; }
lab_ask() { labtool ask "$(lab_socket "$1")" "$2"; }
lab_trigger() { lab_ask "$1" "{\"cmd\":\"trigger\",\"name\":\"$2\"}" >/dev/null; }
lab_running() { kill -0 "${LAB_PID[$1]}" 2>/dev/null; }

# lab_env HOST : the environment of HOST's user (its folders made), to put before the program.
lab_env() {
    mkdir -p "$work/$1/run" "$work/$1/config" "$work/$1/data"
    chmod 700 "$work/$1/run"
    echo env QT_QPA_PLATFORM=offscreen PARLUNE_DRY_POWER_OFF=1 PARLUNE_NO_VOICE=1 XDG_RUNTIME_DIR="$work/$1/run" \
        XDG_CONFIG_HOME="$work/$1/config" PARLUNE_AUTOMATION="$work/$1/automation" XDG_DATA_HOME="$work/$1/data"
}

# lab_write_nickname HOST NICKNAME : the settings file as the program stores a string (code page 950,
# bytes outside printable ASCII and '%' ',' as %XX).
lab_write_nickname() {
    mkdir -p "$work/$1/config/Parlune"
    "$python" - "$2" >"$work/$1/config/Parlune/Parlune.conf" <<'PY'
import sys
raw = sys.argv[1].encode("cp950")
text = "".join(chr(b) if 0x20 <= b <= 0x7E and b not in b"%," else "%%%02X" % b for b in raw)
print("[Software]")
print("Duvo\\Parlune\\PIM\\Nickname=sz:" + text)
PY
}

lab_start_hosts() {
    local host number=${#LAB_ORDER[@]}
    for host in "$@"; do
        number=$((number + 1))
        LAB_ADDRESS[$host]="10.77.0.$number"
        LAB_NICKNAME[$host]="站台$host"
        netlab_add_host "$host" "${LAB_ADDRESS[$host]}"
        lab_write_nickname "$host" "${LAB_NICKNAME[$host]}"
    done
    for host in "$@"; do
        netlab_spawn "$host" "$work/$host.log" $(lab_env "$host") "$build/parlune"
        LAB_PID[$host]=$NETLAB_LAST_PID
        LAB_ORDER+=("$host")
        sleep 0.04
    done
    for host in "$@"; do
        labtool wait-ready "$(lab_socket "$host")" 60 || fail "$host did not come up"
    done
}

lab_others() {
    local host
    for host in "${LAB_ORDER[@]}"; do
        [ "$host" = "$1" ] || ! lab_running "$host" || echo "${LAB_ADDRESS[$host]}"
    done
}

# lab_expect_friends HOST ADDRESS… : waits until HOST lists exactly these addresses.
lab_expect_friends() {
    local host=$1
    shift
    labtool wait-friends "$(lab_socket "$host")" 30 "$@" || fail "$host: friend table"
}

# lab_no_error_notices HOST… : nothing arrived that an instance could not read.
lab_no_error_notices() {
    local host
    for host in "$@"; do
        [ "$(labtool count-notices "$(lab_socket "$host")" "ERROR MESSAGE")" -eq 0 ] || fail "$host: error notices"
        [ "$(labtool count-notices "$(lab_socket "$host")" "Socket Engine")" -eq 0 ] || fail "$host: engine notices"
    done
}
