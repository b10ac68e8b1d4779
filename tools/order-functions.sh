#!/usr/bin/env bash
# Writes cmake/run-functions.ld: the list of every function a few typical
# runs execute, which the Linux program's link places together at the start
# of its code (cmake/run_functions.cmake), so that a run touches a few dozen
# pages of code instead of most of the program's. On a virtual machine each
# page a process touches for the first time costs it several microseconds,
# which is most of a short run.
#
# The runs, each under callgrind on a machine folder made for them: a -c 9
# run (configures nothing; its functions come first, as the one whose time
# is mostly its start), a Thunderbird account added to a new and to an
# existing profile, an Outlook Express account created and reset, a dry
# run, --version and --help. A function that is missing from the list, or a
# name that no longer exists, costs speed only, never correctness: run this
# again after changing what a run does.
#
# Usage: tools/order-functions.sh   (builds the program first; needs valgrind)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

if ! command -v valgrind >/dev/null; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends valgrind >/dev/null
fi
tools/build.sh program >/dev/null
program=$root/build/program/quillbank

work=$(mktemp -d /tmp/quillbank-order.XXXXXX)
trap 'rm -rf "$work"' EXIT
person=(-n "Jane Doe" -a jane@example.com)
export QUILLBANK_MACHINE=$work/machine LC_ALL=C.UTF-8

# profile NAME ARGS...: the program's own functions that the run executed,
# by their symbol names, one a line, in work/NAME.
profile() {
  local name=$1
  shift
  valgrind --tool=callgrind --demangle=no --compress-strings=no --compress-pos=no \
    --callgrind-out-file="$work/$name.out" "$program" "$@" >/dev/null 2>&1 || true
  awk -v program="$program" '/^ob=/ { object = substr($0, 4) }
                             /^fn=/ && object == program { print substr($0, 4) }' \
    "$work/$name.out" | sort -u >"$work/$name"
  echo "$name: $(wc -l <"$work/$name") functions"
}

"$program" "${person[@]}" -c 9 >/dev/null || true  # makes the machine
profile none "${person[@]}" -c 9
profile version --version
profile help --help
profile thunderbird_new "${person[@]}" -c 4
profile thunderbird_add -n "John Roe" -a john@example.com -c 4 -d
profile dry_run -n "Ann Poe" -a ann@example.com -c 4 --dry-run
# Outlook Express makes this key when it first starts; Quillbank finds it by it.
printf '\n[Software\\\\Microsoft\\\\Internet Account Manager\\\\Accounts] 1700000000\n\n' \
  >>"$QUILLBANK_MACHINE/user.reg"
profile outlook_express_new "${person[@]}" -c 0
profile outlook_express_reset "${person[@]}" -c 0 -u

# Each function once, in the group of the first run above that executes it
# (by name within a group), after the static constructors
# and main (GCC's .text.startup); the cold parts GCC splits off (".cold")
# stay with the rest of the cold code.
{
  echo "/* Written by tools/order-functions.sh: the functions that typical runs execute,"
  echo "   placed together at the start of the code by the linker script the build"
  echo "   makes (cmake/run_functions.cmake). Run it again after changing what a run"
  echo "   does; a name that is missing or gone only costs speed. */"
  echo "*(.text.startup .text.startup.*)"
  cat "$work"/none "$work"/version "$work"/help "$work"/thunderbird_new "$work"/thunderbird_add \
      "$work"/dry_run "$work"/outlook_express_new "$work"/outlook_express_reset |
    awk '/^[A-Za-z_][A-Za-z0-9_.]*$/ && !seen[$0]++ && $0 !~ /\.cold$/ && $0 != "main" &&
         $0 != "_start" && $0 != "_init" && $0 != "_fini" && $0 !~ /^_GLOBAL__sub_I_/ {
           print "*(.text." $0 ")"
           # A constructor or destructor is named by its complete-object
           # alias (C1, D1); its section, by the base-object name (C2, D2).
           base = $0
           if (gsub(/C1E/, "C2E", base) + gsub(/D1E/, "D2E", base) > 0 && !seen[base]++)
             print "*(.text." base ")"
         }'
} >cmake/run-functions.ld
echo "cmake/run-functions.ld: $(grep -c '^\*(\.text\.' cmake/run-functions.ld) sections"
