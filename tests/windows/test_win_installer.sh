#!/usr/bin/env bash
# The installer's /S into a Wine prefix of its own: the .scr lands in the
# 64-bit system folder (not SysWOW64), becomes the current screen saver, an
# uninstaller is registered; the uninstaller's /S takes it all away again.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=win_lib.sh
source "$here/win_lib.sh" "$@"
setup=$(dirname "$ZT_SCR")/zolven-taris-setup.exe
[ -f "$setup" ] || { log "SKIP: no installer built"; exit 77; }
# A display for the whole test: the uninstaller goes on in a copy of itself
# after the first process has ended, which needs the wine server kept up.
start_xvfb 800x600x24
# A fresh prefix, so nothing of other tests' runs counts.
export ZT_WINEPREFIX="$E2E_TMP/prefix"
sys32="$ZT_WINEPREFIX/drive_c/windows/system32"
regvalue() {  # regvalue KEY NAME
  "$ZT_WINE_RUN" reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
    sed -n "s/^ *$2 *REG_[A-Z_]* *//p"
}

"$ZT_WINE_RUN" "$setup" /S
check_eq "the installer's status" 0 "$?"
if cmp -s "$ZT_SCR" "$sys32/zolven-taris.scr"; then pass "the .scr is in the system folder"; else
  fail "no zolven-taris.scr in $sys32"
fi
[ -e "$ZT_WINEPREFIX/drive_c/windows/syswow64/zolven-taris.scr" ] &&
  fail "the .scr went into SysWOW64"
check_eq "the current screen saver" 'C:\windows\System32\zolven-taris.scr' \
  "$(regvalue 'HKCU\Control Panel\Desktop' SCRNSAVE.EXE)"
uninstaller=$(regvalue 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\ZolvenTaris' \
  QuietUninstallString)
case "$uninstaller" in
  *uninstall.exe*) pass "an uninstaller is registered" ;;
  *) fail "no uninstaller registered: '$uninstaller'" ;;
esac
"$ZT_WINE_RUN" "C:\\Program Files\\Zolven Taris\\uninstall.exe" /S
# NSIS's uninstaller finishes from a copy of itself in the temporary folder.
for _ in $(seq 1 100); do
  [ -e "$sys32/zolven-taris.scr" ] || break
  sleep 0.1
done
if [ -e "$sys32/zolven-taris.scr" ]; then fail "the uninstaller left the .scr"; else
  pass "the uninstaller took the .scr away"
fi
check_eq "no current screen saver after uninstalling" "" \
  "$(regvalue 'HKCU\Control Panel\Desktop' SCRNSAVE.EXE)"
"$ZT_WINE_RUN" --stop
finish
