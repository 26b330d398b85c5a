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
echo "== Updating the box with $dir/demo-edited.img (about 8 s at 129310 baud)"
CORVALIN_SERIAL_MAP="$map" "$cli" update "$dir/demo-edited.img"
