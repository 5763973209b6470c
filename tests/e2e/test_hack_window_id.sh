#!/usr/bin/env bash
# Hack mode on a window made by someone else: the scene fills that window
# only, at its size; the window's end and SIGTERM end the program with 0.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh" "$@"
# shellcheck source=hack_lib.sh
source "$here/hack_lib.sh"

start_xvfb 1024x768x24

# Fingerprints of the screen around the window at (100,100) 320x240.
outside() {
  echo "$("$ZT_PROBE" hash 0 0 1024 100) $("$ZT_PROBE" hash 0 340 1024 768)" \
    "$("$ZT_PROBE" hash 0 100 100 340) $("$ZT_PROBE" hash 420 100 1024 340)"
}

log "--- -window-id ID (hex): the scene at the window's size, nothing outside it"
make_window 320 240 100 100
before=$(outside)
xdotool mousemove 150 150
start_program -window-id "$WIN"
sleep 1.5
check_eq "pointer still visible over the window" 1 "$("$ZT_PROBE" cursor-visible)"
if is_running "$ZT_PID"; then pass "running on window $WIN"; else
  fail "the program ended at once"; program_stderr >&2; finish
fi
check_gradient "320x240 window" 100 100 320 240
sleep 2.5  # the title card's hold; the first figure clears it
wait_spokes "320x240 window" 100 100 420 340 15
check_eq "nothing drawn outside the window" "$before" "$(outside)"
check_eq "no window of its own" 0 "$(window_count)"

log "--- destroying the window ends the program with status 0"
"$ZT_PROBE" destroy-window "$WIN"
wait_exit "$ZT_PID" 2
check_eq "status after the window was destroyed" 0 "$EXIT_STATUS"
wait_exit "$WIN_PID" 2
check_eq "pointer not moved" "150 150" "$(pointer)"

log "--- no single-copy lock: two copies draw at once, as for two screens"
make_window 240 180 0 0
first_win=$WIN first_win_pid=$WIN_PID
make_window 240 180 400 0
start_program --window-id "$first_win"
first=$ZT_PID
start_program --window-id "$WIN"
sleep 1.5
if is_running "$first" && is_running "$ZT_PID"; then pass "both copies run"; else
  fail "a copy ended"
fi
check_gradient "first of two" 0 0 240 180
check_gradient "second of two" 400 0 240 180
kill -TERM "$first" "$ZT_PID" "$first_win_pid" "$WIN_PID" 2>/dev/null
wait_exit "$first" 2
check_eq "first copy's status" 0 "$EXIT_STATUS"
wait_exit "$ZT_PID" 2
check_eq "second copy's status" 0 "$EXIT_STATUS"

log "--- --window-id ID (decimal) on a small preview-sized window; SIGTERM ends it"
make_window 200 150 600 400
start_program --window-id "$((WIN))"
sleep 1.5
check_gradient "200x150 window" 600 400 200 150
kill -TERM "$ZT_PID"
wait_exit "$ZT_PID" 2
check_eq "status after SIGTERM" 0 "$EXIT_STATUS"
kill -TERM "$WIN_PID" 2>/dev/null
wait_exit "$WIN_PID" 2
if [ -s "$E2E_TMP/err.log" ]; then fail "it wrote to stderr: $(program_stderr)"; else
  pass "nothing on stderr"
fi

log "--- a window that does not exist is an error"
"$ZT_BIN" --window-id 0x7ffffff >/dev/null 2>"$E2E_TMP/bad.log"
check_eq "status for a missing window" 1 "$?"
grep -q "no X window 0x7ffffff" "$E2E_TMP/bad.log" && pass "says which window" ||
  fail "message: $(cat "$E2E_TMP/bad.log")"

finish
