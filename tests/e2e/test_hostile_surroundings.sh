#!/usr/bin/env bash
# Hostile files and neighbours, one table: music files that decode to
# gigabytes or flood the synthesiser, a window another client destroys, a
# planted or foreign instance lock, a closed stderr pipe, a planted .part
# symlink. For each case the window is up within 1 s, a click ends it within
# 300 ms, SIGTERM within 1 s, peak memory stays under 100 MB, and nothing
# outside the program's own files is written.
# The figures of every case are printed as a table at the end.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh" "$@"
# shellcheck source=hostile_lib.sh
source "$here/hostile_lib.sh"

WINDOW_MS=1000 CLICK_MS=300 TERM_MS=1000 HWM_KB=102400
# Under AddressSanitizer everything is slower and the shadow memory counts:
# the limits still tell seconds from milliseconds and gigabytes from
# megabytes.
if ldd "$ZT_BIN" 2>/dev/null | grep -q libasan; then
  WINDOW_MS=3000 CLICK_MS=900 TERM_MS=3000 HWM_KB=409600
fi
ZT_BIN_ORIG=$ZT_BIN

start_xvfb 1024x768x24

be16() { printf '%b' "\\x$(printf %02x $((($1 >> 8) & 255)))\\x$(printf %02x $(($1 & 255)))"; }
be32() { be16 $((($1 >> 16) & 65535)); be16 $(($1 & 65535)); }
le16() { printf '%b' "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $((($1 >> 8) & 255)))"; }
le32() { le16 $(($1 & 65535)); le16 $((($1 >> 16) & 65535)); }

# wave_header RATE DATA_BYTES: 8-bit mono PCM.
wave_header() {
  printf 'RIFF'; le32 $((36 + $2)); printf 'WAVEfmt '; le32 16; le16 1; le16 1
  le32 "$1"; le32 "$1"; le16 1; le16 8; printf 'data'; le32 "$2"
}
# midi_song TRACK_BODY_FILE: format 0, 96 ticks per quarter note.
midi_song() {
  printf 'MThd'; be32 6; be16 0; be16 1; be16 96; printf 'MTrk'; be32 "$(stat -c %s "$1")"
  cat "$1"
}
# repeat FILE N: FILE's content doubled N times over.
repeat() {
  local _
  for _ in $(seq 1 "$2"); do cat "$1" "$1" >"$1.2" && mv "$1.2" "$1"; done
}
# note_burst FILE DOUBLINGS TAIL: after a quarter note, note-ons of every
# key on every channel, all on one tick, then TAIL (escaped bytes) and the
# end of track.
note_burst() {
  local key ch k pattern=""
  for key in $(seq 0 127); do
    printf -v k '%02x' "$key"
    for ch in 0 1 2 3 4 5 6 7 8 9 a b c d e f; do pattern+="\\x00\\x9$ch\\x$k\\x64"; done
  done
  printf '%b' "$pattern" >"$1.ev"
  repeat "$1.ev" "$2"
  { printf '\x60'; tail -c +2 "$1.ev"; printf '%b\xff\x2f\x00' "$3"; } >"$1"
  rm -f "$1.ev"
}

