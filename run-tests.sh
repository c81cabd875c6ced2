#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite:
# unit, GL and end-to-end tests (on Xvfb servers the tests start themselves),
# then the address/undefined-behaviour sanitizer build with bounded fuzz runs,
# then the thread-sanitizer build. Stops at the first failure.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup-debian.sh
jobs=$(nproc)
werror=-DQUANDRIX_WERROR=ON

section() { printf '\n==== %s ====\n' "$*"; }
# Tests that want a display get this Xvfb server; the end-to-end tests start
# servers of their own with the screens they need.
headless() { xvfb-run -a -s "-screen 0 640x480x24" "$@"; }

section "default build"
cmake --preset default $werror >/dev/null
cmake --build --preset default -j "$jobs"
section "default tests (unit, GL, end-to-end)"
headless ctest --preset default -j "$jobs" --label-exclude fuzz

section "asan build"
cmake --preset asan $werror >/dev/null
cmake --build --preset asan -j "$jobs"
section "asan tests and bounded fuzz runs"
headless ctest --preset asan -j "$jobs" --label-exclude e2e

section "tsan build"
cmake --preset tsan $werror >/dev/null
cmake --build --preset tsan -j "$jobs"
section "tsan tests"
headless ctest --preset tsan -j "$jobs" --label-exclude 'e2e|fuzz'

section "all test suites passed"
