#!/usr/bin/env bash
# Clicks the real tray icon under Xvfb with a tray host (trayer) and presses Shift+Enter, then checks which
# commands ran. With PARLUNE_SCREENSHOTS set to a folder, also saves pictures of the tooltip and the menu there.
# Usage: test_tray_x11.sh <build dir> <source dir>; exit 77 when Xvfb, trayer or xdotool is missing.
set -u
build=$1
for tool in Xvfb trayer xdotool; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool missing"; exit 77; }
done
probe=$build/tests/tray_probe
[ -x "$probe" ] || probe=$build/tray_probe
[ -x "$probe" ] || { echo "skipped: tray_probe not built"; exit 77; }

source "$(dirname "$0")/xdisplay.sh"
x11_start_display

trayer --edge bottom --align right --widthtype request --height 32 --SetDockType true --transparent false \
    --tint 0xc0c0c0 >"$work/trayer.log" 2>&1 &
pids+=($!)
sleep 0.5

# Qt falls back to the XEmbed tray only without a StatusNotifier host on D-Bus.
QT_QPA_PLATFORM=xcb DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent "$probe" >"$work/out" 2>"$work/err" &
pids+=($!)

fail() {
    echo "FAIL: $*"
    echo "--- probe output"; cat "$work/out"; echo "--- probe errors"; cat "$work/err"
    exit 1
}
wait_for() { # pattern, then a timeout in tenths of seconds
    for _ in $(seq "${2:-50}"); do grep -q -- "$1" "$work/out" && return 0; sleep 0.1; done
    return 1
}
count() { grep -c -- "$1" "$work/out"; }

wait_for '^ready' 100 || fail "the tray icon never got a place"
read -r _ x y w h grabbed < <(grep '^ready' "$work/out")
cx=$((x + w / 2)); cy=$((y + h / 2))
[ "$grabbed" = "hotkey=1" ] || fail "Shift+Enter was not grabbed"

xdotool mousemove $cx $cy click 1
wait_for '^command sendMessage' || fail "left press did not send a message"

# Apart by more than the double-click time: a second press within it is a double click and does nothing.
sleep 0.8
xdotool mousemove $cx $cy keydown shift click 1 keyup shift
wait_for '^command sendBroadcast' || fail "Shift + left press did not send a broadcast"
[ "$(count '^command sendMessage')" = 1 ] || fail "Shift + left press also sent a message"

if [ -n "${PARLUNE_SCREENSHOTS:-}" ]; then
    mkdir -p "$PARLUNE_SCREENSHOTS"
    xdotool mousemove $((cx + 1)) $cy; sleep 0.2; xdotool mousemove $cx $cy; sleep 2
    import -window root "$PARLUNE_SCREENSHOTS/tray-tooltip.png"
fi

sleep 0.8
xdotool mousemove $cx $cy click 3
wait_for '^menu shown' || fail "right press did not open the menu"
grep -q "^menu at $cx $cy" "$work/out" || fail "the menu did not open at the pointer: $(grep '^menu at' "$work/out")"

if [ -n "${PARLUNE_SCREENSHOTS:-}" ]; then
    # Hover the second item (信息管理) so that its submenu opens beside the menu.
    wait_for '^submenu item' || fail "the menu did not tell where its items are"
    read -r _ _ ix iy < <(grep '^submenu item' "$work/out")
    xdotool mousemove $((ix - 5)) $iy; sleep 0.2; xdotool mousemove $ix $iy; sleep 1
    import -window root "$PARLUNE_SCREENSHOTS/tray-menu-open.png"
fi

xdotool key Escape; sleep 0.2; xdotool key Escape; sleep 0.3
before=$(count '^command sendMessage')
xdotool key shift+Return
wait_for '^hotkey' || fail "Shift+Enter did not reach the program"
[ "$(count '^command sendMessage')" = $((before + 1)) ] || fail "Shift+Enter did not send a message"
xdotool key ctrl+shift+Return Return; sleep 0.5
[ "$(count '^hotkey')" = 1 ] || fail "another combination counted as the hot key"
[ "$(count '^command sendBroadcast')" = 1 ] || fail "unexpected broadcast"
echo "PASS"
exit 0
