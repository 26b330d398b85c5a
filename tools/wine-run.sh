#!/usr/bin/env bash
# Runs a Windows program under Wine, in a Wine prefix of the build's own (first
# argument), so the tests neither use nor change the developer's ~/.wine. The prefix
# is set up on first use, once, under a lock, since tests may start in parallel;
# that first start takes Wine most of a minute.
set -euo pipefail
# --retry-silent-start: a program that ends with an error before writing a byte was
# most likely never started by Wine (seen now and then while Wine's server comes and
# goes between tests); it is run again, up to twice. Its output is then passed on
# when it ends, not as it comes, so this is for test programs, not for interactive use.
retry=
if [ "${1:-}" = --retry-silent-start ]; then
  retry=1
  shift
fi
prefix=$(realpath -m "${1:?Wine prefix folder}")
shift
export WINEPREFIX=$prefix
export WINEDEBUG=${WINEDEBUG:--all}
# No prompts to fetch Mono or Gecko: console programs need neither.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
# Debian's wine wrapper looks for a 32-bit Wine first; ours are 64-bit programs.
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)

if [ ! -e "$prefix/.corvalin-ready" ]; then
  mkdir -p "$(dirname "$prefix")"
  exec 9>"$prefix.lock"
  flock 9
  if [ ! -e "$prefix/.corvalin-ready" ]; then
    echo "wine-run: setting up the Wine prefix $prefix (once)" >&2
    # No window is needed for that, so none is shown, display or not.
    if ! env -u DISPLAY -u WAYLAND_DISPLAY "$wine" wineboot -i >"$prefix.log" 2>&1; then
      echo "wine-run: wineboot failed; see $prefix.log" >&2
      exit 1
    fi
    wineserver=/usr/lib/wine/wineserver64
    [ -x "$wineserver" ] || wineserver=$(command -v wineserver)
    "$wineserver" -w
    touch "$prefix/.corvalin-ready"
  fi
  exec 9>&-
fi
# Wine starts its server and services with the first program and keeps them a few
# seconds after the last one ends. Started from a program of ours they would hold its
# output open, so whoever reads it (CTest) waits for them: they are started apart.
"$wine" cmd /c exit </dev/null >/dev/null 2>&1 || true
if [ -z "$retry" ]; then
  exec "$wine" "$@"
fi
out=$(mktemp)
err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
for attempt in 1 2 3; do
  rc=0
  "$wine" "$@" >"$out" 2>"$err" || rc=$?
  if [ "$rc" -eq 0 ] || [ -s "$out" ] || [ -s "$err" ] || [ "$attempt" -eq 3 ]; then
    break
  fi
  echo "wine-run: $1 ended with $rc and no output, so Wine may not have started it; running it again" >&2
  sleep 1
  "$wine" cmd /c exit </dev/null >/dev/null 2>&1 || true
done
cat "$out"
cat "$err" >&2
exit "$rc"
