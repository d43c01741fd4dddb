#!/usr/bin/env bash
# Reports which of the program's branches the tests took, from the counts
# a run of the suite in the coverage build left (build/coverage, or the
# folder given), and fails unless every branch is taken but those marked
# GCOVR_EXCL_BR_LINE in the source, each with its reason beside it.
#
#   cmake --workflow --preset coverage && ./scripts/coverage-report.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
gcovr --root . --object-directory "${1:-build/coverage}" \
  --filter 'solver/' --filter 'textio/' --filter 'failstop/' \
  --filter 'platform/linux/' --filter 'platform/platform.h' \
  --exclude-unreachable-branches --exclude-throw-branches \
  --txt --branches --fail-under-branch 100
