#!/usr/bin/env bash
# The checks of what a user receives, and of the scripts and sources
# beside the program, one a call:
#   check.sh debian SOURCE OUT         the source release and the Debian
#                                      packages, made in OUT from a clone
#                                      of SOURCE's commit (with what SOURCE
#                                      changes in tracked files) by the
#                                      commands debian/README.source gives:
#                                      the tarball, the orig tarball, and
#                                      dpkg-buildpackage (amd64 with its
#                                      tests, arm64 and s390x cross-built)
#   check.sh commit SOURCE             names the commit under test
#   check.sh lintian OUT               lintian, pedantic, finds no tag in
#                                      the .changes, the .dsc, the .debs
#                                      that debian/ does not answer
#   check.sh installed OUT             unpacked into a scratch root, the
#                                      amd64 package passes its own
#                                      installed-package test
#                                      (debian/tests/installed)
#   check.sh windows-zip WINDOWS_BUILD the .zip holds the program, its map,
#                                      the example, NEWS, the licence and
#                                      README.txt
#   check.sh windows-version WINDOWS_BUILD SOURCE
#                                      korvanda.exe's version resource
#                                      names SOURCE's version, licence and
#                                      program, and moved no stop place
#   check.sh windows-readme WINDOWS_BUILD WINE PREFIX
#                                      each cmd command README.txt shows,
#                                      run by Wine's cmd in the .zip
#                                      unpacked, prints what it says
#   check.sh release OUT WINDOWS_BUILD RELEASE
#                                      the release in RELEASE: the tarball
#                                      (holding every tracked file but what
#                                      only the repository needs), the
#                                      .debs, the .zip, the static Linux
#                                      tarballs (OUT/linux), and SHA256SUMS
#   check.sh linux-tarballs LINUX      each static Linux tarball, unpacked,
#                                      passes the installed-package test;
#                                      korvanda-explain refuses another's map
#   check.sh tarball OUT               the tarball unpacked, with no git,
#                                      builds and tests as README says
#   check.sh report-lines SOURCE MAP   the documents' report lines are MAP's
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
    needs git git
    rm -rf "$3"
    mkdir -p "$3"
    commit=$("$0" commit "$2")
    git clone -q --no-hardlinks --no-checkout "$2" "$3/korvanda"
    cd "$3/korvanda"
    git checkout -q --detach "$commit"
    version=$(sed -n 's/^project(korvanda VERSION \([0-9.]*\) .*/\1/p' \
      CMakeLists.txt)
    scripts/dist.sh ..
    cp "../korvanda-$version.tar.xz" "../korvanda_$version.orig.tar.xz"
    tests/package/build-debs.sh
    ls ..
    ;;
  commit)
    # The commit under test: HEAD, or a commit of what the checkout changes
    # in tracked files, dated as HEAD so that every call names the same.
    date=$(git -C "$2" log -1 --format=%cI)
    commit=$(GIT_AUTHOR_DATE=$date GIT_COMMITTER_DATE=$date \
      git -C "$2" stash create)
    echo "${commit:-$(git -C "$2" rev-parse HEAD)}"
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
    printf '%s\n' LICENSE NEWS README.txt korvanda.exe korvanda.in \
      korvanda.stops.txt |
      diff - "$scratch/list"
    ;;
  windows-version)
    # Debian's Python and pefile, whatever python3 PATH finds first.
    /usr/bin/python3 -c 'import pefile' 2>/dev/null ||
      skip "needs pefile for /usr/bin/python3 (Debian package python3-pefile)"
    version=$(sed -n 's/^project(korvanda VERSION \([0-9.]*\) .*/\1/p' \
      "$3/CMakeLists.txt")
    # .rsrc after .text, and no time in it: the stop places and the bytes
    # stay as they were without it.
    /usr/bin/python3 - "$2/korvanda.exe" >"$scratch/read" <<'EOF'
import sys, pefile
pe = pefile.PE(sys.argv[1])
names = [s.Name.rstrip(b"\0").decode() for s in pe.sections]
print("order:", "ok" if names.index(".rsrc") > names.index(".text") else names)
print("time:", pe.DIRECTORY_ENTRY_RESOURCE.struct.TimeDateStamp)
f = pe.VS_FIXEDFILEINFO[0]
for name in "File", "Product":
    ms, ls = getattr(f, name + "VersionMS"), getattr(f, name + "VersionLS")
    print(name, ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF, sep=".")
for table in (t for i in pe.FileInfo[0] if i.Key == b"StringFileInfo"
              for t in i.StringTable):
    for key, value in sorted(table.entries.items()):
        print(key.decode() + ":", value.decode())
