#!/usr/bin/env bash
# A file from host A to host B across two network namespaces on one bridge: the file transfer engine (offer
# and answer through the socket engine, the file fetched, written and checked by SHA-256) beside a plain TCP
# copy of the same file over the same link, written to disk by a 256 KB read loop. Prints each side's peak
# resident memory too. Needs root and a build configured with -DPARLUNE_BENCH=ON.
#   bench/lab_transfer.sh BUILD_DIR [MEGABYTES] [ROUNDS]
set -euo pipefail
build=${1:?usage: lab_transfer.sh BUILD_DIR [MEGABYTES] [ROUNDS]}
megabytes=${2:-1024}
rounds=${3:-3}
here=$(cd "$(dirname "$0")" && pwd)
driver="$build/bench/lab_transfer_driver"
source "$here/lab_pair.sh"

head -c $((megabytes * 1024 * 1024)) /dev/urandom >"$work/file.bin"
expected=$(sha256sum "$work/file.bin" | cut -d' ' -f1)

wait_ready() {
    local i
    for ((i = 0; i < 100; i++)); do
        grep -qs ready "$1" && return 0
        sleep 0.1
    done
    echo "a receiver did not start" >&2
    return 1
}

for ((i = 0; i < rounds; i++)); do
    mkdir -p "$work/in"
    rm -f "$work/raw.out" "$work/recv.out"
    # Each copy starts with the disk idle, not writing back what the copy before it left in the page cache.
    sync
    netlab_spawn b "$work/raw.out" "$driver" raw-sink 3390 "$work/in/raw.bin"
    pid=$NETLAB_LAST_PID
    wait_ready "$work/raw.out"
    netlab_exec a "$driver" raw-send 10.77.0.2 3390 "$work/file.bin"
    netlab_wait_exit "$pid" 300 || { echo "raw copy failed" >&2; exit 1; }
    [ "$(sha256sum "$work/in/raw.bin" | cut -d' ' -f1)" = "$expected" ] || { echo "raw copy differs" >&2; exit 1; }
    grep -v ready "$work/raw.out" >>"$work/raw.results"
    rm -rf "$work/in"

    mkdir -p "$work/in"
    sync
    netlab_spawn b "$work/recv.out" "$driver" receive 10.77.0.2 "$work/in"
    pid=$NETLAB_LAST_PID
    wait_ready "$work/recv.out"
    netlab_exec a "$driver" send 10.77.0.1 10.77.0.2 "$work/file.bin" >>"$work/send.results"
    netlab_wait_exit "$pid" 300 || { echo "transfer failed" >&2; cat "$work/recv.out" >&2; exit 1; }
    [ "$(sha256sum "$work/in/file.bin" | cut -d' ' -f1)" = "$expected" ] || { echo "transfer differs" >&2; exit 1; }
    grep -v ready "$work/recv.out" >>"$work/recv.results"
    rm -rf "$work/in"
done

python3 - "$work" "$megabytes" <<'PY'
import statistics, sys
work, megabytes = sys.argv[1], int(sys.argv[2])
raw = [l.split() for l in open(f"{work}/raw.results")]
recv = [l.split() for l in open(f"{work}/recv.results")]
send = [l.split() for l in open(f"{work}/send.results")]
raw_s = statistics.median(float(r[1]) for r in raw)
eng_s = statistics.median(float(r[1]) for r in recv)
size = int(raw[0][0])
print(f"raw TCP copy     median {raw_s:7.3f} s ({size / raw_s / 1e6:7.1f} MB/s), reader peak {max(int(r[2]) for r in raw)} kB")
print(f"file transfer    median {eng_s:7.3f} s ({size / eng_s / 1e6:7.1f} MB/s), receiver peak "
      f"{max(int(r[3]) for r in recv)} kB, sender peak {max(int(s[1]) for s in send)} kB")
print(f"file transfer throughput / raw: {raw_s / eng_s * 100:.1f} % ({megabytes} MB, {len(raw)} rounds, sha256 equal)")
PY
