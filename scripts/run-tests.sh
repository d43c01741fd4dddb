#!/usr/bin/env bash
# Builds and runs the tests: each phase is a list of CMake workflow presets
# (CMakePresets.json), each configured, built and tested by CTest.
#
#   run-tests.sh         the quick check, before every commit: the
#                        optimised Linux program's suites, the sanitizers,
#                        the scripts and documents
#   run-tests.sh --all   the whole matrix, as CI runs it
#
# Quiet while things pass: a heading per phase, a line per workflow with
# its counts, the output of whatever fails, each reason for a skipped test
# once, the failures named again, and a last line
# "N passed, N failed, N skipped". Exits non-zero on any failure.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root" || exit 1
. scripts/lib.sh

all=false
case ${1:-} in
  --all) all=true ;;
  "") ;;
  *)
    echo "usage: ${0##*/} [--all]" >&2
    exit 2
    ;;
esac

# The phases, in order: "quick" ones run in both commands, "all" ones only
# in the whole matrix. A phase is a heading and its workflow presets.
phases=(
  "quick|The optimised Linux program: unit, end-to-end, injected faults, corpora, scripts and documents|ci"
  "all|The Windows program under Wine|windows wine"
  "all|Stop places and answers as other builds make the program|gcc-O2-unroll gcc-pgo-train gcc-pgo gcc-Os-lto-hardened clang-O3-icf clang-Os-lto-icf-hardened"
  "quick|Under AddressSanitizer and UndefinedBehaviorSanitizer|sanitize"
  "all|Branch coverage of the program|coverage"
  "all|Built for other processors, run under qemu-user|aarch64 s390x"
  "all|Fuzzing, ${KORVANDA_FUZZ_SECONDS:-60} s a target|fuzz"
  "all|Packages: built, checked, installed and built again|packages"
)
quick_packages=(cmake ninja-build g++ libgtest-dev strace valgrind time
  shellcheck clang-format)
# The cross-built .debs take their dependency on the C library from
# dpkg-shlibdeps, which reads the other processor's C library where Debian
# installs it (libc6:arm64, libc6:s390x).
all_packages=(clang libclang-rt-14-dev lld-14 g++-mingw-w64-x86-64 wine64
  python3-pefile qemu-user g++-aarch64-linux-gnu g++-s390x-linux-gnu gcovr
  lintian faketime diffoscope-minimal strip-nondeterminism build-essential
  debhelper valgrind-if-available libc6:arm64 libc6:s390x)
if $all; then
  need_packages "${quick_packages[@]}" "${all_packages[@]}"
else
  need_packages "${quick_packages[@]}"
fi
forget_moved_builds "$root"
# Every file the tests make goes in a folder of their own under this one;
# the run fails if anything is left there at its end, or if a name is new
# in the home folder (to three levels, this checkout aside), which no test
# may write.
home_names() {
  find "$HOME" -mindepth 1 -maxdepth 3 -path "$root" -prune -o -print \
    2>/dev/null | sort
}
home_before=$(home_names)
export TMPDIR=$root/build/tmp
rm -rf "$TMPDIR"
mkdir -p "$TMPDIR" build/logs
passed=0 failed=0 skipped=0
failures=()
reasons=()

# Each test of a JUnit file that CTest wrote, a line each: "passed",
# "failed" or "skipped", a tab, its name; and for a skipped test, each
# line after one ending ": Skipped" (GoogleTest's and the package checks'
# reason) as "reason", a tab, the line. A test that did not run for any
# other cause than its own skip (a fixture that failed, a missing
# program) failed, as CTest itself counts it.
judge() {
  awk '
    function text(s) {
      gsub(/&lt;/, "<", s); gsub(/&gt;/, ">", s); gsub(/&quot;/, "\"", s)
      gsub(/&apos;/, "\047", s); gsub(/&amp;/, "\\&", s); return s
    }
    function done() { if (name != "") print result "\t" name; name = "" }
    /<testcase / {
      done()
      name = $0; sub(/.*<testcase name="/, "", name); sub(/".*/, "", name)
      name = text(name); result = /status="run"/ ? "passed" : \
        /status="disabled"/ ? "skipped" : "failed"
      skip = /status="notrun"/
    }
    skip && /<skipped message="SKIP_/ { result = "skipped" }
    skip && reason { print "reason\t" text($0) }
    { reason = skip && /: Skipped$/ }
    /<\/testcase>/ { done(); skip = 0 }
    END { done() }' "$1"
}

