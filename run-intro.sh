#!/usr/bin/env bash
# Installs what the intro needs and is missing (a compiler, CMake, SDL2 and
# OpenGL: the first section of scripts/debian-packages.txt), builds the intro
# and runs it. Without a display of your own, install Xvfb and run it there:
#   sudo apt-get install xvfb xauth
#   xvfb-run -a -s "-screen 0 640x480x24" ./run-intro.sh
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup-debian.sh --intro
# CMake's lines naming what it leaves out for want of a library (the tests,
# the benchmarks, the capture tool) are the only ones worth reading here.
log=$(mktemp)
trap 'rm -f "$log"' EXIT
if ! cmake --preset default >"$log" 2>&1; then
  cat "$log"
  exit 1
fi
grep -E '^-- Leaving out' "$log" || true
# exec replaces this shell, so the EXIT trap would never run for the log.
rm -f "$log"
trap - EXIT
cmake --build --preset default --target quandrix
exec build/default/app/quandrix
