#!/usr/bin/env bash
# Installs every Debian package that building, testing and running phasemeter needs.
# Idempotent: packages already present are left as they are. Run as root.
set -euo pipefail

packages=(
  build-essential dpkg-dev cmake ninja-build pkg-config clang clang-format
  qt6-base-dev qt6-serialport-dev qt6-charts-dev libqt6opengl6-dev qt6-svg-dev libgl-dev locales
  libxlsxwriter-dev
  libmosquitto-dev mosquitto prometheus openssl
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-arphic-uming fonts-dejavu-core
  xvfb xauth poppler-utils unzip xxd
  libqt6sql6-sqlite libqt6sql6-psql postgresql
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

# Locales the tests run the programs under: a decimal point of two bytes, and a comma.
locales=(ps_AF de_DE)

install_packages() {
  if [ ${#missing[@]} -eq 0 ]; then
    echo "install-deps: all ${#packages[@]} packages present"
    return
  fi
  if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: missing ${missing[*]}; run this script as root" >&2
    exit 1
  fi
  echo "install-deps: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

make_locales() {
  local l
  for l in "${locales[@]}"; do
    locale -a | grep -qx "$l.utf8" && continue
    if [ "$(id -u)" -ne 0 ]; then
      echo "install-deps: locale $l.UTF-8 missing; the locale tests need it: run this script as root"
      continue
    fi
    echo "install-deps: making locale $l.UTF-8"
    localedef -i "$l" -f UTF-8 "$l.UTF-8"
  done
}

install_packages
make_locales
