#!/usr/bin/env bash
# Fails when a file includes a header of a layer above its own. The layers, bottom up:
# platform, image, params, ir, device, the window model, then the views (Qt, Win32)
# and the CLI side by side. The fuzz targets stand with the CLI: no window model.
# Usage: tools/check-layers.sh [SOURCE_DIR]
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"

# Folder, then the include prefixes its files may use besides their own folder's.
rules=(
  "platform:"
  "image:platform"
  "params:platform image"
  "ir:platform image params"
  "device:platform image params ir"
  "gui/model:platform image params ir device"
  "gui/qt:platform image params ir device gui/model"
  "gui/win32:platform image params ir device gui/model"
  "cli:platform image params ir device"
  "tests/fuzz:platform image params ir device tools/fixtures"
)

status=0
for rule in "${rules[@]}"; do
  folder=${rule%%:*}
  allowed="$folder ${rule#*:}"
  while IFS= read -r hit; do
    file=${hit%%:*}
    header=$(sed -E 's/.*#include "([^"]+)".*/\1/' <<<"${hit#*:}")
    # Headers named without a folder are the file's neighbours (or generated).
    [[ $header == */* ]] || continue
    ok=0
    for prefix in $allowed; do
      if [[ $header == "$prefix"/* ]]; then ok=1; break; fi
    done
    if [ $ok = 0 ]; then
      echo "$file includes $header, which is not below $folder"
      status=1
    fi
  done < <(grep -rHE '^[[:space:]]*#[[:space:]]*include[[:space:]]+"' "$folder" --include='*.h' --include='*.cpp' \
           --include='*.c' || true)
done
if [ $status = 0 ]; then echo "layers: every include points down"; fi
exit $status
