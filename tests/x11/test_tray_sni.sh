#!/usr/bin/env bash
# The tray of desktops that speak StatusNotifierItem (KDE Plasma, GNOME with the AppIndicator extension): a session
# bus of its own with a small watcher (sni_watcher.py), then the real program under Xvfb. It must register its item,
# show its tip and picture there, open the message window on Activate and the broadcast composer on Activate with
# Shift held, open its own menu at the pointer on ContextMenu, and flash by sending new pictures (and nothing else).
# With PARLUNE_SCREENSHOTS set to a folder, saves a picture of the open menu there.
# Usage: test_tray_sni.sh <build dir> <source dir>; exit 77 when a tool is missing or no network namespace can be
# made (the program's ports stay off the machine's own).
set -u
build=$1
source_dir=$2
for tool in Xvfb xdotool dbus-daemon unshare ip; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool missing"; exit 77; }
done
python=$(command -v /usr/bin/python3 || command -v python3) || { echo "skipped: python3 missing"; exit 77; }
"$python" -c 'import dbus, dbus.mainloop.glib, gi.repository.GLib' 2>/dev/null ||
    { echo "skipped: python3-dbus or python3-gi missing"; exit 77; }
[ -x "$build/parlune" ] || { echo "skipped: parlune not built"; exit 77; }
unshare -n true 2>/dev/null || { echo "skipped: no network namespace"; exit 77; }
watcher="$source_dir/tests/x11/sni_watcher.py"
labtool="$source_dir/tests/lab/labtool.py"

source "$(dirname "$0")/xdisplay.sh"
x11_start_display

fail() {
    echo "FAIL: $*"
    for log in "$work"/*.log; do echo "--- $log"; tail -n 30 "$log"; done
    exit 1
}
wait_until() { # command…: up to 10 s for it to succeed
    for _ in $(seq 100); do "$@" && return 0; sleep 0.1; done
    return 1
}

# A path address: the program runs in a network namespace of its own, where abstract sockets are not shared.
export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/bus"
dbus-daemon --session --nofork --address="$DBUS_SESSION_BUS_ADDRESS" >"$work/bus.log" 2>&1 &
pids+=($!)
wait_until test -S "$work/bus" || fail "no session bus"
"$python" "$watcher" watch >"$work/watcher.log" 2>&1 &
pids+=($!)
wait_until grep -q '^ready' "$work/watcher.log" || fail "the watcher did not start"

mkdir -m 700 "$work/run" "$work/automation"
socket="$work/automation/socket"
# Qt picks its D-Bus tray only when a watcher is on the bus as the program starts.
unshare -n sh -c 'ip link set lo up && ip link add v0 type veth peer name v1 && ip addr add 10.78.0.1/24 dev v0 &&
    ip link set v0 up && ip link set v1 up && ip route add default dev v0 && exec "$@"' sh \
    env QT_QPA_PLATFORM=xcb XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/run" PARLUNE_AUTOMATION="$socket" \
    PARLUNE_NO_VOICE=1 PARLUNE_DRY_POWER_OFF=1 "$build/parlune" >"$work/parlune.log" 2>&1 &
pids+=($!)
"$python" "$labtool" wait-ready "$socket" 30 || fail "the program did not start"

wait_until grep -q '^registered ' "$work/watcher.log" || fail "no item registered with the watcher"
service=$(awk '/^registered /{print $2; exit}' "$work/watcher.log")
sni() { "$python" "$watcher" "$@" 2>>"$work/sni.log"; }

tip=$(sni get "$service" ToolTip) || fail "the item's ToolTip cannot be read"
case "$tip" in
'"Parlune Console\nNickname: '*'\nNumberIP: 10.78.0.1"') ;;
*) fail "the item's tip is not the tray tip: $tip" ;;
esac
picture=$(sni get "$service" IconPixmap)
[ "${picture#*opaque=}" -gt 0 ] || fail "the item shows no picture: $picture"
# No exported menu, so hosts ask the program for its own on a right press.
[ "$(sni get "$service" Menu)" = '"/NO_DBUSMENU"' ] || fail "the item exports a menu of its own"
[ "$(sni get "$service" ItemIsMenu)" = 0 ] || fail "the item claims to be only a menu"

ask() { "$python" "$labtool" ask "$socket" "$1"; }
# window CLASS: the geometry "x y" of the visible top-level window of that class.
window() {
    ask '{"cmd":"windows"}' | "$python" -c 'import json, sys
for w in json.load(sys.stdin)["windows"]:
    if w["class"] == sys.argv[1]:
        print(w["geometry"]["x"], w["geometry"]["y"])
        break
else:
    sys.exit(1)' "$1"
}

xdotool mousemove 300 200
sni call "$service" Activate 300 200 || fail "Activate was refused"
wait_until window TForm_Messenger >/dev/null || fail "Activate did not open the message window"

xdotool keydown shift
sni call "$service" Activate 300 200
wait_until window TForm_Proclamation >/dev/null
opened=$?
xdotool keyup shift
[ $opened = 0 ] || fail "Activate with Shift held did not open the broadcast composer"

xdotool mousemove 120 90
sni call "$service" ContextMenu 120 90 || fail "ContextMenu was refused"
wait_until window MainMenu >/dev/null || fail "ContextMenu did not open the main menu"
[ "$(window MainMenu)" = "120 90" ] || fail "the menu did not open at the pointer: $(window MainMenu)"
if [ -n "${PARLUNE_SCREENSHOTS:-}" ]; then
    mkdir -p "$PARLUNE_SCREENSHOTS"
    sleep 0.5
    import -window root "$PARLUNE_SCREENSHOTS/tray-sni-menu.png"
fi
xdotool key Escape

# Flashing with nothing unread: the picture and an empty place by turns, each sent to the host as NewIcon.
checked=$(ask '{"cmd":"checked","name":"MenuItem_IInnervation"}' | "$python" -c 'import json, sys
print(json.load(sys.stdin)["checked"])')
[ "$checked" = False ] || ask '{"cmd":"trigger","name":"MenuItem_IInnervation"}' >/dev/null
before=$(grep -c '^signal NewIcon ' "$work/watcher.log")
tips=$(grep -c '^signal NewToolTip ' "$work/watcher.log")
ask '{"cmd":"trigger","name":"MenuItem_IInnervation"}' >/dev/null
newIcons() { [ "$(grep -c '^signal NewIcon ' "$work/watcher.log")" -ge $((before + 2)) ]; }
wait_until newIcons || fail "flashing sent no new pictures"
seen=
for _ in $(seq 100); do
    picture=$(sni get "$service" IconPixmap)
    case "$picture" in *opaque=0) seen="$seen empty" ;; *) seen="$seen shown" ;; esac
    case "$seen" in *empty*shown* | *shown*empty*) break ;; esac
    sleep 0.1
done
case "$seen" in *empty*shown* | *shown*empty*) ;; *) fail "the picture did not alternate: $seen" ;; esac
# The tip did not change, so the host was not told to read it again at every new picture.
[ "$(grep -c '^signal NewToolTip ' "$work/watcher.log")" = "$tips" ] || fail "flashing resent an unchanged tip"
echo PASS
exit 0
