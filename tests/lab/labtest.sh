# What every lab test begins with. Source it first, passing on the test's arguments:
#
#   source "$2/tests/lab/labtest.sh" "$@"      ($1: the build folder, $2: the source folder)
#
# It sets $build, $source_dir, $here, $python and $work (a folder removed at the end, together with every
# namespace), defines fail MESSAGE (the message and the tail of every log in $work, then status 1), hex and
# wait_for_line, and brings in netlab.sh and lab_hosts.sh. Where no namespaces can be made the test ends
# at once with status 77: skipped.
set -euo pipefail
build=$1
source_dir=$2
here="$source_dir/tests/lab"
# The system's interpreter starts fastest; a shim in front of it costs a second per call.
python=$(command -v /usr/bin/python3 || command -v python3) || { echo "needs python3"; exit 77; }
source "$here/netlab.sh"
source "$here/lab_hosts.sh"
netlab_require || exit 77

work=$(mktemp -d)
labtest_cleanup() {
    netlab_teardown
    rm -rf "$work"
}
trap labtest_cleanup EXIT

fail() {
    local log
    echo "FAIL: $*" >&2
    for log in "$work"/*.log; do
        [ -f "$log" ] || continue
        echo "--- $log" >&2
        tail -n 40 "$log" >&2
    done
    exit 1
}

# hex TEXT : the bytes of a printf format as hex, for labtool's datagrams.
hex() { printf "$1" | od -An -tx1 | tr -d ' \n'; }

# wait_for_line FILE PATTERN : up to 20 s for a line of FILE to match.
wait_for_line() {
    local i
    for ((i = 0; i < 200; i++)); do
        grep -q "$2" "$1" 2>/dev/null && return 0
        sleep 0.1
    done
    return 1
}
