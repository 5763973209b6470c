#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the program and the tests need,
# only those that are missing (apt-get as root, through sudo otherwise).
# With arguments, those packages instead of the list below.
set -euo pipefail
packages=(
  build-essential cmake pkg-config git clang libclang-rt-14-dev
  libsdl2-dev libsdl2-ttf-dev libsdl2-mixer-dev libsdl2-image-dev
  libfontconfig-dev libpng-dev libx11-dev libxtst-dev
  fonts-ipafont-mincho fonts-dejavu-core timgm6mb-soundfont
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xdotool x11-utils x11-apps xauth procps xscreensaver libxfixes-dev
  xscreensaver-data-extra
)
[ $# -gt 0 ] && packages=("$@")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
