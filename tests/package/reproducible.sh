#!/usr/bin/env bash
# Same source, same bytes: everything the project ships, built a second
# time with all a builder can vary changed, is the same byte for byte as
# the first build: each .deb (amd64, arm64, s390x, and their debug
# symbols) and the Windows .zip.
#
#   reproducible.sh again SOURCE_FOLDER OUT
#       builds them a second time, into OUT: in another folder, at another
#       depth, under umask 077, another locale and time zone, 400 days
#       later (faketime), as another user where this one is root, and
#       without the tests (nocheck), which must change nothing
#   reproducible.sh compare FIRST_PACKAGES WINDOWS_BUILD OUT
#       compares them with the first build's; on a difference it shows
#       diffoscope's account of it
set -euo pipefail
fail() {
  echo "$1"
  exit 1
}
skip() {
  printf '%s: Skipped\n%s\n' "${0##*/}" "$1"
  exit 77
}
again() {
  local source=$1 out=$2 second
  for tool in dpkg-buildpackage x86_64-w64-mingw32-g++ faketime \
    strip-nondeterminism; do
    command -v "$tool" >/dev/null || skip "needs $tool"
  done
  # Outside the checkout, where the other user can reach it whatever the
  # checkout's own folders allow; the script's, not the function's, for the
  # trap that removes it.
  elsewhere=$(mktemp -d /tmp/korvanda-reproducible-XXXXXX)
  trap 'rm -rf "$elsewhere"' EXIT
  chmod 755 "$elsewhere"
  second=$elsewhere/somewhere/deeper
  mkdir -p "$second/korvanda" "$elsewhere/tmp"
  (cd "$source" && git ls-files -co --exclude-standard -z |
    xargs -0 cp --parents -t "$second/korvanda")
  local as_other=()
  if [ "$(id -u)" -eq 0 ]; then
    chown -R nobody "$elsewhere"
    as_other=(runuser -u nobody --)
    "${as_other[@]}" test -w /dev/shm ||
      fail "the other user (nobody) cannot write /dev/shm, which faketime needs"
  fi
  # faketime keeps its clock in shared memory under its process id; an
  # object left there would refuse a later run that gets the same id.
  local before
  before=$(find /dev/shm -maxdepth 1 -name '*faketime_*' | sort)
  echo "building again in $second, as ${as_other[*]:-this user}, 400 days later"
  if ! (umask 077 && cd "$second/korvanda" && LC_ALL=C.UTF-8 TZ=KIR-14 \
    HOME=$second TMPDIR=$elsewhere/tmp DEB_BUILD_OPTIONS=nocheck \
    "${as_other[@]}" \
    faketime -f +400d bash -c "set -e; tests/package/build-debs.sh
      cmake -S . -B windows --preset windows -DBUILD_TESTING=OFF
      cmake --build windows --target zip" >"$elsewhere/second.log" 2>&1); then
    tail -n 60 "$elsewhere/second.log"
    fail "the second build failed"
  fi
  local left
  left=$(comm -13 <(echo "$before") \
    <(find /dev/shm -maxdepth 1 -name '*faketime_*' | sort))
  [ -z "$left" ] || fail "left in /dev/shm: $left"
  rm -rf "$out"
  mkdir -p "$out"
  cp "$second"/*.deb "$second"/korvanda/windows/korvanda-*.zip "$out"
}
compare() {
  local first=$1 windows=$2 second=$3 failed=0 count=0 file
  command -v diffoscope >/dev/null || skip "needs diffoscope"
  for file in "$first"/*.deb "$windows"/korvanda-*.zip; do
    count=$((count + 1))
    if cmp -s "$file" "$second/${file##*/}"; then
      echo "same: ${file##*/} $(sha256sum <"$file" | cut -c1-16)"
    else
      echo "DIFFERENT: ${file##*/}"
      diffoscope --text - "$file" "$second/${file##*/}" 2>&1 | head -n 60 || true
      failed=1
    fi
  done
  [ "$count" -eq 7 ] || fail "expected 6 .debs and a .zip, found $count files"
  return "$failed"
}
case ${1:-} in
  again) again "$2" "$3" ;;
  compare) compare "$2" "$3" "$4" ;;
  *)
    echo "usage: see the head of $0" >&2
    exit 2
    ;;
esac
