# Sourced by the benchmarks that measure one link: hosts a (10.77.0.1) and b (10.77.0.2) in network
# namespaces on one bridge, a scratch folder $work, and everything taken down on exit. Expects $here (the
# bench folder) and $driver (the program that measures) to be set.
[ -x "$driver" ] || {
    echo "build the $(basename "$driver") target first" >&2
    exit 1
}
source "$here/../tests/lab/netlab.sh"
netlab_require || exit 1

work=$(mktemp -d)
cleanup() {
    netlab_teardown
    rm -rf "$work"
}
trap cleanup EXIT

netlab_init
netlab_add_host a 10.77.0.1
netlab_add_host b 10.77.0.2
