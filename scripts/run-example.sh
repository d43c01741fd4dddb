#!/usr/bin/env bash
# Builds the program and runs it on the shipped example in a scratch folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cmake --preset release -S "$root" >/dev/null
cmake --build --preset release --target korvanda >/dev/null
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
