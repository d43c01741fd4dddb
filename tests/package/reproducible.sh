#!/usr/bin/env bash
# Same source, same bytes: builds everything the project ships a second
# time, with all a builder can vary changed, and compares it byte for byte
# with the first build: each .deb (amd64, arm64, s390x, and their debug
# symbols) and the Windows .zip. On a difference it shows diffoscope's
# account of it.
#
#   reproducible.sh SOURCE_FOLDER PACKAGES WINDOWS_BUILD
#
# PACKAGES holds the first build's .debs (check.sh debian), WINDOWS_BUILD
# the first Windows build. The second build runs in another folder, at
# another depth, under umask 077, another locale and time zone, 400 days
# later (faketime) and, where the first is root, as another user; the
# .debs without their tests (nocheck), which must change nothing in them.
set -euo pipefail
source=$1 first=$2 windows=$3
fail() {
  echo "$1"
  exit 1
}
skip() {
  printf '%s: Skipped\n%s\n' "${0##*/}" "$1"
  exit 77
}
for tool in dpkg-buildpackage x86_64-w64-mingw32-g++ faketime diffoscope \
  strip-nondeterminism; do
  command -v "$tool" >/dev/null || skip "needs $tool"
done
# Outside the checkout, where the other user can reach it whatever the
# checkout's own folders allow.
elsewhere=$(mktemp -d /tmp/korvanda-reproducible-XXXXXX)
trap 'rm -rf "$elsewhere"' EXIT
chmod 755 "$elsewhere"
second=$elsewhere/somewhere/deeper
mkdir -p "$second/korvanda" "$elsewhere/tmp"
(cd "$source" && git ls-files -co --exclude-standard -z |
  xargs -0 cp --parents -t "$second/korvanda")
as_other=()
if [ "$(id -u)" -eq 0 ]; then
  chown -R nobody "$elsewhere"
  as_other=(runuser -u nobody --)
  # faketime keeps its clock in shared memory.
  "${as_other[@]}" test -w /dev/shm ||
    fail "the other user (nobody) cannot write /dev/shm, which faketime needs"
fi
# faketime keeps its clock in shared memory under its process id; an
# object left there would refuse a later run that gets the same id.
faketime_objects() { find /dev/shm -maxdepth 1 -name '*faketime_*' | sort; }
objects_before=$(faketime_objects)
echo "building again in $second, as ${as_other[*]:-this user}, 400 days later"
if ! (umask 077 && cd "$second/korvanda" && LC_ALL=C.UTF-8 TZ=KIR-14 \
  HOME=$second TMPDIR=$elsewhere/tmp DEB_BUILD_OPTIONS=nocheck \
  "${as_other[@]}" \
  faketime -f +400d bash -c "set -e; tests/package/build-debs.sh
    cmake -S . -B windows --preset windows -DKORVANDA_TESTS=OFF
    cmake --build windows --target zip" >"$elsewhere/second.log" 2>&1); then
  tail -n 60 "$elsewhere/second.log"
  fail "the second build failed"
fi
failed=0
compare() {
  if cmp -s "$1" "$2"; then
    echo "same: ${1##*/} $(sha256sum <"$1" | cut -c1-16)"
  else
    echo "DIFFERENT: ${1##*/}"
    diffoscope --text - "$1" "$2" 2>&1 | head -n 60 || true
    failed=1
  fi
}
count=0
for deb in "$first"/*.deb; do
  compare "$deb" "$second/${deb##*/}"
  count=$((count + 1))
done
[ "$count" -eq 6 ] || fail "expected 6 .debs in $first, found $count"
for zip in "$windows"/korvanda-*.zip; do
  compare "$zip" "$second/korvanda/windows/${zip##*/}"
done
left=$(comm -13 <(echo "$objects_before") <(faketime_objects))
if [ -n "$left" ]; then
  printf 'left in /dev/shm:\n%s\n' "$left"
  failed=1
fi
exit "$failed"
