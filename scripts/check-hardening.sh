#!/usr/bin/env bash
# Checks from its ELF headers that a built Linux program has the hardening
# the build gives it: position-independent (a new address each run),
# relocations made read-only with immediate binding, a stack that cannot
# run code.
#
#   check-hardening.sh BUILD_FOLDER   (e.g. build/ci)
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
[ "$failures" -eq 0 ]
