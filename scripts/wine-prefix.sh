#!/usr/bin/env bash
# Makes a private Wine prefix for the tests, in a fraction of a second:
#   wine-prefix.sh TEMPLATE PREFIX
# TEMPLATE is a prefix made once by wineboot (about 20 s, 1.3 GB) in which
# nothing ever runs. PREFIX (replaced when it exists) becomes a copy of it
# whose Windows programs, libraries and language tables are hard links to
# the template's, as Wine only reads them; every other file (the registry,
# the .ini files, the users' folders) is a copy of its own. Calls that share
# a template wait while it is being made.
set -euo pipefail
template=$(realpath -m "$1")
prefix=$(realpath -m "$2")

export WINEDEBUG=-all
# No Mono or Gecko: the prefix must not try to download or install anything.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

mkdir -p "$(dirname "$template")"
exec 9>"$template.lock"
flock 9
if [ ! -f "$template/.aquarium-ready" ]; then
  rm -rf "$template"
  WINEPREFIX=$template wineboot --init >/dev/null 2>&1
  WINEPREFIX=$template wineserver --wait
  touch "$template/.aquarium-ready"
fi
flock -s 9  # copies may be made side by side, never while the template is made

rm -rf "$prefix"
mkdir -p "$(dirname "$prefix")"
cp -al "$template" "$prefix"
rm -f "$prefix/.aquarium-ready"
find "$template" -type f ! -name .aquarium-ready \
  ! -iregex '.*\.\(dll\|exe\|drv\|sys\|nls\|ocx\|cpl\|acm\|tlb\|vxd\|ds\|ax\|com\|msstyles\)' -printf '%P\0' |
  while IFS= read -r -d '' file; do
    cp -p --remove-destination "$template/$file" "$prefix/$file"
  done
