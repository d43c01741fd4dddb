#!/usr/bin/env bash
# Builds and runs every test: the Linux program's unit and end-to-end
# suites, and the Windows program's end-to-end suite under Wine when
# mingw-w64 and Wine are both on this machine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

wine_loader=/usr/lib/wine/wine64
windows_args=()
if command -v x86_64-w64-mingw32-g++ >/dev/null && [ -x "$wine_loader" ]; then
  cmake --preset windows >/dev/null
  cmake --build --preset windows
  # Set the suite's prefix up once, before any test runs in it.
  WINEPREFIX="$root/build/release/wineprefix" WINEDEBUG=-all \
    "$wine_loader" wineboot -i </dev/null >/dev/null 2>&1 || true
  windows_args=(-DKORVANDA_WINDOWS_PROGRAM="$root/build/windows/korvanda.exe"
                -DKORVANDA_WINE="$wine_loader")
else
  echo "SKIPPED: the Windows suite needs mingw-w64 (x86_64-w64-mingw32-g++)" \
       "and Wine ($wine_loader); install g++-mingw-w64-x86-64 and wine64."
  windows_args=(-DKORVANDA_WINDOWS_PROGRAM=)
fi

cmake --preset release "${windows_args[@]}" >/dev/null
cmake --build --preset release
ctest --preset release -j2
