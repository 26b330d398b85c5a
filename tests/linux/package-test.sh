#!/usr/bin/env bash
# package-test.sh DEB VERSION BUILT_CLI MKDEMO: checks the Debian package as a user and
# Debian's tools see it. lintian finds no error and no warning beyond the overrides the
# package carries; the control fields name the version, libraries found by
# dpkg-shlibdeps and the maintainer scripts; the unpacked programs print the version,
# and the unpacked corvalin-cli prints the same parameter list of a demo image as the
# one the build made, so stripping and installing changed nothing it needs.
set -euo pipefail
deb=$1 version=$2 built_cli=$3 mkdemo=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

[ -f "$deb" ] || { echo "no package $deb: run make package first" >&2; exit 1; }

# --- lintian: errors and warnings fail; the pedantic and informational tags are shown.
lintian --display-info --pedantic "$deb" >"$work/lintian" 2>&1 || true
cat "$work/lintian"
if grep -E '^(E|W): ' "$work/lintian" >/dev/null; then
  fail "lintian reports errors or warnings"
fi

# --- control fields and maintainer scripts.
dpkg-deb --field "$deb" Package Version Architecture Depends Installed-Size >"$work/fields"
grep -qx "Version: $version" "$work/fields" || fail "Version is not $version"
depends=$(sed -n 's/^Depends: //p' "$work/fields")
for needed in libc6 libqt6widgets6 libminizip1 qt6-qpa-plugins; do
  [[ ",$depends," == *", $needed"* || ",$depends," == *",$needed"* ]] || fail "Depends lacks $needed: $depends"
done
dpkg-deb --ctrl-tarfile "$deb" | tar -x -C "$work" ./postinst ./postrm
for script in postinst postrm; do
  [ -x "$work/$script" ] || fail "$script is missing or not executable"
  grep -q 'udevadm control --reload-rules' "$work/$script" || fail "$script does not reload the udev rules"
  sh -n "$work/$script" || fail "$script is not valid sh"
done
# In a system without a running udev (a build chroot, a container) the scripts succeed
# and do nothing.
(cd "$work" && PATH=/nonexistent:/usr/bin:/bin ./postinst configure && ./postrm remove) ||
  fail "a maintainer script failed where udev does not run"

# --- the unpacked programs.
root="$work/root"
dpkg-deb -x "$deb" "$root"
cli="$root/usr/bin/corvalin-cli"
"$cli" --version | grep -qx "corvalin-cli $version" || fail "corvalin-cli --version does not print $version"
QT_QPA_PLATFORM=offscreen "$root/usr/bin/corvalin" --version | grep -qx "corvalin $version" ||
  fail "corvalin --version does not print $version"
"$mkdemo" "$work/demo" >/dev/null
image="$work/demo/demo.img"
"$cli" params "$image" >"$work/params-installed" 2>/dev/null
"$built_cli" params "$image" >"$work/params-built" 2>/dev/null
[ -s "$work/params-installed" ] || fail "the unpacked corvalin-cli printed no parameter list"
cmp -s "$work/params-installed" "$work/params-built" || fail "the unpacked corvalin-cli prints another list"

echo "$(basename "$deb"): $(grep Installed-Size "$work/fields") KiB, $(stat -c %s "$deb") bytes"
[ "$failures" -eq 0 ]
