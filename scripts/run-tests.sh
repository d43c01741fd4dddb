#!/usr/bin/env bash
# Builds and runs every test: each phase is a list of CMake workflow
# presets (CMakePresets.json), each configured, built and tested by CTest.
# Quiet while things pass: a heading per phase, a line per workflow with
# CTest's counts, the output of whatever fails, each reason for a skipped
# test once, the failures named again, and a last line
# "N passed, N failed, N skipped". Exits non-zero on any failure.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root" || exit 1
. scripts/lib.sh
need_packages cmake ninja-build g++ libgtest-dev strace valgrind time \
  clang libclang-rt-14-dev lld-14 g++-mingw-w64-x86-64 wine64 qemu-user \
  g++-aarch64-linux-gnu g++-s390x-linux-gnu shellcheck gcovr lintian \
  faketime diffoscope-minimal strip-nondeterminism build-essential debhelper \
  clang-format
forget_moved_builds "$root"
# Every file the tests make goes in a folder of their own under this one;
# the last test checks that nothing is left.
export TMPDIR=$root/build/tmp
rm -rf "$TMPDIR"
mkdir -p "$TMPDIR" build/logs
passed=0 failed=0 skipped=0
failures=()
reasons=()

# Runs one workflow preset quietly and adds up what CTest says of it. A
# workflow that fails before its tests, or runs none, is one failure.
workflow() {
  local preset=$1 log=build/logs/$1.log status=0 summary
  printf '  %s: ' "$preset"
  cmake --workflow --preset "$preset" >"$log" 2>&1 || status=$?
  summary=$(grep -Eo '[0-9]+ tests? failed out of [0-9]+' "$log")
  if [ -z "$summary" ]; then
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
  local f t s
  read -r f _ _ _ _ t <<<"$summary"
  s=$(grep -c '(Skipped)$' "$log")
  echo "$((t - f - s)) passed, $f failed, $s skipped"
  passed=$((passed + t - f - s)) failed=$((failed + f)) skipped=$((skipped + s))
  if [ "$f" -gt 0 ]; then
    echo "FAILED: $f in $preset (all their output is in $log)"
    while IFS= read -r name; do
      failures+=("$preset: $name")
      # The test's own output, which CTest prints after its result line.
      awk -v n=": ${name% (*} " 'index($0, n) && /\*\*\*/ { p = 1 }
        p && /^ +Start / { exit } p' "$log" | head -n 40
    done < <(sed -n '/tests FAILED:$/,/^$/s/^[[:space:]]*[0-9]* - //p' "$log")
  fi
  # GoogleTest and the package checks print "...: Skipped", then why.
  while IFS= read -r reason; do
    reasons+=("$reason")
  done < <(grep -h -A1 ': Skipped$' \
    "$(sed -n 's/^-- Build files have been written to: //p' "$log" |
      tail -n 1)/Testing/Temporary/LastTest.log" 2>/dev/null |
    grep -v -e ': Skipped$' -e '^--$')
}

phase() {
  printf '\n== %s\n' "$1"
  shift
  local preset
  for preset in "$@"; do workflow "$preset"; done
}

phase "1. The optimised Linux program, and the Windows program under Wine" \
  windows ci
phase "2. Stop places and answers as other builds make the program" \
  gcc-O2-unroll gcc-pgo-train gcc-pgo gcc-Os-lto-hardened clang-O3-icf \
  clang-Os-lto-icf-hardened
phase "3. Under AddressSanitizer and UndefinedBehaviorSanitizer" sanitize
phase "4. Branch coverage of the program" coverage
phase "5. Built for other processors, run under qemu-user" aarch64 s390x
phase "6. Fuzzing, ${KORVANDA_FUZZ_SECONDS:-60} s a target" fuzz
phase "7. Packages, scripts, and nothing left behind" packages

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
