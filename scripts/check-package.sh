#!/usr/bin/env bash
# Builds the Debian package with scripts/package.sh, shows its control data,
# checks its fields and its exact file list, and that lintian finds nothing
# to report. Then installs it on
# this machine with dpkg -i, checks that every file is where the layout says,
# that the manual page renders without warnings and that the installed
# program runs, and removes the package again.
# Usage: scripts/check-package.sh [--keep | --no-install]
#   --keep        leave the package installed
#   --no-install  stop after the checks of the .deb itself (no root needed)
# Needs root (or sudo) for dpkg, and lintian (scripts/deps.sh test).
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-install}
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)

failed=0
ok() { echo "ok: $*"; }
bad() { echo "FAIL: $*"; failed=1; }
finish() {
  if [ "$failed" -ne 0 ]; then echo "package check FAILED"; exit 1; fi
  echo "package check passed"
  exit 0
}

deb=$(scripts/package.sh | tail -n 1)
echo "package: $deb"
dpkg-deb --info "$deb"
depends=$(dpkg-deb --field "$deb" Depends)
for lib in libsdl2-2.0-0 libsdl2-mixer-2.0-0 libfreetype6 libfontconfig1 zlib1g \
  libx11-6; do
  if grep -qw -- "$lib" <<<"$depends"; then ok "depends on $lib"; else bad "no dependency on $lib"; fi
done
grep -qw fonts-ipafont-mincho <<<"$(dpkg-deb --field "$deb" Recommends)" &&
  ok "recommends fonts-ipafont-mincho" || bad "does not recommend fonts-ipafont-mincho"
grep -qw timgm6mb-soundfont <<<"$(dpkg-deb --field "$deb" Suggests)" &&
  ok "suggests timgm6mb-soundfont" || bad "does not suggest timgm6mb-soundfont"
section=$(dpkg-deb --field "$deb" Section)
[ "$section" = x11 ] && ok "section $section" || bad "section '$section', not x11"

echo "contents:"
dpkg-deb --contents "$deb"
# Every file and link, no more and no less.
listed=$(dpkg-deb --contents "$deb" | awk '$1 !~ /^d/ { print substr($6, 2) }' | sort)
expected=$(sort <<'LIST'
/usr/bin/zolven-taris
/usr/lib/x86_64-linux-gnu/zolven-taris/zolven-taris-sdl.so
/usr/libexec/xscreensaver/zolven-taris
/usr/share/applications/zolven-taris.desktop
/usr/share/doc/zolven-taris/changelog.gz
/usr/share/doc/zolven-taris/copyright
/usr/share/icons/hicolor/48x48/apps/zolven-taris.png
/usr/share/icons/hicolor/scalable/apps/zolven-taris.svg
/usr/share/man/man6/zolven-taris.6.gz
/usr/share/xscreensaver/config/zolven-taris.xml
LIST
)
if [ "$listed" = "$expected" ]; then ok "the package holds exactly the expected files"; else
  bad "file list differs from the expected one:"
  diff <(echo "$expected") <(echo "$listed") || true
fi
grep -q ' ./usr/libexec/xscreensaver/zolven-taris -> ../../bin/zolven-taris$' \
  <<<"$(dpkg-deb --contents "$deb")" && ok "hack link points at the program" ||
  bad "hack link does not point at ../../bin/zolven-taris"
icon=$(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/applications/zolven-taris.desktop |
  sed -n 's/^Icon=//p')
for kind in 48x48/apps/"$icon".png scalable/apps/"$icon".svg; do
  grep -qx "/usr/share/icons/hicolor/$kind" <<<"$listed" &&
    ok "the menu entry's icon is in hicolor/$kind" || bad "no hicolor/$kind for Icon=$icon"
done

# Infos fail the check too: the hardening and strip infos are what the
# package build is there to avoid.
if command -v lintian >/dev/null; then
  status=0
  report=$(lintian -I --fail-on error,warning,info "$deb" 2>&1) || status=$?
  report=$(grep -v 'running with root privileges' <<<"$report" || true)
  if [ -n "$report" ]; then
    bad "lintian reports:"
    echo "$report"
  elif [ "$status" -ne 0 ]; then
    bad "lintian failed with status $status"
  else
    ok "lintian reports nothing"
  fi
else
  bad "lintian is not installed (scripts/deps.sh test installs it)"
fi
[ "$mode" = --no-install ] && finish

"${sudo_cmd[@]}" dpkg -i "$deb"
remove() { [ "$mode" = --keep ] || "${sudo_cmd[@]}" dpkg -r zolven-taris >/dev/null; }
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
check_file /usr/lib/x86_64-linux-gnu/zolven-taris/zolven-taris-sdl.so
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
  # The server picks a free number itself and writes it once it is ready.
  Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp 3>"$out.display" >/dev/null 2>&1 &
  xvfb=$!
  n=
  for _ in $(seq 1 100); do
    read -r n <"$out.display" && break
    n=
    sleep 0.1
  done
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
  rm -f "$out.err" "$out.display"
fi

finish
