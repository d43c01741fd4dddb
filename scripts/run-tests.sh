#!/usr/bin/env bash
# Builds and runs every test, phase by phase:
#  1. the optimised Linux program: unit, end-to-end, injected system-call
#     faults, heap and memory; and the Windows program's end-to-end suite
#     under Wine;
#  2. the stop places and the end-to-end suite on the program as other
#     builds make it: GCC and clang, -O2/-Os, link-time optimisation,
#     distribution hardening flags;
#  3. the unit and end-to-end suites under AddressSanitizer and
#     UndefinedBehaviorSanitizer;
#  4. the unit and end-to-end suites on an unoptimised build that counts
#     the program's branches, and a check that every branch not marked
#     in the source was taken;
#  5. the program and its suites built for aarch64 and s390x, run under
#     qemu-user;
#  6. each fuzz target for KORVANDA_FUZZ_SECONDS (default 60);
#  7. the packages: lintian on each .deb, the amd64 one unpacked and run
#     on the example, the .zip's contents; the program's hardening read
#     from its ELF; shellcheck over the scripts.
# Quiet while things pass: a heading per phase, a line per step, the
# output of whatever fails, each reason for a skipped test once, and a
# last line "N passed, N failed, N skipped". Exits non-zero on any failure.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root" || exit 1
. scripts/lib.sh
fuzz_seconds=${KORVANDA_FUZZ_SECONDS:-60}
logs=$root/build/logs
wine=/usr/lib/wine/wine64

need_packages cmake ninja-build g++ libgtest-dev strace valgrind time \
  clang libclang-rt-14-dev lld-14 g++-mingw-w64-x86-64 wine64 qemu-user \
  g++-aarch64-linux-gnu g++-s390x-linux-gnu shellcheck gcovr lintian
forget_moved_builds "$root"

# Every file the tests make goes in a folder of their own under this one,
# removed when they are done; the run ends by checking nothing is left.
export TMPDIR=$root/build/tmp
rm -rf "$TMPDIR"
mkdir -p "$TMPDIR"

passed=0
failed=0
skipped=0
declare -A skip_reasons=()
# Named again just before the last line, where a log cut short for its
# length still shows them.
failures=()

# Counts one failure; the rest of the line says which.
failed_step() {
  echo "FAILED: $1"
  failures+=("$1")
  failed=$((failed + 1))
}

heading() { printf '\n== %s\n' "$*"; }

# One step that is no test suite of its own: it passes or fails whole.
check() {
  local what=$1
  shift
  echo "  $what"
  if quietly "$logs/$(echo "$what" | tr -c 'a-zA-Z0-9\n' '-').log" "$@"; then
    passed=$((passed + 1))
  else
    failed_step "$what"
  fi
}

# Builds with a preset; a failed build counts as one failure.
build() {
  local preset=$1
  shift
  echo "  building ($preset preset)"
  if ! quietly "$logs/build-$preset.log" \
      bash -c "cmake --preset $preset $* && cmake --build --preset $preset"; then
    failed_step "building with the $preset preset"
    return 1
  fi
}

