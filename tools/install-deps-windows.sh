#!/usr/bin/env bash
# Installs the Debian packages the Windows build needs (the MinGW-w64 cross compiler
# with the posix thread model, zlib for MinGW, Wine and a virtual X display to run the
# tests, NSIS for the installer, the JSON headers it copies), but only those that are missing. minizip and GoogleTest for MinGW are
# built later from Debian's sources by tools/build-windows-deps.sh.
set -euo pipefail

# Debian's Wine runs 64-bit Windows programs on amd64 machines only.
if [ "$(dpkg --print-architecture)" != amd64 ]; then
  echo "install-deps-windows: not an amd64 machine, the Windows build is skipped"
  exit 0
fi

packages=(
  g++-mingw-w64-x86-64-posix libz-mingw-w64-dev
  wine wine64
  # xvfb-run needs xauth, which xvfb only recommends.
  xvfb xauth
  nsis
  dpkg-dev bzip2 xz-utils cmake ninja-build googletest nlohmann-json3-dev
)

exec "$(dirname "$0")/apt-install-missing.sh" install-deps-windows "${packages[@]}"
