#!/usr/bin/env bash
# The simulation's numbers, pinned: SHA-256 digests of
# `aquarium-headless trace --seed S --steps N` for the seeds listed in a
# digest file, whose lines read `seed steps digest` (# starts a comment).
#
#   trace-digests.sh HEADLESS FILE            compares; fails on any difference
#   trace-digests.sh HEADLESS FILE --update   writes the digests of this build
#
# Update only on purpose, when a change is meant to move the numbers (a new
# formula, a different implementation of the transcendental functions), and
# say so in the commit. AQUARIUM_SIM_PATH=sse2 (or avx2) in the environment
# checks that narrower simulation code instead of the widest one.
set -euo pipefail

if [ $# -lt 2 ] || [ $# -gt 3 ] || { [ $# -eq 3 ] && [ "$3" != "--update" ]; }; then
  echo "usage: $0 HEADLESS DIGEST_FILE [--update]" >&2
  exit 2
fi
headless=$1
file=$2
update=${3:-}

digest() {
  "$headless" trace --seed "$1" --steps "$2" | sha256sum | cut -d' ' -f1
}

failures=0
checked=0
output=""
while IFS= read -r line || [ -n "$line" ]; do
  if [[ -z "$line" || "$line" == \#* ]]; then
    output+="$line"$'\n'
    continue
  fi
  read -r seed steps expected rest <<<"$line"
  if [[ ! "$seed" =~ ^[0-9]+$ || ! "$steps" =~ ^[0-9]+$ || -n "${rest:-}" ]]; then
    echo "$file: malformed line: $line" >&2
    exit 2
  fi
  actual=$(digest "$seed" "$steps")
  checked=$((checked + 1))
  output+="$seed $steps $actual"$'\n'
  if [ -z "$update" ] && [ "$actual" != "${expected:-}" ]; then
    echo "seed $seed, $steps steps: trace digest $actual, expected ${expected:-nothing}" >&2
    failures=$((failures + 1))
  fi
done <"$file"

if [ "$checked" -eq 0 ]; then
  echo "$file: no seeds" >&2
  exit 2
fi
if [ -n "$update" ]; then
  printf '%s' "$output" >"$file"
  echo "wrote $checked digests to $file"
  exit 0
fi
if [ "$failures" -ne 0 ]; then
  echo "$failures of $checked traces differ from $file" >&2
  exit 1
fi
echo "$checked traces match $file"
