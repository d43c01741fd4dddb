#!/usr/bin/env bash
# Builds the Debian source package and the .debs from the source in the
# current folder, the way a maintainer does: amd64 with the tests (unless
# DEB_BUILD_OPTIONS says nocheck), arm64 and s390x cross-built, binary only.
# The packages land in the parent folder, each build's output in a log
# beside them, shown when the build fails.
set -euo pipefail
build() {
  local log=../$1.log
  shift
  echo "$*"
  "$@" >"$log" 2>&1 || { tail -n 60 "$log"; exit 1; }
}
case " ${DEB_BUILD_OPTIONS:-} " in
  *" nocheck "*) build amd64 dpkg-buildpackage -us -uc -Pnocheck ;;
  *) build amd64 dpkg-buildpackage -us -uc ;;
esac
for arch in arm64 s390x; do
  DEB_BUILD_OPTIONS="nocheck ${DEB_BUILD_OPTIONS:-}" build "$arch" \
    dpkg-buildpackage -us -uc -B -a "$arch" -Pcross,nocheck
done
