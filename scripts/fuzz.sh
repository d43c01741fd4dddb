#!/usr/bin/env bash
# Builds the fuzz targets and runs each for SECONDS (default 60), starting
# from the shipped corpus; new inputs go to a scratch folder, crashes to
# build/fuzz/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
cmake --preset fuzz -S "$root" >/dev/null
cmake --build --preset fuzz
for target in read_integer program; do
  found=$(mktemp -d)
  "$root/build/fuzz/fuzz/${target}_fuzz" -max_total_time="$seconds" \
    -print_final_stats=1 -artifact_prefix="$root/build/fuzz/" \
    "$found" "$root/fuzz/corpus/$target" 2>&1 | tail -n 12
  rm -rf "$found"
  echo "fuzz target ${target}_fuzz: no failure in ${seconds}s"
done
