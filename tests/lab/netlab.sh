# Several hosts on one machine for lab tests, each in a network namespace of its own, joined by a bridge
# that lives in a namespace of its own too: nothing is added to the root namespace and nothing leaves
# the machine. Needs root. Source it, then:
#
#   trap netlab_teardown EXIT           # tears everything down, also when the test fails
#   netlab_init                         # the bridge
#   netlab_add_host a 10.77.0.1         # namespace, veth into the bridge, lo up, default route
#   netlab_exec a ip -br addr           # a command inside a host, in the foreground
#   netlab_spawn a log cmd args…        # a command inside a host in the background; $NETLAB_LAST_PID
#   netlab_stop PID                     # SIGTERM to one spawned process, then its exit status
#
# Host processes started a few tens of milliseconds apart behave like separate machines; dozens of
# chatty hosts need the ARP table limits raised (netlab_raise_neighbour_limits N).

NETLAB_PREFIX=${NETLAB_PREFIX:-pl$$}
NETLAB_BRIDGE_NS="${NETLAB_PREFIX}-br"
NETLAB_HOSTS=()
NETLAB_PIDS=()
NETLAB_SAVED_SYSCTLS=()

netlab_require() {
    [ "$(id -u)" -eq 0 ] || { echo "netlab: needs root" >&2; return 77; }
    command -v ip >/dev/null || { echo "netlab: needs iproute2" >&2; return 77; }
    ip netns add "${NETLAB_PREFIX}-probe" 2>/dev/null || { echo "netlab: cannot create namespaces" >&2; return 77; }
    ip netns del "${NETLAB_PREFIX}-probe"
}

netlab_init() {
    ip netns add "$NETLAB_BRIDGE_NS"
    ip -n "$NETLAB_BRIDGE_NS" link set lo up
    ip -n "$NETLAB_BRIDGE_NS" link add br0 type bridge
    ip -n "$NETLAB_BRIDGE_NS" link set br0 up
}

# netlab_add_host NAME ADDRESS [PREFIXLEN]
netlab_add_host() {
    local name=$1 address=$2 length=${3:-24}
    local ns="${NETLAB_PREFIX}-$name" port="p${#NETLAB_HOSTS[@]}"
    ip netns add "$ns"
    NETLAB_HOSTS+=("$name")
    ip -n "$ns" link set lo up
    ip -n "$ns" link add eth0 type veth peer name "$port" netns "$NETLAB_BRIDGE_NS"
    ip -n "$NETLAB_BRIDGE_NS" link set "$port" master br0 up
    ip -n "$ns" addr add "$address/$length" dev eth0
    ip -n "$ns" link set eth0 up
    # Without a default route a send to 255.255.255.255 fails with ENETUNREACH.
    ip -n "$ns" route add default dev eth0
}

netlab_namespace() { echo "${NETLAB_PREFIX}-$1"; }

netlab_exec() {
    local name=$1
    shift
    ip netns exec "${NETLAB_PREFIX}-$name" "$@"
}

# netlab_spawn NAME LOGFILE CMD… : runs in the background, output to LOGFILE; pid in NETLAB_LAST_PID.
netlab_spawn() {
    local name=$1 log=$2
    shift 2
    ip netns exec "${NETLAB_PREFIX}-$name" "$@" >"$log" 2>&1 &
    NETLAB_LAST_PID=$!
    NETLAB_PIDS+=("$NETLAB_LAST_PID")
}

# netlab_wait_exit PID SECONDS : the exit status, or 124 when it is still running after SECONDS.
netlab_wait_exit() {
    local pid=$1 seconds=$2 i
    for ((i = 0; i < seconds * 10; i++)); do
        if ! kill -0 "$pid" 2>/dev/null; then
            wait "$pid"
            return $?
        fi
        sleep 0.1
    done
    return 124
}

# netlab_stop PID [SIGNAL] : sends the signal (TERM by default) and returns the exit status.
netlab_stop() {
    local pid=$1 signal=${2:-TERM} status=0
    kill -"$signal" "$pid" 2>/dev/null || true
    netlab_wait_exit "$pid" 20 || status=$?
    return $status
}

