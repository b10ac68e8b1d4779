#!/usr/bin/env bash
# Runs every Windows test program of a build folder under wine64, each in a
# fresh Wine prefix of its own, and writes each program's output to
# <log folder>/wine-<name>.log. Prints each program's test summary (and the
# names of failed tests); exits non-zero when any program failed, crashed,
# ran out of time, or when there was no test program at all.
# No display is needed: each prefix gets Wine's null display driver, so the
# tests that run real dialogs make their windows without showing them.
# Usage: tools/run-wine-tests.sh [build folder (build/win64)] [log folder]
set -uo pipefail
# A fixed locale for every Windows test: Wine takes the ANSI code page from it
# (1252 for C.UTF-8), so the tests do not depend on the host's settings.
export LC_ALL=C.UTF-8
build=${1:-build/win64}
logs=${2:-$(mktemp -d)}
mkdir -p "$logs"
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
limit=600  # seconds per test program
if [ ! -x "$wine" ] || [ ! -x "$wineserver" ]; then
  echo "wine64 is not installed" >&2
  exit 1
fi

prefix=
# Ends the prefix's wineserver (and whatever still runs in it), waits until it
# has gone, and removes the prefix.
end_prefix() {
  [ -n "$prefix" ] || return 0
  WINEPREFIX="$prefix" timeout 60 "$wineserver" -k >/dev/null 2>&1
  WINEPREFIX="$prefix" timeout 60 "$wineserver" -w >/dev/null 2>&1
  rm -rf "$prefix"
  prefix=
}
trap 'end_prefix; exit 130' INT TERM

status=0
programs=0
for program in "$build"/tests/*_tests.exe; do
  [ -e "$program" ] || continue
  programs=$((programs + 1))
  name=$(basename "$program" .exe)
  log="$logs/wine-$name.log"
  prefix=$(mktemp -d "${TMPDIR:-/tmp}/quillbank-wine-XXXXXX")
  started=$(date +%s)
  # Mono and Gecko are not wanted: no installer dialogs while the prefix is made.
  # A first run makes the prefix and chooses the null display driver; its
  # server is ended so that the tests' run starts a desktop with that driver.
  WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
    timeout -k 10 300 "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f \
    </dev/null >/dev/null 2>&1
  WINEPREFIX="$prefix" timeout 60 "$wineserver" -k >/dev/null 2>&1
  WINEPREFIX="$prefix" timeout 60 "$wineserver" -w >/dev/null 2>&1
  WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
    timeout -k 10 "$limit" "$wine" "$program" </dev/null >"$log" 2>&1
  code=$?
  end_prefix
  seconds=$(($(date +%s) - started))

  grep -E '^\[  (PASSED|FAILED|SKIPPED) +\]' "$log" | sed "s|^|$name.exe: |"
  if [ $code -eq 124 ] || [ $code -eq 137 ]; then
    echo "$name.exe: stopped after ${limit} s"
    status=1
  elif [ $code -ne 0 ]; then
    grep -q '^\[  PASSED  \]' "$log" || echo "$name.exe: ended before its summary"
    echo "$name.exe: exit code $code"
    status=1
  fi
  echo "$name.exe: ${seconds} s (with a fresh prefix)"
done
if [ $programs -eq 0 ]; then
  echo "no test programs in $build/tests" >&2
  exit 1
fi
exit $status
