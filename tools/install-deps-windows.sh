#!/usr/bin/env bash
# Installs the Debian packages the Windows build needs (the MinGW-w64 cross compiler
# with the posix thread model, zlib for MinGW, Wine to run the tests), but only those
# that are missing. minizip and GoogleTest for MinGW are built later from Debian's
# sources by tools/build-windows-deps.sh.
set -euo pipefail

# Debian's Wine runs 64-bit Windows programs on amd64 machines only.
if [ "$(dpkg --print-architecture)" != amd64 ]; then
  echo "install-deps-windows: not an amd64 machine, the Windows build is skipped"
  exit 0
fi

packages=(
  g++-mingw-w64-x86-64-posix libz-mingw-w64-dev
  wine wine64
  dpkg-dev bzip2 xz-utils cmake ninja-build googletest
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps-windows: all Windows build dependencies are present"
  exit 0
fi

echo "install-deps-windows: installing ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then
    sudo_cmd=(sudo)
  else
    echo "install-deps-windows: need root or sudo to install: ${missing[*]}" >&2
    exit 1
  fi
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
