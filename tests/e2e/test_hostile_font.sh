#!/usr/bin/env bash
# No usable font: fontconfig configured with no font folders. The captions
# are left out with one line on stderr; the figures and backdrops go on, on
# the screen and in the render mode alike.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh" "$@"
# shellcheck source=hostile_lib.sh
source "$here/hostile_lib.sh"

mkdir -p "$E2E_TMP/fc-cache"
cat >"$E2E_TMP/fonts.conf" <<CONF
<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "urn:fontconfig:fonts.dtd">
<fontconfig>
  <cachedir>$E2E_TMP/fc-cache</cachedir>
</fontconfig>
CONF
export FONTCONFIG_FILE="$E2E_TMP/fonts.conf"
no_font="^zolven-taris: no font is installed; text is left out$"

log "--- the render mode without fonts"
"$ZT_BIN" --render "$E2E_TMP/render" --figures 6 --size 320x200 --seed 9 \
  --start-time 2026-12-07T10:00:00 >"$E2E_TMP/out.log" 2>"$E2E_TMP/err.log"
check_eq "render without fonts: exit status" 0 "$?"
stderr_is "render without fonts" "$no_font"
check_eq "render without fonts: every figure recorded" 6 "$(wc -l <"$E2E_TMP/render/figures.jsonl")"
check_eq "render without fonts: every image written" 6 "$(ls "$E2E_TMP/render" | grep -c '^figure-.*\.png$')"

log "--- the screen without fonts"
start_xvfb 640x480x24
start_program --window
# A signal ends it: clicks are covered elsewhere, and twice under heavy load
# a click here met an Xlib BadWindow error in SDL's window teardown.
draws_on "screen without fonts" term
stderr_is "screen without fonts" "$no_font"
finish
