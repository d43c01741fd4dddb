#!/usr/bin/env bash
# The checks of what a user receives, one a call:
#   check.sh lintian PACKAGE_FOLDER      the .deb passes lintian clean
#   check.sh runs-example PACKAGE_FOLDER EXAMPLE
#                                        unpacked into a scratch root, the
#                                        package runs the example, and its
#                                        report line reads right against
#                                        its map
#   check.sh windows-zip WINDOWS_BUILD OUT  the .zip holds the program
#                                        and its map
#   check.sh shellcheck SOURCE           shellcheck over every script
#   check.sh nothing-left                the temporary folder is empty
# A check that cannot run here exits 77 and says why.
set -euo pipefail
skip() {
  printf '%s: Skipped\n%s\n' "${0##*/}" "$1"
  exit 77
}
if [ "$1" = nothing-left ]; then
  case ${TMPDIR:-} in
    */build/tmp) ;;
    *) skip "needs the test command's own temporary folder (TMPDIR=build/tmp)" ;;
  esac
  left=$(ls -A "$TMPDIR")
  [ -z "$left" ] || { echo "left in $TMPDIR: $left"; exit 1; }
  exit 0
fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
case $1 in
  lintian)
    command -v lintian >/dev/null || skip "needs lintian"
    # lintian leaves folders of its own in the temporary folder.
    TMPDIR=$scratch lintian --fail-on error,warning "$2"/korvanda_*.deb
    ;;
  runs-example)
    command -v dpkg-deb >/dev/null || skip "needs dpkg-deb"
    dpkg-deb -x "$2"/korvanda_*.deb "$scratch/root"
    mkdir "$scratch/run"
    cp "$3" "$scratch/run/korvanda.in"
    (cd "$scratch/run" && "$scratch/root/usr/bin/korvanda")
    printf '11\r\n5 3\r\n4 1\r\n' | cmp - "$scratch/run/korvanda.out"
    rm "$scratch/run/korvanda.in"
    { (cd "$scratch/run" && "$scratch/root/usr/bin/korvanda") || true; } |
      "$scratch/root/usr/bin/korvanda-explain" | grep 'open_input' >/dev/null
    ;;
  windows-zip)
    (cd "$2" && umask 022 && cpack -G ZIP -B "$3")
    cmake -E tar tf "$3"/korvanda-*.zip >"$scratch/list"
    grep -qx 'korvanda.exe' "$scratch/list"
    grep -qx 'korvanda.stops.txt' "$scratch/list"
    ;;
  shellcheck)
    command -v shellcheck >/dev/null || skip "needs shellcheck"
    cd "$2"
    shellcheck scripts/*.sh .ci/run tests/*/*.sh
    ;;
  *)
    echo "usage: see the head of $0" >&2
    exit 2
    ;;
esac
