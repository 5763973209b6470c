#!/usr/bin/env bash
# Installs the Debian 12 packages a task needs, only those that are missing
# (apt-get as root, through sudo otherwise), without recommended extras.
# Usage: scripts/deps.sh run|package|test|windows|windows-test
#   run      building and running the display (scripts/run.sh)
#   package  that, and what CPack needs for the .deb (scripts/package.sh)
#   test     everything the tests, the sanitizer and fuzz builds, the
#            end-to-end tests and the package checks use (scripts/test.sh)
#   windows  the Windows cross-build (scripts/build-windows.sh)
#   windows-test  that, and Wine with what the Windows tests use
set -euo pipefail
run=(
  g++ make cmake pkg-config
  libsdl2-dev libsdl2-ttf-dev libsdl2-mixer-dev
  libfontconfig-dev zlib1g-dev libpng-dev libx11-dev
  fonts-ipafont-mincho timgm6mb-soundfont
)
# dpkg-shlibdeps reads the package's dependencies off the binary; CPack then
# needs `file` to find the binaries.
package=(dpkg-dev file)
test=(
  git clang libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-dejavu-core libxtst-dev libxfixes-dev
  xvfb xdotool x11-utils x11-apps xauth procps xscreensaver xscreensaver-data-extra
  lintian man-db libxml2-utils desktop-file-utils
)
windows=(cmake make zip g++-mingw-w64-x86-64-posix libz-mingw-w64-dev nsis)
windows_test=(wine wine64 googletest xvfb x11-utils xdotool python3)
case "${1:-}" in
  run) packages=("${run[@]}") ;;
  package) packages=("${run[@]}" "${package[@]}") ;;
  test) packages=("${run[@]}" "${package[@]}" "${test[@]}") ;;
  windows) packages=("${windows[@]}") ;;
  windows-test) packages=("${windows[@]}" "${windows_test[@]}") ;;
  *) echo "usage: scripts/deps.sh run|package|test|windows|windows-test" >&2; exit 2 ;;
esac
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing what the $1 list needs: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