# Runs tests with ctest and adds up what its JUnit report says; prints the
# output of each failing test.
suite() {
  local what=$1 dir=$2
  shift 2
  local junit
  junit=$logs/junit-$(echo "$what" | tr -c 'a-zA-Z0-9\n' '-').xml
  echo "  running $what"
  ctest --test-dir "$dir" --output-junit "$junit" -j2 --timeout 300 "$@" \
    >"$junit.log" 2>&1
  if [ ! -s "$junit" ] || ! grep -q '<testcase' "$junit"; then
    failed_step "$what ran no test"
    tail -n 50 "$junit.log"
    return
  fi
  local kind name text p=0 f=0 s=0
  while IFS=$'\t' read -r kind name text; do
    case $kind in
      pass) p=$((p + 1)) ;;
      fail)
        f=$((f + 1))
        printf 'FAILED: %s\n%b\n' "$name" "$text"
        failures+=("$name ($what)")
        ;;
      skip)
        s=$((s + 1))
        skip_reasons[$text]=$((${skip_reasons[$text]:-0} + 1))
        ;;
    esac
  done < <(awk '
    function unescape(t) {
      gsub(/&lt;/, "<", t); gsub(/&gt;/, ">", t); gsub(/&quot;/, "\"", t)
      gsub(/&apos;/, "\047", t); gsub(/&amp;/, "\\&", t); return t
    }
    /<testcase / {
      name = $0; sub(/.*<testcase name="/, "", name); sub(/".*/, "", name)
      status = $0; sub(/.* status="/, "", status); sub(/".*/, "", status)
      out = ""; reason = ""; inside = 0; after_skip = 0
    }
    /<system-out>/ { inside = 1; sub(/.*<system-out>/, "") }
    inside {
      line = $0; sub(/<\/system-out>.*/, "", line)
      if (after_skip && reason == "") reason = unescape(line)
      after_skip = (line ~ /: Skipped$/)
      out = out unescape(line) "\\n"
    }
    /<\/system-out>/ { inside = 0 }
    /<\/testcase>/ {
      if (status == "run") print "pass\t" name
      else if (status == "fail") print "fail\t" name "\t" out
      else print "skip\t" name "\t" (reason == "" ? "not run" : reason)
    }' "$junit")
  echo "    $p passed, $f failed, $s skipped"
  passed=$((passed + p))
  failed=$((failed + f))
  skipped=$((skipped + s))
}

heading "1. The optimised Linux program, and the Windows program under Wine"
windows_args=()
if build windows; then
  mkdir -p build/ci
  check "making a quiet Wine prefix (build/ci/wineprefix)" \
    make_wine_prefix "$root/build/ci/wineprefix" "$wine"
  windows_args=(-DKORVANDA_WINDOWS_PROGRAM="$root/build/windows/korvanda.exe"
                -DKORVANDA_WINE="$wine")
fi
if build ci "${windows_args[@]}"; then
  suite "unit, end-to-end and fault tests" build/ci
fi

heading "2. Stop places and answers as other builds make the program"
hardening="-fstack-protector-strong -fcf-protection -D_FORTIFY_SOURCE=2"
variants=(
  "gcc-O2-lto|g++|-O2 -flto=auto|"
  "gcc-Os-lto-hardened|g++|-Os -flto=auto $hardening|"
  "clang-O3|clang++|-O3|"
  "clang-O2-lto|clang++|-O2 -flto|-fuse-ld=lld"
  "clang-Os-lto-hardened|clang++|-Os -flto $hardening|-fuse-ld=lld"
)
for variant in "${variants[@]}"; do
  IFS='|' read -r name compiler flags link <<<"$variant"
  dir=build/variants/$name
  echo "  building $name ($compiler $flags)"
  if quietly "$logs/build-$name.log" bash -c "
      cmake -S . -B $dir -G Ninja -DCMAKE_BUILD_TYPE=None \
        -DCMAKE_CXX_COMPILER=$compiler -DCMAKE_CXX_FLAGS='$flags' \
        -DCMAKE_EXE_LINKER_FLAGS='$flags $link' \
        -DKORVANDA_TESTS=OFF -DKORVANDA_WERROR=ON &&
      cmake --build $dir --target korvanda"; then
    KORVANDA_E2E_PROGRAM="$root/$dir/korvanda" \
      suite "end-to-end tests on $name" build/ci -R '^e2e\.'
  else
    failed_step "building $name"
  fi
done

heading "3. Under AddressSanitizer and UndefinedBehaviorSanitizer"
if build sanitize; then
  suite "unit and end-to-end tests, sanitized" build/sanitize
fi

heading "4. Branch coverage of the program"
if build coverage; then
  # Counts add up across runs: start from none.
  find build/coverage -name '*.gcda' -delete
  suite "unit and end-to-end tests, counting branches" build/coverage
  check "every unmarked branch of the program taken (gcovr)" \
    scripts/coverage-report.sh build/coverage
