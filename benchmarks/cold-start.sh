#!/usr/bin/env bash
# cold-start.sh [PROGRAM] [RUNS]: the time from starting the window program to the
# first flush of its painted main window, offscreen. Each run is measured cold (the
# page cache dropped first, when this user may) and then warm. PROGRAM is
# /usr/bin/corvalin by default: the installed package.
#
# The end is seen in Qt's own painting log, whose time stamps are wall-clock times with
# milliseconds, so the start is taken from the same clock.
set -euo pipefail
program=${1:-/usr/bin/corvalin}
runs=${2:-5}
[ -x "$program" ] || { echo "cold-start: no program $program (install the package, or name one)" >&2; exit 1; }

can_drop_caches=false
if [ -w /proc/sys/vm/drop_caches ]; then can_drop_caches=true; fi

# Prints the milliseconds from the start to the main window's first flush.
measure_once() {
  local start line stamp end=""
  start=$(date -u +%s%3N)
  coproc APP { exec env TZ=UTC QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES="qt.widgets.painting=true" \
                   QT_MESSAGE_PATTERN='%{time yyyy-MM-ddTHH:mm:ss.zzz} %{message}' "$program" 2>&1; }
  while IFS= read -r -t 30 line <&"${APP[0]}"; do
    if [[ $line == *"Flushing QRegion"*"of corvalin::CMainWindow"* ]]; then
      stamp=${line%% *}
      end=$(date -u -d "${stamp/T/ } UTC" +%s%3N)
      break
    fi
  done
  kill "$APP_PID" 2>/dev/null || true
  wait "$APP_PID" 2>/dev/null || true
  [ -n "$end" ] || { echo "cold-start: the main window was never flushed" >&2; return 1; }
  echo $((end - start))
}

echo "program: $program"
for ((run = 1; run <= runs; run++)); do
  cold="-"
  if $can_drop_caches; then
    sync
    echo 3 >/proc/sys/vm/drop_caches
    cold="$(measure_once) ms"
  fi
  warm="$(measure_once) ms"
  echo "run $run: cold $cold, warm $warm"
done
$can_drop_caches || echo "(the page cache could not be dropped without root: only warm starts were measured)"
