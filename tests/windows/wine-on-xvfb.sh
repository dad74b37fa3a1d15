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
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

# The X server picks a free display and writes its number to fd 3, so that
# servers started side by side never race for one number.
display_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$display_file" 2>/dev/null &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true; wait "$xvfb" 2>/dev/null || true; rm -f "$display_file"' EXIT
for _ in $(seq 100); do [ -s "$display_file" ] && break; sleep 0.1; done
[ -s "$display_file" ] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$display_file")"

status=0
wine "$@" || status=$?
wineserver -k 2>/dev/null || true
wineserver --wait 2>/dev/null || true
exit $status
