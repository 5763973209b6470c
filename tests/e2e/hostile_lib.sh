# Shared steps of the hostile-surroundings tests; sourced after lib.sh.

# A one-second 8-bit mono wave at 8 kHz, a quiet square.
make_wave() {
  printf 'RIFF\x64\x1f\x00\x00WAVEfmt \x10\x00\x00\x00\x01\x00\x01\x00\x40\x1f\x00\x00\x40\x1f\x00\x00\x01\x00\x08\x00data\x40\x1f\x00\x00' >"$1"
  yes $'\x60\x60\x60\x60\xa0\xa0\xa0\xa0' | tr -d '\n' | head -c 8000 >>"$1"
}

# A MIDI file of one note.
make_midi() {
  printf 'MThd\x00\x00\x00\x06\x00\x00\x00\x01\x00\x60MTrk\x00\x00\x00\x0c\x00\x90\x3c\x40\x60\x80\x3c\x40\x00\xff\x2f\x00' >"$1"
}

# stderr_is WHAT PATTERN: the program wrote exactly one line, matching
# PATTERN; with an empty PATTERN, nothing at all.
stderr_is() {
  local lines
  lines=$(wc -l <"$E2E_TMP/err.log")
  if [ -z "$2" ]; then
    if [ ! -s "$E2E_TMP/err.log" ]; then pass "$1: nothing on stderr"; else
      fail "$1: unexpected stderr: $(head -c 600 "$E2E_TMP/err.log")"
    fi
  elif [ "$lines" -eq 1 ] && grep -Eq "$2" "$E2E_TMP/err.log"; then
    pass "$1: one line ($(cat "$E2E_TMP/err.log"))"
  else
    fail "$1: expected one line matching '$2', got $lines: $(head -c 600 "$E2E_TMP/err.log")"
  fi
}

# draws_on WHAT [term]: the window is up, the program still runs after a
# while and the backdrop shows at the left edge; a click (or with "term" a
# SIGTERM) then ends it with status 0.
draws_on() {
  if ! wait_window 10000; then
    fail "$1: no window appeared"
    return
  fi
  sleep 2.5
  if is_running "$ZT_PID"; then pass "$1: still running"; else
    wait_exit "$ZT_PID" 1
    fail "$1: ended by itself with status $EXIT_STATUS"
    return
  fi
  local edge
  edge=$(pixel 2 240)
  case "$edge" in
    "0 0 0" | "") fail "$1: nothing drawn at the left edge ('$edge')" ;;
    *) pass "$1: the backdrop is drawn ($edge)" ;;
  esac
  if [ "${2:-}" = term ]; then
    kill -TERM "$ZT_PID"
  else
    xdotool mousemove 320 240
    click 320 240 1
  fi
  wait_exit "$ZT_PID" 10
  check_eq "$1: ${2:-click} ends it" 0 "$EXIT_STATUS"
  if [ "$EXIT_STATUS" = running ]; then kill -KILL "$ZT_PID" 2>/dev/null; fi
}
