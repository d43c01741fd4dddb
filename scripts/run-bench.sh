#!/usr/bin/env bash
# Builds the program, the floor program and the benchmark driver, twice:
# as the release is built (build/bench: static) and as the Debian package
# builds them (build/bench-package: linked against the shared C library,
# with dpkg-buildflags' flags, as debhelper passes them to CMake); and
# prints the table of whole runs against the floor, the two side by side
# (see bench/README.md). The argument is the number of pairs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
. scripts/lib.sh
need_packages cmake ninja-build g++ valgrind time dpkg-dev
targets="korvanda korvanda_floor korvanda_plain_reader korvanda_bench"
echo "building the program and the benchmarks (build/bench)"
quietly build/logs/bench-build.log bash -c \
  "cmake --preset bench && cmake --build --preset bench --target $targets"
echo "building them as the package does (build/bench-package)"
flags() { DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get "$1"; }
CXXFLAGS="$(flags CXXFLAGS) $(flags CPPFLAGS)" LDFLAGS=$(flags LDFLAGS) \
  quietly build/logs/bench-package-build.log bash -c \
  "cmake -S . -B build/bench-package -G Ninja -DCMAKE_BUILD_TYPE=None \
    -DBUILD_TESTING=OFF -DKORVANDA_BENCH=ON &&
   cmake --build build/bench-package --target korvanda korvanda_floor"
build/bench/bench/korvanda_bench build/bench/korvanda \
  build/bench/bench/korvanda_floor build/bench/bench/korvanda_plain_reader \
  "${1:-21}" build/bench-package/korvanda build/bench-package/bench/korvanda_floor
