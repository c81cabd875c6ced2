#!/usr/bin/env bash
# Installs the Debian packages of scripts/debian-packages.txt that are not
# installed yet (using sudo when not run as root), then the npm packages of
# the web tests exactly as tests/web/package-lock.json pins them (npm ci),
# unless they are installed from that same lock file already.
#
#   setup-debian.sh            everything: the intro, tools, tests, other builds
#   setup-debian.sh --intro    only what building and running the intro needs
#   setup-debian.sh --list [--intro]   print the package names, install nothing
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

intro_only=false
list_only=false
for arg in "$@"; do
  case $arg in
    --intro) intro_only=true ;;
    --list) list_only=true ;;
    *) echo "setup-debian.sh: unknown option $arg (known: --intro, --list)" >&2; exit 2 ;;
  esac
done

web_tests="$here/../tests/web"
web_npm_packages() {
  if cmp -s "$web_tests/package-lock.json" "$web_tests/node_modules/.installed-from-lock" 2>/dev/null; then
    return
  fi
  echo "setup: installing the web tests' npm packages (npm ci)"
  (cd "$web_tests" && npm ci --no-audit --no-fund --loglevel=error)
  cp "$web_tests/package-lock.json" "$web_tests/node_modules/.installed-from-lock"
}
# Sections start with "#@"; the intro's is the first.
if $intro_only; then
  mapfile -t wanted < <(awk '/^#@/ {n++; next} n == 1' "$here/debian-packages.txt" | grep -v -E '^\s*(#|$)')
else
  mapfile -t wanted < <(grep -v -E '^\s*(#|$)' "$here/debian-packages.txt")
fi
if $list_only; then
  printf '%s\n' "${wanted[@]}"
  exit 0
fi
npm_packages() { $intro_only || web_npm_packages; }
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
# Through env, since sudo resets the environment: a package that asks a
# question would otherwise stop the install.
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
npm_packages
