#!/usr/bin/env bash
# Runs every Windows test program of a build folder under wine64, each in a
# fresh Wine prefix, and writes each program's output to <log folder>/wine-<name>.log.
# Usage: tools/run-wine-tests.sh <build folder> [log folder]
set -uo pipefail
build=${1:-build/win64}
logs=${2:-$(mktemp -d)}
mkdir -p "$logs"
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
if [ ! -x "$wine" ]; then
  echo "wine64 is not installed" >&2
  exit 1
fi

status=0
for program in "$build"/tests/*_tests.exe; do
  [ -e "$program" ] || continue
  name=$(basename "$program" .exe)
  prefix=$(mktemp -d /tmp/quillbank-wine-XXXXXX)
  WINEPREFIX="$prefix" WINEDEBUG=-all timeout 900 "$wine" "$program" >"$logs/wine-$name.log" 2>&1
  code=$?
  WINEPREFIX="$prefix" "$wineserver" -k >/dev/null 2>&1
  WINEPREFIX="$prefix" "$wineserver" -w >/dev/null 2>&1
  rm -rf "$prefix"
  [ $code -eq 0 ] || status=1
  grep -E '^\[  (PASSED|FAILED|SKIPPED) +\]' "$logs/wine-$name.log" | sed "s|^|$name.exe: |"
  [ $code -eq 0 ] || echo "$name.exe: exit code $code"
done
exit $status