fi

heading "5. Built for other processors, run under qemu-user"
for processor in aarch64 s390x; do
  if build "$processor"; then
    suite "all tests on $processor" "build/$processor"
  fi
done

heading "6. Fuzzing, ${fuzz_seconds} s a target"
if build fuzz; then
  for target in read_integer program; do
    found=$(mktemp -d)
    check "fuzzing ${target}_fuzz for ${fuzz_seconds} s" \
      "build/fuzz/fuzz/${target}_fuzz" -max_total_time="$fuzz_seconds" \
      -print_final_stats=1 -artifact_prefix="$root/build/fuzz/" \
      "$found" "fuzz/corpus/$target"
    rm -rf "$found"
  done
fi

heading "7. Packages and scripts"
# The .deb a build makes passes lintian with no error and no warning.
# (lintian leaves folders of its own in the temporary folder: that is the
# scratch folder here.)
lintian_check() {
  local build=$1 scratch status=0
  scratch=$(mktemp -d)
  (cd "$build" && cpack -G DEB -B "$scratch") &&
    TMPDIR=$scratch lintian --fail-on error,warning "$scratch"/korvanda_*.deb ||
    status=$?
  rm -rf "$scratch"
  return $status
}
# Unpacked into a scratch root, the amd64 package runs the example, and a
# report line of its stripped program reads right against its map.
package_check() {
  local scratch status=0
  scratch=$(mktemp -d)
  { (cd build/ci && cpack -G DEB -B "$scratch/out") &&
    dpkg-deb -x "$scratch"/out/korvanda_*_amd64.deb "$scratch/root" &&
    mkdir "$scratch/run" && cp examples/korvanda.in "$scratch/run/" &&
    (cd "$scratch/run" && "$scratch/root/usr/bin/korvanda") &&
    printf '11\r\n5 3\r\n4 1\r\n' | cmp - "$scratch/run/korvanda.out" &&
    rm "$scratch/run/korvanda.in" &&
    { (cd "$scratch/run" && "$scratch/root/usr/bin/korvanda") || true; } |
      "$scratch/root/usr/bin/korvanda-explain" |
      grep 'open_input' >/dev/null; } ||
    status=$?
  rm -rf "$scratch"
  return $status
}
windows_zip_check() {
  local scratch status=0
  scratch=$(mktemp -d)
  { (cd build/windows && cpack -G ZIP -B "$scratch") &&
    cmake -E tar tf "$scratch"/korvanda-*.zip >"$scratch/list" &&
    grep -qx 'korvanda.exe' "$scratch/list" &&
    grep -qx 'korvanda.stops.txt' "$scratch/list"; } || status=$?
  rm -rf "$scratch"
  return $status
}
for build in ci aarch64 s390x; do
  check "lintian on the .deb of build/$build" lintian_check "build/$build"
done
check "the .deb, unpacked into a scratch root, runs the example" package_check
check "the Windows .zip holds the program and its map" windows_zip_check
check "the Linux program's hardening, read from its ELF" \
  scripts/check-hardening.sh build/ci
check "shellcheck over scripts/ and .ci/run" shellcheck scripts/*.sh .ci/run
nothing_left_behind() {
  local left
  left=$(ls -A "$TMPDIR")
  [ -z "$left" ] || { echo "left in $TMPDIR: $left"; return 1; }
}
check "nothing left in the temporary folder" nothing_left_behind

if [ ${#failures[@]} -gt 0 ]; then
  heading "Failed"
  printf '  %s\n' "${failures[@]}"
fi
if [ ${#skip_reasons[@]} -gt 0 ]; then
  heading "Skipped, and why"
  for reason in "${!skip_reasons[@]}"; do
    echo "  ${skip_reasons[$reason]} x $reason"
  done
fi
echo
echo "$passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
