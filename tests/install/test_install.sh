#!/usr/bin/env bash
# `cmake --install` puts the program, its menu entry and its icons where desktops look for them.
set -eu
build=$1
[ -x "$build/parlune" ] || { echo "skipped: parlune not built"; exit 77; }
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
expect=(bin/parlune share/applications/parlune.desktop)
for size in 16 22 24 32 48 64 128 256; do expect+=("share/icons/hicolor/${size}x${size}/apps/parlune.png"); done
for f in "${expect[@]}"; do
    [ -e "$prefix/$f" ] || { echo "FAIL: $f not installed"; exit 1; }
done
grep -qx 'Exec=parlune' "$prefix/share/applications/parlune.desktop"
grep -qx 'Icon=parlune' "$prefix/share/applications/parlune.desktop"
if command -v desktop-file-validate >/dev/null; then desktop-file-validate "$prefix/share/applications/parlune.desktop"; fi
echo PASS
