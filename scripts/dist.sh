#!/usr/bin/env bash
# Makes the source release, korvanda-VERSION.tar.xz, in OUT (the current
# folder unless named), from a commit of this checkout (HEAD unless named):
# the files git holds at that commit under korvanda-VERSION/, less what
# only the repository needs (export-ignore in .gitattributes). Every entry
# carries the commit's own time and owner root; the same commit gives the
# same bytes from any clone, whoever makes it, wherever, whenever, under
# any umask. Prints the tarball's path. Needs git and xz (Debian packages
# git, xz-utils); a failure leaves nothing behind.
#
#   scripts/dist.sh [OUT [COMMIT]]
set -euo pipefail
command -v xz >/dev/null || {
  echo "${0##*/} needs xz: as root, run: apt-get install xz-utils" >&2
  exit 1
}
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(cd "${1:-.}" && pwd)
commit=$(git -C "$root" rev-parse --verify "${2:-HEAD}^{commit}")
version=$(git -C "$root" show "$commit:CMakeLists.txt" |
  sed -n 's/^project(korvanda VERSION \([0-9.]*\) .*/\1/p')
[ -n "$version" ] || { echo "no version in CMakeLists.txt at $commit" >&2; exit 1; }
name=korvanda-$version
trap 'rm -f "$out/$name.tar.xz.part"' EXIT
# One thread: xz splits its work, and so its output, by the threads it has.
git -C "$root" -c tar.umask=0022 archive --format=tar --prefix="$name/" \
  "$commit" | xz -6 -T1 -c >"$out/$name.tar.xz.part"
mv "$out/$name.tar.xz.part" "$out/$name.tar.xz"
echo "$out/$name.tar.xz"
