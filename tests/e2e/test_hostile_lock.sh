#!/usr/bin/env bash
# The folder for the instance lock cannot be written: the program runs
# without the single-instance check and says so in one line.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh" "$@"
# shellcheck source=hostile_lib.sh
source "$here/hostile_lib.sh"

# A read-only folder; root writes anywhere, but not into sysfs.
locked="$E2E_TMP/read-only"
mkdir -p "$locked"
chmod 555 "$locked"
if touch "$locked/probe" 2>/dev/null; then
  rm -f "$locked/probe"
  locked=/sys
fi
log "lock folder: $locked"

start_xvfb 640x480x24
for mode in "--window" "full screen"; do
  log "--- XDG_RUNTIME_DIR and TMPDIR read-only ($mode)"
  args=()
  [ "$mode" != "full screen" ] && args=("$mode")
  XDG_RUNTIME_DIR="$locked" TMPDIR="$locked" start_program "${args[@]}"
  draws_on "read-only lock folder ($mode)"
  stderr_is "read-only lock folder ($mode)" \
    "^zolven-taris: cannot open the instance lock $locked/.*; running without the single-instance check$"
done
finish
