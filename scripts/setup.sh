#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need;
# does nothing when they are all there already.
set -euo pipefail
packages=(cmake ninja-build g++ qt6-base-dev qt6-serialport-dev fonts-dejavu-core python3 procps
  dpkg-dev file desktop-file-utils appstream qt6-charts-dev poppler-utils libssl-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi
