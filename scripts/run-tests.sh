#!/usr/bin/env bash
# Builds and runs every test:
#  1. the optimised Linux program: unit tests, end-to-end tests, injected
#     system-call faults, heap and memory checks; and the Windows program's
#     end-to-end suite under Wine when mingw-w64 and Wine are installed;
#  2. the same unit and end-to-end tests under AddressSanitizer and
#     UndefinedBehaviorSanitizer;
#  3. a short run of each fuzz target (KORVANDA_FUZZ_SECONDS, default 60).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
fuzz_seconds=${KORVANDA_FUZZ_SECONDS:-60}

echo "== optimised build"
wine_loader=/usr/lib/wine/wine64
windows_args=(-DKORVANDA_WINDOWS_PROGRAM=)
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
fi
cmake --preset release "${windows_args[@]}" >/dev/null
cmake --build --preset release
ctest --preset release

echo "== sanitizers"
cmake --workflow --preset sanitize

echo "== fuzzing, ${fuzz_seconds}s a target"
"$root/scripts/fuzz.sh" "$fuzz_seconds"
