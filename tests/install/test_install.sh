#!/usr/bin/env bash
# `cmake --install` puts the program, its menu entry and its icons where desktops look for them.
set -eu
build=$1
[ -x "$build/parlune" ] || { echo "skipped: parlune not built"; exit 77; }
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
expect=(bin/parlune share/applications/parlune.desktop share/parlune/Helper.acs share/parlune/autostart/parlune.desktop)
for size in 16 22 24 32 48 64 128 256; do expect+=("share/icons/hicolor/${size}x${size}/apps/parlune.png"); done
for f in "${expect[@]}"; do
    [ -e "$prefix/$f" ] || { echo "FAIL: $f not installed"; exit 1; }
done
grep -qx 'Exec=parlune' "$prefix/share/applications/parlune.desktop"
grep -qx 'Icon=parlune' "$prefix/share/applications/parlune.desktop"
if command -v desktop-file-validate >/dev/null; then desktop-file-validate "$prefix/share/applications/parlune.desktop"; fi
# The autostart template names the program where it was installed.
grep -qx "Exec=\"$prefix/bin/parlune\"" "$prefix/share/parlune/autostart/parlune.desktop"
cmp -s "$prefix/share/parlune/Helper.acs" "$2/resources/character/Helper.acs" || { echo "FAIL: Helper.acs differs"; exit 1; }

# The installed program's first start names its own character as the default of SYS "Helper".
home=$(mktemp -d)
trap 'rm -rf "$prefix" "$home"' EXIT
mkdir -m 700 "$home/run"
XDG_CONFIG_HOME="$home/config" XDG_RUNTIME_DIR="$home/run" PARLUNE_NO_VOICE=1 QT_QPA_PLATFORM=offscreen \
    PARLUNE_DRY_POWER_OFF=1 "$prefix/bin/parlune" >"$home/log" 2>&1 &
pid=$!
conf="$home/config/Parlune/Parlune.conf"
for ((i = 0; i < 100; i++)); do
    grep -q 'SYS\\Helper=' "$conf" 2>/dev/null && break
    sleep 0.1
done
kill "$pid"
wait "$pid" || true
grep -qx "Duvo\\\\Parlune\\\\SYS\\\\Helper=sz:$prefix/share/parlune/Helper.acs" "$conf" ||
    { echo "FAIL: default character path"; grep Helper "$conf"; cat "$home/log"; exit 1; }
echo PASS
