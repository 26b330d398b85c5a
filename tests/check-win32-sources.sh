#!/usr/bin/env bash
# Compiles the Windows platform files, and the device code that uses them, for
# Windows without linking, so a slip in code that only Windows builds shows up here.
# Exit 77 (skipped) when the MinGW-w64 compiler is absent.
set -u
src=${1:?source directory}
cxx=""
# The posix thread model of MinGW-w64 has std::thread, which the core uses.
for candidate in x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-g++; do
  if command -v "$candidate" >/dev/null 2>&1; then cxx=$candidate; break; fi
done
if [ -z "$cxx" ]; then
  echo "MinGW-w64 compiler not found: skipped"
  exit 77
fi
status=0
for file in "$src"/platform/win32/*.cpp "$src"/platform/*.cpp "$src"/device/*.cpp; do
  [ -e "$file" ] || continue
  if ! "$cxx" -std=c++20 -fsyntax-only -Wall -Wextra -Werror -I"$src" "$file"; then
    echo "FAILED: $file"
    status=1
  fi
done
exit $status
