#!/usr/bin/env bash
# The Debian package built by `make deb`: lintian finds nothing beyond the
# tags the README explains; it installs (as root) and puts every file in its
# place with stripped programs that run; it removes and purges cleanly,
# leaving no file behind.
#   test_deb.sh OUT_DIR
set -euo pipefail
out=${1:-build-deb}
deb=$(ls "$out"/aquarium_*.deb | head -n1)
[ -f "$deb" ] || { echo "FAIL: no package in $out" >&2; exit 1; }
fail() { echo "FAIL: $*" >&2; exit 1; }

# Tags the README explains; anything else fails.
allowed='initial-upload-closes-no-bugs'
tags=$(lintian --tag-display-limit 0 "$deb" 2>&1 | grep -E '^[EWI]: ' || true)
unexplained=$(grep -vE "$allowed" <<<"$tags" || true)
[ -z "$unexplained" ] || fail "lintian: $unexplained"
echo "lintian: ${tags:-clean}"

[ "$(id -u)" -eq 0 ] || { echo "not root: the package is not installed"; exit 0; }
dpkg-query -W aquarium >/dev/null 2>&1 && fail "aquarium is installed already; remove it first"
trap 'dpkg-query -W aquarium >/dev/null 2>&1 && dpkg --purge aquarium >/dev/null 2>&1; true' EXIT
apt-get -o DPkg::Lock::Timeout=900 install -y -q --no-install-recommends "$(realpath "$deb")" >/dev/null ||
  fail "the package does not install"
files=$(dpkg -L aquarium)
for file in /usr/bin/aquarium /usr/bin/aquarium-headless /usr/share/xscreensaver/config/aquarium.xml \
            /usr/share/applications/aquarium.desktop /usr/share/man/man6/aquarium.6x.gz \
            /usr/share/icons/hicolor/64x64/apps/aquarium.png /usr/share/doc/aquarium/copyright; do
  grep -qx "$file" <<<"$files" || fail "$file is not in the package"
  [ -e "$file" ] || fail "$file was not installed"
done
for program in /usr/bin/aquarium /usr/bin/aquarium-headless; do
  readelf -S "$program" | grep -q '\.debug_info' && fail "$program is not stripped"
done
aquarium --version | grep -qx "aquarium $(dpkg-query -W -f='${Version}' aquarium | cut -d- -f1)" ||
  fail "the installed aquarium gives another version"
aquarium-headless trace --seed 1 --steps 2 | head -n1 | grep -q '^step,time,' || fail "aquarium-headless does not run"
man -w aquarium >/dev/null 2>&1 || command -v man >/dev/null || true

dpkg --remove aquarium >/dev/null || fail "the package does not remove"
for file in /usr/bin/aquarium /usr/bin/aquarium-headless /usr/share/xscreensaver/config/aquarium.xml; do
  [ ! -e "$file" ] || fail "$file is left after removal"
done
dpkg --purge aquarium >/dev/null || fail "the package does not purge"
dpkg-query -W aquarium >/dev/null 2>&1 && [ "$(dpkg-query -W -f='${Status}' aquarium)" != "unknown ok not-installed" ] &&
  fail "dpkg still knows the package: $(dpkg-query -W -f='${Status}' aquarium)"
echo "the package installs, works and removes cleanly"
