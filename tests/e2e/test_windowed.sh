#!/usr/bin/env bash
# --window: an ordinary 800x600 window (--geometry for another size) with
# the same scene; not topmost, the pointer left visible and where it was;
# a click, a character key or closing the window ends it.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh" "$@"
# shellcheck source=hack_lib.sh
source "$here/hack_lib.sh"

start_xvfb 1024x768x24

start_windowed() {
  xdotool mousemove 5 5
  start_program "$@"
  if ! wait_window 10000; then
    fail "no window appeared"
    finish
  fi
  sleep 1
}

log "--- --window: 800x600, not topmost, pointer visible, a click ends it"
start_windowed --window
read -r x y w h <<<"$("$ZT_PROBE" geometry "$ZT_WINDOW_NAME")"
check_eq "window size" "800x600" "${w}x${h}"
state=$("$ZT_PROBE" wm-state "$ZT_WINDOW_NAME" | tr '\n' ' ')
case "$state" in
  *ABOVE* | *FULLSCREEN* | *MAXIMIZED*) fail "window state: $state" ;;
  *) pass "neither topmost, full-screen nor maximised (state: '${state}')" ;;
esac
check_gradient "800x600 window" "$x" "$y" 800 600
xdotool mousemove $((x + 400)) $((y + 300))
sleep 0.3
check_eq "pointer visible over the window" 1 "$("$ZT_PROBE" cursor-visible)"
check_eq "one window" 1 "$(window_count)"
click $((x + 10)) $((y + 10)) 1
wait_exit "$ZT_PID" 5
check_eq "a click ends it with status 0" 0 "$EXIT_STATUS"
check_eq "pointer left where the click was" "$((x + 10)) $((y + 10))" "$(pointer)"

log "--- --geometry 640x400; a character key ends it"
start_windowed --window --geometry 640x400
read -r x y w h <<<"$("$ZT_PROBE" geometry "$ZT_WINDOW_NAME")"
check_eq "window size" "640x400" "${w}x${h}"
check_gradient "640x400 window" "$x" "$y" 640 400
xdotool mousemove $((x + 20)) $((y + 20))
key Right
sleep 0.5
if is_running "$ZT_PID"; then pass "an arrow key leaves it running"; else fail "an arrow key ended it"; fi
key q
wait_exit "$ZT_PID" 5
check_eq "a character key ends it with status 0" 0 "$EXIT_STATUS"

log "--- closing the window ends it"
start_windowed --window
"$ZT_PROBE" close "$ZT_WINDOW_NAME"
wait_exit "$ZT_PID" 5
check_eq "closing ends it with status 0" 0 "$EXIT_STATUS"

log "--- --monitor 0 and an absent monitor both cover the screen there is"
for n in 0 7; do
  start_windowed --monitor "$n"
  check_eq "--monitor $n geometry" "0 0 1024 768" "$("$ZT_PROBE" geometry "$ZT_WINDOW_NAME")"
  kill -TERM "$ZT_PID"
  wait_exit "$ZT_PID" 5
  check_eq "--monitor $n ends on SIGTERM with status 0" 0 "$EXIT_STATUS"
done

finish
