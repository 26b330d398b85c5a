# Sourced by the scripts that drive Windows programs under Wine from outside (the COM
# port scenarios, the installer test, the Wine update benchmark).
#
# Wine keeps volatile keys such as SERIALCOMM only while its server runs, and a server
# going down while the next program starts can fail that start. So a Wine program of
# ours, the keeper, stays running from wine_keeper_start to wine_keeper_stop: a command
# interpreter reading from a pipe that only wine_keeper_stop closes.

wine_keeper_pid=

# wine_keeper_start WORK_DIR WINE_RUN PREFIX
wine_keeper_start() {
  mkfifo "$1/keep" || return 1
  "$2" "$3" cmd <"$1/keep" >/dev/null 2>&1 &
  wine_keeper_pid=$!
  exec 8>"$1/keep"
}

wine_keeper_running() { [ -n "$wine_keeper_pid" ]; }

wine_keeper_stop() {
  wine_keeper_running || return 0
  exec 8>&-
  kill "$wine_keeper_pid" 2>/dev/null
  wait "$wine_keeper_pid" 2>/dev/null
  wine_keeper_pid=
}

# The simulated box whose pseudo-terminal is linked as a Wine COM port.
boxsim_pid=
boxsim_pty=

# boxsim_start_linked LINK OUT_FILE ERR_FILE BOXSIM [OPTION...]: starts the simulator,
# waits for the first line of its output (its terminal's path) and links LINK to it.
boxsim_start_linked() {
  local link=$1 out=$2 err=$3 i
  shift 3
  boxsim_stop
  : >"$out"
  "$@" --exit-with-parent >"$out" 2>"$err" &
  boxsim_pid=$!
  boxsim_pty=
  for i in $(seq 100); do
    boxsim_pty=$(head -n 1 "$out" 2>/dev/null)
    [ -n "$boxsim_pty" ] && break
    sleep 0.05
  done
  [ -n "$boxsim_pty" ] || { echo "$(basename "$0"): the simulator did not start" >&2; exit 1; }
  ln -sfn "$boxsim_pty" "$link"
}

boxsim_stop() {
  [ -n "$boxsim_pid" ] || return 0
  kill "$boxsim_pid" 2>/dev/null
  wait "$boxsim_pid" 2>/dev/null
  boxsim_pid=
}

# boxsim_unlink LINK: removes the COM link unless something else has replaced it.
boxsim_unlink() {
  if [ -n "$boxsim_pty" ] && [ "$(readlink "$1" 2>/dev/null)" = "$boxsim_pty" ]; then rm -f "$1"; fi
}
