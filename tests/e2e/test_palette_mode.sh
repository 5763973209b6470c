#!/usr/bin/env bash
# 256-colour operation on a real window: after the title card, every colour
# on the screen is an entry of the figure's palette, the same palette the
# render mode writes into its indexed image for the same seed.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh" "$@"

start_xvfb 800x600x24
seed=11

"$ZT_BIN" --render "$E2E_TMP/render" --colors 256 --size 800x600 --seed "$seed" --figures 1 \
  2>"$E2E_TMP/render.log"
check_eq "the render of the same seed succeeds" 0 "$?"

xdotool mousemove 10 10
start_program --colors 256 --seed "$seed"
if ! wait_window 10000; then
  fail "no window appeared"
  finish
fi
# The title card holds three seconds; the first figure follows.
sleep 5.5
check_eq "still running during the first figure" 0 "$(is_running "$ZT_PID"; echo $?)"
misses=$("$ZT_PROBE" palette-miss "$E2E_TMP/render/figure-0001.png" 0 0 800 600)
check_eq "pixels outside the figure's palette" 0 "$misses"
spokes=$("$ZT_PROBE" notblue 0 0 800 600)
if [ "${spokes:-0}" -gt 50 ]; then
  pass "spokes are on the screen ($spokes pixels)"
else
  fail "no spokes on the screen ($spokes pixels)"
fi
# The row backdrop's bands stop short of the bottom: rows 591..599 are black.
check_eq "black strip under the bands" 0 "$("$ZT_PROBE" nonblack 0 591 1 600)"
check_eq "the brightest band" "0 0 98" "$(pixel 0 296)"
click 400 300 1
wait_exit "$ZT_PID" 10
check_eq "a click ends it" 0 "$EXIT_STATUS"
finish
