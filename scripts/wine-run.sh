#!/usr/bin/env bash
# Runs a Windows program under Wine in a private prefix, never the user's:
#   wine-run.sh PREFIX-DIR PROGRAM.exe [ARGUMENTS...]
#   wine-run.sh PREFIX-DIR              (only makes the prefix)
# The first call makes the prefix, a copy of the template prefix beside it
# (wine-template, made once by wineboot, about 20 s; see wine-prefix.sh);
# later calls reuse it. CTest calls this for every cross-built test
# (CMAKE_CROSSCOMPILING_EMULATOR).
set -euo pipefail
here=$(dirname "$(realpath "$0")")
prefix=$(realpath -m "$1")  # Wine takes absolute prefixes only
shift

export WINEPREFIX=$prefix
export WINEDEBUG=-all
# No Mono or Gecko: the prefix is for console programs and must not try to
# download or install anything.
export WINEDLLOVERRIDES="mscoree,mshtml="
# Console programs only; keep Wine away from the user's display.
unset DISPLAY WAYLAND_DISPLAY

mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
if [ ! -f "$prefix/.aquarium-ready" ]; then
  bash "$here/wine-prefix.sh" "$(dirname "$prefix")/wine-template" "$prefix"
  touch "$prefix/.aquarium-ready"
fi
flock -u 9
exec 9>&-

if [ $# -eq 0 ]; then
  exit 0
fi
exec wine "$@"
