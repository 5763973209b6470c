#!/usr/bin/env bash
# Music next to the program: a wave file loops while the display runs and
# stops with it. Sound goes to SDL's "disk" driver, a raw file we can read.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh" "$@"

start_xvfb 640x480x24

# A 1-second 8-bit mono square wave at 8 kHz, written byte by byte.
le32() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $((($1 >> 8) & 255)))\\x$(printf %02x $((($1 >> 16) & 255)))\\x$(printf %02x $((($1 >> 24) & 255)))"; }
make_wave() {
  local samples=8000
  {
    printf 'RIFF'; le32 $((36 + samples)); printf 'WAVEfmt '
    le32 16; printf '\x01\x00\x01\x00'; le32 8000; le32 8000; printf '\x01\x00\x08\x00'
    printf 'data'; le32 "$samples"
    yes $'\x30\x30\x30\x30\x30\x30\x30\x30\xd0\xd0\xd0\xd0\xd0\xd0\xd0\xd0' | tr -d '\n' | head -c "$samples"
  } >"$1"
}

audio="$E2E_TMP/audio.raw"
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$audio"

# play WHAT EXPECT [ARGS...]: runs the program for 2 s; EXPECT is "sound"
# or "silence" from the disk driver's file. A click ends it, or SIGTERM with
# END=term.
play() {
  local what=$1 expect=$2 size loud heard=silence
  shift 2
  rm -f "$audio"
  start_program "$@"
  if ! wait_window 10000; then
    fail "$what: no window appeared"
    return
  fi
  sleep 2
  size=$(stat -c %s "$audio" 2>/dev/null || echo 0)
  loud=$(head -c 2000000 "$audio" 2>/dev/null | tr -d '\000' | head -c 1000 | wc -c)
  [ "$size" -gt 0 ] && [ "$loud" -ge 1000 ] && heard=sound
  check_eq "$what" "$expect" "$heard"
  if [ "${END:-click}" = term ]; then
    kill -TERM "$ZT_PID"
  else
    click 320 240 1
  fi
  wait_exit "$ZT_PID" 10
  check_eq "$what: a ${END:-click} ends it" 0 "$EXIT_STATUS"
  if [ "$heard" = sound ]; then
    size=$(stat -c %s "$audio" 2>/dev/null || echo 0)
    sleep 1
    check_eq "$what: the audio stops with the program" "$size" "$(stat -c %s "$audio" 2>/dev/null || echo 0)"
  fi
}

xdotool mousemove 10 10
# A user's own file, named on the command line, in a folder with a space;
# no extension, so its first bytes say it is a wave.
mkdir -p "$E2E_TMP/my music"
make_wave "$E2E_TMP/my music/tune"
play "--music FILE plays" sound --music "$E2E_TMP/my music/tune"
# The user's data folder, as the installed package finds it.
mkdir -p "$E2E_TMP/data/zolven-taris"
make_wave "$E2E_TMP/data/zolven-taris/zt-bgm.wav"
XDG_DATA_HOME="$E2E_TMP/data" play "\$XDG_DATA_HOME/zolven-taris plays" sound
XDG_DATA_HOME="$E2E_TMP/data" play "--no-music is silent" silence --no-music

# The program's own folder comes first: the unplayable file in the data
# folder is not even tried.
mkdir -p "$E2E_TMP/app"
copy_program "$E2E_TMP/app"
make_wave "$E2E_TMP/app/zt-bgm.wav"
echo "not a wave" >"$E2E_TMP/data/zolven-taris/zt-bgm.wav"
ZT_BIN="$E2E_TMP/app/zolven-taris"
XDG_DATA_HOME="$E2E_TMP/data" play "the wave next to the program plays first" sound

# A MIDI song next to the program, one note restarted every half second,
# with the synthesiser's sound thread running when the program ends.
copy_program "$E2E_TMP/midi-app"
printf 'MThd\x00\x00\x00\x06\x00\x00\x00\x01\x00\x60MTrk\x00\x00\x00\x0c\x00\x90\x3c\x40\x60\x80\x3c\x40\x00\xff\x2f\x00' \
  >"$E2E_TMP/midi-app/zt-bgm.mid"
ZT_BIN="$E2E_TMP/midi-app/zolven-taris"
song=silence
for font in "${SDL_SOUNDFONTS:-}" /usr/share/sounds/sf2/*.sf2 /usr/share/sounds/sf3/*.sf3 \
  /usr/share/soundfonts/*.sf2; do
  if [ -f "$font" ]; then song=sound; fi
done
[ "$song" = sound ] || log "no General MIDI soundfont (timgm6mb-soundfont): the song plays silently"
play "a MIDI song next to the program plays" "$song"
END=term play "a MIDI song, ended by SIGTERM" "$song"
finish
