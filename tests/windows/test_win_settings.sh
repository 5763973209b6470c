#!/usr/bin/env bash
# /c and /c:HWND under Wine: the settings dialog comes up, OK stores the
# values under HKCU\Software\Zolven Taris (the defaults when nothing was
# changed), Escape leaves the stored ones alone; status 0 both ways. An
# owner window that no longer exists does not keep the dialog away.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=win_lib.sh
source "$here/win_lib.sh" "$@"
start_xvfb 800x600x24
key_path='HKCU\Software\Zolven Taris'
# The build's prefix, with no settings before and none left after.
"$ZT_WINE_RUN" reg delete "$key_path" /f >/dev/null 2>&1
trap '"$ZT_WINE_RUN" reg delete "$key_path" /f >/dev/null 2>&1; "$ZT_WINE_RUN" --stop
  e2e_cleanup; rm -f "${E2E_CLEAN_FILES[@]}"' EXIT
# On a loaded machine reg.exe now and then answers nothing at all: asked
# again, it reads the value. A value that is really missing stays empty.
regvalue() {
  local value="" try
  for try in 1 2 3 4 5; do
    value=$("$ZT_WINE_RUN" reg query "$key_path" /v "$1" 2>/dev/null | tr -d '\r' |
      sed -n "s/^ *$1 *REG_[A-Z_]* *//p")
    [ -n "$value" ] && break
    sleep 0.5
  done
  printf '%s' "$value"
}
ZT_WINDOW_NAME="Zolven Taris Settings"

log "--- /c, then OK"
start_program /c
wait_window 30000 || fail "no settings dialog"
shot win-settings
xdotool search --name "$ZT_WINDOW_NAME" windowactivate --sync 2>/dev/null
key Return
wait_exit "$ZT_PID" 15
check_eq "OK closes it with status 0" 0 "$EXIT_STATUS"
check_eq "speed stored, the normal pace" 0x64 "$(regvalue Speed)"
check_eq "256 colours stored, off" 0x0 "$(regvalue Colors256)"

log "--- /c:HWND with a window that is gone, then Escape"
"$ZT_WINE_RUN" reg add "$key_path" /v Speed /t REG_DWORD /d 250 /f >/dev/null 2>&1
check_eq "a speed stored before it" 0xfa "$(regvalue Speed)"
start_program /c:65552
wait_window 30000 || fail "no settings dialog"
xdotool search --name "$ZT_WINDOW_NAME" windowactivate --sync 2>/dev/null
key Escape
wait_exit "$ZT_PID" 15
check_eq "Escape closes it with status 0" 0 "$EXIT_STATUS"
check_eq "the stored speed is left alone" 0xfa "$(regvalue Speed)"
finish
