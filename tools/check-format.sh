#!/usr/bin/env bash
# Fails when a C or C++ file of ours differs from what clang-format (with the tree's
# .clang-format) makes of it, and names the files.
# Usage: tools/check-format.sh [SOURCE_DIR]
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"
status=0
while IFS= read -r -d '' file; do
  if ! clang-format --style=file "$file" | cmp -s - "$file"; then
    echo "not formatted: $file (clang-format -i $file)"
    status=1
  fi
done < <(git ls-files -z -- '*.c' '*.cpp' '*.h' 2>/dev/null || find . -path ./build -prune -o \( -name '*.c' -o -name '*.cpp' -o -name '*.h' \) -print0)
if [ $status = 0 ]; then echo "format: every file is as clang-format writes it"; fi
exit $status
