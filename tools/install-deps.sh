#!/usr/bin/env bash
# Installs the Debian packages that building and testing Corvalin needs, but only
# those that are missing, so a second run costs a dpkg query and nothing more.
set -euo pipefail

packages=(
  cmake ninja-build g++ make pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libminizip-dev zlib1g-dev nlohmann-json3-dev
  libasound2-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  zip unzip
  desktop-file-utils appstream man-db groff-base bash-completion
  dpkg-dev file lintian
  fonts-dejavu-core fontconfig
  clang libclang-rt-14-dev clang-format
  g++-mingw-w64-x86-64
)

exec "$(dirname "$0")/apt-install-missing.sh" install-deps "${packages[@]}"
