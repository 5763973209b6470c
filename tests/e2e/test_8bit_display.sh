#!/usr/bin/env bash
# An X server at 8 bits per pixel (PseudoColor): the program draws in its own
# full-screen window through a private colormap that holds its palette, and
# leaves it by a click, a character key, a close request or SIGTERM; --window
# gets an ordinary window through the same colormap. A screen it cannot draw
# on ends it with one clear line.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh" "$@"

start_xvfb 1024x768x8
check_eq "the server runs at depth 8" 8 "$("$ZT_PROBE" depth)"
seed=11

"$ZT_BIN" --render "$E2E_TMP/render" --colors 256 --size 1024x768 --seed "$seed" --figures 1 \
  2>"$E2E_TMP/render.log"
check_eq "the render of the same seed succeeds" 0 "$?"

start_and_wait() {  # start_and_wait [args...]
  xdotool mousemove 100 100
  start_program "$@"
  if ! wait_window 10000; then
    fail "no window appeared"
    finish
  fi
  sleep 0.3
}

# count_at_least MIN TIMEOUT_S PROBE_ARGS...: polls the probe's count until
# it reaches MIN; prints the last count. A loaded machine may be slow to draw.
count_at_least() {
  local min=$1 timeout=$2 n=0 i
  shift 2
  for i in $(seq 1 $((timeout * 10))); do
    n=$("$ZT_PROBE" "$@")
    [ "${n:-0}" -ge "$min" ] && break
    sleep 0.1
  done
  echo "${n:-0}"
}

expect_exit() {  # expect_exit WHAT
  wait_exit "$ZT_PID" 10
  check_eq "$1 ends the program with status 0" 0 "$EXIT_STATUS"
  if [ "$EXIT_STATUS" = running ]; then kill -KILL "$ZT_PID" 2>/dev/null; fi
}

log "--- the picture through the private colormap; a click ends it"
start_and_wait --seed "$seed"
check_eq "one window" 1 "$(window_count)"
check_eq "window geometry" "0 0 1024 768" "$("$ZT_PROBE" geometry "$ZT_WINDOW_NAME")"
check_eq "cursor hidden" 0 "$("$ZT_PROBE" cursor-visible)"
title=$(count_at_least 500 3 count 255 200 0)
if [ "$title" -ge 500 ]; then pass "the title card in its colour ($title pixels)"; else
  fail "no title card in (255, 200, 0): $title pixels"
fi
# The title card holds three seconds; the first figure follows.
sleep 4
spokes=$(count_at_least 51 5 notblue 0 0 1024 768)
check_eq "still running during the first figure" 0 "$(is_running "$ZT_PID"; echo $?)"
check_eq "the brightest band near mid-height" "0 0 98" "$(pixel 0 393)"
check_eq "the band above it" "0 0 97" "$(pixel 0 389)"
misses=$("$ZT_PROBE" palette-miss "$E2E_TMP/render/figure-0001.png" 0 0 1024 768)
check_eq "pixels outside the figure's palette" 0 "$misses"
if [ "$spokes" -gt 50 ]; then pass "spokes are on the screen ($spokes pixels)"; else
  fail "no spokes on the screen ($spokes pixels)"
fi
click 300 200 1
expect_exit "a left click"
check_eq "pointer at the screen centre after exit" "512 384" "$(pointer)"
check_eq "cursor visible after exit" 1 "$("$ZT_PROBE" cursor-visible)"
check_eq "no window left" 0 "$(window_count)"

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

log "--- a close request ends it"
start_and_wait
"$ZT_PROBE" close "$ZT_WINDOW_NAME"
expect_exit "WM_DELETE_WINDOW"

log "--- SIGTERM runs the exit sequence"
start_and_wait
xdotool mousemove 20 20
kill -TERM "$ZT_PID"
expect_exit "SIGTERM"
check_eq "pointer at the screen centre after SIGTERM" "512 384" "$(pointer)"
check_eq "no window left after SIGTERM" 0 "$(window_count)"

log "--- --window: an ordinary window through the same colormap"
xdotool mousemove 5 5
start_program --window
if wait_window 10000; then
  read -r x y w h <<<"$("$ZT_PROBE" geometry "$ZT_WINDOW_NAME")"
  check_eq "window size" "800x600" "${w}x${h}"
  title=$(count_at_least 500 3 count 255 200 0 "$x" "$y" $((x + w)) $((y + h)))
  if [ "$title" -ge 500 ]; then pass "the title card in its colour ($title pixels)"; else
    fail "no title card in (255, 200, 0) in the window: $title pixels"
  fi
  xdotool mousemove $((x + 100)) $((y + 150))
  sleep 0.3
  check_eq "pointer visible over the window" 1 "$("$ZT_PROBE" cursor-visible)"
  key a
  expect_exit "the key a in the window"
  check_eq "pointer left where it was" "$((x + 100)) $((y + 150))" "$(pointer)"
else
  fail "no window appeared for --window"
fi

log "--- --root: the hack on the root window, through a colormap of its own"
start_program --root --seed "$seed"
title=$(count_at_least 500 5 count 255 200 0)
if [ "$title" -ge 500 ]; then pass "the title card on the root ($title pixels)"; else
  fail "no title card on the root: $title pixels; $(program_stderr)"
fi
sleep 3.5
check_eq "the brightest band on the root" "0 0 98" "$(pixel 0 393)"
kill -TERM "$ZT_PID"
expect_exit "SIGTERM to --root"

log "--- an 8-bit GrayScale screen: one clear line"
start_xvfb 640x480x8 -cc 1
"$ZT_BIN" >"$E2E_TMP/gray.out" 2>"$E2E_TMP/gray.err"
check_eq "status on a GrayScale screen" 1 "$?"
check_eq "lines written" 1 "$(wc -l <"$E2E_TMP/gray.err")"
if grep -q "^zolven-taris: cannot open a display (.*GrayScale.*not supported" "$E2E_TMP/gray.err"; then
  pass "the message names the visual ($(cat "$E2E_TMP/gray.err"))"
else
  fail "unclear message: $(cat "$E2E_TMP/gray.err")"
fi
check_eq "no window on it" 0 "$(window_count)"

finish
