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
echo
echo "== The importable keys of the remote $dir/demo.ccf"
"$cli" ccf "$dir/demo.ccf"
echo
echo "== One of its codes, decoded from Pronto words"
"$cli" decode 0000 0067 0000 000D 0060 0018 0030 0018 0018 0018 0030 0018 0018 0018 0030 0018 0018 0018 0018 0018 0030 0018 0018 0018 0018 0018 0018 0018 0018 03DE
echo
echo "== IR codes from $dir/demo.ccf into $dir/demo-ir.img (Vol +, Vol -, Mute, Source, tracks by name; Phone Pick Up=Menu)"
"$cli" ir-import "$dir/demo-ir.img" "$dir/demo.ccf" -o "$dir/demo-ir-edited.img" "Phone Pick Up=Menu"

echo
echo "== A simulated box on a pseudo-terminal at 129310 baud, published as the serial-port map"
map="$dir/serial-map"
rm -rf "$map"
"$build/tools/corvalin-boxsim" --map-dir "$map" --baud 129310 --name DEMO-BOX --number 4711 > "$dir/boxsim.out" &
boxsim=$!
trap 'kill "$boxsim" 2>/dev/null; wait "$boxsim" 2>/dev/null' EXIT
for _ in $(seq 50); do [ -s "$dir/boxsim.out" ] && break; sleep 0.1; done
echo "box simulator on $(head -n 1 "$dir/boxsim.out")"
echo "\$ CORVALIN_SERIAL_MAP=$map corvalin-cli devices"
CORVALIN_SERIAL_MAP="$map" "$cli" devices
echo
if [ -x "$build/gui/qt/corvalin" ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
    echo "== The window, with the simulated box on its USB bridge"
    echo "   Open $dir/demo-bundle.zip (or $dir/demo.img) with \"...\", pick a product, double-click"
    echo "   parameters to change them, store the image with \"Wr\", and press \"Update\" once the"
    echo "   box shows in \"USB Device\" (about 3 s after the start). \"Close\" ends the demo."
    CORVALIN_SERIAL_MAP="$map" "$build/gui/qt/corvalin"
else
    echo "== No display (DISPLAY and WAYLAND_DISPLAY are unset), so not the window but the same"
    echo "   update through corvalin-cli: $dir/demo-edited.img (about 28 s at 129310 baud with the"
    echo "   box's read timing; --fast would take about 8 s)"
    CORVALIN_SERIAL_MAP="$map" "$cli" update "$dir/demo-edited.img"
fi
