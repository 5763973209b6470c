#!/usr/bin/env bash
# Music beside the .scr under Wine, seen through Wine's winmm and MCI
# traces: a MIDI song goes through mciSendStringA with exactly the command
# strings, in their order, restarted by Timer1 at the song's end and closed
# at exit; with a wave file too, only the wave loops (flags 0x20009) and
# is silenced at exit (0x20003).
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=win_lib.sh
source "$here/win_lib.sh" "$@"
start_xvfb 640x480x24

use_folder() {  # use_folder PATH: the .scr and a song there
  app=$1
  mkdir -p "$app"
  cp "$ZT_SCR" "$app/zolven-taris.scr"
  printf '#!/bin/sh\nexec "%s" "%s" "$@"\n' "$ZT_WINE_RUN" "$app/zolven-taris.scr" >"$win_wrapper"
  # A song of one note lasting 1.5 s: format 0, 96 ticks a quarter, 120 bpm.
  python3 - "$app/zt-bgm.mid" <<'PY'
import struct, sys
track = bytes([0, 0x90, 60, 100, 0x81, 0x40, 0x80, 60, 0, 0, 0xFF, 0x2F, 0])
open(sys.argv[1], 'wb').write(b'MThd' + struct.pack('>IHHH', 6, 0, 1, 96) + b'MTrk' +
                              struct.pack('>I', len(track)) + track)
PY
}

mci_commands() {  # the program's command strings, one a line
  # Wine opens the sequencer by itself to answer the capability probe; that
  # inner "open sequencer wait" is its own, not the program's.
  grep -o 'mciSendStringW (L"[^"]*"' "$E2E_TMP/err.log" | sed 's/^mciSendStringW (L"//; s/"$//' |
    sed 's/\\\\/\\/g' | grep -v '^open sequencer wait$'
}

run_traced() {  # run_traced SECONDS: runs /s, clicks after SECONDS
  xdotool mousemove 10 10
  WINEDEBUG=trace+mci,trace+winmm start_program /s
  wait_window 30000 || fail "no window"
  sleep "$1"
  click 10 10 1
  wait_exit "$ZT_PID" 15
  check_eq "ends with status 0" 0 "$EXIT_STATUS"
}

log "--- a MIDI song"
use_folder "$E2E_TMP/app"
run_traced 6
mci_commands >"$E2E_TMP/mci.txt"
expected_start="capability sequencer can play
open $(winpath "$app")\\zt-bgm.mid alias bgm
set bgm time format ms
status bgm length
play bgm notify"
check_eq "the set-up commands, in order" "$expected_start" "$(head -n 5 "$E2E_TMP/mci.txt")"
middle=$(sed -n '6,$p' "$E2E_TMP/mci.txt" | head -n -2)
restarts=$(grep -c '^seek bgm to start$' <<<"$middle")
others=$(paste -d'|' - - <<<"$middle" | grep -cv '^seek bgm to start|play bgm notify$')
if [ "$restarts" -ge 2 ] && [ "$others" -eq 0 ]; then
  pass "Timer1 rewinds and plays again at each end of the song ($restarts times)"
else
  fail "restarts: $restarts, other commands between them: $middle"
fi
check_eq "stop and close at exit" "stop bgm
close bgm" "$(tail -n 2 "$E2E_TMP/mci.txt")"

log "--- a folder with a space: the path goes unquoted, the open fails, silence"
use_folder "$E2E_TMP/app folder"
run_traced 2
check_eq "probe and open only; nothing opened, nothing to close" "capability sequencer can play
open $(winpath "$app")\\zt-bgm.mid alias bgm" "$(mci_commands)"

log "--- a wave file beside the song: only the wave loops"
python3 - "$app/zt-bgm.wav" <<'PY'
import struct, sys
n = 8000
open(sys.argv[1], 'wb').write(b'RIFF' + struct.pack('<I', 36 + n) + b'WAVEfmt ' +
                              struct.pack('<IHHIIHH', 16, 1, 1, 8000, 8000, 1, 8) + b'data' +
                              struct.pack('<I', n) + bytes([0x30] * 8 + [0xd0] * 8) * (n // 16))
PY
run_traced 3
check_eq "the wave loops, then is silenced" "fdwSound=00020009
fdwSound=00020003" "$(grep -o 'MULTIMEDIA_PlaySound .*fdwSound=[0-9A-F]*' "$E2E_TMP/err.log" |
  grep -o 'fdwSound=.*')"
check_eq "no MIDI command" 0 "$(grep -c 'mciSendStringW' "$E2E_TMP/err.log")"
finish
