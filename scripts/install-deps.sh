#!/usr/bin/env bash
# Installs everything the build, the tests and the screenshots need, on a fresh Debian machine,
# and xdg-utils, whose xdg-open hands the manual to the desktop's PDF viewer.
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
pkgs=(cmake ninja-build g++ make pkg-config
      qt6-base-dev qt6-base-dev-tools qt6-serialport-dev libgl-dev
      qt6-qpa-plugins fonts-dejavu-core poppler-utils
      xvfb xauth xdg-utils)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
