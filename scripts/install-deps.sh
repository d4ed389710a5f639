#!/usr/bin/env bash
# Installs every Debian package that building, testing and running phasemeter needs.
# Idempotent: packages already present are left as they are. Run as root.
set -euo pipefail

packages=(
  build-essential dpkg-dev cmake ninja-build pkg-config clang clang-format
  qt6-base-dev qt6-serialport-dev qt6-charts-dev libqt6opengl6-dev qt6-svg-dev libgl-dev locales
  libxlsxwriter-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-arphic-uming fonts-dejavu-core
  xvfb xauth poppler-utils unzip xxd
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all ${#packages[@]} packages present"
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: missing ${missing[*]}; run this script as root" >&2
  exit 1
fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
