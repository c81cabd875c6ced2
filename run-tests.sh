#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite:
# unit, GL and end-to-end tests (on Xvfb servers the tests start themselves),
# then the address/undefined-behaviour sanitizer build with bounded fuzz runs,
# then the thread-sanitizer build. Stops at the first failure, and ends with
# one line per build saying how many tests ran and how many were skipped (in
# CI, with CI=true, a skipped test fails the run).
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup-debian.sh
jobs=$(nproc)
# Warnings are errors, and every library of the tests, benchmarks and tools
# must be there: nothing is left out for want of one.
strict="-DQUANDRIX_WERROR=ON -DQUANDRIX_REQUIRE_ALL=ON"

section() { printf '\n==== %s ====\n' "$*"; }
# Tests that want a display get this Xvfb server; the end-to-end tests start
# servers of their own with the screens they need.
headless() { xvfb-run -a -s "-screen 0 640x480x24" "$@"; }

# run_tests PRESET CTEST-ARGS...: runs the preset's tests and records its
# summary line: CTest's tests and skips, and the GoogleTest cases inside them
# (a skipped case is invisible to CTest's own count).
summaries=()
skips=0
run_tests() {
  local preset=$1; shift
  local log="build/$preset/ctest-output.txt"
  headless ctest --preset "$preset" -j "$jobs" "$@" | tee "$log"
  local total skipped cases case_skips
  total=$({ grep -oE 'tests failed out of [0-9]+' "$log" || true; } | grep -oE '[0-9]+$' || echo 0)
  skipped=$(grep -cE '^\s+[0-9]+ - .*\(Skipped\)$' "$log" || true)
  local ran_log="build/$preset/Testing/Temporary/LastTest.log"
  cases=$({ grep -hE '^\[  PASSED  \] [0-9]+ tests?\.' "$ran_log" || true; } | awk '{n += $4} END {print n + 0}')
  case_skips=$({ grep -hE '^\[  SKIPPED \] [0-9]+ tests?' "$ran_log" || true; } | awk '{n += $4} END {print n + 0}')
  summaries+=("$preset: $((total - skipped)) of $total tests ran, $skipped skipped; inside them $cases test cases passed, $case_skips skipped")
  skips=$((skips + skipped + case_skips))
}

section "default build"
cmake --preset default $strict >/dev/null
cmake --build --preset default -j "$jobs"
section "default tests (unit, GL, end-to-end)"
run_tests default --label-exclude fuzz

section "asan build"
cmake --preset asan $strict >/dev/null
cmake --build --preset asan -j "$jobs"
section "asan tests and bounded fuzz runs"
run_tests asan --label-exclude e2e

section "tsan build"
cmake --preset tsan $strict >/dev/null
cmake --build --preset tsan -j "$jobs"
section "tsan tests"
run_tests tsan --label-exclude 'e2e|fuzz'

section "summary"
printf '%s\n' "${summaries[@]}"
if [ "$skips" -gt 0 ] && [ "${CI:-}" = true ]; then
  echo "in CI every test must run, and $skips did not: install what their messages name"
  exit 1
fi
echo "all test suites passed"
