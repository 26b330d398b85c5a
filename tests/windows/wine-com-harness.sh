#!/usr/bin/env bash
# corvalin-cli.exe under Wine against the Linux corvalin-boxsim, the way a Windows
# user's machine reaches the box: the simulator's pseudo-terminal is linked as a Wine
# COM port ($WINEPREFIX/dosdevices/comN) and published as the value \Device\Silabser0
# = COMN of HKLM\HARDWARE\DEVICEMAP\SERIALCOMM.
#
# usage: wine-com-harness.sh PREFIX BOXSIM MKDEMO CLI_EXE PORT_NUMBER SCENARIO
#
# Wine keeps SERIALCOMM in a volatile key, which it builds anew whenever its server
# starts, so a Wine program of ours stays running for the whole scenario (the
# "keeper") and the value is added once that server is up. Scenarios that use the map
# share its one value: CTest runs them one at a time (RESOURCE_LOCK). The simulator,
# the keeper, the COM link and the value are removed on any exit.
set -uo pipefail

prefix=$(realpath -m "${1:?Wine prefix}")
boxsim=${2:?corvalin-boxsim}
mkdemo=${3:?corvalin-mkdemo}
cli=${4:?corvalin-cli.exe}
port=${5:?COM port number}
scenario=${6:?scenario}

here=$(cd "$(dirname "$0")" && pwd)
winerun="$here/../../tools/wine-run.sh"
. "$here/../../tools/wine-session.sh"
export WINEPREFIX=$prefix WINEDEBUG=-all
com=COM$port
device="\\\\.\\$com"
link="$prefix/dosdevices/com$port"
serialcomm='HKLM\HARDWARE\DEVICEMAP\SERIALCOMM'
bridge='\Device\Silabser0'

if [ ! -x "$boxsim" ] || [ ! -x "$mkdemo" ]; then
  echo "wine-com-harness: $boxsim or $mkdemo is missing; build the default preset's tools first" >&2
  exit 1
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/corvalin-wine-com.XXXXXX")
cli_pid=
failures=0
# The station scenario's second box, on a second bridge.
second_com=COM$((port + 100))
second_link="$prefix/dosdevices/com$((port + 100))"
second_bridge='\Device\Silabser1'
second_pid=

