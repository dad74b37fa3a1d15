#!/usr/bin/env bash
# Installs the Debian packages the project builds, runs and tests with.
# Packages already present are left alone, so a second run costs a dpkg query.
#   setup.sh           everything: building, testing (the default)
#   setup.sh install   only what building the programs needs (make install)
#   setup.sh deb       that and the Debian packaging tools (make deb)
#   setup.sh clang     everything and the second compiler (make test-clang)
set -euo pipefail
source "$(dirname "$0")/packages.sh"

build_packages=(
  build-essential cmake ninja-build pkg-config
  libsdl2-dev libepoxy-dev libegl-dev libgl1-mesa-dri libx11-dev libxcb1-dev libxrandr-dev libxcb-dpms0-dev
  libfreetype-dev libfontconfig-dev fonts-liberation2
  libimgui-dev libglm-dev libinih-dev libpng-dev libstb-dev
  libwayland-dev wayland-protocols
)
test_packages=(
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth xdotool x11-utils imagemagick libxcb-damage0-dev
  xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils
  xscreensaver xscreensaver-gl dbus dbus-x11 libxss-dev libdbus-1-dev
  sway grim wtype
)
deb_packages=(debhelper lintian fakeroot dpkg-dev)

case "${1:-all}" in
  install) packages=("${build_packages[@]}") ;;
  deb) packages=("${build_packages[@]}" "${deb_packages[@]}") ;;
  all) packages=("${build_packages[@]}" "${test_packages[@]}" "${deb_packages[@]}") ;;
  clang) packages=("${build_packages[@]}" "${test_packages[@]}" "${deb_packages[@]}" clang) ;;
  *) echo "usage: setup.sh [install|deb|clang]" >&2; exit 2 ;;
esac

install_missing_packages setup "${packages[@]}"
