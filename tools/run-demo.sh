#!/usr/bin/env bash
# The demo: writes sample files, then shows what the tool does with them.
set -euo pipefail
build=${1:-build/default}
dir=${2:-build/demo}
cli="$build/corvalin-cli"

"$build/tools/corvalin-mkdemo" "$dir" >/dev/null
echo "== The parameter list of $dir/demo.img"
"$cli" params "$dir/demo.img"
echo
echo "== Rear view camera off, CH0.Volume 25, Volvo Model XC90, stored to $dir/demo-edited.img"
"$cli" set "$dir/demo.img" -o "$dir/demo-edited.img" "Rear view camera=off" "CH0.Volume=25" "Volvo Model=XC90"
echo
echo "== The products of the bundle $dir/demo-bundle.zip"
"$cli" products "$dir/demo-bundle.zip"
echo
echo "== The parameter list of its product VOLVO_P2_IR_enc_1.02.bin"
"$cli" params "$dir/demo-bundle.zip" --product VOLVO_P2_IR_enc_1.02.bin