cleanup() {
  [ -n "$cli_pid" ] && kill "$cli_pid" 2>/dev/null && wait "$cli_pid" 2>/dev/null
  boxsim_stop
  boxsim_unlink "$link"
  if [ -n "$second_pid" ]; then
    kill "$second_pid" 2>/dev/null
    wait "$second_pid" 2>/dev/null
    rm -f "$second_link"
    wine_keeper_running && "$winerun" "$prefix" reg delete "$serialcomm" /v "$second_bridge" /f >/dev/null 2>&1
  fi
  wine_keeper_running && unpublish
  wine_keeper_stop
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

fail() {
  echo "FAIL [$scenario]: $*"
  failures=$((failures + 1))
}

# Starts the simulator with the given options and links its terminal as COMn.
start_box() {
  boxsim_stop
  rm -rf "$work/rec"
  mkdir -p "$work/rec"
  boxsim_start_linked "$link" "$work/sim.out" "$work/sim.err" "$boxsim" --record "$work/rec" "$@"
}

# Publishes COMn as the bridge's port.
publish() {
  "$winerun" "$prefix" reg add "$serialcomm" /v "$bridge" /t REG_SZ /d "$com" /f >/dev/null 2>&1 ||
    { echo "wine-com-harness: reg add failed" >&2; exit 1; }
}

unpublish() {
  "$winerun" "$prefix" reg delete "$serialcomm" /v "$bridge" /f >/dev/null 2>&1
}

# Runs corvalin-cli.exe; its stdout and stderr (CR LF made LF, Wine's ALSA noise
# about a missing sound card left out) land in $out and $err, its exit code in $rc.
run_cli() {
  local started=$(date +%s%N)
  timeout 120 "$winerun" "$prefix" "$cli" "$@" >"$work/out.raw" 2>"$work/err.raw"
  rc=$?
  local ms=$((($(date +%s%N) - started) / 1000000))
  took=$((ms / 1000)).$(printf %03d $((ms % 1000)))
  out=$(tr -d '\r' <"$work/out.raw")
  err=$(tr -d '\r' <"$work/err.raw" | grep -v '^ALSA lib ')
}

# A copy of corvalin-cli.exe in the background, for the scenarios that need two
# programs at once or an interrupt.
start_cli() {
  "$winerun" "$prefix" "$cli" "$@" >"$work/bg.out" 2>"$work/bg.err" &
  cli_pid=$!
}

stop_cli() {
  kill "$cli_pid" 2>/dev/null
  wait "$cli_pid" 2>/dev/null
  cli_pid=
}

wait_for_log() {
  local i
  for i in $(seq 200); do
    grep -q "^$1" "$work/rec/log.txt" 2>/dev/null && return 0
    sleep 0.05
  done
  fail "the box never saw $1"
}

# Sends SIGINT to the background copy; it must end with exit 1 within 5 s.
interrupt_cli() {
  local i started=$(date +%s%N)
  kill -INT "$cli_pid"
  for i in $(seq 100); do
    kill -0 "$cli_pid" 2>/dev/null || break
    sleep 0.05
  done
  if kill -0 "$cli_pid" 2>/dev/null; then
    fail "still running 5 s after the interrupt"
    stop_cli
    return
  fi
  wait "$cli_pid"
  local code=$?
  cli_pid=
  [ "$code" = 1 ] || fail "exit code $code after the interrupt"
  echo "ended $(( ($(date +%s%N) - started) / 1000000 )) ms after the interrupt: $(tr -d '\r' <"$work/bg.err" | grep -v '^ALSA lib ' | tail -n 1)"
}

expect_rc() {
  [ "$rc" = "$1" ] || fail "exit code $rc, expected $1; stderr: $err"
}

expect_err() {
  [ "$err" = "$1" ] || fail "stderr was:
$err
expected:
$1"
}

# The recorded body must be the image's body, padded with zeros to the blocks sent
# (a block more than the whole blocks it holds).
expect_body() {
  local image=$1 size=$2 padded=$(( ($2 / 512 + 1) * 512 ))
  { tail -c +445 "$image"; head -c $((padded - size)) /dev/zero; } >"$work/expected.bin"
  cmp -s "$work/expected.bin" "$work/rec/body.bin" || fail "the box's body.bin differs from the image's body"
}

make_image() {
  "$mkdemo" --image "$work/$1" "$2" || exit 1
}

# Wine paths for files of the work folder.
win() { echo "Z:$work/$1"; }

readonly complete="Loading image
Image loaded
Send INIT
Start XFER
Send PREP
Send CLOSE
Update complete"

# Wine's server (and the SERIALCOMM value) lives through the scenario.
wine_keeper_start "$work" "$winerun" "$prefix" || exit 1
# The link is made after Wine's server and its device manager are up, so the
# manager's own COM links cannot replace it.
publish

case "$scenario" in
devices)
  start_box --name BOX --number 1234
  run_cli devices
  expect_rc 0
  [ "$out" = "$com | BOX | 00001234" ] || fail "port list entry '$out'"
  start_box --mark empty --number 77
  run_cli devices
  [ "$out" = "$com | Empty | 00000077" ] || fail "empty box listed as '$out'"
  start_box --mark 0BADBEEF
  run_cli devices
  expect_rc 1
  expect_err "Cannot communicate, try to replug the USB"
  unpublish
  run_cli devices
  expect_rc 1
  [ "$(head -n 1 <<<"$err")" = "Not connected" ] || fail "without the value: '$err'"
  [ "$(sed -n 2p <<<"$err")" = "hint: if the box is plugged in, the CP210x USB-to-UART bridge driver may be missing; Windows 10 and 11 fetch it through Windows Update" ] ||
    fail "no driver hint without the value: '$err'"
  ;;
