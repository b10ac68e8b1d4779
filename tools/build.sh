#!/usr/bin/env bash
# Configures and builds presets, installing what is missing first.
# Usage: tools/build.sh [preset...]   (default: native)
# "program" builds the program alone (build/program/quillbank) and needs only
# cmake, ninja and g++; native, win64 and win32 build the tests as well.
# "release" builds the release-linux, release-win64 and release-win32 presets
# (stripped programs, no tests), packs each with CPack and leaves the .deb and
# the two .zip files in build/packages/.
set -euo pipefail
cd "$(dirname "$0")/.."
presets=("$@")
[ ${#presets[@]} -eq 0 ] && presets=(native)
case "${presets[*]}" in
  program) tools/install-deps.sh program ;;
  release) tools/install-deps.sh release ;;
  *) tools/install-deps.sh ;;
esac

release() {
  local packages=build/packages preset made
  local programs=(build/release-linux/quillbank build/release-win64/quillbank.exe
                  build/release-win32/quillbank.exe)
  rm -rf "$packages"
  mkdir -p "$packages"
  for preset in release-linux release-win64 release-win32; do
    cmake --preset "$preset" -G Ninja >/dev/null
    cmake --build --preset "$preset" -j"$(nproc)"
    rm -f build/"$preset"/quillbank*.deb build/"$preset"/quillbank*.zip
    cpack --preset "$preset" >/dev/null
    shopt -s nullglob
    made=(build/"$preset"/quillbank*.deb build/"$preset"/quillbank*.zip)
    shopt -u nullglob
    if [ ${#made[@]} -ne 1 ]; then
      echo "cpack left ${#made[@]} packages in build/$preset, not one" >&2
      exit 1
    fi
    cp "${made[0]}" "$packages"/
  done
  echo "Packages:"
  for file in "$packages"/*; do
    printf '  %-45s %8s bytes\n' "$file" "$(stat -c %s "$file")"
  done
  echo "Stripped programs:"
  for file in "${programs[@]}"; do
    printf '  %-45s %8s bytes\n' "$file" "$(stat -c %s "$file")"
  done
}

for preset in "${presets[@]}"; do
  if [ "$preset" = release ]; then
    release
    continue
  fi
  cmake --preset "$preset" -G Ninja >/dev/null
  cmake --build --preset "$preset" -j"$(nproc)"
done
