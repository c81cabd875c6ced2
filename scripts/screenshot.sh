#!/usr/bin/env bash
# Runs the built intro on a private Xvfb screen for SECONDS (default 5),
# grabs the screen to OUT.png and leaves the intro with Escape.
# Usage: scripts/screenshot.sh OUT.png [SECONDS]
set -euo pipefail
out=$1
seconds=${2:-5}
intro=$(cd "$(dirname "$0")/.." && pwd)/build/default/app/quandrix
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
xvfb-run -a -s "-screen 0 640x480x24" bash -c '
  "$1" & pid=$!
  sleep "$2"
  import -window root "$3"
  xdotool search --name "^Quandrix 2oo5$" windowfocus --sync key Escape
  wait $pid || true
' _ "$intro" "$seconds" "$out"
echo "wrote $out"
