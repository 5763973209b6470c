#!/usr/bin/env bash
# --render of the .scr under Wine against the Linux build's, same
# arguments: figures.jsonl byte for byte, and the images pixel for pixel,
# for several seeds, sizes and both colour modes. The two systems draw text
# through different rasterisers (GDI, FreeType), so the band of rows where a
# status line is printed is left out of the pixel comparison (and its
# differing pixels are reported); everything else must be identical.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=win_lib.sh
source "$here/win_lib.sh" "$@"
[ -x "$ZT_LINUX_BIN" ] || { log "SKIP: no Linux build to compare with"; exit 77; }

# seed size colours: 9 figures bring status lines on two backdrops; the
# start just before midnight puts the day's change into them.
while read -r seed size colours; do
  args=(--figures 9 --size "$size" --seed "$seed" --start-time 2026-12-07T23:58:30)
  [ "$colours" = 256 ] && args+=(--colors 256)
  linux="$E2E_TMP/linux-$seed" windows="$E2E_TMP/windows-$seed"
  "$ZT_LINUX_BIN" --render "$linux" "${args[@]}" 2>"$E2E_TMP/linux.err" ||
    fail "Linux render ${args[*]}"
  "$win_wrapper" --render "$(winpath "$windows")" "${args[@]}" 2>>"$E2E_TMP/err.log" ||
    fail "Windows render ${args[*]}"
  if python3 "$here/png_pixels.py" --render "$linux" "$windows" >"$E2E_TMP/compare.txt"; then
    pass "seed $seed, $size, $colours colours: $(grep -c identical "$E2E_TMP/compare.txt") images" \
      "identical outside the captions ($(grep -o '[0-9]* differ inside' "$E2E_TMP/compare.txt" |
        awk '{s += $1} END {print s + 0}') caption pixels differ)"
  else
    fail "seed $seed, $size, $colours colours: $(grep -v identical "$E2E_TMP/compare.txt" | head -n 3)"
  fi
  rm -rf "$linux" "$windows"
done <<'CASES'
1 640x480 direct
3 800x600 256
11 1024x768 direct
42 1280x720 256
7 333x277 direct
CASES
finish
