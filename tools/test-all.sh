#!/usr/bin/env bash
# Installs what is missing, builds the native, win64 and win32 presets and the
# release packages, runs every native test, reads the packages back, runs each
# fuzz target for 30 s, then the win64 tests under wine64 and the benchmark
# once on tiny files, and prints one closing line with the totals.
set -uo pipefail
cd "$(dirname "$0")/.."

tools/build.sh native win64 win32 release || { echo "0 passed, 1 failed"; exit 1; }

logs=$(mktemp -d)
status=0

echo "== native tests"
for program in build/native/tests/*_tests; do
  [ -x "$program" ] || continue
  name=$(basename "$program")
  if ! timeout 1800 "$program" >"$logs/native-$name.log" 2>&1; then status=1; fi
  grep -E '^\[  (PASSED|FAILED|SKIPPED) +\]|^\[  FAILED  \] [A-Za-z]' "$logs/native-$name.log" | sed "s|^|$name: |"
done

echo "== packages"
if ! tools/test-packages.sh build/packages >"$logs/packages.log" 2>&1; then status=1; fi
grep -E '^\[  (PASSED|FAILED|SKIPPED) +\]' "$logs/packages.log" | sed "s|^|packages: |"

echo "== fuzz targets"
if ! tools/fuzz.sh 30 "$logs"; then status=1; fi

echo "== win64 tests under wine64"
if ! tools/run-wine-tests.sh build/win64 "$logs"; then status=1; fi

# The benchmark once on tiny files: every case still runs and the program
# succeeds in each (times are not judged here).
echo "== benchmark smoke run"
if tools/bench.sh --smoke >"$logs/bench.txt" 2>&1; then
  echo "bench: smoke run passed"
else
  echo "bench: smoke run FAILED"; tail -5 "$logs/bench.txt"
  status=1
fi

# Totals over every test program's own summary.
totals=$(cat "$logs"/*.log | awk '
  /^\[  PASSED  \] [0-9]+ test/ { passed += $4 }
  /^\[  FAILED  \] [0-9]+ test/ { failed += $4 }
  /^\[  SKIPPED \] [0-9]+ test/ { skipped += $4 }
  END { printf "%d passed, %d failed, %d skipped", passed, failed, skipped }')
if [ $status -ne 0 ] && echo "$totals" | grep -q ' 0 failed'; then
  # A program that crashed or timed out before its summary still fails the run.
  totals=$(echo "$totals" | sed 's/ 0 failed/ 1 failed/')
fi
echo "$totals"
exit $status
