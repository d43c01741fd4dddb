#!/usr/bin/env bash
# Makes the static Linux programs of a release, a tarball for each
# processor (korvanda-VERSION-linux-x86_64.tar.xz, -aarch64, -s390x), from
# the source release TARBALL (scripts/dist.sh), into OUT: each built there,
# unpacked, without its tests, by the preset the test command builds it
# with (release, aarch64, s390x), two jobs at a time. Prints the tarballs.
#
#   scripts/linux-release.sh TARBALL OUT
set -euo pipefail
tarball=$(realpath "$1")
mkdir -p "$2"
out=$(cd "$2" && pwd)
work=$out/build
rm -rf "$work" "$out"/korvanda-*-linux-*.tar.xz
mkdir -p "$work"
tar xJf "$tarball" -C "$work"
source=$(echo "$work"/korvanda-*/)
for preset in release aarch64 s390x; do
  if ! { cmake -S "$source" -B "$work/$preset" --preset "$preset" \
    -DBUILD_TESTING=OFF && cmake --build "$work/$preset" -j 2 \
    --target linux-tarball; } >"$work/$preset.log" 2>&1; then
    tail -n 40 "$work/$preset.log"
    exit 1
  fi
  mv "$work/$preset"/korvanda-*-linux-*.tar.xz "$out"
done
rm -rf "$work"
ls "$out"/korvanda-*-linux-*.tar.xz
