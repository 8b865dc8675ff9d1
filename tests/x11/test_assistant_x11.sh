#!/usr/bin/env bash
# The desktop character on a real X server: placed above a 32-pixel panel at the bottom right, shaped so that
# its transparent corner lets the pointer through, dragged by the mouse, and hidden through its own menu.
# Usage: test_assistant_x11.sh <build dir> <source dir>; exit 77 when Xvfb, trayer, xdotool or xwininfo is missing.
set -u
build=$1
source=$2
for tool in Xvfb trayer xdotool xwininfo xprop; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool missing"; exit 77; }
done
demo=$build/tools/assistant_demo
[ -x "$demo" ] || { echo "skipped: assistant_demo not built"; exit 77; }

source "$(dirname "$0")/xdisplay.sh"
x11_start_display
trayer --edge bottom --align left --widthtype request --height 32 --SetDockType true --SetPartialStrut true \
    --transparent false --tint 0xc0c0c0 >"$work/trayer.log" 2>&1 &
pids+=($!)
# No window manager runs here to publish the work area the panel leaves, so it is announced by hand. xprop
# sets nothing, and says nothing, while the property's name is unknown to the server, so the name is made
# known first.
python3 -c "import ctypes; x = ctypes.CDLL('libX11.so.6'); x.XOpenDisplay.restype = ctypes.c_void_p
d = ctypes.c_void_p(x.XOpenDisplay(None)); x.XInternAtom(d, b'_NET_WORKAREA', 0); x.XCloseDisplay(d)"
for _ in $(seq 100); do
    xprop -root -f _NET_WORKAREA 32c -set _NET_WORKAREA "0, 0, 800, 568" 2>/dev/null &&
        xprop -root _NET_WORKAREA 2>/dev/null | grep -q '0, 0, 800, 568' && break
    sleep 0.1
done
xprop -root _NET_WORKAREA 2>/dev/null | grep -q '0, 0, 800, 568' || { echo "FAIL: the work area could not be announced"; exit 1; }

QT_QPA_PLATFORM=xcb PARLUNE_DEMO_IDLE=60 PARLUNE_SOURCE_DIR=$source "$demo" >"$work/out" 2>"$work/err" &
pids+=($!)

fail() {
    echo "FAIL: $*"
    echo "--- demo output"; cat "$work/out"; echo "--- demo errors"; cat "$work/err"
    exit 1
}
wait_for() { # pattern, then a timeout in tenths of seconds
    for _ in $(seq "${2:-50}"); do grep -q -- "$1" "$work/out" && return 0; sleep 0.1; done
    return 1
}
window_at() { # x y: the window under the pointer there
    xdotool mousemove "$1" "$2"
    sleep 0.2
    xdotool getmouselocation --shell | sed -n 's/^WINDOW=//p'
}

wait_for '^ready' 100 || fail "the character never showed"
read -r _ x y w h < <(grep '^ready' "$work/out")
[ "$x" -eq $((800 - w - 5)) ] && [ "$y" -eq $((600 - h - 32)) ] || fail "placed at $x,$y for a $w x $h character"
sleep 1.5 # the showing animation

cx=$((x + w / 2)); cy=$((y + h / 2))
character=$(window_at $cx $cy)
xwininfo -id "$character" | grep -q "Width: $w" || fail "the window under the character is not its window"
xwininfo -id "$character" | grep -q "Override Redirect State: yes" || fail "the window manager is not bypassed"
xprop -id "$character" _NET_WM_STATE | grep -q _NET_WM_STATE_ABOVE || fail "not marked to stay on top"
[ "$(window_at $((x + 1)) $((y + 1)))" != "$character" ] || fail "the transparent corner catches the pointer"

xdotool mousemove $cx $cy mousedown 1
for step in 1 2 3 4 5; do xdotool mousemove $((cx - 10 * step)) $((cy - 8 * step)); sleep 0.05; done
xdotool mouseup 1
sleep 0.3
xwininfo -id "$character" | grep -q "Absolute upper-left X:  $((x - 50))" || fail "not dragged left by 50 pixels"
xwininfo -id "$character" | grep -q "Absolute upper-left Y:  $((y - 40))" || fail "not dragged up by 40 pixels"

xdotool mousemove $((cx - 50)) $((cy - 40)) click 3
sleep 0.5
xdotool key Down Return
wait_for '^hidden Helper user' 50 || fail "hiding through the character's menu gave no hide event"
xwininfo -id "$character" | grep -q "IsUnMapped" || fail "the character is still on the screen"
echo "PASS"
