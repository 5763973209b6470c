#!/usr/bin/env bash
# The README's quick-start commands as a user runs them from this checkout:
# scripts/run.sh --version, scripts/run.sh --render with one small figure,
# the package through scripts/check-package.sh --no-install, and
# `cmake --install` of the run script's build. A wrong path or a missing
# package in a script fails here instead of on a user's machine. Run before
# the test list is installed, on a fresh machine it also shows that the run
# and package lists are enough.
set -uo pipefail
cd "$(dirname "$0")/.."
failed=0
ok() { echo "ok: $*"; }
bad() { echo "FAIL: $*"; failed=1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

version=$(sed -n 's/^project(zolven-taris VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
scripts/run.sh --version >"$tmp/version.log" 2>&1
status=$?
said=$(tail -n 1 "$tmp/version.log")
if [ "$status" -eq 0 ] && [ "$said" = "zolven-taris $version" ]; then
  ok "scripts/run.sh --version: $said"
else
  bad "scripts/run.sh --version exited $status:"
  tail -n 20 "$tmp/version.log"
fi

scripts/run.sh --render "$tmp/out" --figures 1 --size 320x240 >"$tmp/render.log" 2>&1
status=$?
if [ "$status" -eq 0 ]; then ok "scripts/run.sh --render exited 0"; else
  bad "scripts/run.sh --render exited $status:"
  tail -n 20 "$tmp/render.log"
fi
files=$(ls "$tmp/out" 2>/dev/null | tr '\n' ' ')
[ "$files" = "figure-0001.png figures.jsonl " ] && ok "render wrote $files" ||
  bad "render wrote '$files', not one figure and its records"
# Signature, then the IHDR chunk's width and height (`file` is not on the
# run list).
header=$(od -An -tx1 -N24 "$tmp/out/figure-0001.png" 2>/dev/null | tr -d ' \n')
if [ "${header:0:16}" = 89504e470d0a1a0a ] && [ "${header:32:16}" = 00000140000000f0 ]; then
  ok "the figure is a 320x240 PNG"
else
  bad "the figure is no 320x240 PNG (header ${header:-missing})"
fi
records=$(wc -l 2>/dev/null <"$tmp/out/figures.jsonl")
[ "${records:-0}" -eq 1 ] && ok "figures.jsonl holds one record" ||
  bad "figures.jsonl holds ${records:-no} records"

# The package script alone first, so that on a fresh machine it shows that
# its own list is enough; the checks then need lintian from the test list.
if scripts/package.sh >"$tmp/package.log" 2>&1; then
  ok "scripts/package.sh built $(tail -n 1 "$tmp/package.log")"
else
  bad "scripts/package.sh failed:"
  tail -n 20 "$tmp/package.log"
fi
scripts/deps.sh test || failed=1
scripts/check-package.sh --no-install || failed=1

# What the README offers after scripts/run.sh: `cmake --install build/release`
# lays out the package's files under its prefix.
packaged=$(dpkg-deb --contents build/package/zolven-taris_*.deb |
  awk '$1 !~ /^d/ { print substr($6, 6) }' | sort)
if cmake --install build/release --prefix "$tmp/local" >"$tmp/install.log" 2>&1; then
  installed=$(cd "$tmp/local" && find . ! -type d | cut -c2- | sort)
  if [ -n "$installed" ] && [ "$installed" = "$packaged" ]; then
    ok "cmake --install build/release lays out the package's files"
  else
    bad "cmake --install differs from the package:"
    diff <(echo "$packaged") <(echo "$installed")
  fi
  "$tmp/local/libexec/xscreensaver/zolven-taris" --version >/dev/null &&
    ok "the installed hack link runs the program" || bad "the installed hack link is broken"
else
  bad "cmake --install build/release failed: $(tail -n 3 "$tmp/install.log")"
fi

[ "$failed" -eq 0 ] && { echo "quick start passed"; exit 0; }
echo "quick start FAILED"
exit 1