EOF
    cat "$scratch/read"
    name=$(grep -m1 '^korvanda \\-' "$3/doc/korvanda.1" | sed 's/\\-/-/g')
    copyright=$(grep -m1 '^Copyright ' "$3/LICENSE")
    printf '%s\n' "order: ok" "time: 0" "File.$version.0" "Product.$version.0" \
      "FileDescription: $name" "FileVersion: $version" \
      "InternalName: korvanda" "LegalCopyright: $copyright" \
      "OriginalFilename: korvanda.exe" "ProductName: korvanda" \
      "ProductVersion: $version" | diff - "$scratch/read"
    ;;
  windows-readme)
    # Wine's findstr is a stub that prints nothing: README.txt shows find.
    # Its PowerShell lines cannot run here.
    "${0%/*}/../windows/make-prefix.sh" "$4" "$3"
    mkdir -p "$4.tmp" "$4.home"
    zip=$(realpath "$2"/korvanda-*.zip)
    mkdir "$scratch/korvanda" && cd "$scratch/korvanda"
    cmake -E tar xf "$zip"
    # "    C:\korvanda>command", then what it prints, blank lines aside.
    tr -d '\r' <README.txt | awk '
      /^    [A-Z]:\\[^>]*>/ {
        sub(/^[^>]*>/, ""); out = 1; print "== " $0
        shown = $0; gsub(/\^/, "^^", shown); gsub(/[<>&|]/, "^&", shown)
        gsub(/%/, "%%", shown)
        printf "@echo == %s\r\n%s\r\n", shown, $0 >"../run.bat"; next }
      /^    / && out { print substr($0, 5); next }
      !/^$/ { out = 0 }' >../expected
    (unset XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME
      WINEPREFIX=$4 TMPDIR=$4.tmp HOME=$4.home WINEDEBUG=-all \
        "$3" cmd /c "@echo off & call ..\run.bat") </dev/null |
      tr -d '\r\0' | grep -v '^$' >../printed || true
    cat ../printed
    diff ../expected ../printed
    ;;
  release)
    rm -rf "$4"
    mkdir -p "$4"
    cp "$2"/korvanda-*.tar.xz "$2"/*.deb "$3"/korvanda-*.zip "$4"
    tar tJf "$4"/korvanda-*.tar.xz | sed -n 's|^korvanda-[0-9.]*/\(.*[^/]\)$|\1|p' |
      sort >"$scratch/held"
    # The clone may be another user's (the second build's).
    git -c safe.directory="$2/korvanda" -C "$2/korvanda" ls-files |
      grep -Ev '^(debian/|\.ci/|\.gitattributes$|\.gitignore$)' |
      sort >"$scratch/tracked"
    diff "$scratch/tracked" "$scratch/held" ||
      { echo "the tarball does not hold what it must (< missing, > more)"; exit 1; }
    cp "$2"/linux/korvanda-*-linux-*.tar.xz "$4"
    (cd "$4" && sha256sum -- * >SHA256SUMS && cat SHA256SUMS)
    ;;
  linux-tarballs)
    for tarball in "$2"/korvanda-*-linux-*.tar.xz; do
      tar xJf "$tarball" -C "$scratch"
      name=$(basename "$tarball" .tar.xz)
      [ "${name##*-}" = "$(uname -m)" ] && run= || run=qemu-${name##*-}
      KORVANDA_PREFIX=$scratch/$name KORVANDA_RUN=$run \
        "${0%/*}/../../debian/tests/installed" | sed "s/^/$name: /"
    done
    cd "$scratch"/korvanda-*-linux-x86_64/bin
    cp ../../korvanda-*-linux-s390x/share/korvanda/korvanda.stops.txt .
    value=$(awk '$3 == "position_order" { print $1 }' korvanda.stops.txt)
    out=$(./korvanda-explain --program korvanda "Runtime error 239 at $value" 2>&1) || true
    echo "$out" && [[ $out == *"map of another build"* && $out != *$'\n'* ]]
    ;;
  tarball)
    # Outside any repository: git, were anything to call it, finds none.
    tar xJf "$2"/korvanda-*.tar.xz -C "$scratch"
    cd "$scratch"/korvanda-*/
    if ! GIT_DIR=$scratch/no-repository cmake --workflow --preset ci \
      >"$scratch/log" 2>&1; then
      tail -n 60 "$scratch/log"
      exit 1
    fi
    grep -E '^[0-9]+% tests passed' "$scratch/log"
    ;;
  report-lines)
    cd "$2"
    awk -F '\t' 'FNR == NR { if ($1 ~ /^[0-9A-F]+$/) row[$1] = $0; next }
      want != "" && /stopped at:/ && !index($0, want) { bad = bad at want "\n" } { want = "" }
      match($0, /Runtime error +[0-9]+ at [0-9A-F]+/) {
        split(substr($0, RSTART, RLENGTH), w, / +/)
        at = FILENAME ":" FNR ": " w[5] " is not "; shown++
        if (!(w[5] in row)) { bad = bad at "a stop place in the map\n"; next }
        split(row[w[5]], f, "\t")
        if ((" " f[5] ",") !~ (" " w[3] "[ ,]")) bad = bad at "a place ending with " w[3] "\n"
        want = "stopped at:  " f[3] " (" f[2] ")"
      }
      END { printf "%s", bad; exit bad != "" || !shown }' "$3" README.md doc/*.1
    ;;
  shellcheck)
    needs shellcheck shellcheck
    cd "$2"
    shellcheck scripts/*.sh .ci/run tests/*/*.sh debian/tests/installed
    ;;
  format)
    needs clang-format clang-format
    cd "$2"
    git ls-files -z '*.cpp' '*.h' |
      xargs -0 clang-format --dry-run --Werror
    ;;
  *)
    echo "usage: see the head of $0" >&2
    exit 2
    ;;
esac
