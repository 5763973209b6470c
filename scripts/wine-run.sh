#!/usr/bin/env bash
# Runs a Windows program under Wine in the build's own prefix, quietly:
# the emulator of the cross-built tests and of the Windows end-to-end tests.
# ZT_WINEPREFIX names the prefix (default build/windows/wine of this tree).
# `wine-run.sh --stop` ends the prefix's wine server.
# ZT_WINE_XVFB=1 runs the program on an Xvfb of its own, for programs that
# make windows but are run without a display (the binding's unit tests).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${ZT_WINEPREFIX:-$root/build/windows/wine}
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko download prompts in a fresh prefix.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
[ -x "$wine" ] || wine=$(command -v wine)
# --stop: ends the prefix's wineserver and every program still in it.
if [ "${1:-}" = --stop ]; then
  server=$(command -v wineserver || echo /usr/lib/wine/wineserver)
  "$server" -k 2>/dev/null
  exit 0
fi
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  "$wine" wineboot --init >/dev/null 2>&1 || true
fi
if [ "${ZT_WINE_XVFB:-0}" = 1 ]; then
  fd_file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -dpi 96 3>"$fd_file" >/dev/null 2>&1 &
  xvfb=$!
  trap 'kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; rm -f "$fd_file"' EXIT
  for _ in $(seq 1 100); do
    [ -s "$fd_file" ] && break
    sleep 0.05
  done
  [ -s "$fd_file" ] || { echo "wine-run.sh: Xvfb did not start" >&2; exit 1; }
  export DISPLAY=":$(head -n 1 "$fd_file")"
  status=0
  "$wine" "$@" || status=$?
  exit "$status"
fi
exec "$wine" "$@"
