#!/usr/bin/env bash
# Every screen and every monitor: the full screen on screen 1 of a server of
# two screens; a scene on each of two monitors, or on the chosen one with
# the other black; a click on any monitor ends them all.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh" "$@"
# shellcheck source=hack_lib.sh
source "$here/hack_lib.sh"

log "--- two screens: DISPLAY=:N.1 and -display :N.1"
start_xvfb 1024x768x24 -screen 1 800x600x24
display=$DISPLAY
for how in env option; do
  if [ "$how" = env ]; then
    DISPLAY=$display.1 start_program
  else
    DISPLAY=$display.0 start_program -display "$display.1"
  fi
  export DISPLAY=$display.1
  if wait_window 10000; then
    check_eq "$how: the window covers screen 1" "0 0 800 600" "$("$ZT_PROBE" geometry "$ZT_WINDOW_NAME")"
    check_gradient "$how: screen 1" 0 0 800 600
  else
    fail "$how: no window on screen 1: $(program_stderr)"
  fi
  check_eq "$how: nothing on screen 0" 0 "$(DISPLAY=$display.0 "$ZT_PROBE" windows "$ZT_WINDOW_NAME")"
  xdotool mousemove --screen 1 400 300 click 1
  wait_exit "$ZT_PID" 5
  check_eq "$how: a click ends it" 0 "$EXIT_STATUS"
  export DISPLAY=$display
done

log "--- two monitors side by side (RandR monitors on one screen)"
start_xvfb 1280x480x24
"$ZT_PROBE" set-monitors 640x480+0+0 640x480+640+0 || fail "cannot set the monitors"
start_program
for _ in $(seq 1 100); do
  [ "$(window_count)" = 2 ] && break
  sleep 0.1
done
check_eq "a window on each monitor" 2 "$(window_count)"
sleep 1
check_gradient "left monitor" 0 0 640 480
check_gradient "right monitor" 640 0 640 480
# Past the title card each monitor draws a figure of its own.
same=1
for _ in $(seq 1 40); do
  [ "$("$ZT_PROBE" hash 0 0 640 480)" != "$("$ZT_PROBE" hash 640 0 1280 480)" ] && same=0 && break
  sleep 0.25
done
check_eq "a scene of its own on each monitor" 0 "$same"
wait_spokes "left monitor" 0 0 640 480 12
wait_spokes "right monitor" 640 0 1280 480 12
click 1000 100
wait_exit "$ZT_PID" 5
check_eq "a click on the right monitor ends the program" 0 "$EXIT_STATUS"
sleep 0.5
check_eq "no scene is left" 0 "$(window_count)"

log "--- --monitor 1: a scene on the right, the left black"
start_program --monitor 1
wait_window 10000 || fail "no window: $(program_stderr)"
sleep 1
check_gradient "right monitor" 640 0 640 480
check_eq "left monitor black" 0 "$("$ZT_PROBE" nonblack 0 0 640 480)"
click 100 100
wait_exit "$ZT_PID" 5
check_eq "a click on the black monitor ends it" 0 "$EXIT_STATUS"
finish
