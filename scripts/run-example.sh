#!/usr/bin/env bash
# Builds the Linux program and runs it on the shipped example in a scratch
# folder, then shows what it read, what it wrote and how it ended. Exits
# non-zero when the program cannot be built: an answer from an older build
# would be no answer.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
. scripts/lib.sh
need_packages cmake ninja-build g++
forget_moved_builds "$root"

echo "building the program (build/release/korvanda)"
if ! quietly "$root/build/logs/example-build.log" \
    bash -c 'cmake --preset release && cmake --build --preset release'; then
  echo "FAILED: building the program"
  exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$root/examples/korvanda.in" "$work/"
status=0
(cd "$work" && "$root/build/release/korvanda") || status=$?
echo "korvanda.in:"
cat "$work/korvanda.in"
echo "korvanda.out:"
cat "$work/korvanda.out"
echo "exit status: $status"