# Each setup gets its folder in $1 (the program is copied there) and may
# set ARGS, SHARED (a folder whose contents must stay as they are) and ENVS.
setup_wave_1hz() {
  { wave_header 1 8000; head -c 8000 /dev/zero | tr '\0' '\200'; } >"$1/zt-bgm.wav"
}
setup_long_midi_as_wave() {
  # One note held for 230400 ticks: twenty minutes at the default tempo.
  printf '\x00\x90\x3c\x40\x8e\x88\x00\x80\x3c\x40\x00\xff\x2f\x00' >"$1/track"
  midi_song "$1/track" >"$1/zt-bgm.wav" && rm "$1/track"
}
setup_sparse_wave() {
  wave_header 44100 $((1 << 30)) >"$1/zt-bgm.wav"
  truncate -s $(((1 << 30) + 44)) "$1/zt-bgm.wav"
}
setup_dense_midi() {
  note_burst "$1/track" 6 '\x60\x80\x3c\x00' # 512 KB of notes on one tick
  midi_song "$1/track" >"$1/zt-bgm.mid" && rm "$1/track"
}
setup_short_midi() {
  note_burst "$1/track" 10 '\x01\x80\x3c\x00' # 8 MB, over one tick later (5 ms)
  midi_song "$1/track" >"$1/zt-bgm.mid" && rm "$1/track"
}
setup_no_sound_card() {
  make_midi "$1/zt-bgm.mid"
  ENVS=(SDL_AUDIODRIVER=alsa ALSA_CONFIG_PATH="$1/missing.conf")
}
setup_planted_lock_symlink() {
  # A shared temporary folder where another user planted the names the lock
  # might use, pointing at a file only we could create.
  SHARED="$E2E_TMP/shared-$2"
  mkdir -p "$SHARED" && chmod 1777 "$SHARED"
  ln -s "$E2E_TMP/victim-$2" "$SHARED/zolven-taris.lock"
  ln -s "$E2E_TMP/victim-$2" "$SHARED/zolven-taris-$(id -u)"
  ENVS=(XDG_RUNTIME_DIR= TMPDIR="$SHARED")
}
setup_foreign_lock() {
  # Another user's folder and lock, held.
  SHARED="$E2E_TMP/shared-$2"
  mkdir -p "$SHARED/zolven-taris-$(id -u)" && chmod 1777 "$SHARED"
  touch "$SHARED/zolven-taris.lock" "$SHARED/zolven-taris-$(id -u)/$(lock_name)"
  chmod 0777 "$SHARED/zolven-taris-$(id -u)"
  chmod 0666 "$SHARED"/zolven-taris.lock "$SHARED/zolven-taris-$(id -u)/$(lock_name)"
  chown -R nobody "$SHARED"/zolven-taris*
  # Held by one process that the cleanup ends: the sleep keeps the files.
  (
    exec 8<>"$SHARED/zolven-taris.lock" 9<>"$SHARED/zolven-taris-$(id -u)/$(lock_name)"
    flock -x 8 && flock -x 9 && exec sleep 600
  ) &
  E2E_PIDS+=("$!")
  ENVS=(XDG_RUNTIME_DIR= TMPDIR="$SHARED")
}
setup_closed_stderr() {
  ENVS=(FONTCONFIG_FILE="$1/empty.conf") # a warning to write at once
  printf '<fontconfig></fontconfig>\n' >"$1/empty.conf"
  STDERR=closed
}
lock_name() { echo "zolven-taris-${DISPLAY//[^A-Za-z0-9._-]/_}.lock"; }

now_ms() { echo $(($(date +%s%N) / 1000000)); }
hwm_kb() { awk '/^VmHWM/ {print $2}' "/proc/$1/status" 2>/dev/null || echo 0; }
# A listing of what must not change: size, mode and time of everything.
snapshot() { find "$@" -printf '%p %s %m %T@ %l\n' 2>/dev/null | sort; }

# run CASE DIR ENDING: starts the program and ends it by ENDING (click,
# term, destroy); sets WINDOW, ENDED (ms) and HWM (kB), and checks the exit.
run() {
  local name=$1 dir=$2 ending=$3 t0 t1
  ZT_BIN="$dir/zolven-taris"
  t0=$(now_ms)
  if [ "${STDERR:-}" = closed ]; then
    # A pipe whose reader has already gone.
    exec {gone}> >(exit 0)
    sleep 0.2
    env "${ENVS[@]}" "$ZT_BIN" 2>&"$gone" >/dev/null &
    ZT_PID=$!
    E2E_PIDS+=("$ZT_PID")
    exec {gone}>&-
  else
    env "${ENVS[@]}" "$ZT_BIN" >"$E2E_TMP/out.log" 2>"$E2E_TMP/err.log" &
    ZT_PID=$!
    E2E_PIDS+=("$ZT_PID")
  fi
  WINDOW=-1
  if wait_window 10000; then WINDOW=$(($(now_ms) - t0)); fi
  sleep 1 # music loading or playing
  HWM=$(hwm_kb "$ZT_PID")
  case $ending in
    click) ENDED=$("$ZT_PROBE" click-exit "$ZT_PID") ;;
    term | destroy)
      t1=$(now_ms)
      if [ "$ending" = term ]; then kill -TERM "$ZT_PID"; else
        xdotool search --name "$ZT_WINDOW_NAME" windowclose 2>/dev/null
      fi
      ENDED=-1
      for _ in $(seq 1 500); do
        is_running "$ZT_PID" || { ENDED=$(($(now_ms) - t1)); break; }
        sleep 0.01
      done
      ;;
  esac
  wait_exit "$ZT_PID" 15
  [ "$EXIT_STATUS" = running ] && kill -KILL "$ZT_PID" 2>/dev/null && wait "$ZT_PID" 2>/dev/null
  check_eq "$name: $ending ends it with status 0" 0 "$EXIT_STATUS"
}
within() {  # within WHAT LIMIT VALUE
  if [ "$3" -ge 0 ] && [ "$3" -le "$2" ]; then pass "$1 ($3 <= $2)"; else
    fail "$1: $3 (limit $2)"
  fi
}

