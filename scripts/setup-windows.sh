#!/usr/bin/env bash
# Installs what the Windows targets need on top of scripts/setup.sh: the
# mingw-w64 cross compilers for both word sizes, Wine (32-bit programs too,
# which needs the i386 architecture), the OpenGL loader generator and the
# GoogleTest sources, built with the cross compilers.
#
# Wine's X11 driver and OpenGL load the X extension libraries and Mesa of
# their own word size at run time; the Wine packages only recommend them.
# Without the i386 ones a 32-bit program gets no OpenGL at all, and with
# XVidMode but not XRandR its display-mode changes fail under Xvfb.
set -euo pipefail
source "$(dirname "$0")/packages.sh"

packages=(
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
  wine wine64 wine32:i386
  python3-glad googletest libglm-dev libstb-dev
  nsis xvfb xauth xdotool x11-utils x11-xserver-utils imagemagick
  xserver-xorg-core xserver-xorg-video-dummy
)
for arch in amd64 i386; do
  packages+=(
    "libgl1:$arch" "libglx-mesa0:$arch" "libgl1-mesa-dri:$arch"
    "libxrandr2:$arch" "libxrender1:$arch" "libxi6:$arch" "libxcursor1:$arch"
    "libxinerama1:$arch" "libxcomposite1:$arch" "libxxf86vm1:$arch"
  )
done

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "setup-windows: adding the i386 architecture (for wine32)"
  as_root dpkg --add-architecture i386
fi

install_missing_packages setup-windows "${packages[@]}"
