#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages Tarnwick builds and tests with. Idempotent: installs only what
# is missing, and refreshes the package lists only when something has to be installed.
set -euo pipefail

packages=(
  cmake ninja-build g++ make pkg-config
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  libsndfile1-dev libplist-dev
  clang libclang-rt-14-dev
  libcli11-dev
  lv2-dev jalv lv2file jackd2 sordi
  liblilv-dev lilv-utils mda-lv2 calf-plugins sox
  libcairo2-dev libpango1.0-dev libx11-dev libxext-dev libxtst-dev
  xvfb xauth xdotool x11-utils fonts-dejavu-core
  libjack-jackd2-dev liblo-dev libsoxr-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all ${#packages[@]} packages present"
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
