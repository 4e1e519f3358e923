#!/usr/bin/env bash
# Installs what building Velmora needs on Debian/Ubuntu. As root it runs apt-get;
# otherwise it prints the apt-get line and stops.
set -euo pipefail
PACKAGES=(cmake ninja-build g++ pkg-config qt6-base-dev libhidapi-dev libudev-dev
          libminizip-dev libpugixml-dev libxlsxwriter-dev
          libgtest-dev libqt6svg6 xvfb xauth libfuse3-dev fuse3)
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
if [ "$(id -u)" -ne 0 ]; then
  echo "Velmora needs these packages; install them with:" >&2
  echo "  sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq "${missing[@]}"
