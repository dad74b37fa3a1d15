#!/usr/bin/env bash
# `make run`: starts the screen saver on the user's display. Without a
# display it renders a picture of the fish in its tank instead and says
# where the picture is.
set -euo pipefail
build=${1:-build}

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "Starting the screen saver full screen: move the mouse, click or press a key to end it."
  echo "(H and L raise and lower the eye, S shows or hides the information text.)"
  exec "$build/app/aquarium" -s
fi

out="$build/aquarium.png"
"$build/tools/aquarium-headless" render --seed "${AQUARIUM_SEED:-3}" --frames 600 --size 800x600 --out "$out"
echo "No display here: rendered ten seconds of swimming without one."
echo "The last frame is in $out"
