#!/usr/bin/env bash
# Configures and builds one preset (native, win64 or win32), installing what
# is missing first. Usage: tools/build.sh [preset...]   (default: native)
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
presets=("$@")
[ ${#presets[@]} -eq 0 ] && presets=(native)
for preset in "${presets[@]}"; do
  cmake --preset "$preset" -G Ninja >/dev/null
  cmake --build --preset "$preset" -j"$(nproc)"
done
