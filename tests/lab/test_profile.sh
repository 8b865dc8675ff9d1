#!/usr/bin/env bash
# The profile and remote host windows between two real instances: A takes a new nickname and face and B's
# friend table and friend panel show them; B sets a password, and A's power-off requests with a wrong and then
# the right one get both answers in A's notice window while B powers off (dry run) only on the right one, and ends.
source "$2/tests/lab/labtest.sh" "$@"

netlab_init
lab_start_hosts a b
# A face file as users have them: a 32 × 32 bitmap under the .TF name.
"$python" - "$work/face.TF" <<'PY'
import struct, sys
side, stride = 32, 96
# No byte of it is 0x08, which would cut the face short on the wire.
pixels = b"".join(bytes((0x40 + x, 0x80 + y, 0xC0)) for y in range(side) for x in range(side))
info = struct.pack("<IiiHHIIiiII", 40, side, side, 1, 24, 0, stride * side, 2835, 2835, 0, 0)
header = b"BM" + struct.pack("<IHHI", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
open(sys.argv[1], "wb").write(header + info + pixels)
PY
"$python" "$here/windowlab.py" profile "$(lab_socket a)" "$(lab_address a)" "$(lab_socket b)" "$(lab_address b)" \
    "$(lab_nickname b)" "$work/b.log" "$work/face.TF" || fail "profile"
# B powers off (a dry run) and ends, as a host that was switched off.
status=0
netlab_wait_exit "${LAB_PID[b]}" 30 || status=$?
[ "$status" -eq 0 ] || fail "b ended with $status after the power-off"
lab_no_error_notices a
echo "profile: ok"
