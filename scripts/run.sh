#!/usr/bin/env bash
# `make run`: shows the fish swimming. Until the screen saver has a window,
# this runs a few seconds of simulated swimming and summarises the trace.
set -euo pipefail
build=${1:-build}
tool="$build/tools/aquarium-headless"
seed=${AQUARIUM_SEED:-$(date +%s)}
steps=600
out=$(mktemp)
trap 'rm -f "$out"' EXIT

"$tool" trace --seed "$seed" --steps "$steps" --every 60 > "$out"
echo "Ten seconds of swimming (seed $seed), one line per simulated second:"
awk -F, 'NR == 1 { next }
         { printf "  t=%5.2f s  position (%7.3f, %7.3f, %7.3f)  speed %.3f  manoeuvre %s  target (%g, %g, %g)\n",
                  $2, $3, $4, $5, sqrt($10*$10 + $11*$11 + $12*$12), $22, $24, $25, $26 }' "$out"
"$tool" bench --steps 2000
