#!/usr/bin/env bash
# Usage: setup_as_user.sh SOURCE-DIR
# scripts/setup-debian.sh as user nobody with the real sudo, lent by a
# sudoers file of this test's own bound over /etc/sudoers in a private mount
# namespace; dpkg-query and apt-get are stand-ins (every package missing),
# and apt-get writes down the DEBIAN_FRONTEND it gets, which sudo's
# environment reset must not drop.
set -euo pipefail
if [ "$(id -u)" -ne 0 ] || ! command -v sudo >/dev/null; then
  echo "SKIP: needs root and sudo (Debian: sudo)"; [ "${CI:-}" = true ] && exit 1; exit 77
fi
dir=$(mktemp -d) && chmod 755 "$dir" && trap 'rm -rf "$dir"' EXIT
mkdir "$dir/bin"
printf '#!/bin/sh\nexit 0\n' >"$dir/bin/dpkg-query"
printf '#!/bin/sh\n[ "$1" != install ] || echo "$(id -u) $DEBIAN_FRONTEND" >%s/apt\n' "$dir" >"$dir/bin/apt-get"
chmod 755 "$dir"/bin/*
printf 'Defaults secure_path="%s/bin:/usr/bin:/bin"\nnobody ALL=(root) NOPASSWD: ALL\n' "$dir" >"$dir/sudoers"
chmod 440 "$dir/sudoers"
unshare -m sh -c 'mount --bind "$0" /etc/sudoers && exec "$@"' "$dir/sudoers" \
  setpriv --reuid=nobody --regid=nogroup --clear-groups env -i PATH="$dir/bin:/usr/bin:/bin" \
  bash "$1/scripts/setup-debian.sh" --intro
[ "$(cat "$dir/apt")" = "0 noninteractive" ] || { echo "FAIL: apt-get got: $(cat "$dir/apt")"; exit 1; }
