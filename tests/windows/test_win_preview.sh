#!/usr/bin/env bash
# /p HWND under Wine: a child window at the size of a 320x240 window of
# another program, running while that window lives and ending with status 0
# once it goes; the pointer is left alone. Wine shows no pixels of a child
# window whose parent belongs to another process, so the drawing itself is
# looked at where Wine shows it: the same scene in a 320x240 --window.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=win_lib.sh
source "$here/win_lib.sh" "$@"
[ -n "$ZT_PREVIEW_HOST" ] || { log "SKIP: no preview host"; exit 77; }
start_xvfb 1024x768x24
xdotool mousemove 900 700

"$ZT_WINE_RUN" "$ZT_PREVIEW_HOST" 12 >"$E2E_TMP/host.out" 2>/dev/null &
host_pid=$!
E2E_PIDS+=("$host_pid")
for _ in $(seq 1 300); do
  [ -s "$E2E_TMP/host.out" ] && break
  sleep 0.1
done
hwnd=$(head -n 1 "$E2E_TMP/host.out" | tr -d '\r')
[ -n "$hwnd" ] || { fail "the preview host gave no window"; finish; }
log "preview window $hwnd"
start_program /p "$hwnd"
sleep 5
shot win-preview
check_eq "the pointer is left alone" "900 700" "$(pointer)"
if is_running "$ZT_PID"; then pass "the preview runs while its window is there"; else
  fail "the preview ended early"
fi
wait_exit "$host_pid" 20
wait_exit "$ZT_PID" 10
check_eq "the preview ends with its window, status 0" 0 "$EXIT_STATUS"
check_eq "the preview is a visible child at the window's size" \
  "child ZolvenTarisWindow 320x240 visible" "$(grep '^child' "$E2E_TMP/host.out" | tr -d '\r')"

log "--- the same scene at 320x240 where Wine shows it"
ZT_WINDOW_NAME="Zolven Taris"
start_program --window --geometry 320x240
wait_window 30000 || fail "no window"
sleep 5
shot win-small-window
read -r x y w h <<<"$("$ZT_PROBE" geometry "$ZT_WINDOW_NAME")"
check_eq "window size" "320 240" "$w $h"
drawn=$("$ZT_PROBE" notblue "$x" "$y" $((x + w)) $((y + h)))
if [ "$drawn" -gt 20 ]; then pass "spokes at 320x240 ($drawn pixels)"; else
  fail "nothing drawn at 320x240 ($drawn pixels)"
fi
kill -TERM "$ZT_PID" 2>/dev/null
finish
