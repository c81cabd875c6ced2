#!/usr/bin/env bash
# Usage: intro_alone_build.sh SOURCE-DIR BUILD-DIR
# Configures the default preset in BUILD-DIR as a machine with only the
# intro's packages would (the libraries of the other section hidden from
# CMake), checks that CMake leaves out what needs them with one line each,
# each line naming a package of the other section, and builds the intro.
set -euo pipefail
source=$1 tree=$2
cd "$source"
rm -rf "$tree"
hidden=(PNG GTest benchmark)
hide=()
for package in "${hidden[@]}"; do hide+=("-DCMAKE_DISABLE_FIND_PACKAGE_$package=ON"); done
if ! out=$(cmake --preset default -B "$tree" -DQUANDRIX_WERROR=ON "${hide[@]}" 2>&1); then
  echo "$out"
  echo "FAIL: the intro's build does not configure without ${hidden[*]}"
  exit 1
fi
left_out=$(grep -E '^-- Leaving out' <<<"$out" || true)
echo "$left_out"
intro=$(scripts/setup-debian.sh --list --intro)
everything=$(scripts/setup-debian.sh --list)
# PNG leaves out the tests before GTest is looked for.
for package in PNG benchmark; do
  line=$(grep -E ": $package not found" <<<"$left_out" || true)
  if [ -z "$line" ]; then
    echo "FAIL: no line says what is left out without $package"
    exit 1
  fi
  debian=$(sed -E 's/.*Debian package ([^;]+);.*/\1/' <<<"$line")
  if grep -qx "$debian" <<<"$intro" || ! grep -qx "$debian" <<<"$everything"; then
    echo "FAIL: $debian should be in the package list, outside the intro's section"
    exit 1
  fi
done
if grep -q 'quandrix-capture' "$tree/build.ninja"; then
  echo "FAIL: the capture tool is configured without libpng"
  exit 1
fi
cmake --build "$tree" --target quandrix
test -x "$tree/app/quandrix"
echo "the intro builds with the intro's packages alone"
