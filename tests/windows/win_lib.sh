#!/usr/bin/env bash
# Shared part of the Windows end-to-end tests: the cross-built .scr run
# under Wine (scripts/wine-run.sh, the build's own prefix) on a private
# Xvfb, probed with the Linux build's zt_xprobe through tests/e2e/lib.sh.
# Usage in a test: source win_lib.sh SCR XPROBE_DIR LINUX_PROGRAM PREVIEW_HOST
win_here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
ZT_SCR=${1:?the .scr}
ZT_LINUX_BIN=${3:-}
ZT_PREVIEW_HOST=${4:-}
ZT_WINE_RUN=$win_here/../../scripts/wine-run.sh
command -v wine >/dev/null 2>&1 || { echo "[e2e] SKIP: no wine" >&2; exit 77; }
win_wrapper=$(mktemp "${TMPDIR:-/tmp}/zt-scr.XXXXXX")
printf '#!/bin/sh\nexec "%s" "%s" "$@"\n' "$ZT_WINE_RUN" "$ZT_SCR" >"$win_wrapper"
chmod +x "$win_wrapper"
# shellcheck source=../e2e/lib.sh
source "$win_here/../e2e/lib.sh" "$win_wrapper" "$2"
E2E_CLEAN_FILES=("$win_wrapper")
# Wine's programs end before their X server does.
trap '"$ZT_WINE_RUN" --stop; e2e_cleanup; rm -f "${E2E_CLEAN_FILES[@]}"' EXIT

# The Windows path of a Linux one, as Wine's Z: drive shows it.
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# Saves a screenshot as PNG for a person to look at, under the build's
# windows-shots folder.
shot() {  # shot NAME
  local dir=${ZT_SHOT_DIR:-$(dirname "$ZT_SCR")/windows-shots}
  mkdir -p "$dir"
  "$ZT_PROBE" shot "$E2E_TMP/shot.ppm" && python3 "$win_here/png_pixels.py" --ppm \
    "$E2E_TMP/shot.ppm" "$dir/$1.png" && log "screenshot $dir/$1.png"
}
