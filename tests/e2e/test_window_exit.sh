#!/usr/bin/env bash
# The full-screen window and the ways out of it: a click, character keys, a
# close signal; keys without a character leave it running; a second copy
# shows nothing.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh" "$@"

start_xvfb 1024x768x24

# Starts the program, waits for its window and leaves the pointer on it so
# keys reach it.
start_and_wait() {
  xdotool mousemove 100 100
  start_program
  if ! wait_window 10000; then
    fail "no window appeared"
    program_stderr >&2
    finish
  fi
  sleep 0.3
}

expect_exit() {  # expect_exit WHAT
  wait_exit "$ZT_PID" 10
  check_eq "$1 ends the program with status 0" 0 "$EXIT_STATUS"
  if [ "$EXIT_STATUS" = running ]; then kill -KILL "$ZT_PID" 2>/dev/null; fi
}

# The program's own X window, and SDL's where a driver of SDL's is asked for.
for binding in "own window" "SDL"; do
  if [ "$binding" = SDL ]; then export SDL_VIDEODRIVER=x11; fi
  log "--- window covers the screen, black, click ends it (${binding})"
  start_and_wait
  check_eq "one window" 1 "$(window_count)"
  check_eq "window geometry" "0 0 1024 768" "$("$ZT_PROBE" geometry "$ZT_WINDOW_NAME")"
  check_eq "top-left corner black" "0 0 0" "$(pixel 0 0)"
  check_eq "bottom-right corner black" "0 0 0" "$(pixel 1023 767)"
  # Nothing of the desktop shows through: the left edge at mid-height is black
  # before the backdrop and pure blue after it, never the bare root's pattern.
  mid=$(pixel 1 383)
  case "$mid" in
    "0 0 "*) log "ok: the window's own colour at mid-height ($mid)" ;;
    *) fail "window is the topmost child at mid-height: got '$mid'" ;;
  esac
  click 100 100 1
  expect_exit "a left click"
  check_eq "pointer at the screen centre after exit" "512 384" "$(pointer)"
  check_eq "no window left" 0 "$(window_count)"
done
unset SDL_VIDEODRIVER

log "--- keys without a character leave it running; 'a' ends it"
start_and_wait
key shift
key Right
key F5
sleep 0.7
if is_running "$ZT_PID"; then pass "Shift, an arrow and F5 leave it running"; else
  fail "a key without a character ended the program"
fi
key a
expect_exit "the key a"

log "--- Escape ends it"
start_and_wait
key Escape
expect_exit "Escape"

log "--- a second copy exits at once without a window"
start_and_wait
first=$ZT_PID
start_program
second=$ZT_PID
wait_exit "$second" 5
check_eq "the second copy ends with status 0" 0 "$EXIT_STATUS"
check_eq "still one window" 1 "$(window_count)"
if is_running "$first"; then pass "the first copy keeps running"; else fail "the first copy ended"; fi

log "--- SIGTERM runs the exit sequence"
xdotool mousemove 20 20
kill -TERM "$first"
ZT_PID=$first
expect_exit "SIGTERM"
check_eq "pointer at the screen centre after SIGTERM" "512 384" "$(pointer)"
check_eq "no window left after SIGTERM" 0 "$(window_count)"

finish