# case            second ending   stderr expected (empty: nothing)
cases=(
  "wave_1hz              click ''"
  "long_midi_as_wave     click ''"
  "sparse_wave           click ''"
  "dense_midi            click ''"
  "short_midi            click ''"
  "no_sound_card         click ''"
  "destroyed_window      destroy ''"
  "planted_lock_symlink  click 'instance lock'"
  "foreign_lock          click 'instance lock'"
  "closed_stderr         click -"
)
printf '%-22s %8s %8s %8s %8s\n' case window_ms end_ms term_ms hwm_kb >"$E2E_TMP/table"
for row in "${cases[@]}"; do
  eval "set -- $row"
  [[ $1 =~ ${ZT_CASES:-.} ]] || continue
  name=$1 ending=$2 expect=$3
  dir="$E2E_TMP/$name"
  ZT_BIN=$ZT_BIN_ORIG copy_program "$dir"
  ENVS=() SHARED="" STDERR=""
  declare -F "setup_$name" >/dev/null && "setup_$name" "$dir" "$name"
  before=$(snapshot "$dir" ${SHARED:+"$SHARED"})
  log "--- $name"
  run "$name" "$dir" "$ending"
  window=$WINDOW ended=$ENDED hwm=$HWM
  case $expect in
    -) ;;
    '') stderr_is "$name" "" ;;
    *) stderr_is "$name" "$expect" ;;
  esac
  run "$name" "$dir" term
  term=$ENDED
  [ "$HWM" -gt "$hwm" ] && hwm=$HWM
  within "$name: window shown (ms)" "$WINDOW_MS" "$window"
  within "$name: $ending to exit (ms)" "$([ "$ending" = click ] && echo "$CLICK_MS" || echo "$TERM_MS")" "$ended"
  within "$name: SIGTERM to exit (ms)" "$TERM_MS" "$term"
  within "$name: peak memory (kB)" "$HWM_KB" "$hwm"
  check_eq "$name: nothing else written" "$before" "$(snapshot "$dir" ${SHARED:+"$SHARED"})"
  [ -e "$E2E_TMP/victim-$name" ] && fail "$name: the planted link was followed"
  printf '%-22s %8s %8s %8s %8s\n' "$name" "$window" "$ended" "$term" "$hwm" >>"$E2E_TMP/table"
done

# Render mode: planted .part links next to the outputs are never followed.
log "--- planted_part_symlink"
out="$E2E_TMP/render"
mkdir -p "$out"
echo keep >"$E2E_TMP/victim-part"
for f in figures.jsonl figure-0001.png; do ln -s "$E2E_TMP/victim-part" "$out/$f.part"; done
"$ZT_BIN_ORIG" --render "$out" --figures 1 --size 64x64 --seed 1 2>"$E2E_TMP/err.log"
check_eq "planted_part_symlink: render status" 0 "$?"
check_eq "planted_part_symlink: the link target is untouched" keep "$(cat "$E2E_TMP/victim-part")"
for f in figures.jsonl figure-0001.png; do
  if [ ! -f "$out/$f" ] || [ -L "$out/$f" ]; then fail "planted_part_symlink: $f is not a plain file"; fi
done
cat "$E2E_TMP/table" >&2
finish
