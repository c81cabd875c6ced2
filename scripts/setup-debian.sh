#!/usr/bin/env bash
# Installs the Debian packages of scripts/debian-packages.txt that are not
# installed yet (using sudo when not run as root), then the npm packages of
# the web tests exactly as tests/web/package-lock.json pins them (npm ci),
# unless they are installed from that same lock file already.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

web_tests="$here/../tests/web"
npm_packages() {
  if cmp -s "$web_tests/package-lock.json" "$web_tests/node_modules/.installed-from-lock" 2>/dev/null; then
    return
  fi
  echo "setup: installing the web tests' npm packages (npm ci)"
  (cd "$web_tests" && npm ci --no-audit --no-fund --loglevel=error)
  cp "$web_tests/package-lock.json" "$web_tests/node_modules/.installed-from-lock"
}
mapfile -t wanted < <(grep -v -E '^\s*(#|$)' "$here/debian-packages.txt")
missing=()
# A package counts as present when it is installed or when an installed
# package provides it (NodeSource's nodejs provides and conflicts with npm).
provided=$(dpkg-query -W -f='${db:Status-Abbrev} ${Provides}\n' 2>/dev/null | awk '$1 == "ii" {print}' \
  | cut -d' ' -f2- | tr ',' '\n' | sed -E 's/^ *//; s/ .*//' | sort -u)
for package in "${wanted[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' \
    && ! grep -qx "$package" <<<"$provided"; then
    missing+=("$package")
  fi
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: every package is installed"
  npm_packages
  exit 0
fi
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "setup: installing ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
npm_packages
