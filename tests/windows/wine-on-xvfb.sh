#!/usr/bin/env bash
# Runs a Windows program under Wine on an X server of its own (Xvfb on a
# free display, 1024x768), in a private prefix that only programs with a
# display use; the prefix's Wine processes end with the program.
#   wine-on-xvfb.sh PREFIX-DIR PROGRAM.exe [ARGUMENTS...]
set -euo pipefail
here=$(dirname "$(realpath "$0")")
prefix=$(realpath -m "$1")
shift
bash "$here/../../scripts/wine-run.sh" "$prefix"  # makes the prefix once
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
status=0
xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" wine "$@" || status=$?
wineserver -k 2>/dev/null || true
wineserver --wait 2>/dev/null || true
exit $status
