#!/usr/bin/env bash
# Checks from its ELF headers that a built Linux program has the hardening
# the build gives it: position-independent (static-pie: a new address each
# run), relocations made read-only with immediate binding, a stack that
# cannot run code; and, on x86-64, that every object of the program's own
# carries indirect-branch landing pads and shadow-stack support.
#
#   check-hardening.sh BUILD_FOLDER   (e.g. build/ci)
#
# The linked program itself cannot carry that last mark: the C library
# Debian 12 links statically is not built with it, and the linker keeps
# the mark only when every object has it.
set -euo pipefail
build=$1
program=$build/korvanda
failures=0
expect() {
  local what=$1 pattern=$2 text=$3
  if grep -Eq "$pattern" <<<"$text"; then
    echo "ok: $what"
  else
    echo "MISSING: $what"
    failures=$((failures + 1))
  fi
}
expect "position-independent executable" 'Type: +DYN ' "$(readelf -hW "$program")"
segments=$(readelf -lW "$program")
expect "read-only relocations (GNU_RELRO)" '^ +GNU_RELRO ' "$segments"
expect "non-executable stack (GNU_STACK RW)" '^ +GNU_STACK( +[^ ]+){5} +RW ' "$segments"
expect "immediate binding (BIND_NOW)" 'BIND_NOW' "$(readelf -dW "$program")"
if [ "$(readelf -hW "$program" | sed -n 's/^ *Machine: *//p')" = \
     "Advanced Micro Devices X86-64" ]; then
  objects=$(find "$build/CMakeFiles/korvanda_core.dir" \
    "$build/platform/CMakeFiles/korvanda_platform.dir" \
    "$build/CMakeFiles/korvanda.dir" -name '*.o')
  for object in $objects; do
    expect "IBT and SHSTK in ${object#"$build"/}" 'x86 feature: IBT, SHSTK' \
      "$(readelf -nW "$object")"
  done
fi
[ "$failures" -eq 0 ]
