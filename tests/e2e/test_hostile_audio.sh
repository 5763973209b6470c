#!/usr/bin/env bash
# No usable audio device: a driver that does not exist, or the disk driver
# writing into a path that cannot be created. The music stays silent without
# a word and the program draws on.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh" "$@"
# shellcheck source=hostile_lib.sh
source "$here/hostile_lib.sh"

start_xvfb 640x480x24
for music in wave midi; do
  copy_program "$E2E_TMP/$music"
done
make_wave "$E2E_TMP/wave/zt-bgm.wav"
make_midi "$E2E_TMP/midi/zt-bgm.mid"
touch "$E2E_TMP/not-a-folder"

for music in wave midi; do
  log "--- $music next to the program, SDL_AUDIODRIVER=bogus"
  SDL_AUDIODRIVER=bogus ZT_BIN="$E2E_TMP/$music/zolven-taris" start_program --window
  draws_on "$music, no such audio driver"
  stderr_is "$music, no such audio driver" ""

  log "--- $music next to the program, disk driver into an impossible path"
  SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$E2E_TMP/not-a-folder/audio.raw" \
    ZT_BIN="$E2E_TMP/$music/zolven-taris" start_program --window
  draws_on "$music, unwritable disk audio"
  stderr_is "$music, unwritable disk audio" ""
done
finish
