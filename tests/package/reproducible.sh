#!/usr/bin/env bash
# Same source, same bytes: builds everything the project ships twice, from
# two copies of the source, with all a builder can vary changed between
# the two, and compares them byte for byte: the Linux program and its map
# (amd64, arm64, s390x), each .deb, korvanda.exe, its map and the .zip. On
# a difference it shows diffoscope's account of it.
#
#   reproducible.sh SOURCE_FOLDER
#
# The second build runs in other folders (source and build, at another
# depth), under another umask (but for cpack, which needs 022), locale and
# time zone, 400 days later (faketime), and as another user where the
# first is root.
set -euo pipefail
source=$1
skip() {
  printf '%s: Skipped\n%s\n' "${0##*/}" "$1"
  exit 77
}
for tool in x86_64-w64-mingw32-g++ aarch64-linux-gnu-g++ s390x-linux-gnu-g++ \
  faketime diffoscope strip-nondeterminism; do
  command -v "$tool" >/dev/null || skip "needs $tool"
done
# The second build's folder is outside the checkout, in /tmp, where the
# other user can reach it whatever the checkout's own folders allow.
scratch=$(mktemp -d)
elsewhere=$(mktemp -d /tmp/korvanda-reproducible-XXXXXX)
trap 'rm -rf "$scratch" "$elsewhere"' EXIT
chmod 755 "$elsewhere"

# The files of the checkout as they stand, changes not yet committed too.
copy_source() {
  mkdir -p "$1"
  (cd "$source" && git ls-files -co --exclude-standard -z |
    xargs -0 cp --parents -t "$1")
}

# build SOURCE BUILD PRESET: the program as that preset makes it, without
# its tests, and its package, made with the umask packages are made with.
build() {
  local src=$1 out=$2 preset=$3 generator=DEB
  [ "$preset" = windows ] && generator=ZIP
  cmake -S "$src" -B "$out" --preset "$preset" -DKORVANDA_TESTS=OFF \
    -DKORVANDA_WERROR=OFF >/dev/null
  cmake --build "$out" >/dev/null
  (cd "$out" && umask 022 && cpack -G "$generator" -B "$out/package" >/dev/null)
}

a=$scratch/a
b=$elsewhere/somewhere/deeper
copy_source "$a/src"
copy_source "$b/korvanda-source"
mkdir -p "$b/out"
as_other=()
if [ "$(id -u)" -eq 0 ]; then
  chown -R nobody "$b/out"
  as_other=(runuser -u nobody --)
fi
# faketime keeps its clock in shared memory under its process id; an
# object left there would refuse a later run that gets the same id.
faketime_objects() { find /dev/shm -maxdepth 1 -name '*faketime_*' | sort; }
objects_before=$(faketime_objects)
failed=0
for preset in release aarch64 s390x windows; do
  (umask 022 && LC_ALL=C TZ=UTC build "$a/src" "$a/$preset" "$preset")
  (umask 077 && LC_ALL=C.UTF-8 TZ=KIR-14 HOME=$b/out \
    "${as_other[@]}" faketime -f +400d bash -c "$(declare -f build); build \
      '$b/korvanda-source' '$b/out/$preset' '$preset'")
  for artefact in korvanda korvanda.exe korvanda.stops.txt package/*.deb \
    package/*.zip; do
    for first in "$a/$preset"/$artefact; do
      [ -f "$first" ] || continue
      second=$b/out/$preset/${first#"$a/$preset/"}
      if cmp -s "$first" "$second"; then
        echo "same: $preset ${first#"$a/$preset/"} $(sha256sum <"$first" | cut -c1-16)"
      else
        echo "DIFFERENT: $preset ${first#"$a/$preset/"}"
        diffoscope --text - "$first" "$second" 2>&1 | head -n 60 || true
        failed=1
      fi
    done
  done
done
left=$(comm -13 <(echo "$objects_before") <(faketime_objects))
if [ -n "$left" ]; then
  printf 'left in /dev/shm:\n%s\n' "$left"
  failed=1
fi
exit "$failed"
