#!/usr/bin/env bash
# The ticker on a real X server: covered whole by another window it stops scrolling and animating, and goes on
# once uncovered (the one case of tst_ticker that needs X11).
# Usage: test_ticker_x11.sh <build dir> <source dir>; exit 77 when Xvfb or xdotool is missing.
set -u
build=$1
for tool in Xvfb xdotool; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool missing"; exit 77; }
done
test=$build/tests/tst_ticker
[ -x "$test" ] || { echo "skipped: tst_ticker not built"; exit 77; }

source "$(dirname "$0")/xdisplay.sh"
x11_start_display
QT_QPA_PLATFORM=xcb "$test" coveredStripRests >"$work/out" 2>&1
status=$?
cat "$work/out"
[ $status -eq 0 ] && grep -q "^PASS   : TestTicker::coveredStripRests" "$work/out" || { echo "FAIL"; exit 1; }
echo "PASS"
