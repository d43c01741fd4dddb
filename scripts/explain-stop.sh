#!/usr/bin/env bash
# Says which check stopped a run of korvanda, from the report line it
# printed and the map of stop places the build writes beside the program.
#
#   explain-stop.sh [--program PATH] ["Runtime error 239 at 00401765"]
#   explain-stop.sh --version
#
# Without a line, reads one from standard input, so a run's output can be
# piped in. PATH is the program that printed the line: its map is looked
# for beside it, then in ../share/korvanda/ from it, and refused unless its
# header names that program's build. Without --program the
# map is the one installed with this script (../share/korvanda/ from
# where it stands: /usr/share/korvanda/ for the package), else, run from
# a checkout, build/release/korvanda.stops.txt.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
version=1.1.0
usage="usage: ${0##*/} [--program PATH] [LINE] | --version"
program=
case "${1:-}" in
  --help)
    echo "$usage"
    exit 0
    ;;
  --version)
    echo "korvanda-explain (korvanda) $version"
    exit 0
    ;;
  --program)
    if [ $# -lt 2 ]; then
      echo "$usage" >&2
      exit 2
    fi
    program=$2
    shift 2
    ;;
esac
if [ $# -gt 0 ]; then
  line=$1
else
  line=$(head -c 32 | tr -d '\000\r\n')
fi

map=
for candidate in \
    ${program:+"$(dirname "$program")/korvanda.stops.txt"} \
    ${program:+"$(dirname "$program")/../share/korvanda/korvanda.stops.txt"} \
    "$here/../share/korvanda/korvanda.stops.txt" \
    "$here/../build/release/korvanda.stops.txt"; do
  if [ -f "$candidate" ]; then
    map=$candidate
    break
  fi
done
if [ -z "$map" ]; then
  echo "no map of stop places found; name the program with --program" >&2
  exit 2
fi

# The build a program is, as its map's header names it: the GNU build-id
# from its note, which the linker puts among the first bytes of the file
# (4-byte aligned, in the program's byte order), read with od and awk
# alone: the package does not depend on binutils, and a distribution's
# grep may lack -P. Else the SHA-256 of the file.
build_of() {
  local id
  id=$(od -An -v -tu1 -N 65536 "$1" | awk '
    { for (i = 1; i <= NF; i++) b[n++] = $i }
    function word(at, little) {
      return little ? b[at] + 256 * (b[at + 1] + 256 * (b[at + 2] + 256 * b[at + 3])) \
                    : b[at + 3] + 256 * (b[at + 2] + 256 * (b[at + 1] + 256 * b[at]))
    }
    END {
      for (at = 0; at + 16 <= n; at += 4) {
        if (b[at + 12] != 71 || b[at + 13] != 78 || b[at + 14] != 85 || b[at + 15] != 0)
          continue
        for (little = 0; little < 2; little++) {
          size = word(at + 4, little)
          if (word(at, little) != 4 || word(at + 8, little) != 3 || size > 64) continue
          for (i = 0; i < size; i++) printf "%02x", b[at + 16 + i]
          exit
        }
      }
    }')
  if [ -n "$id" ]; then
    echo "build-id $id"
  else
    echo "sha256 $(sha256sum <"$1" | cut -d' ' -f1)"
  fi
}
if [ -n "$program" ]; then
  [ -f "$program" ] || {
    echo "no program $program" >&2
    exit 2
  }
  names=$(sed -n '1s/^# korvanda [^ ]*, //p' "$map")
  is=$(build_of "$program")
  if [ "$names" != "$is" ]; then
    echo "$map is the map of another build (${names:-none named}), not of $program ($is)" >&2
    exit 1
  fi
fi

if [[ ! $line =~ Runtime\ error\ +([0-9]+)\ at\ ([0-9A-F]{8}) ]]; then
  echo "not a report line: '$line'" >&2
  exit 2
fi
code=${BASH_REMATCH[1]}
site=${BASH_REMATCH[2]}

row=$(awk -F '\t' -v site="$site" '$1 == site' "$map")
if [ -z "$row" ]; then
  echo "$site is not a stop place of the program whose map is $map:" >&2
  echo "the line comes from another build" >&2
  exit 1
fi
IFS=$'\t' read -r _ source place checked statuses keys <<<"$row"
# What the code means at this place, from the map's rows of statuses that
# the place ends with (one code can mean different things at different
# places); a code none of them has is the system's own.
meaning=$(awk -F '\t' -v code="$code" -v keys=" $keys " '
  $1 == "status" && index(keys, " " $2 " ") && $3 == code {
    text = text sep $4; sep = ", or "
  }
  $1 == "status" && $3 == "*" { other = $4 }
  END { print (text != "" ? text : other) }' "$map")

echo "Runtime error $code at $site"
echo "  stopped at:  $place ($source)"
echo "  checked:     $checked"
echo "  exit status: $code, $meaning"
echo "  this place ends with: $statuses"
