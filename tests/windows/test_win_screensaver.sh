#!/usr/bin/env bash
# /s under Wine: the title card, then the backdrop and spokes, the pointer
# hidden; a click or a character key ends it with status 0 and the pointer
# shown again at the screen centre;
# a key without a character does not; a second copy leaves at once; the
# same in 256-colour operation.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=win_lib.sh
source "$here/win_lib.sh" "$@"
start_xvfb 1024x768x24

start_and_wait() {  # start_and_wait ARGS...
  xdotool mousemove 100 100
  local started=$SECONDS
  start_program "$@"
  if ! wait_window 30000; then
    fail "no window appeared"
    finish
  fi
  log "window after $((SECONDS - started)) s"
}

log "--- /s: title card, backdrop, spokes; a click ends it"
start_and_wait /s
check_eq "window geometry" "0 0 1024 768" "$("$ZT_PROBE" geometry "$ZT_WINDOW_NAME")"
sleep 1.2
xdotool mousemove 300 300
check_eq "the pointer is hidden over it" 0 "$("$ZT_PROBE" cursor-visible)"
shot win-title-card
# The title is printed in (255, 200, 0) over the blue backdrop.
title=$("$ZT_PROBE" count 255 200 0)
if [ "$title" -gt 500 ]; then pass "title card text shown ($title pixels)"; else
  fail "no title card text ($title pixels)"
fi
check_eq "backdrop: blue at the left edge, mid-height" "0 0" "$(pixel 1 384 | cut -d' ' -f1-2)"
sleep 4
shot win-spokes
spokes=$("$ZT_PROBE" notblue 0 0 1024 768)
if [ "$spokes" -gt 200 ]; then pass "spokes drawn ($spokes pixels off the blue)"; else
  fail "no spokes after the title card ($spokes pixels off the blue)"
fi
log "--- a second copy leaves at once, the first goes on"
first=$ZT_PID
"$win_wrapper" /s
check_eq "second copy's status" 0 "$?"
if is_running "$first"; then pass "the first copy still runs"; else fail "the first copy ended"; fi
click 100 100 1
wait_exit "$first" 15
check_eq "a click ends it with status 0" 0 "$EXIT_STATUS"
check_eq "pointer at the screen centre" "512 384" "$(pointer)"
check_eq "the pointer is shown again" 1 "$("$ZT_PROBE" cursor-visible)"
check_eq "no window left" 0 "$(window_count)"

log "--- no argument: full screen as well; Shift does not end it, 'a' does"
start_and_wait
key shift
key Right
sleep 1
if is_running "$ZT_PID"; then pass "Shift and an arrow leave it running"; else
  fail "a key without a character ended it"
fi
key a
wait_exit "$ZT_PID" 15
check_eq "the key a ends it with status 0" 0 "$EXIT_STATUS"

log "--- --colors 256: the program's own palette on a deep screen"
start_and_wait --colors 256
sleep 1.2
title=$("$ZT_PROBE" count 255 200 0)
sleep 4
shot win-256-colours
spokes=$("$ZT_PROBE" notblue 0 0 1024 768)
if [ "$title" -gt 500 ] && [ "$spokes" -gt 200 ]; then
  pass "title card and spokes in 256 colours ($title, $spokes pixels)"
else
  fail "256 colours: title $title pixels, spokes $spokes pixels"
fi
key Escape
wait_exit "$ZT_PID" 15
check_eq "Escape ends it with status 0" 0 "$EXIT_STATUS"
finish
