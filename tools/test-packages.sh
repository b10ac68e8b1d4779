#!/usr/bin/env bash
# Reads back the packages tools/build.sh release left, as an administrator
# gets them: the .deb is unpacked with dpkg-deb -x (never installed), its
# program must run and its manual page name every option and exit code that
# the program's --help lists; each .zip must hold quillbank.exe, the Windows
# program of its architecture, and README.md. Every program must be stripped.
# Prints one line per check and a summary in GoogleTest's form
# ("[  PASSED  ] 5 tests."); exits non-zero when a check failed.
# Usage: tools/test-packages.sh [package folder (build/packages)]
set -uo pipefail
cd "$(dirname "$0")/.."
packages=${1:-build/packages}
version=$(sed -nE 's/^project\(quillbank VERSION ([0-9.]+).*/\1/p' CMakeLists.txt)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The one package in $packages matching the pattern, or a message.
package() {
  local found=("$packages"/$1)
  if [ ${#found[@]} -ne 1 ] || [ ! -f "${found[0]}" ]; then
    echo "no single $1 in $packages (tools/build.sh release makes it)" >&2
    return 1
  fi
  echo "${found[0]}"
}

deb_fields() {
  local deb field expected actual
  deb=$(package "quillbank_${version}_*.deb") || return 1
  for field in Package=quillbank "Version=$version" Section=mail \
               "Maintainer=Quillbank developers"; do
    expected=${field#*=}
    actual=$(dpkg-deb -f "$deb" "${field%%=*}")
    [ "$actual" = "$expected" ] || { echo "${field%%=*}: '$actual', not '$expected'"; return 1; }
  done
  dpkg-deb -f "$deb" Depends | grep -q 'libc6' || { echo "Depends names no libc6"; return 1; }
  # Its files, folders aside: the program and its manual page.
  actual=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $NF }' | sort | tr '\n' ' ')
  expected="./usr/bin/quillbank ./usr/share/man/man1/quillbank.1.gz "
  [ "$actual" = "$expected" ] || { echo "files: $actual"; return 1; }
}

# The .deb's files below $work/deb, unpacked once.
unpacked() {
  local deb
  [ -d "$work/deb" ] && return 0
  deb=$(package "quillbank_${version}_*.deb") || return 1
  dpkg-deb -x "$deb" "$work/deb"
}

deb_program() {
  local program
  unpacked || return 1
  program="$work/deb/usr/bin/quillbank"
  [ "$("$program" --version)" = "quillbank $version" ] ||
    { echo "--version: $("$program" --version 2>&1)"; return 1; }
  file -b "$program" | grep -q ', stripped' || { echo "not stripped: $(file -b "$program")"; return 1; }
}

# The keys of the option and exit-code tables --help prints: the text before
# the meaning column, or a whole line when the key is too wide for it.
help_keys() {
  "$1" --help | awk '/^(options|exit codes):$/ { on = 1; next } /^$/ { on = 0 }
                     on && /^  [^ ]/ { sub(/^  /, ""); sub(/  .*$/, ""); print }'
}

deb_manual_page() {
  local page="$work/deb/usr/share/man/man1/quillbank.1.gz" shown="$work/quillbank.1.txt"
  local warnings key keys missing=""
  unpacked || return 1
  [ -f "$page" ] || { echo "no usr/share/man/man1/quillbank.1.gz in the .deb"; return 1; }
  warnings=$(zcat "$page" | groff -man -Tascii -ww -z 2>&1)
  [ -z "$warnings" ] || { echo "groff: $warnings"; return 1; }
  zcat "$page" | groff -man -Tascii -P-cbou >"$shown" 2>/dev/null
  keys=$(help_keys "$work/deb/usr/bin/quillbank")
  [ "$(echo "$keys" | wc -l)" -ge 10 ] || { echo "--help lists too few keys: $keys"; return 1; }
  # Each key is the tag of a paragraph: at the tag indent, alone or followed
  # by a space.
  while IFS= read -r key; do
    awk -v key="$key" 'index($0, "       " key) == 1 {
                         rest = substr($0, 8 + length(key))
                         if (rest == "" || rest ~ /^ /) found = 1 }
                       END { exit !found }' "$shown" || missing+=" '$key'"
  done <<<"$keys"
  [ -z "$missing" ] || { echo "the manual page has no paragraph for:$missing"; return 1; }
}

# zip_holds ARCHITECTURE KIND: the .zip of that build holds the README and a
# stripped program of that kind.
zip_holds() {
  local zip names kind
  zip=$(package "quillbank-${version}-$1.zip") || return 1
  names=$(unzip -Z1 "$zip" | sort | tr '\n' ' ')
  [ "$names" = "README.md quillbank.exe " ] || { echo "holds: $names"; return 1; }
  unzip -p "$zip" README.md | cmp -s - README.md || { echo "README.md differs"; return 1; }
  unzip -p "$zip" quillbank.exe >"$work/$1.exe"
  kind=$(file -b "$work/$1.exe")
  case "$kind" in
    "$2"*stripped*) ;;
    *) echo "quillbank.exe: $kind"; return 1 ;;
  esac
}

passed=0
failed=()
# check NAME FUNCTION [ARGUMENT...]: what the function prints is shown when it fails.
check() {
  local name="Packages.$1" output
  shift
  echo "[ RUN      ] $name"
  if output=$("$@" 2>&1); then
    echo "[       OK ] $name"
    passed=$((passed + 1))
  else
    [ -n "$output" ] && echo "$output"
    echo "[  FAILED  ] $name"
    failed+=("$name")
  fi
}
tests() { [ "$1" -eq 1 ] && echo "1 test" || echo "$1 tests"; }

check DebFields deb_fields
check DebProgramRuns deb_program
check DebManualPage deb_manual_page
check Win64Zip zip_holds win64 "PE32+ executable (GUI) x86-64"
check Win32Zip zip_holds win32 "PE32 executable (GUI) Intel 80386"

echo "[==========] $(tests $((passed + ${#failed[@]}))) ran."
echo "[  PASSED  ] $(tests $passed)."
if [ ${#failed[@]} -gt 0 ]; then
  echo "[  FAILED  ] $(tests ${#failed[@]}), listed below:"
  printf '[  FAILED  ] %s\n' "${failed[@]}"
  exit 1
fi
