#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer, UBSan) and runs each
# for a bounded time, starting from its corpus in fuzz/corpus/<name>/ (left
# unchanged; new inputs go to a temporary folder). A crash or a broken
# invariant fails the run and leaves the input that caused it in the log
# folder. Usage: tools/fuzz.sh [seconds per target] [log folder]
set -uo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
logs=${2:-$(mktemp -d)}
mkdir -p "$logs"

cmake --preset fuzz -G Ninja >/dev/null && cmake --build --preset fuzz -j"$(nproc)" >/dev/null ||
  { echo "fuzz: the targets did not build"; exit 1; }

status=0
for program in build/fuzz/fuzz/*_fuzzer; do
  name=$(basename "$program" _fuzzer)
  work=$(mktemp -d)
  log="$logs/fuzz-$name.log"
  if "$program" -max_total_time="$seconds" -max_len=16384 -timeout=10 -rss_limit_mb=2048 \
       -print_final_stats=1 -artifact_prefix="$logs/$name-" "$work" "fuzz/corpus/$name" >"$log" 2>&1; then
    runs=$(grep -oE 'Done [0-9]+ runs' "$log" | grep -oE '[0-9]+')
    echo "fuzz $name: ${runs:-?} runs, nothing found"
    # One line in the form of the test programs' summaries, for the totals.
    echo "[  PASSED  ] 1 test." >>"$log"
  else
    status=1
    echo "fuzz $name: FAILED"
    grep -E 'ERROR|invariant broken|SUMMARY|artifact' "$log" | head -5 | sed 's/^/  /'
    echo "[  FAILED  ] 1 test, listed below:" >>"$log"
  fi
  rm -rf "$work"
done
exit $status
