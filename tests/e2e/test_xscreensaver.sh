#!/usr/bin/env bash
# The program as a hack of the real XScreenSaver daemon: configured alone
# with the labelled line "Zolven Taris" zolven-taris --root --speed 2.0 -fps
# (as the settings write it with the frame rate ticked), activation shows the
# backdrop, the frame-rate line and then spokes on the daemon's window;
# deactivation ends the hack within a second, with status 0.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh" "$@"
# shellcheck source=hack_lib.sh
source "$here/hack_lib.sh"

need xscreensaver xscreensaver-command
start_xvfb 1024x768x24

# The daemon will not launch hacks as root: run it, and so the hack, as an
# ordinary user, from files that user can read.
chmod 755 "$E2E_TMP"
as_user=()
if [ "$(id -u)" -eq 0 ]; then
  need setpriv
  as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
fi
home="$E2E_TMP/home"
bin="$E2E_TMP/bin"
mkdir -p "$home" "$bin" "$E2E_TMP/real"
copy_program "$E2E_TMP/real"
# On PATH under the program's name: runs the program, passes the daemon's
# signals on and notes its pid and exit status.
cat >"$bin/zolven-taris" <<WRAP
#!/bin/bash
"$E2E_TMP/real/zolven-taris" "\$@" 2>>"$home/hack.err" &
child=\$!
echo "\$child" >"$home/hack.pid"
trap 'kill -TERM \$child 2>/dev/null' TERM INT HUP
wait \$child
status=\$?
while kill -0 \$child 2>/dev/null; do wait \$child; status=\$?; done
echo "\$status" >"$home/hack.status"
WRAP
chmod 755 "$bin/zolven-taris" "$E2E_TMP/real/zolven-taris"
cat >"$home/.xscreensaver" <<'CONF'
mode:		one
selected:	0
timeout:	0:30:00
cycle:		0:00:00
lock:		False
fade:		False
unfade:		False
splash:		False
dpmsEnabled:	False
grabDesktopImages:	False
grabVideoFrames:	False
programs:	"Zolven Taris" zolven-taris --root --speed 2.0 -fps \n
CONF
if [ ${#as_user[@]} -gt 0 ]; then chown -R nobody:nogroup "$home"; fi

as_daemon_user() {
  "${as_user[@]}" env HOME="$home" DISPLAY="$DISPLAY" PATH="$bin:/usr/bin:/bin" "$@"
}

as_daemon_user xscreensaver -no-splash -verbose >"$E2E_TMP/xscreensaver.log" 2>&1 &
E2E_PIDS+=("$!")
up=no
for i in $(seq 1 50); do
  if as_daemon_user xscreensaver-command -version >/dev/null 2>&1; then up=yes; break; fi
  sleep 0.1
done
check_eq "the daemon answers" yes "$up"

log "--- -activate: the hack draws on the daemon's window"
as_daemon_user xscreensaver-command -activate >/dev/null 2>&1
hack=
for i in $(seq 1 100); do
  hack=$(cat "$home/hack.pid" 2>/dev/null)
  [ -n "$hack" ] && break
  sleep 0.05
done
if [ -z "$hack" ]; then
  fail "the daemon started no hack"
  tail -n 20 "$E2E_TMP/xscreensaver.log" >&2
  finish
fi
pass "the daemon started the hack (pid $hack)"
sleep 1.5
check_gradient "daemon's window" 0 0 1024 768
sleep 2.5  # the title card's hold; the first figure clears it
wait_spokes "daemon's window" 0 0 1024 768 15
fps=$("$ZT_PROBE" count 255 255 255 0 740 240 768)
[ "$fps" -gt 20 ] && pass "the frame-rate line ($fps white pixels)" || fail "no frame-rate line"

if grep -q "on window 0x" "$E2E_TMP/xscreensaver.log"; then
  pass "the daemon gave it its window: $(grep -o 'on window 0x[0-9a-f]*' "$E2E_TMP/xscreensaver.log" | tail -n 1)"
fi

log "--- -deactivate: the hack ends within a second, status 0"
as_daemon_user xscreensaver-command -deactivate >/dev/null 2>&1
start=$(date +%s%N)
gone=no
while [ $(( ($(date +%s%N) - start) / 1000000 )) -lt 1000 ]; do
  if ! kill -0 "$hack" 2>/dev/null; then gone=yes; break; fi
  sleep 0.02
done
check_eq "hack ended within one second" yes "$gone"
log "ended after $(( ($(date +%s%N) - start) / 1000000 )) ms"
for i in $(seq 1 50); do [ -s "$home/hack.status" ] && break; sleep 0.05; done
check_eq "hack's exit status" 0 "$(cat "$home/hack.status" 2>/dev/null)"
if [ -s "$home/hack.err" ]; then fail "the hack wrote: $(head -n 5 "$home/hack.err")"; else
  pass "the hack wrote nothing to stderr"
fi
as_daemon_user xscreensaver-command -exit >/dev/null 2>&1

finish
