#!/usr/bin/env bash
# Files between two real instances through their windows: files of 0 and 1 byte and of 300 MB arrive
# byte-identical in B's download folder; B refuses an offer and A hears it; either side cancels; A's link is
# pulled in the middle of the big file and put back, and the file resumes and completes. A hostile host C
# offers names that try to leave the folder, a size that lies, a stream that stops, an offer naming A's
# address and one nobody accepts, and fetches files nobody offered it: nothing is written outside B's folder
# and both instances work on.
source "$2/tests/lab/labtest.sh" "$@"

netlab_init
# B's download folder, where the desktop's user folders name it.
mkdir -p "$work/b/config" "$work/b/download" "$work/files"
echo "XDG_DOWNLOAD_DIR=\"$work/b/download\"" >"$work/b/config/user-dirs.dirs"
: >"$work/files/empty.txt"
printf 'x' >"$work/files/one.bin"
head -c 300M /dev/urandom >"$work/files/big.bin"
lab_start_hosts a b
netlab_add_host c 10.77.0.3
"$python" "$here/windowlab.py" sendfile "$(lab_socket a)" "$(lab_address a)" "$(lab_nickname a)" \
    "$(netlab_namespace a)" "$(lab_socket b)" "$(lab_address b)" "$(lab_nickname b)" "$(netlab_namespace c)" \
    10.77.0.3 "$work/files" "$work/b/download" || fail "sendfile"
lab_no_error_notices a b
lab_running a && lab_running b || fail "an instance ended"
echo "sendfile: ok"
