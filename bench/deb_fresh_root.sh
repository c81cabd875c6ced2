#!/usr/bin/env bash
# The Debian package on a machine that has never seen the project: a fresh
# Debian 12 root (debootstrap --variant=minbase bookworm) where
# `apt-get install ./quandrix_VERSION_amd64.deb` must bring in everything the
# programs need. Prints what apt downloaded and how long the install took,
# then runs the programs there: --version, the manual page, a song rendered,
# a frame captured on Mesa without a display (which needs the GL and EGL
# libraries SDL opens by name), the intro without a display.
# Needs root, debootstrap and the network to a Debian mirror (about 2 minutes
# and 400 MB on disk); the root is removed afterwards. Build the default preset first.
# Usage: sudo bench/deb_fresh_root.sh [MIRROR]
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
mirror=${1:-http://deb.debian.org/debian}
work=$(mktemp -d)
root=$work/root
cleanup() {
    for mount in "$root/proc" "$root/dev"; do
        mountpoint -q "$mount" && umount -l "$mount"
    done
    rm -rf "$work"
}
trap cleanup EXIT

cpack -G DEB -B "$work/deb" --config "$source_dir/build/default/CPackConfig.cmake" >/dev/null 2>&1
deb=$(ls "$work"/deb/quandrix_*_amd64.deb)
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"

start=$(date +%s)
debootstrap --variant=minbase bookworm "$root" "$mirror" >"$work/debootstrap.log"
echo "debootstrap --variant=minbase bookworm: $(( $(date +%s) - start )) s, $(du -sm "$root" | cut -f1) MB"
mount --bind /dev "$root/dev"
mount -t proc proc "$root/proc"
cp "$deb" "$root/tmp/"
cp "$source_dir/data/music/standin.xm" "$root/tmp/song.xm"
in_root() {
    chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive "$@"
}

in_root apt-get update -q >/dev/null
start=$(date +%s)
in_root apt-get install -y "/tmp/$(basename "$deb")" >"$work/install.log" 2>&1
elapsed=$(( $(date +%s) - start ))
grep -E '^(Need to get|After this operation|[0-9]+ upgraded)' "$work/install.log"
echo "apt-get install ./$(basename "$deb"): $elapsed s"
start=$(date +%s)
in_root apt-get install -y man-db >"$work/man.log" 2>&1
echo "apt-get install man-db (for man): $(( $(date +%s) - start )) s, $(grep -E '^Need to get' "$work/man.log")"

echo "--- quandrix-xmrender --version"
in_root quandrix-xmrender --version
echo "--- man quandrix-xmrender (first lines)"
in_root env MANWIDTH=80 MANPAGER=cat man quandrix-xmrender | head -4
echo "--- quandrix-xmrender: one second of a song"
in_root quandrix-xmrender --seconds 1 /tmp/song.xm /tmp/song.wav
echo "wrote $(stat -c %s "$root/tmp/song.wav") bytes"
echo "--- quandrix-capture: one frame on Mesa, no display"
in_root env SDL_VIDEODRIVER=offscreen quandrix-capture --out /tmp/frames --frames 1 2>&1 | tail -1
ls -l "$root/tmp/frames"
echo "--- quandrix without a display"
status=0
in_root quandrix || status=$?
echo "exit status $status"