# Runs one workflow preset quietly and adds up what its CTest says of it,
# from the JUnit file CTest writes (the test presets name it): counts from
# anything else in the log could be another CTest's, such as the package
# build's own. A workflow that exits non-zero has failed, whatever its
# tests say.
workflow() {
  local preset=$1 log=build/logs/$1.log junit=build/logs/$1.xml status=0
  printf '  %s: ' "$preset"
  rm -f "$junit"
  cmake --workflow --preset "$preset" >"$log" 2>&1 || status=$?
  if [ ! -f "$junit" ]; then
    if [ "$status" -eq 0 ]; then
      echo "built"
      return
    fi
    printf '\nFAILED: %s (see %s)\n' "$preset" "$log"
    tail -n 40 "$log"
    failures+=("$preset: configure, build or test run")
    failed=$((failed + 1))
    return
  fi
  local p=0 f=0 s=0 kind name names=()
  while IFS=$'\t' read -r kind name; do
    case $kind in
      passed) p=$((p + 1)) ;;
      skipped) s=$((s + 1)) ;;
      failed) f=$((f + 1)) names+=("$name") ;;
      reason) reasons+=("$name") ;;
    esac
  done < <(judge "$junit")
  echo "$p passed, $f failed, $s skipped"
  passed=$((passed + p)) failed=$((failed + f)) skipped=$((skipped + s))
  if [ "$f" -gt 0 ]; then
    echo "FAILED: $f in $preset (all their output is in $log)"
    for name in "${names[@]}"; do
      failures+=("$preset: $name")
      # The test's own output, which CTest prints after its result line.
      awk -v n=": $name " 'index($0, n) && /\*\*\*/ { p = 1 }
        p && /^ +Start / { exit } p' "$log" | head -n 40
    done
  elif [ "$status" -ne 0 ]; then
    echo "FAILED: $preset exited with status $status (see $log)"
    tail -n 40 "$log"
    failures+=("$preset: exited with status $status")
    failed=$((failed + 1))
  fi
}

n=0
for entry in "${phases[@]}"; do
  IFS='|' read -r scope heading presets <<<"$entry"
  [ "$scope" = quick ] || $all || continue
  n=$((n + 1))
  printf '\n== %d. %s\n' "$n" "$heading"
  for preset in $presets; do workflow "$preset"; done
done

left=$(ls -A "$TMPDIR")
if [ -n "$left" ]; then
  printf '\nFAILED: the tests left in %s:\n%s\n' "$TMPDIR" "$left"
  failures+=("the tests left files in $TMPDIR")
  failed=$((failed + 1))
fi
home_new=$(comm -13 <(echo "$home_before") <(home_names))
if [ -n "$home_new" ]; then
  printf '\nFAILED: the tests left in the home folder, %s:\n%s\n' "$HOME" \
    "$home_new"
  failures+=("the tests left names in the home folder")
  failed=$((failed + 1))
fi
if [ ${#failures[@]} -gt 0 ]; then
  printf '\n== Failed\n'
  printf '  %s\n' "${failures[@]}"
fi
if [ ${#reasons[@]} -gt 0 ]; then
  printf '\n== Skipped, and why\n'
  printf '%s\n' "${reasons[@]}" | sort | uniq -c | sed 's/^ *\([0-9]*\) /  \1 x /'
fi
echo
echo "$passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
