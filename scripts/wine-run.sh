#!/usr/bin/env bash
# Runs a Windows program under Wine in the build's own prefix, quietly:
# the emulator of the cross-built tests and of the Windows end-to-end tests.
# ZT_WINEPREFIX names the prefix (default build/windows/wine of this tree).
# Without a DISPLAY the program runs on an Xvfb of its own, and the prefix's
# wine server ends with it: Wine's desktop process keeps the display it
# started with, so none may outlive its X server.
# `wine-run.sh --stop` ends the prefix's wine server.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${ZT_WINEPREFIX:-$root/build/windows/wine}
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko download prompts in a fresh prefix.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
[ -x "$wine" ] || wine=$(command -v wine)
server=$(command -v wineserver || echo /usr/lib/wine/wineserver)
if [ "${1:-}" = --stop ]; then
  "$server" -k 2>/dev/null || true
  exit 0
fi
own_display=0
if [ -z "${DISPLAY:-}" ]; then
  own_display=1
  fd_file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -dpi 96 3>"$fd_file" >/dev/null 2>&1 &
  xvfb=$!
  trap '"$server" -k 2>/dev/null; kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; rm -f "$fd_file"' EXIT
  for _ in $(seq 1 100); do
    [ -s "$fd_file" ] && break
    sleep 0.05
  done
  [ -s "$fd_file" ] || { echo "wine-run.sh: Xvfb did not start" >&2; exit 1; }
  export DISPLAY=":$(head -n 1 "$fd_file")"
fi
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  "$wine" wineboot --init >/dev/null 2>&1 || true
fi
[ "$own_display" = 1 ] || exec "$wine" "$@"
status=0
"$wine" "$@" || status=$?
exit "$status"
