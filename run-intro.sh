#!/usr/bin/env bash
# Installs what is missing, builds the intro and runs it.
# Without a display of your own, run it under Xvfb:
#   xvfb-run -a -s "-screen 0 640x480x24" ./run-intro.sh
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup-debian.sh
cmake --preset default >/dev/null
cmake --build --preset default --target quandrix
exec build/default/app/quandrix