# netlab_raise_neighbour_limits HOSTS : room in the one ARP table for HOSTS hosts that all talk.
netlab_raise_neighbour_limits() {
    local n=$1 key value
    for key in gc_thresh1 gc_thresh2 gc_thresh3; do
        NETLAB_SAVED_SYSCTLS+=("net.ipv4.neigh.default.$key=$(sysctl -n net.ipv4.neigh.default.$key)")
    done
    value=$((4 * n * n))
    sysctl -qw net.ipv4.neigh.default.gc_thresh1=$((value / 4)) net.ipv4.neigh.default.gc_thresh2=$((value / 2)) \
        net.ipv4.neigh.default.gc_thresh3=$value
}

netlab_teardown() {
    local pid name setting
    for pid in "${NETLAB_PIDS[@]}"; do
        kill -KILL "$pid" 2>/dev/null || true
    done
    for pid in "${NETLAB_PIDS[@]}"; do
        wait "$pid" 2>/dev/null || true
    done
    NETLAB_PIDS=()
    for name in "${NETLAB_HOSTS[@]}"; do
        ip netns del "${NETLAB_PREFIX}-$name" 2>/dev/null || true
    done
    NETLAB_HOSTS=()
    ip netns del "$NETLAB_BRIDGE_NS" 2>/dev/null || true
    for setting in "${NETLAB_SAVED_SYSCTLS[@]}"; do
        sysctl -qw "$setting" || true
    done
    NETLAB_SAVED_SYSCTLS=()
}

# Two segments and a router between them. Broadcasts stay on their segment; a directed broadcast to the
# other segment (10.78.0.255) crosses only because the router is told to pass those on (bc_forwarding,
# Linux 5.3 and later; off by default, as on most routers).
#
#   netlab_add_segment br1                                   # another bridge: a segment of its own
#   netlab_add_router r br0 10.77.0.254 br1 10.78.0.254      # forwards between them
#   netlab_add_routed_host b 10.78.0.1 br1 10.78.0.254       # a host on br1, its default route via r

# netlab_add_segment BRIDGE
netlab_add_segment() {
    ip -n "$NETLAB_BRIDGE_NS" link add "$1" type bridge
    ip -n "$NETLAB_BRIDGE_NS" link set "$1" up
}

# netlab_plug NAME INTERFACE ADDRESS BRIDGE : a veth from the host's namespace into the bridge, addressed /24.
netlab_plug() {
    local ns="${NETLAB_PREFIX}-$1" port="p${NETLAB_PORTS:-0}x"
    NETLAB_PORTS=$((${NETLAB_PORTS:-0} + 1))
    ip -n "$ns" link add "$2" type veth peer name "$port" netns "$NETLAB_BRIDGE_NS"
    ip -n "$NETLAB_BRIDGE_NS" link set "$port" master "$4" up
    ip -n "$ns" addr add "$3/24" dev "$2"
    ip -n "$ns" link set "$2" up
}

# netlab_add_router NAME BRIDGE1 ADDRESS1 BRIDGE2 ADDRESS2
netlab_add_router() {
    local ns="${NETLAB_PREFIX}-$1" setting
    ip netns add "$ns"
    NETLAB_HOSTS+=("$1")
    ip -n "$ns" link set lo up
    netlab_plug "$1" eth0 "$3" "$2"
    netlab_plug "$1" eth1 "$5" "$4"
    for setting in net.ipv4.ip_forward=1 net.ipv4.conf.all.bc_forwarding=1 net.ipv4.conf.eth0.bc_forwarding=1 \
        net.ipv4.conf.eth1.bc_forwarding=1; do
        ip netns exec "$ns" sysctl -qw "$setting"
    done
}

# netlab_add_routed_host NAME ADDRESS BRIDGE GATEWAY
netlab_add_routed_host() {
    local ns="${NETLAB_PREFIX}-$1"
    ip netns add "$ns"
    NETLAB_HOSTS+=("$1")
    ip -n "$ns" link set lo up
    netlab_plug "$1" eth0 "$2" "$3"
    ip -n "$ns" route add default via "$4" dev eth0
}
