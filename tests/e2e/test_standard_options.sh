#!/usr/bin/env bash
# XScreenSaver's standard options are taken in both spellings in every mode,
# and -fps lays its line over the bottom-left corner.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh" "$@"
# shellcheck source=hack_lib.sh
source "$here/hack_lib.sh"

start_xvfb 800x600x24

# White pixels of the frame-rate text in the corner of a WxH area at (X,Y).
fps_pixels() { "$ZT_PROBE" count 255 255 255 "$1" $(($2 + $4 - 24)) $(($1 + 220)) $(($2 + $4)); }

# wait_fps WHAT X Y W H: the line shows up within 5 s.
wait_fps() {
  local n=0
  for _ in $(seq 1 20); do
    n=$(fps_pixels "$2" "$3" "$4" "$5")
    [ "$n" -gt 20 ] && break
    sleep 0.25
  done
  if [ "$n" -gt 20 ]; then pass "$1: frame-rate line drawn ($n white pixels)"; else fail "$1: no frame-rate line"; fi
}

log "--- hack mode with every standard option, one dash"
make_window 400 300 0 0
start_program -window-id "$WIN" -fps -delay 10000 -install -visual default -mono -pair
wait_fps "hack window" 0 0 400 300
is_running "$ZT_PID" && pass "still running" || fail "ended: $(program_stderr)"
kill -TERM "$ZT_PID"
wait_exit "$ZT_PID" 5
check_eq "SIGTERM ends it" 0 "$EXIT_STATUS"
kill "$WIN_PID"

log "--- -window with two dashes, -display instead of DISPLAY"
display=$DISPLAY
(unset DISPLAY; exec "$ZT_BIN" --window --geometry 320x240 --fps --speed 2 --mono --pair \
  --install --visual best --display "$display" >"$E2E_TMP/out.log" 2>"$E2E_TMP/err.log") &
ZT_PID=$!
E2E_PIDS+=("$ZT_PID")
if wait_window 10000; then
  read -r wx wy _ _ < <("$ZT_PROBE" geometry "$ZT_WINDOW_NAME")
  wait_fps "--window" "${wx:-0}" "${wy:-0}" 320 240
else
  fail "no window on --display $display: $(program_stderr)"
fi
click "$((${wx:-0} + 160))" "$((${wy:-0} + 100))"
wait_exit "$ZT_PID" 5
check_eq "a click ends it" 0 "$EXIT_STATUS"

log "--- without -fps the corner has no such line"
make_window 400 300 0 0
start_program -window-id "$WIN" --seed 1
sleep 2
check_eq "no white in the corner" 0 "$(fps_pixels 0 0 400 300)"
finish
