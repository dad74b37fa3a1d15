#!/usr/bin/env bash
# Builds the Debian package from a clean copy of the tracked sources in
# OUT_DIR/aquarium-VERSION/, so that nothing is written beside the
# repository; the .deb and the build's records end up in OUT_DIR.
#   build_deb.sh OUT_DIR
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-build-deb}")
version=$(dpkg-parsechangelog -S Version)
tree="$out/aquarium-$version"
rm -rf "$out"
mkdir -p "$tree"
git ls-files -z --cached --others --exclude-standard | xargs -0 cp --parents -t "$tree"
cd "$tree"
# -Jauto: build with one job per processor (debhelper builds with one otherwise).
dpkg-buildpackage -us -uc -b -Jauto
ls "$out"/*.deb
