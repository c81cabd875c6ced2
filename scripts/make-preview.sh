#!/usr/bin/env bash
# Makes the README's looping preview, docs/preview.webp: three seconds of the
# show from 9.5 s (the first page folding away before the second), captured
# at 60 frames per second as a 60 Hz display paces it, then shown at 15
# frames per second and half size. Needs a built tree and Debian's ffmpeg.
#   scripts/make-preview.sh [OUT.webp]
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/preview.webp}
frames=$(mktemp -d)
trap 'rm -rf "$frames"' EXIT
build/default/tools/capture/quandrix-capture --out "$frames" --start 9.5 --seconds 3
ffmpeg -hide_banner -loglevel error -y -framerate 60 -i "$frames/frame_%05d.png" \
  -vf "fps=15,scale=320:240:flags=lanczos" -c:v libwebp_anim -loop 0 -quality 60 "$out.tmp.webp"
mv "$out.tmp.webp" "$out"
echo "wrote $out"
