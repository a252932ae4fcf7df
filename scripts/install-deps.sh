#!/usr/bin/env bash
# Installs the Debian packages Tressmoor needs to build, run and test.
# Safe to run again: it installs only what is missing.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libfltk1.3-dev libgl-dev libglu1-mesa-dev
  libosmesa6-dev libpng-dev
  libgtest-dev libbenchmark-dev
  xvfb xauth libgl1-mesa-dri x11-utils xdotool imagemagick
  clang libclang-rt-14-dev valgrind python3
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
