#!/usr/bin/env bash
# Installs every Debian 12 package the build, the program and the tests use.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev libvterm-dev
  libudev-dev libasound2-dev
  libqcustomplot-dev
  fonts-wqy-microhei
  socat netcat-openbsd iproute2 util-linux
  libmodbus-dev python3-pymodbus python3-serial python3-serial-asyncio
  dpkg-dev file
  xvfb xauth
)

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ "${#missing[@]}" -gt 0 ]; then
  "${sudo_cmd[@]}" apt-get update
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y "${missing[@]}"
fi
