#!/usr/bin/env bash
# run-under-xvfb.sh WINE-RUN PREFIX PROGRAM [ARGS...]: runs a Windows program with
# windows under Wine on a virtual X display of its own. Wine's processes of the prefix
# are ended before the display goes, so none is left drawing on a display that is gone.
# CORVALIN_SCREEN (default 1280x1024) and CORVALIN_DPI (default 96) set the display's
# size and Windows' dots per inch; the density is set on every run, so a run at
# another one leaves nothing behind in the prefix.
set -euo pipefail
wine_run=${1:?wine-run.sh}
prefix=${2:?Wine prefix}
shift 2
command -v xvfb-run >/dev/null || { echo "run-under-xvfb: xvfb-run is missing (Debian package xvfb)" >&2; exit 1; }
screen=${CORVALIN_SCREEN:-1280x1024}
dpi=${CORVALIN_DPI:-96}
exec xvfb-run -a -s "-screen 0 ${screen}x24 -dpi $dpi" bash -c '
  wine_run=$1; prefix=$2; dpi=$3; shift 3
  rc=0
  # Without a window manager on the display, Wine draws the frames and captions itself.
  "$wine_run" "$prefix" reg add "HKCU\\Software\\Wine\\X11 Driver" /v Decorated /d N /f >/dev/null 2>&1 || true
  "$wine_run" "$prefix" reg add "HKCU\\Control Panel\\Desktop" /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1 || true
  "$wine_run" "$prefix" reg add "HKLM\\System\\CurrentControlSet\\Hardware Profiles\\Current\\Software\\Fonts" /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1 || true
  "$wine_run" --retry-silent-start "$prefix" "$@" || rc=$?
  wineserver=/usr/lib/wine/wineserver64
  [ -x "$wineserver" ] || wineserver=$(command -v wineserver)
  WINEPREFIX=$(realpath -m "$prefix") "$wineserver" -k 2>/dev/null || true
  exit "$rc"' run-under-xvfb "$wine_run" "$prefix" "$dpi" "$@"