update)
  make_image in.img 2577
  start_box
  run_cli update "$(win in.img)"
  expect_rc 0
  expect_err "$complete"
  expect_body "$work/in.img" 2577
  echo "update of 6 blocks took $took s"
  ;;
fast)
  make_image in.img 2577
  start_box
  run_cli update "$(win in.img)" --fast
  expect_rc 0
  expect_err "$complete"
  expect_body "$work/in.img" 2577
  echo "fast update of 6 blocks took $took s"
  ;;
named-port)
  # With --port the map is not read, and the box is not asked for its record. The
  # device path and the bare name (above COM9, which Windows finds only as a device
  # path) both reach the port.
  make_image in.img 1024
  unpublish
  for port in "$device" "$com"; do
    start_box
    run_cli update "$(win in.img)" --port "$port"
    expect_rc 0
    expect_err "$complete"
    grep -q QUERY "$work/rec/log.txt" && fail "the box was asked for its record"
    expect_body "$work/in.img" 1024
    boxsim_stop
  done
  ;;
silent)
  # With the box's own time-outs the probe of a silent box takes about 20 s.
  make_image in.img 1024
  start_box --silent
  run_cli update "$(win in.img)"
  expect_rc 1
  expect_err "Loading image
Image loaded
Cannot communicate, try to replug the USB"
  echo "silent box given up after $took s"
  ;;
hangup)
  # Under Wine a pseudo-terminal whose other end has hung up reads as empty, not as an
  # error; the port sees the hang-up when it can no longer tell its input queue, and
  # the exchange's reads fail at once, as on Linux. Waiting out the reads' time-outs
  # instead would take more than 10 s, far beyond the guard.
  make_image in.img 4096
  start_box --hangup-at 3
  run_cli update "$(win in.img)"
  [ "${took%.*}" -lt 8 ] || fail "the hang-up was waited out ($took s)"
  expect_rc 1
  case "$err" in
  *"Update complete"*) fail "a hang-up reported as complete: $err" ;;
  "$(printf 'Loading image\nImage loaded\nSend INIT\nStart XFER')"$'\n'*) ;;
  *) fail "unexpected texts: $err" ;;
  esac
  echo "hang-up ended with '$(tail -n 1 <<<"$err")' after $took s"
  ;;
box-failures)
  make_image in.img 2577
  start_box --xfer-fail 2:9
  run_cli update "$(win in.img)"
  expect_rc 1
  [[ "$err" == *$'Start XFER\nXFER Failed: 5' ]] || fail "refused block: $err"
  start_box --prep-status 1
  run_cli update "$(win in.img)"
  expect_rc 1
  [[ "$err" == *$'Send PREP\nPREP Failed: 5\nError: The image file is not compatible with the hardware' ]] ||
    fail "refused PREP: $err"
  ;;
busy)
  # A first copy probes a silent box, holding the port; a second one is kept out.
  make_image in.img 1024
  start_box --silent
  start_cli devices
  wait_for_log QUERY
  run_cli devices
  expect_rc 1
  [[ "$err" == $'Cannot find device\nhint: the port is in use by another program'* ]] || fail "probe: $err"
  run_cli update "$(win in.img)" --port "$device"
  expect_rc 1
  [[ "$err" == *$'Unable to open the device\nhint: the port is in use'* ]] || fail "update: $err"
  stop_cli
  ;;
interrupt)
  # Ctrl-C (SIGINT, which Wine turns into the console's Ctrl-C event) ends the probe
  # of a silent box and an update under way, each within a guard far below their
  # own time-outs.
  make_image in.img 8192
  start_box --silent
  start_cli update "$(win in.img)"
  wait_for_log QUERY
  interrupt_cli
  start_box --slow-ms 300
  start_cli update "$(win in.img)"
  wait_for_log "XFER 1"
  interrupt_cli
  grep -q CLOSE "$work/rec/log.txt" && fail "the update went on to its end"
  ;;
