#!/usr/bin/env bash
# Times whole `corvalin-cli.exe update --port COMn` runs under Wine against the Linux
# corvalin-boxsim paced at 129310 baud, with the box's read timing and with fast
# transfer, and prints each run's wall time divided by the line's own time for all
# bytes both ways. The simulator's pseudo-terminal is linked as the Wine COM port
# ($WINEPREFIX/dosdevices/comN), as in tests/windows/wine-com-harness.sh; a Wine
# program is kept running so that Wine's server start is not counted. When the Linux
# corvalin-cli is built too, it is timed the same way right after, on the same machine
# under the same load, for comparison.
#
# usage: wine-update.sh [RUNS] [BODY_BYTES]
#   environment: BUILD (build/default), WINBUILD (build/windows), PORT (80)
set -uo pipefail

runs=${1:-3}
body=${2:-262144}
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${BUILD:-$root/build/default}")
winbuild=$(realpath -m "${WINBUILD:-$root/build/windows}")
port=${PORT:-80}
boxsim=$build/tools/corvalin-boxsim
mkdemo=$build/tools/corvalin-mkdemo
cli=$winbuild/corvalin-cli.exe
linux_cli=$build/corvalin-cli
prefix=$winbuild/wineprefix
winerun=$root/tools/wine-run.sh
link=$prefix/dosdevices/com$port
baud=129310
for file in "$boxsim" "$mkdemo" "$cli"; do
  [ -x "$file" ] || { echo "wine-update: $file is missing; build it first" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/corvalin-wine-bench.XXXXXX")
. "$root/tools/wine-session.sh"
cleanup() {
  boxsim_stop
  boxsim_unlink "$link"
  wine_keeper_stop
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

"$mkdemo" --image "$work/in.img" "$body" || exit 1
wine_keeper_start "$work" "$winerun" "$prefix" || exit 1
"$winerun" "$prefix" cmd /c exit >/dev/null 2>&1

# INIT, XFER blocks 0 up to the block count, PREP, CLOSE, each with its 6-byte reply;
# 8N1 is ten bits a byte.
blocks=$((body / 512 + (body % 512 > 0)))
line=$(awk -v b="$blocks" -v baud="$baud" \
  'BEGIN { printf "%.3f", ((11 + 6) + (b + 1) * (519 + 6) + (525 + 6) + (6 + 6)) * 10 / baud }')
echo "image body $body bytes, $((blocks + 1)) XFER blocks, line time $line s at $baud baud"

# Starts a fresh simulator and links its terminal as the Wine COM port.
start_box() {
  boxsim_start_linked "$link" "$work/sim.out" /dev/null "$boxsim" --baud "$baud"
}

systems=(windows)
[ -x "$linux_cli" ] && systems+=(linux)
for system in "${systems[@]}"; do
  for mode in default fast; do
    flags=()
    [ "$mode" = fast ] && flags=(--fast)
    ratios=()
    for run in $(seq "$runs"); do
      start_box
      started=$(date +%s%N)
      if [ "$system" = windows ]; then
        "$winerun" "$prefix" "$cli" update "Z:$work/in.img" --port "COM$port" "${flags[@]}" \
          >"$work/out" 2>"$work/err"
      else
        "$linux_cli" update "$work/in.img" --port "$boxsim_pty" "${flags[@]}" >"$work/out" 2>"$work/err"
      fi
      rc=$?
      ns=$(($(date +%s%N) - started))
      if [ "$rc" != 0 ] || ! tr -d '\r' <"$work/err" | grep -qx 'Update complete'; then
        echo "wine-update: $system $mode run $run failed ($rc): $(tr -d '\r' <"$work/err" | grep -v '^ALSA lib ' | tail -n 1)" >&2
        exit 1
      fi
      ratio=$(awk -v ns="$ns" -v line="$line" 'BEGIN { printf "%.3f", ns / 1e9 / line }')
      ratios+=("$ratio")
      printf '%-7s %-7s run %d: wall %.3f s, wall/line %s\n' "$system" "$mode" "$run" \
        "$(awk -v ns="$ns" 'BEGIN { print ns / 1e9 }')" "$ratio"
    done
    printf '%-7s %-7s wall/line: %s (median %s)\n' "$system" "$mode" "${ratios[*]}" \
      "$(printf '%s\n' "${ratios[@]}" | sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }')"
  done
done
