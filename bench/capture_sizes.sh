#!/usr/bin/env bash
# What a capture for video sites costs: wall time, CPU time and bytes of an
# MP4 of SECONDS (default 60) from the start, at 640x480 and at each --size
# given (default 1920x1080 3840x2160). Build the default preset first.
# Usage: bench/capture_sizes.sh [SECONDS [SIZE...]]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
capture=$root/build/default/tools/capture/quandrix-capture
seconds=${1:-60}
shift || true
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(1920x1080 3840x2160)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
printf '%-10s %8s %10s %10s %12s\n' size seconds wall_s cpu_s bytes
for size in 640x480 "${sizes[@]}"; do
    file=$out/$size.mp4
    /usr/bin/time -f '%e %U %S' -o "$out/time" \
        "$capture" --video "$file" --seconds "$seconds" --size "$size" 2>/dev/null
    read -r wall user system <"$out/time"
    printf '%-10s %8s %10s %10.1f %12s\n' "$size" "$seconds" "$wall" "$(awk "BEGIN { print $user + $system }")" \
        "$(stat -c %s "$file")"
done
