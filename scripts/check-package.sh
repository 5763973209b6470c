#!/usr/bin/env bash
# Builds the Debian package, shows its control data, installs it on this
# machine with dpkg -i, checks that every file is where the layout says, that
# the manual page renders without warnings and that the installed program
# runs; then removes the package again (--keep leaves it installed).
# Needs root (or sudo) for dpkg.
set -euo pipefail
cd "$(dirname "$0")/.."
keep=no
[ "${1:-}" = --keep ] && keep=yes
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)

failed=0
ok() { echo "ok: $*"; }
bad() { echo "FAIL: $*"; failed=1; }

deb=$(scripts/package.sh | tail -n 1)
echo "package: $deb"
dpkg-deb --info "$deb"
depends=$(dpkg-deb --field "$deb" Depends)
for lib in libsdl2-2.0-0 libsdl2-ttf-2.0-0 libsdl2-mixer-2.0-0 libfontconfig1 libpng16-16 \
  libx11-6; do
  if grep -qw -- "$lib" <<<"$depends"; then ok "depends on $lib"; else bad "no dependency on $lib"; fi
done
grep -qw fonts-ipafont-mincho <<<"$(dpkg-deb --field "$deb" Recommends)" &&
  ok "recommends fonts-ipafont-mincho" || bad "does not recommend fonts-ipafont-mincho"
grep -qw timgm6mb-soundfont <<<"$(dpkg-deb --field "$deb" Suggests)" &&
  ok "suggests timgm6mb-soundfont" || bad "does not suggest timgm6mb-soundfont"
section=$(dpkg-deb --field "$deb" Section)
case "$section" in games | x11) ok "section $section" ;; *) bad "section '$section'" ;; esac
echo "contents:"
dpkg-deb --contents "$deb"

"${sudo_cmd[@]}" dpkg -i "$deb"
remove() { [ "$keep" = yes ] || "${sudo_cmd[@]}" dpkg -r zolven-taris >/dev/null; }
trap remove EXIT

check_file() {  # check_file PATH [link TARGET]
  if [ "${2:-}" = link ]; then
    if [ -L "$1" ] && [ "$(readlink "$1")" = "$3" ] && [ -x "$1" ]; then
      ok "$1 -> $3"
    else
      bad "$1 is not a working link to $3"
    fi
  elif [ -f "$1" ]; then
    ok "$1"
  else
    bad "$1 missing"
  fi
}
check_file /usr/bin/zolven-taris
check_file /usr/libexec/xscreensaver/zolven-taris link ../../bin/zolven-taris
check_file /usr/share/xscreensaver/config/zolven-taris.xml
check_file /usr/share/applications/zolven-taris.desktop
check_file /usr/share/man/man6/zolven-taris.6.gz
[ -x /usr/bin/zolven-taris ] && ok "/usr/bin/zolven-taris is executable" || bad "not executable"
if dpkg -L zolven-taris | grep -q '^/usr/libexec/xscreensaver/zolven-taris$'; then
  ok "dpkg owns the hack link"
else
  bad "dpkg does not list the hack link"
fi

warnings=$(MANWIDTH=80 man --warnings -l /usr/share/man/man6/zolven-taris.6.gz 2>&1 >/dev/null)
if [ -z "$warnings" ]; then ok "man -l renders without warnings"; else bad "man warnings: $warnings"; fi
MANWIDTH=80 man -l /usr/share/man/man6/zolven-taris.6.gz | grep -q "zt-bgm.mid" &&
  ok "the manual page names the music files" || bad "manual page lacks the music files"
if command -v xmllint >/dev/null; then
  xmllint --noout /usr/share/xscreensaver/config/zolven-taris.xml &&
    ok "hack description is well-formed XML"
fi
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate /usr/share/applications/zolven-taris.desktop &&
    ok "desktop file validates"
fi

version=$(/usr/bin/zolven-taris --version)
[ -n "$version" ] && ok "installed program runs: $version" || bad "installed program does not run"
out=$(mktemp -d)
if /usr/bin/zolven-taris --render "$out" --figures 1 --size 320x240 --seed 1 &&
  [ -s "$out/figure-0001.png" ]; then
  ok "installed program renders a figure"
else
  bad "installed program cannot render"
fi
rm -rf "$out"
# Hack mode from the installed link, under a private X server.
if command -v Xvfb >/dev/null; then
  for n in $(shuf -i 150-199); do [ -e "/tmp/.X$n-lock" ] || break; done
  Xvfb ":$n" -screen 0 640x480x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  sleep 1
  DISPLAY=":$n" /usr/libexec/xscreensaver/zolven-taris --root 2>"$out.err" &
  hack=$!
  sleep 2
  if kill -0 "$hack" 2>/dev/null; then
    kill -TERM "$hack"
    wait "$hack" && ok "hack mode from the installed link runs and ends on SIGTERM with 0" ||
      bad "hack mode ended with status $?"
  else
    wait "$hack"
    bad "hack mode ended at once: $(cat "$out.err")"
  fi
  kill "$xvfb" 2>/dev/null
  wait "$xvfb" 2>/dev/null || true
  rm -f "$out.err"
fi

if [ "$failed" -ne 0 ]; then echo "package check FAILED"; exit 1; fi
echo "package check passed"
