#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need, and only those missing.
set -euo pipefail
packages=(
  cmake ninja-build ccache g++ clang clang-format libclang-rt-14-dev pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins qt6-multimedia-dev qt6-speech-dev
  qt6-speech-speechd-plugin qt6-declarative-dev libqt6dbus6 libqt6sql6-sqlite
  speech-dispatcher speech-dispatcher-espeak-ng
  libxkbcommon-dev libxcb1-dev libxcb-keysyms1-dev libjpeg-dev libicu-dev libssl-dev libbenchmark-dev
  fonts-arphic-uming fonts-dejavu-core fonts-liberation2
  xvfb xdotool trayer imagemagick x11-utils dbus iproute2 util-linux
  libreoffice-writer-nogui
  python3
  dpkg-dev python3-dbus python3-gi
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
