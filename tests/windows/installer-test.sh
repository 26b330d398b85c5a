#!/usr/bin/env bash
# The Windows installer under Wine, the way a user runs it: installs it silently into
# a folder of its own, checks the files, the Start menu folder and the uninstall entry,
# runs the installed corvalin-cli.exe on a demo image (its parameter list must be the
# Linux corvalin-cli's), uninstalls it silently and checks that nothing is left.
#
# usage: installer-test.sh PREFIX SETUP_EXE BUILT_EXE MKDEMO LINUX_CLI REGISTRY_KEY
#                          VENDOR START_MENU_FOLDER LINK...
#
# BUILT_EXE is the build's program: an installer older than it is stale. LINK are the
# Start menu entries besides Uninstall. The installer goes into a folder named for
# this run; the Start menu folder and the registry keys are the package's own, which
# no other test touches. Wine's server is kept running through the test (the
# "keeper"), so no step starts while it is going down. Whatever the run installed is
# removed on any exit.
set -uo pipefail

prefix=$(realpath -m "${1:?Wine prefix}")
setup=${2:?setup.exe}
built=${3:?the built program}
mkdemo=${4:?corvalin-mkdemo}
linux_cli=${5:?the Linux corvalin-cli}
key=${6:?registry key}
vendor=${7:?vendor}
folder=${8:?Start menu folder}
shift 8
links=("$@" Uninstall)

here=$(cd "$(dirname "$0")" && pwd)
winerun="$here/../../tools/wine-run.sh"
. "$here/../../tools/wine-session.sh"
export WINEPREFIX=$prefix WINEDEBUG=-all
uninstall_key="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$key"
vendor_key="HKLM\\Software\\$vendor"
failures=0

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

if [ ! -f "$setup" ]; then
  echo "installer-test: $setup is missing; run make package-windows" >&2
  exit 1
fi
if [ "$setup" -ot "$built" ]; then
  echo "installer-test: $setup is older than $built; run make package-windows" >&2
  exit 1
fi
if [ ! -x "$mkdemo" ] || [ ! -x "$linux_cli" ]; then
  echo "installer-test: $mkdemo or $linux_cli is missing; build the default preset's programs first" >&2
  exit 1
fi

# No window of the installer may show on a developer's desktop.
quiet=(env -u DISPLAY -u WAYLAND_DISPLAY "$winerun" "$prefix")
has_key() { "$winerun" "$prefix" reg query "$1" >/dev/null 2>&1; }
# The Start menu of all users or, without administrator rights, the user's own.
start_menu_folders() {
  find "$prefix/drive_c/ProgramData" "$prefix/drive_c/users" -type d -path "*/Start Menu/Programs/$folder" 2>/dev/null
}
temp_copies() { find "$prefix/drive_c/users" -maxdepth 4 -type d -name '~nsu*.tmp' 2>/dev/null | sort; }

"$winerun" "$prefix" cmd /c exit >/dev/null 2>&1 # sets the prefix up if needed
mkdir -p "$prefix/drive_c"
dir=$(mktemp -d "$prefix/drive_c/corvalin-install-test.XXXXXX")
windir="C:\\$(basename "$dir")"
work=$(mktemp -d "${TMPDIR:-/tmp}/corvalin-installer-test.XXXXXX")
temp_before=$(temp_copies)

# The package's Start menu folder and registry keys, which only this test makes.
remove_package_traces() {
  start_menu_folders | while read -r stale; do rm -rf "$stale"; done
  "$winerun" "$prefix" reg delete "$uninstall_key" /f >/dev/null 2>&1
  "$winerun" "$prefix" reg delete "$vendor_key" /f >/dev/null 2>&1
}

cleanup() {
  rm -rf "$dir" "$work"
  remove_package_traces
  # The uninstaller runs from a copy in the temporary folder, which Windows removes at
  # the next start; Wine's prefix is never started anew, so it goes here.
  comm -13 <(echo "$temp_before") <(temp_copies) | while read -r copy; do [ -n "$copy" ] && rm -rf "$copy"; done
  wine_keeper_stop
}
trap cleanup EXIT
trap 'exit 1' INT TERM

wine_keeper_start "$work" "$winerun" "$prefix" || exit 1

# A run killed half-way may have left the package's keys: they would hide a fault.
if has_key "$uninstall_key" || has_key "$vendor_key" || [ -n "$(start_menu_folders)" ]; then
  echo "installer-test: removing what an earlier run left behind"
  remove_package_traces
fi

ms() { echo $((($(date +%s%N) - $1) / 1000000)); }

# Installing. /D must come last and unquoted, even with blanks in it.
started=$(date +%s%N)
timeout 120 "${quiet[@]}" "$setup" /S "/D=$windir" >/dev/null 2>&1
rc=$?
echo "installed in $(ms "$started") ms (exit code $rc)"
[ "$rc" = 0 ] || fail "the installer ended with $rc"
for file in corvalin-cli.exe Uninstall.exe; do
  [ -f "$dir/$file" ] || fail "$file is not in the install folder"
done
echo "install folder: $(cd "$dir" && ls | tr '\n' ' ')"
menu=$(start_menu_folders)
if [ "$(wc -l <<<"$menu")" != 1 ] || [ -z "$menu" ]; then
  fail "not one Start menu folder '$folder' but: '$menu'"
else
  for link in "${links[@]}"; do
    [ -f "$menu/$link.lnk" ] || fail "the Start menu has no '$link'"
  done
fi
uninstall_string=$("$winerun" "$prefix" reg query "$uninstall_key" /v UninstallString 2>/dev/null | tr -d '\r')
[[ "$uninstall_string" == *"\"$windir\\Uninstall.exe\""* ]] ||
  fail "the uninstall entry does not name $windir\\Uninstall.exe: '$uninstall_string'"

# The installed program reads a demo image as the Linux one does.
"$mkdemo" "$work" >/dev/null || exit 1
"$linux_cli" params "$work/demo.img" >"$work/linux.txt" 2>/dev/null || fail "the Linux corvalin-cli failed"
timeout 120 "$winerun" --retry-silent-start "$prefix" "$windir\\corvalin-cli.exe" params "Z:$work/demo.img" \
  >"$work/windows.raw" 2>/dev/null
rc=$?
[ "$rc" = 0 ] || fail "the installed corvalin-cli.exe params ended with $rc"
tr -d '\r' <"$work/windows.raw" >"$work/windows.txt"
[ -s "$work/linux.txt" ] || fail "the Linux corvalin-cli printed no parameters"
diff -u "$work/linux.txt" "$work/windows.txt" || fail "the installed program's parameter list differs"

# Uninstalling. The uninstaller copies itself to the temporary folder, starts the copy
# and ends at once; the copy removes the files, the Start menu folder last.
started=$(date +%s%N)
timeout 120 "${quiet[@]}" "$windir\\Uninstall.exe" /S >/dev/null 2>&1 || fail "the uninstaller ended with $?"
for _ in $(seq 240); do
  [ ! -e "$dir" ] && [ -z "$(start_menu_folders)" ] && break
  sleep 0.25
done
echo "uninstalled in $(ms "$started") ms"
[ ! -e "$dir" ] || fail "left in the install folder: $(cd "$dir" && ls | tr '\n' ' ')"
[ -z "$(start_menu_folders)" ] || fail "the Start menu folder is left: $(start_menu_folders)"
has_key "$uninstall_key" && fail "the uninstall entry $uninstall_key is left"
has_key "$vendor_key" && fail "the key $vendor_key is left"

if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "installed and uninstalled cleanly"
