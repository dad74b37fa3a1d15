#!/usr/bin/env bash
# make install DESTDIR=<stage> PREFIX=/usr puts every file in its place:
# the programs (stripped), the XScreenSaver module description, the desktop
# entry, the icon and the manual page, and nothing outside the prefix. Its
# build tree holds only what is installed: no tests, no benchmarks.
# Usage: install_test.sh SOURCE_DIR BUILD_DIR
set -uo pipefail

source_dir=$1
build_dir=$2
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

install_build="$build_dir/install-tree"
if ! make -C "$source_dir" --no-print-directory install BUILD_INSTALL="$install_build" DESTDIR="$stage" PREFIX=/usr \
    > "$stage/make.log" 2>&1; then
  cat "$stage/make.log"
  echo "FAIL: make install"
  exit 1
fi
rm "$stage/make.log"

usr="$stage/usr"
for program in aquarium aquarium-headless; do
  [ -x "$usr/bin/$program" ] || fail "$usr/bin/$program is not an installed program"
  readelf -S "$usr/bin/$program" | grep -q '\.debug_info' && fail "$program is installed with its debugging symbols"
done
grep -q '^AQUARIUM_TESTS:BOOL=OFF' "$install_build/CMakeCache.txt" || fail "make install configures the tests"
for part in tests bench; do
  [ ! -e "$install_build/$part" ] || fail "make install builds $part"
done
grep -Eq '^(GTest|GTEST|benchmark)_' "$install_build/CMakeCache.txt" && fail "make install looks for the test frameworks"
for file in share/xscreensaver/config/aquarium.xml share/applications/aquarium.desktop \
            share/icons/hicolor/64x64/apps/aquarium.png share/pixmaps/aquarium.png share/man/man6/aquarium.6x \
            share/man/man6/aquarium-headless.6x; do
  [ -f "$usr/$file" ] || fail "$file is missing"
done
outside=$(find "$stage" -mindepth 1 -maxdepth 1 ! -name usr)
[ -z "$outside" ] || fail "installed outside the prefix: $outside"

# The installed programs work from their new place.
"$usr/bin/aquarium-headless" trace --seed 1 --steps 2 | head -1 | grep -q '^step,time,' ||
  fail "the installed aquarium-headless does not run"

xml="$usr/share/xscreensaver/config/aquarium.xml"
grep -q '<screensaver name="aquarium" _label="Aquarium"' "$xml" || fail "aquarium.xml names no module aquarium"
grep -q '<command arg="--root"/>' "$xml" || fail "aquarium.xml does not start the module with --root"
grep -q '<boolean id="showfps" _label="Show frame rate" arg-set="--fps"/>' "$xml" || fail "aquarium.xml has no frame-rate box"
grep -q '<number id="delay" type="slider" arg="--delay %"' "$xml" || fail "aquarium.xml has no frame-rate slider"
grep -q '<xscreensaver-updater />' "$xml" || fail "aquarium.xml has no updater element"
grep -q '<_description>' "$xml" || fail "aquarium.xml has no description"
if command -v xmllint > /dev/null; then
  xmllint --noout "$xml" || fail "aquarium.xml is not well-formed"
fi

desktop="$usr/share/applications/aquarium.desktop"
grep -qx 'Exec=aquarium -c' "$desktop" || fail "the desktop entry does not open the settings"
grep -qx 'Icon=aquarium' "$desktop" || fail "the desktop entry names another icon"
if command -v desktop-file-validate > /dev/null; then
  desktop-file-validate "$desktop" || fail "the desktop entry is not valid"
fi

for icon in share/icons/hicolor/64x64/apps/aquarium.png share/pixmaps/aquarium.png; do
  cmp -s "$source_dir/resources/icon.png" "$usr/$icon" || fail "$icon is not the program's icon"
done

manual="$usr/share/man/man6/aquarium.6x"
# The section of XScreenSaver's modules, a full date, and "screen saver" in
# the name line that apropos and whatis show.
grep -Eq '^\.TH AQUARIUM 6x "[0-9]{4}-[0-9]{2}-[0-9]{2}"' "$manual" || fail "aquarium.6x has no section 6x header with a full date"
sed -n '/^\.SH NAME/{n;p}' "$manual" | grep -q 'screen saver' || fail "the NAME line does not say screen saver"
if command -v groff > /dev/null; then
  warnings=$(groff -man -ww -z "$manual" 2>&1)
  [ -z "$warnings" ] || fail "aquarium.6x does not format cleanly: $warnings"
  text=$(groff -man -Tutf8 "$manual" 2>/dev/null | sed 's/.\x08//g')
  for topic in XSCREENSAVER_WINDOW AQUARIUM_SEED XDG_CONFIG_HOME DISPLAY settings.ini -window-id aquarium-headless \
               -fps -delay --help --version; do
    grep -q -- "$topic" <<< "$text" || fail "aquarium.6x does not mention $topic"
  done
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures install checks failed"
  exit 1
fi
echo "every installed file is in place"
