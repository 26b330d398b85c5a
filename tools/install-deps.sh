#!/usr/bin/env bash
# Installs the Debian packages that building and testing Corvalin needs, but only
# those that are missing, so a second run costs a dpkg query and nothing more.
set -euo pipefail

packages=(
  cmake ninja-build g++ make pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libminizip-dev zlib1g-dev
  libasound2-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  zip unzip
  fonts-dejavu-core fontconfig
  clang libclang-rt-14-dev
  g++-mingw-w64-x86-64
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all build dependencies are present"
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then
    sudo_cmd=(sudo)
  else
    echo "install-deps: need root or sudo to install: ${missing[*]}" >&2
    exit 1
  fi
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