stale-input)
  # The reply to a block that an interrupted update no longer reads lands in the
  # port's input; the next opening must throw it away, or INIT takes it for its reply.
  make_image in.img 8192
  start_box --slow-ms 300
  start_cli update "$(win in.img)" --port "$device"
  wait_for_log "XFER 1"
  interrupt_cli
  sleep 0.6
  run_cli update "$(win in.img)" --port "$device" --fast
  expect_rc 0
  expect_err "$complete"
  ;;
station)
  # Two boxes on two bridges, plugged in together: each is updated once, in
  # parallel, and each update has its record line. Then the first bridge's SERIALCOMM
  # value goes and comes back (an unplug and a replug): that box gets a second turn,
  # the box that stayed plugged none.
  make_image in.img 2577
  start_box --name ONE --number 1
  mkdir -p "$work/rec2"
  "$boxsim" --exit-with-parent --link "$second_link" --record "$work/rec2" --name TWO --number 2 >/dev/null \
    2>"$work/sim2.err" &
  second_pid=$!
  for i in $(seq 100); do
    [ -e "$second_link" ] && break
    sleep 0.05
  done
  "$winerun" "$prefix" reg add "$serialcomm" /v "$second_bridge" /t REG_SZ /d "$second_com" /f >/dev/null 2>&1 ||
    fail "reg add of the second bridge failed"
  started=$(date +%s%N)
  start_cli station "$(win in.img)" --count 3 --log "$(win updates.jsonl)" --bay "$com=Bay 1" --operator Ann
  for i in $(seq 1200); do
    [ "$(grep -c '"success":true' "$work/updates.jsonl" 2>/dev/null)" = 2 ] && break
    sleep 0.05
  done
  ms=$((($(date +%s%N) - started) / 1000000))
  [ "$(grep -c '"success":true' "$work/updates.jsonl" 2>/dev/null)" = 2 ] ||
    fail "the record: $(cat "$work/updates.jsonl" 2>/dev/null)"
  unpublish
  sleep 1.5
  publish
  for i in $(seq 1200); do
    kill -0 "$cli_pid" 2>/dev/null || break
    sleep 0.05
  done
  wait "$cli_pid"
  rc=$?
  cli_pid=
  err=$(tr -d '\r' <"$work/bg.err" | grep -v '^ALSA lib ')
  expect_rc 0
  [ "$(grep -c '"success":true' "$work/updates.jsonl" 2>/dev/null)" = 3 ] ||
    fail "the record: $(cat "$work/updates.jsonl" 2>/dev/null)"
  for name in "\"port\":\"$com\",\"place\":null,\"bay\":\"Bay 1\",\"box\":\"ONE\"" \
    "\"port\":\"$second_com\",\"place\":null,\"bay\":null,\"box\":\"TWO\"" "\"operator\":\"Ann\""; do
    grep -qF "$name" "$work/updates.jsonl" 2>/dev/null || fail "no record line with $name"
  done
  [ "$(grep -c '^INIT' "$work/rec/log.txt")" = 2 ] || fail "box ONE: $(grep -c '^INIT' "$work/rec/log.txt") updates"
  [ "$(grep -c '^INIT' "$work/rec2/log.txt")" = 1 ] || fail "box TWO: $(grep -c '^INIT' "$work/rec2/log.txt") updates"
  [ "$(grep -c "^$com (Bay 1) | ONE | 00000001: Update complete" <<<"$err")" = 2 ] || fail "station output: $err"
  [ "$(grep -c "^$second_com | TWO | 00000002: Update complete" <<<"$err")" = 1 ] || fail "station output: $err"
  run_cli log --verify "$(win updates.jsonl)"
  expect_rc 0
  echo "two boxes updated by one station in $((ms / 1000)).$(printf %03d $((ms % 1000))) s, the first again after a replug"
  ;;
*)
  echo "wine-com-harness: unknown scenario $scenario" >&2
  exit 2
  ;;
esac

if [ "$failures" -gt 0 ]; then
  echo "[$scenario] $failures check(s) failed"
  exit 1
fi
echo "[$scenario] passed"
