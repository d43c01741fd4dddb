#!/usr/bin/env bash
# Trains a profiling build of the program (-fprofile-generate) on the
# example and on a large input, so that a -fprofile-use build of the same
# folder optimises for what runs. Counts of an earlier build are dropped
# first: they would not match this one.
#
#   pgo-train.sh PROGRAM EXAMPLE BUILD_FOLDER
set -euo pipefail
program=$1 example=$2 build=$3
find "$build" -name '*.gcda' -delete
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$example" "$work/korvanda.in"
(cd "$work" && "$program")
awk 'BEGIN { print 50000; for (i = 1; i < 50000; i++) print i * 20000 - i % 7 }' \
  >"$work/korvanda.in"
(cd "$work" && "$program")
