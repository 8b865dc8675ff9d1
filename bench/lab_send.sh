#!/usr/bin/env bash
# A 20 MB chat message from host A to host B across two network namespaces on one bridge: the message
# window's sender beside one plain write loop of the same bytes over the same link, into the same reader,
# which checks every transfer's bytes. Needs root and a build configured with -DPARLUNE_BENCH=ON.
#   bench/lab_send.sh BUILD_DIR [ROUNDS]
set -euo pipefail
build=${1:?usage: lab_send.sh BUILD_DIR [ROUNDS]}
rounds=${2:-5}
here=$(cd "$(dirname "$0")" && pwd)
driver="$build/bench/lab_send_driver"
source "$here/lab_pair.sh"

# A real chat-message packet around a 20 MB body.
python3 - "$work/packet" <<'PY'
import os, sys
body = b"{\\rtf1\\ansi\\ansicpg950 " + os.urandom(10 * 1024 * 1024).hex().encode()[:20 * 1024 * 1024 - 30] + b"\\par}"
packet = b"\x08" + b"\x08".join([b"5", b"10.77.0.1", b"bench", b"12:00", body, b"0"]) + b"\x08"
open(sys.argv[1], "wb").write(packet)
PY
expected=$(sha256sum "$work/packet" | cut -d' ' -f1)
size=$(stat -c %s "$work/packet")

port=3289
netlab_spawn b "$work/sink.out" "$driver" sink "$port" $((2 * rounds))
sink_pid=$NETLAB_LAST_PID
for ((i = 0; i < 100; i++)); do
    grep -q ready "$work/sink.out" && break
    sleep 0.1
done

for ((i = 0; i < rounds; i++)); do
    for mode in raw message; do
        netlab_exec a "$driver" "$mode" 10.77.0.2 "$port" "$work/packet" >>"$work/$mode.sender"
        echo "$mode" >>"$work/order"
    done
done
netlab_wait_exit "$sink_pid" 60 || { echo "the reader did not see every transfer" >&2; exit 1; }

python3 - "$work" "$expected" "$size" <<'PY'
import statistics, sys
work, expected, size = sys.argv[1], sys.argv[2], int(sys.argv[3])
order = open(f"{work}/order").read().split()
received = [l.split() for l in open(f"{work}/sink.out") if l[0].isdigit()]
assert len(received) == len(order), (len(received), len(order))
seconds = {"raw": [], "message": []}
for mode, (count, digest, took) in zip(order, received):
    assert int(count) == size and digest == expected, f"{mode}: {count} bytes, {digest}"
    seconds[mode].append(float(took))
for mode in seconds:
    blocked = [float(l) for l in open(f"{work}/{mode}.sender")]
    print(f"{mode:8} received median {statistics.median(seconds[mode]) * 1000:8.1f} ms "
          f"({size / statistics.median(seconds[mode]) / 1e6:7.1f} MB/s), sender blocked median "
          f"{statistics.median(blocked) * 1000:8.1f} ms, runs {len(seconds[mode])}")
ratio = statistics.median(seconds["raw"]) / statistics.median(seconds["message"])
print(f"message sender throughput / raw: {ratio * 100:.1f} % (bytes checked: {size} each, sha256 equal)")
PY
