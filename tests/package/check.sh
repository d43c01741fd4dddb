#!/usr/bin/env bash
# The checks of what a user receives, and of the scripts and sources
# beside the program, one a call:
#   check.sh debian SOURCE OUT         the source package and the .debs
#                                      (amd64 with its tests, arm64 and
#                                      s390x cross-built), made by
#                                      dpkg-buildpackage from a copy of
#                                      SOURCE in OUT/korvanda
#   check.sh lintian OUT               lintian, pedantic, finds no tag in
#                                      the .changes, the .dsc, the .debs
#                                      that debian/ does not answer
#   check.sh installed OUT             unpacked into a scratch root, the
#                                      amd64 package passes its own
#                                      installed-package test
#                                      (debian/tests/installed)
#   check.sh windows-zip WINDOWS_BUILD the .zip holds the program, its map
#                                      and NEWS
#   check.sh shellcheck SOURCE         shellcheck over every script
#   check.sh format SOURCE             the C++ sources follow .clang-format
# A check that cannot run here exits 77 and says why.
set -euo pipefail
skip() {
  printf '%s: Skipped\n%s\n' "${0##*/}" "$1"
  exit 77
}
needs() {
  command -v "$1" >/dev/null || skip "needs $1 (Debian package $2)"
}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
case $1 in
  debian)
    needs dpkg-buildpackage dpkg-dev
    needs dh debhelper
    rm -rf "$3"
    mkdir -p "$3/korvanda"
    (cd "$2" && git ls-files -co --exclude-standard -z |
      xargs -0 cp --parents -t "$3/korvanda")
    cd "$3/korvanda"
    "${0%/*}/build-debs.sh"
    ls ..
    ;;
  lintian)
    needs lintian lintian
    # lintian leaves folders of its own in the temporary folder.
    TMPDIR=$scratch lintian --pedantic -I \
      --fail-on error,warning,info,pedantic "$2"/*.changes
    ;;
  installed)
    # What the installed-package test runs, on the package unpacked.
    dpkg-deb -x "$2"/korvanda_*_amd64.deb "$scratch/root"
    KORVANDA_ROOT=$scratch/root "${0%/*}/../../debian/tests/installed"
    ;;
  windows-zip)
    cmake --build "$2" --target zip >/dev/null
    cmake -E tar tf "$2"/korvanda-*.zip >"$scratch/list"
    # In the order strip-nondeterminism leaves them: by name.
    printf 'NEWS\nkorvanda.exe\nkorvanda.stops.txt\n' | cmp - "$scratch/list"
    ;;
  shellcheck)
    needs shellcheck shellcheck
    cd "$2"
    shellcheck scripts/*.sh .ci/run tests/*/*.sh debian/tests/installed
    ;;
  format)
    needs clang-format clang-format
    cd "$2"
    git ls-files -co --exclude-standard -z '*.cpp' '*.h' |
      xargs -0 clang-format --dry-run --Werror
    ;;
  *)
    echo "usage: see the head of $0" >&2
    exit 2
    ;;
esac
