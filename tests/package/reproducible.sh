#!/usr/bin/env bash
# Same source, same bytes: the release (the source tarball, each .deb for
# amd64, arm64 and s390x with its debug symbols, the Windows .zip and the
# static Linux tarballs),
# made a second time with all a builder can vary changed, is the same
# byte for byte as the first.
#
#   reproducible.sh again SOURCE_FOLDER OUT
#       makes it a second time, into OUT/release: the tarball in a second
#       clone, and everything else from that tarball unpacked (no git
#       there) with debian/ beside it; in another folder, at another
#       depth, under umask 077, another locale and time zone, 400 days
#       later (faketime), as another user where this one is root, and
#       without the tests (nocheck), which must change nothing
#   reproducible.sh compare FIRST_RELEASE OUT
#       compares the two releases' SHA256SUMS; for a file that differs it
#       shows diffoscope's account of it
# Where this machine cannot make the second build, both skip and say why.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
fail() {
  echo "$1"
  exit 1
}
skip() {
  printf '%s: Skipped\n%s\n' "${0##*/}" "$1"
  exit 77
}
again() {
  local source=$1 out=$2 second commit version
  # Nothing of an earlier run may pass for this one's, skipped or not.
  rm -rf "$out"
  for tool in dpkg-buildpackage x86_64-w64-mingw32-g++ faketime \
    strip-nondeterminism git; do
    command -v "$tool" >/dev/null || skip "needs $tool"
  done
  local as_other=()
  if [ "$(id -u)" -eq 0 ]; then
    as_other=(runuser -u nobody --)
    "${as_other[@]}" test -w /dev/shm ||
      skip "the other user (nobody) cannot write /dev/shm, which faketime needs"
  fi
  # Outside the checkout, where the other user can reach it whatever the
  # checkout's own folders allow; the script's, not the function's, for the
  # trap that removes it.
  elsewhere=$(mktemp -d /tmp/korvanda-reproducible-XXXXXX)
  trap 'rm -rf "$elsewhere"' EXIT
  chmod 755 "$elsewhere"
  second=$elsewhere/somewhere/deeper
  mkdir -p "$second" "$elsewhere/tmp"
  commit=$("$here/check.sh" commit "$source")
  git clone -q --no-hardlinks --no-checkout "$source" "$second/korvanda"
  git -C "$second/korvanda" checkout -q --detach "$commit"
  version=$(sed -n 's/^project(korvanda VERSION \([0-9.]*\) .*/\1/p' \
    "$second/korvanda/CMakeLists.txt")
  if [ ${#as_other[@]} -gt 0 ]; then
    chown -R nobody "$elsewhere"
  fi
  # faketime keeps its clock in shared memory under its process id; an
  # object left there would refuse a later run that gets the same id.
  local before
  before=$(find /dev/shm -maxdepth 1 -name '*faketime_*' | sort)
  echo "building again in $second, as ${as_other[*]:-this user}, 400 days later"
  if ! (umask 077 && cd "$second" && LC_ALL=C.UTF-8 TZ=KIR-14 \
    HOME=$second TMPDIR=$elsewhere/tmp DEB_BUILD_OPTIONS=nocheck \
    "${as_other[@]}" faketime -f +400d bash -c "set -e
      korvanda/scripts/dist.sh .
      tar xJf korvanda-$version.tar.xz
      cp korvanda-$version.tar.xz korvanda_$version.orig.tar.xz
      cp -r korvanda/debian korvanda-$version/
      cd korvanda-$version
      tests/package/build-debs.sh
      ../korvanda/scripts/linux-release.sh ../korvanda-$version.tar.xz ../linux
      cmake -S . -B windows --preset windows -DBUILD_TESTING=OFF
      cmake --build windows --target zip" >"$elsewhere/second.log" 2>&1); then
    tail -n 60 "$elsewhere/second.log"
    fail "the second build failed"
  fi
  local left
  left=$(comm -13 <(echo "$before") \
    <(find /dev/shm -maxdepth 1 -name '*faketime_*' | sort))
  [ -z "$left" ] || fail "left in /dev/shm: $left"
  "$here/check.sh" release "$second" "$second/korvanda-$version/windows" \
    "$out/release"
}
compare() {
  local first=$1 second=$2/release failed=0 count=0 file
  [ -f "$second/SHA256SUMS" ] || skip "the second build was not made"
  command -v diffoscope >/dev/null || skip "needs diffoscope"
  while read -r _ file; do
    count=$((count + 1))
    if cmp -s "$first/$file" "$second/$file"; then
      echo "same: $file $(sha256sum <"$first/$file" | cut -c1-16)"
    else
      echo "DIFFERENT: $file"
      diffoscope --text - "$first/$file" "$second/$file" 2>&1 |
        head -n 60 || true
      failed=1
    fi
  done <"$first/SHA256SUMS"
  cmp -s "$first/SHA256SUMS" "$second/SHA256SUMS" || failed=1
  [ "$count" -eq 11 ] ||
    fail "expected a tarball, 6 .debs, a .zip and 3 Linux tarballs, found $count files"
  return "$failed"
}
case ${1:-} in
  again) again "$2" "$3" ;;
  compare) compare "$2" "$3" ;;
  *)
    echo "usage: see the head of $0" >&2
    exit 2
    ;;
esac
