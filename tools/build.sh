#!/usr/bin/env bash
# Configures and builds presets, installing what is missing first.
# Usage: tools/build.sh [preset...]   (default: native)
# "program" builds the program alone (build/program/quillbank) and needs only
# cmake, ninja and g++; native, win64 and win32 build the tests as well.
set -euo pipefail
cd "$(dirname "$0")/.."
presets=("$@")
[ ${#presets[@]} -eq 0 ] && presets=(native)
if [ "${presets[*]}" = "program" ]; then tools/install-deps.sh program; else tools/install-deps.sh; fi
for preset in "${presets[@]}"; do
  cmake --preset "$preset" -G Ninja >/dev/null
  cmake --build --preset "$preset" -j"$(nproc)"
done
