#!/usr/bin/env bash
# Checks shared by the screen-saver hack tests; sourced after lib.sh.

# blue_of X Y: the blue channel of a pixel that must be pure blue (red and
# green 0), or "no" when it is not.
blue_of() {
  local r g b
  read -r r g b <<<"$(pixel "$1" "$2")"
  if [ "$r" = 0 ] && [ "$g" = 0 ]; then echo "$b"; else echo no; fi
}

# check_gradient WHAT X0 Y0 W H: the row backdrop fills the rectangle: dark
# blue at its top and bottom, brightest across its middle, so the picture
# follows the rectangle's size. A window is mapped before its first backdrop
# is painted, so the picture gets up to 5 s to appear.
check_gradient() {
  local what=$1 x=$(($2 + 1)) y0=$3 w=$4 h=$5 top mid bottom _
  for _ in $(seq 1 50); do
    top=$(blue_of "$x" $((y0 + 1)))
    mid=$(blue_of "$x" $((y0 + h / 2)))
    bottom=$(blue_of "$x" $((y0 + h - 2)))
    if [ "$top" != no ] && [ "$mid" != no ] && [ "$bottom" != no ] && [ "$top" -lt 30 ] &&
      [ "$bottom" -lt 30 ] && [ "$mid" -gt 80 ]; then
      pass "$what: blue gradient (top $top, middle $mid, bottom $bottom)"
      return 0
    fi
    sleep 0.1
  done
  fail "$what: no blue gradient (top $top, middle $mid, bottom $bottom)"
}

# wait_spokes WHAT X0 Y0 X1 Y1 TIMEOUT_S: pixels that are not pure blue
# (the title card is gone once a figure starts) show up in the rectangle.
wait_spokes() {
  local what=$1 i n
  for i in $(seq 1 $(($6 * 4))); do
    n=$(count_not_blue "$2" "$3" "$4" "$5")
    if [ "$n" -gt 50 ]; then
      pass "$what: spokes drawn ($n coloured pixels)"
      return 0
    fi
    sleep 0.25
  done
  fail "$what: no spokes within $6 s"
}

# Pixels with any red or green in the rectangle.
count_not_blue() { "$ZT_PROBE" notblue "$@"; }

# make_window W H X Y: a window of another client; sets WIN and WIN_PID.
make_window() {
  local out="$E2E_TMP/window.$RANDOM" i
  "$ZT_PROBE" make-window "$@" >"$out" &
  WIN_PID=$!
  E2E_PIDS+=("$WIN_PID")
  WIN=
  for i in $(seq 1 100); do
    WIN=$(head -n 1 "$out")
    [ -n "$WIN" ] && return 0
    sleep 0.05
  done
  fail "the probe made no window"
  finish
}
