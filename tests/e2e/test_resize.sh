#!/usr/bin/env bash
# A window that changes size gets a fresh scene at the new size within a
# second: a hack's window (as XScreenSaver's preview does), --window, and the
# full screen and the root window when the monitor's mode changes.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh" "$@"
# shellcheck source=hack_lib.sh
source "$here/hack_lib.sh"

start_xvfb 1024x768x24

log "--- a hack window from 320x200 to 600x400"
make_window 320 200 0 0
start_program -window-id "$WIN"
sleep 1
check_gradient "at 320x200" 0 0 320 200
xdotool windowsize "$WIN" 600 400
sleep 1
check_gradient "at 600x400" 0 0 600 400
# A figure begins after the backdrop, in the new area too.
wait_spokes "at 600x400" 0 0 600 400 10
is_running "$ZT_PID" && pass "still running" || fail "ended: $(program_stderr)"
kill -TERM "$ZT_PID"
wait_exit "$ZT_PID" 5
check_eq "SIGTERM ends it" 0 "$EXIT_STATUS"
kill "$WIN_PID"

log "--- --window from 320x240 to 640x480"
start_program --window --geometry 320x240
if ! wait_window 10000; then
  fail "no window: $(program_stderr)"
  finish
fi
sleep 1
id=$(xdotool search --name "^$ZT_WINDOW_NAME\$" | head -n 1)
xdotool windowmove "$id" 0 0 windowsize "$id" 640 480
sleep 1.5
read -r wx wy ww wh < <("$ZT_PROBE" geometry "$ZT_WINDOW_NAME")
check_eq "the window took the size" "640x480" "${ww}x${wh}"
check_gradient "--window at 640x480" "$wx" "$wy" 640 480
click $((wx + 320)) $((wy + 240))
wait_exit "$ZT_PID" 5
check_eq "a click ends it" 0 "$EXIT_STATUS"

log "--- a new monitor mode: the full screen and --root follow it"
for step in "full 800 600" "root 640 480"; do
  read -r mode w h <<<"$step"
  if [ "$mode" = full ]; then start_program; wait_window 10000; else start_program --root; fi
  sleep 1
  "$ZT_PROBE" screen-size "$w" "$h" || fail "cannot set the mode ${w}x$h"
  sleep 1
  check_gradient "$mode at ${w}x$h" 0 0 "$w" "$h"
  kill -TERM "$ZT_PID"
  wait_exit "$ZT_PID" 5
  check_eq "$mode: SIGTERM ends it" 0 "$EXIT_STATUS"
done
finish
