#!/usr/bin/env bash
# No display to draw on: DISPLAY naming no server, no DISPLAY at all, and the
# X server killed under the running program. Each ends promptly with status 1
# and one line on stderr, never a hang, a crash or a core dump.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh" "$@"
need Xvfb "$ZT_PROBE" timeout

# A display number with neither a server nor the traces of one. A server
# of another container leaves no trace here yet answers, so each candidate
# is also tried.
free_display() {
  local n
  for n in $(seq 240 299); do
    [ -e "/tmp/.X${n}-lock" ] || [ -e "/tmp/.X11-unix/X${n}" ] && continue
    DISPLAY=":$n" "$ZT_PROBE" depth >/dev/null 2>&1 || { echo ":$n"; return; }
  done
  log "no free display number in :240..:299"
  exit 1
}

# expect_one_line WHAT PATTERN: stderr is exactly one line matching PATTERN.
expect_one_line() {
  local lines
  lines=$(wc -l <"$E2E_TMP/err.log")
  if [ "$lines" -eq 1 ] && grep -Eq "$2" "$E2E_TMP/err.log"; then
    pass "$1: one line ($(cat "$E2E_TMP/err.log"))"
  else
    fail "$1: expected one line matching '$2', got $lines: $(head -c 600 "$E2E_TMP/err.log")"
  fi
}

# run_briefly WHAT [env assignments...] -- [args...]: runs the program to its
# end, at most 10 s; sets EXIT_STATUS and the elapsed milliseconds.
run_briefly() {
  local what=$1 start end
  shift
  local envs=()
  while [ "$1" != "--" ]; do envs+=("$1"); shift; done
  shift
  start=$(date +%s%N)
  env "${envs[@]}" timeout -s KILL 10 "$ZT_BIN" "$@" >"$E2E_TMP/out.log" 2>"$E2E_TMP/err.log"
  EXIT_STATUS=$?
  end=$(date +%s%N)
  ELAPSED_MS=$(((end - start) / 1000000))
  check_eq "$what: exit status" 1 "$EXIT_STATUS"
  if [ "$ELAPSED_MS" -lt 5000 ]; then pass "$what: ends in ${ELAPSED_MS} ms"; else
    fail "$what: took ${ELAPSED_MS} ms"
  fi
}

nowhere=$(free_display)
log "--- DISPLAY=$nowhere names no server"
run_briefly "no server" DISPLAY="$nowhere" --
expect_one_line "no server" "^zolven-taris: cannot open a display \(.*$nowhere"
run_briefly "no server, windowed" DISPLAY="$nowhere" -- --window
expect_one_line "no server, windowed" "^zolven-taris: cannot open a display"

log "--- no DISPLAY at all"
run_briefly "DISPLAY unset" -u DISPLAY -u WAYLAND_DISPLAY --
expect_one_line "DISPLAY unset" "^zolven-taris: cannot open a display \(.*DISPLAY is not set"

log "--- hack mode with no server"
run_briefly "--root, no server" DISPLAY="$nowhere" -- --root
expect_one_line "--root, no server" "^zolven-taris: .*display"

# The server dies while the program draws, a wave playing so that the audio
# thread is busy too: one line and status 1, in every mode.
mkdir -p "$E2E_TMP/app"
copy_program "$E2E_TMP/app"
printf 'RIFF\x2c\x1f\x00\x00WAVEfmt \x10\x00\x00\x00\x01\x00\x01\x00\x40\x1f\x00\x00\x40\x1f\x00\x00\x01\x00\x08\x00data\x08\x1f\x00\x00' >"$E2E_TMP/app/zt-bgm.wav"
head -c 7944 /dev/zero | tr '\000' '\200' >>"$E2E_TMP/app/zt-bgm.wav"
for mode in "full screen" "--window" "--root"; do
  log "--- X server killed under the program ($mode)"
  start_xvfb 640x480x24
  xvfb_pid=${E2E_PIDS[-1]}
  args=()
  [ "$mode" != "full screen" ] && args=("$mode")
  ZT_BIN="$E2E_TMP/app/zolven-taris" start_program "${args[@]}"
  if [ "$mode" = "--root" ]; then sleep 1.5; elif ! wait_window 10000; then
    fail "$mode: no window appeared"
    continue
  fi
  sleep 0.5
  if ! is_running "$ZT_PID"; then
    fail "$mode: the program ended before the server was killed"
    continue
  fi
  kill -KILL "$xvfb_pid"
  wait "$xvfb_pid" 2>/dev/null
  rm -f "/tmp/.X${DISPLAY#:}-lock" "/tmp/.X11-unix/X${DISPLAY#:}"
  wait_exit "$ZT_PID" 5
  if [ "$EXIT_STATUS" = running ]; then
    fail "$mode: still running 5 s after the server died"
    kill -KILL "$ZT_PID" 2>/dev/null
    continue
  fi
  check_eq "$mode: exit status after the server died" 1 "$EXIT_STATUS"
  expect_one_line "$mode: server killed" "^zolven-taris: lost the connection to the X server $DISPLAY$"
done

# Without the SDL module beside it: SDL's window cannot open, and music is
# silence with one line, while the own window draws on.
log "--- no SDL module"
start_xvfb 640x480x24
mkdir -p "$E2E_TMP/bare" && cp "$ZT_BIN" "$E2E_TMP/bare/zolven-taris"
ZT_BIN="$E2E_TMP/bare/zolven-taris" run_briefly "SDL asked for, no module" SDL_VIDEODRIVER=x11 --
expect_one_line "SDL asked for, no module" "^zolven-taris: cannot open a display \(cannot find zolven-taris-sdl.so"
ZT_BIN="$E2E_TMP/bare/zolven-taris" start_program --music "$E2E_TMP/app/zt-bgm.wav"
if wait_window 10000; then
  sleep 1
  kill -TERM "$ZT_PID"
  wait_exit "$ZT_PID" 5
  check_eq "music without the module: SIGTERM ends it" 0 "$EXIT_STATUS"
  expect_one_line "music without the module" "^zolven-taris: no sound: cannot find zolven-taris-sdl.so"
else
  fail "music without the module: no window: $(program_stderr)"
fi
finish
