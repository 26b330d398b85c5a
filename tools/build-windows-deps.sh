#!/usr/bin/env bash
# Builds the libraries the Windows build links that Debian ships only as source:
# minizip from the contrib/minizip folder of Debian's zlib source package, and
# GoogleTest from /usr/src/googletest, both with the MinGW-w64 compiler and both
# static, into PREFIX (build/windows-deps by default). The zlib source is fetched
# through a source list of our own under build/, so the machine's apt configuration
# stays as it is. A second run finds PREFIX complete and does nothing.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
prefix=${1:-$root/build/windows-deps}
work=$root/build/windows-deps-src
triplet=x86_64-w64-mingw32
cc=$triplet-gcc-posix
stamp=$prefix/.complete

# nlohmann/json is header-only: Debian's headers and CMake package files are copied,
# so find_package finds them under PREFIX without the Linux include folder. Done on
# every run, since it is cheap and a PREFIX built before JSON was used lacks them.
copy_json_headers() {
  local config=/usr/share/cmake/nlohmann_json
  [ -f /usr/include/nlohmann/json.hpp ] && [ -d "$config" ] ||
    { echo "build-windows-deps: nlohmann-json3-dev is not installed" >&2; exit 1; }
  mkdir -p "$prefix/include" "$prefix/share/cmake"
  rm -rf "$prefix/include/nlohmann" "$prefix/share/cmake/nlohmann_json"
  cp -r /usr/include/nlohmann "$prefix/include/"
  cp -r "$config" "$prefix/share/cmake/"
}

if [ -e "$stamp" ]; then
  copy_json_headers
  exit 0
fi
rm -rf "$prefix" "$work"
mkdir -p "$prefix/include/minizip" "$prefix/lib/pkgconfig" "$work/apt/lists/partial" "$work/apt/archives"

# --- minizip: the zlib source of the Debian release this machine runs. ---
. /etc/os-release
codename=${VERSION_CODENAME:?no release codename in /etc/os-release}
# The mirror this machine installs its packages from, as apt knows it.
mirror=${CORVALIN_DEBIAN_MIRROR:-$(apt-get indextargets --format '$(RELEASE) $(REPO_URI)' 'Created-By: Packages' \
  2>/dev/null | awk -v suite="$codename" '$1 == suite { print $2; exit }')}
mirror=${mirror:-http://deb.debian.org/debian}
cat >"$work/apt/sources.list" <<LIST
deb-src $mirror $codename main
deb-src $mirror $codename-updates main
LIST
apt_options=(
  -o "Dir::Etc::SourceList=$work/apt/sources.list"
  -o "Dir::Etc::SourceParts=/dev/null"
  -o "Dir::State::Lists=$work/apt/lists"
  -o "Dir::Cache::Archives=$work/apt/archives"
  -o "Dir::Cache::pkgcache="
  -o "Dir::Cache::srcpkgcache="
  -o "Debug::NoLocking=1"
)
# Root's downloads go to a folder the _apt user may not enter, so apt keeps root.
if [ "$(id -u)" -eq 0 ]; then
  apt_options+=(-o "APT::Sandbox::User=root")
fi
echo "build-windows-deps: fetching the zlib source package"
apt-get "${apt_options[@]}" update -qq
(cd "$work" && apt-get "${apt_options[@]}" source --download-only -qq zlib)
# Unpacked with Debian's patches applied, as the Linux libminizip is built.
dsc=$(ls "$work"/zlib_*.dsc | head -n 1)
dpkg-source --no-check -x "$dsc" "$work/zlib" >/dev/null
minizip=$work/zlib/contrib/minizip
[ -f "$minizip/unzip.c" ] || { echo "build-windows-deps: no contrib/minizip in $dsc" >&2; exit 1; }

echo "build-windows-deps: building minizip for $triplet"
objects=()
for source in ioapi unzip zip mztools iowin32; do
  "$cc" -O2 -DNOCRYPT=0 -D_CRT_SECURE_NO_WARNINGS -I"$minizip" -c "$minizip/$source.c" -o "$work/$source.o" -w
  objects+=("$work/$source.o")
done
rm -f "$prefix/lib/libminizip.a"
"$triplet-ar" rcs "$prefix/lib/libminizip.a" "${objects[@]}"
cp "$minizip"/{ioapi,unzip,zip,mztools,crypt,iowin32}.h "$prefix/include/minizip/"
version=$(sed -n 's/^AC_INIT(\[minizip\], *\[\([^]]*\)\].*/\1/p' "$minizip/configure.ac" 2>/dev/null || true)
cat >"$prefix/lib/pkgconfig/minizip.pc" <<PC
prefix=$prefix
libdir=\${prefix}/lib
includedir=\${prefix}/include

Name: minizip
Description: minizip from Debian's zlib source, built for $triplet
Version: ${version:-1.1}
Libs: -L\${libdir} -lminizip
Cflags: -I\${includedir} -I\${includedir}/minizip
PC

# --- GoogleTest, from the sources Debian installs. ---
echo "build-windows-deps: building GoogleTest for $triplet"
cmake -S /usr/src/googletest -B "$work/googletest" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$root/tools/mingw-w64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DBUILD_SHARED_LIBS=OFF -Dgtest_force_shared_crt=OFF >/dev/null
cmake --build "$work/googletest" -j "${JOBS:-2}" >/dev/null
cmake --install "$work/googletest" >/dev/null

copy_json_headers
touch "$stamp"
echo "build-windows-deps: done, in $prefix"
