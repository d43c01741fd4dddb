#!/usr/bin/env bash
# Builds the program, the floor program and the benchmark driver, and
# prints the table of whole runs against the floor (see bench/README.md).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
. scripts/lib.sh
need_packages cmake ninja-build g++ valgrind time
echo "building the program and the benchmarks (build/bench)"
quietly build/logs/bench-build.log bash -c \
  'cmake --preset bench && cmake --build --preset bench --target korvanda_bench korvanda_floor korvanda_plain_reader korvanda'
build/bench/bench/korvanda_bench build/bench/korvanda \
  build/bench/bench/korvanda_floor build/bench/bench/korvanda_plain_reader "$@"
