#!/usr/bin/env bash
# Times whole runs of the program as a user starts them, on the machine-folder
# backend, each run paired with a yardstick in the same loop:
#
#   prefs.js add    -c 4 on a profile whose prefs.js has 500,000 lines (36 MB),
#                   against cp of the file and an fsync of the copy;
#   OE reset        -c 0 -u in a Wine prefix made by wineboot (system.reg about
#                   1.7 MB), against cat system.reg, cp user.reg and an fsync;
#   -c 9            a run that configures nothing, on a machine folder made
#                   before, against a static no-op program, both timed inside
#                   one private PID namespace (unshare --pid --fork
#                   --mount-proc), made once for all the pairs;
#   win64 prefs.js  the Windows build under wine64 on the same prefs.js,
#                   against wine64 cmd /c copy (reported only).
# Beside the prefs.js case, tools/bench/floor.cpp shows the floor of any
# rewrite that reads every line: the file mapped and scanned once, a new
# line and the old text written to a new file, flushed and renamed.
#
# Prints the median times, the median of the pairs' ratios and the largest
# peak resident memory of each case, with the targets and the memory limit
# (the -c 9 run's peak plus twice the largest file the case touches).
#
# Usage: tools/bench.sh [--smoke] [--runs N]
#   --smoke   tiny files and one run: checks that every case runs and that
#             the program succeeds, without judging times (CI runs this).
# Exits non-zero when the program fails in any run; targets only print.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

smoke=0
runs=7
lines=500000
while [ $# -gt 0 ]; do
  case "$1" in
    --smoke) smoke=1; runs=1; lines=2000 ;;
    --runs) runs=$2; shift ;;
    *) echo "usage: tools/bench.sh [--smoke] [--runs N]" >&2; exit 64 ;;
  esac
  shift
done

tools/install-deps.sh bench
tools/build.sh program >/dev/null
program=$root/build/program/quillbank
if [ ! -x build/win64/quillbank.exe ]; then
  cmake --preset win64 -G Ninja >/dev/null
  cmake --build --preset win64 --target quillbank -j"$(nproc)" >/dev/null
fi
windows_program=$root/build/win64/quillbank.exe
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver

work=$(mktemp -d /tmp/quillbank-bench.XXXXXX)
prefix=$work/prefix
end_wineserver() { WINEPREFIX=$prefix "$wineserver" -k >/dev/null 2>&1 || true
                   WINEPREFIX=$prefix "$wineserver" -w >/dev/null 2>&1 || true; }
trap 'end_wineserver; rm -rf "$work"' EXIT
gcc -O2 -o "$work/timeit" tools/bench/timeit.c
gcc -O2 -static -o "$work/noop" tools/bench/noop.c
g++ -O2 -o "$work/floor" tools/bench/floor.cpp
timeit=$work/timeit
export WINEDEBUG=-all LC_ALL=C.UTF-8
load=$(cut -d' ' -f1-3 /proc/loadavg)

person=(-n "Jane Doe" -a jane@example.com)

# ------------------------------------------------------------- helpers

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
largest() { sort -g | tail -1; }
size_of() { stat -c %s "$1"; }

# pair NAME SETUP PROGRAM-STATUS PROGRAM... --- YARDSTICK...
# Runs SETUP (untimed) before each timed command, `runs` times in turn, and
# keeps each pair's times (µs), ratio and the program's peak memory (KiB).
pair() {
  local name=$1 setup=$2 status=$3
  shift 3
  local -a command=() yardstick=()
  while [ "$1" != "---" ]; do command+=("$1"); shift; done
  shift
  yardstick=("$@")
  : >"$work/$name.pairs"
  for ((i = 0; i < runs; i++)); do
    $setup
    local p y
    p=$("$timeit" -s "$status" "${command[@]}") || { echo "bench: $name: the program failed" >&2; exit 1; }
    $setup
    y=$("$timeit" "${yardstick[@]}") || { echo "bench: $name: the yardstick failed" >&2; exit 1; }
    echo "$p $y" >>"$work/$name.pairs"
  done
}

# report NAME LABEL TARGET LIMIT-KIB: one line of the table; "-" for no
# target or no limit. In a smoke run the times are not judged.
report() {
  local pairs=$work/$1.pairs label=$2 target=$3 limit=$4
  local program_ms yardstick_ms ratio rss_kib goal="-" verdict="" bound="-" fits=""
  program_ms=$(awk '{ print $1 / 1000 }' "$pairs" | median)
  yardstick_ms=$(awk '{ print $3 / 1000 }' "$pairs" | median)
  ratio=$(awk '{ print $1 / $3 }' "$pairs" | median)
  rss_kib=$(awk '{ print $2 }' "$pairs" | largest)
  if [ "$target" != "-" ]; then
    goal="<=${target}x"
    [ "$smoke" -eq 1 ] || verdict=$(awk -v r="$ratio" -v t="$target" 'BEGIN { print (r <= t) ? "met" : "MISSED" }')
  fi
  if [ "$limit" != "-" ]; then
    bound=$(awk -v k="$limit" 'BEGIN { printf "%.1f MiB", k / 1024 }')
    fits=$(awk -v m="$rss_kib" -v l="$limit" 'BEGIN { print (m <= l) ? "within" : "OVER" }')
  fi
  printf '%-34s %9.1f ms %9.1f ms %6.2fx %6s %-6s %6.1f MiB %10s %s\n' "$label" "$program_ms" \
    "$yardstick_ms" "$ratio" "$goal" "$verdict" "$(awk -v k="$rss_kib" 'BEGIN { print k / 1024 }')" \
    "$bound" "$fits"
}

# -------------------------------------------------- case: prefs.js add

# A profile made by a first run, whose prefs.js is then replaced by one
# holding one account and `lines` other preference lines, as a long-used
# profile gathers them.
thunderbird=$work/thunderbird
QUILLBANK_MACHINE=$thunderbird "$program" -n "First Run" -a first@example.com -c 4 >/dev/null
profile=$(dirname "$(find "$thunderbird/drive_c" -name prefs.js | head -1)")
{
  printf '// Mozilla User Preferences\r\n\r\n'
  printf 'user_pref("%s", "%s");\r\n' \
    mail.account.account1.identities id1 mail.account.account1.server server1 \
    mail.accountmanager.accounts account1 mail.accountmanager.defaultaccount account1 \
    mail.identity.id1.smtpServer smtp1 mail.identity.id1.useremail old@isp.example \
    mail.server.server1.hostname pop.isp.example mail.smtpserver.smtp1.hostname smtp.isp.example \
    mail.smtpservers smtp1
  awk -v n="$lines" 'BEGIN { for (i = 0; i < n; i++)
    printf "user_pref(\"mailnews.bench.folder%d.lastChecked\", \"20091208140322\");\r\n", i }'
} >"$work/prefs.js"
prefs_setup() { cp "$work/prefs.js" "$profile/prefs.js"; rm -f "$profile/prefs.copy"; sync; }
export QUILLBANK_MACHINE=$thunderbird
pair prefs prefs_setup 0 "$program" "${person[@]}" -c 4 \
  --- cp "$work/prefs.js" "$profile/prefs.copy" :: sync "$profile/prefs.copy"
# What no rewrite through the program's file service can avoid, timed the
# same way: two copies in memory and the safe replacement.
pair floor prefs_setup 0 "$work/floor" "$profile/prefs.js" \
  --- cp "$work/prefs.js" "$profile/prefs.copy" :: sync "$profile/prefs.copy"
prefs_setup
"$program" "${person[@]}" -c 4 >/dev/null
prefs_after=$(size_of "$profile/prefs.js")
prefs_largest=$(printf '%s\n' "$(size_of "$work/prefs.js")" "$prefs_after" | largest)

# ------------------------------------------ case: Outlook Express reset

# Wine makes no Internet Account Manager\Accounts key; Outlook Express makes
# it when it first starts, so the prefix gets it as that would leave it. A
# first run then creates the account, and its incoming server is changed as
# a user would have changed it, so that the reset has a value to put back.
WINEPREFIX=$prefix "$wine" wineboot -i >/dev/null 2>&1
WINEPREFIX=$prefix "$wineserver" -w
printf '\n[Software\\\\Microsoft\\\\Internet Account Manager\\\\Accounts] 1700000000\n\n' >>"$prefix/user.reg"
QUILLBANK_MACHINE=$prefix "$program" "${person[@]}" -c 0 >/dev/null
sed -i 's/^"POP3 Server"="secure.tessaline.net"$/"POP3 Server"="pop.isp.example"/' "$prefix/user.reg"
grep -q '"POP3 Server"="pop.isp.example"' "$prefix/user.reg" ||
  { echo "bench: the Outlook Express account was not created" >&2; exit 1; }
cp "$prefix/user.reg" "$work/user.reg"
cp "$prefix/system.reg" "$work/system.reg"
reset_setup() { cp "$work/user.reg" "$prefix/user.reg"; cp "$work/system.reg" "$prefix/system.reg"
                rm -f "$work/user.copy"; sync; }
export QUILLBANK_MACHINE=$prefix
pair reset reset_setup 0 "$program" "${person[@]}" -c 0 -u \
  --- cat "$prefix/system.reg" :: cp "$prefix/user.reg" "$work/user.copy" :: sync "$work/user.copy"
reset_setup
"$program" "${person[@]}" -c 0 -u >/dev/null
grep -q '"POP3 Server"="secure.tessaline.net"' "$prefix/user.reg" ||
  { echo "bench: the reset did not put the server back" >&2; exit 1; }
reset_largest=$(printf '%s\n' "$(size_of "$work/system.reg")" "$(size_of "$work/user.reg")" \
  "$(size_of "$prefix/user.reg")" | largest)

# ------------------------------------------------------ case: -c 9

fresh=$work/fresh
QUILLBANK_MACHINE=$fresh "$program" "${person[@]}" -c 9 >/dev/null || [ $? -eq 10 ]
export QUILLBANK_MACHINE=$fresh
nothing() { :; }
namespace=(unshare --pid --fork --mount-proc)
# Without root, a user namespace grants what the PID namespace needs.
[ "$(id -u)" -eq 0 ] || namespace=(unshare --user --map-root-user --pid --fork --mount-proc)
# Both are timed inside one namespace, made once, so that making it is in
# neither figure; 15 pairs at least (one in a smoke run).
start_runs=$(( smoke ? 1 : (runs > 15 ? runs : 15) ))
{
  echo "for ((i = 0; i < $start_runs; i++)); do"
  echo "  p=\$('$timeit' -s 10 '$program' -n 'Jane Doe' -a jane@example.com -c 9) || exit 1"
  echo "  y=\$('$timeit' '$work/noop') || exit 1"
  echo "  echo \"\$p \$y\""
  echo "done"
} >"$work/start-pairs.sh"
"${namespace[@]}" bash "$work/start-pairs.sh" >"$work/start.pairs" ||
  { echo "bench: start: the program failed" >&2; exit 1; }
start_peak=$(awk '{ print $2 }' "$work/start.pairs" | largest)
start_largest=$(printf '%s\n' "$(size_of "$fresh/user.reg")" "$(size_of "$fresh/system.reg")" | largest)

# ------------------------------------- case: the Windows build, prefs.js

# The same prefs.js in the Wine prefix, where the Windows build finds the
# profile in the user's application data; a first run makes the profile.
unset QUILLBANK_MACHINE
export WINEPREFIX=$prefix
"$wine" "$windows_program" -n "First Run" -a first@example.com -c 4 >/dev/null 2>&1
wine_profile=$(dirname "$(find "$prefix/drive_c/users" -path '*Thunderbird*' -name prefs.js | head -1)")
windows_path() { echo "C:${1#"$prefix/drive_c"}" | tr / '\\'; }
cp "$work/prefs.js" "$wine_profile/prefs.orig"
wine_setup() { cp "$work/prefs.js" "$wine_profile/prefs.js"; rm -f "$wine_profile/prefs.copy"; sync; }
"$wineserver" -w
"$wineserver" -p  # kept running between the runs, as on a desktop
pair wine wine_setup 0 "$wine" "$windows_program" "${person[@]}" -c 4 \
  --- "$wine" cmd /c copy "$(windows_path "$wine_profile/prefs.orig")" "$(windows_path "$wine_profile/prefs.copy")"
end_wineserver
unset WINEPREFIX

# ------------------------------------------------------------ report

kib() { echo $(( ($1 + 1023) / 1024 )); }
echo "Whole runs, median of $runs paired runs ($(nproc) cores, load average $load at the start)"
printf '%-34s %12s %12s %7s %6s %-6s %10s %10s\n' case program yardstick ratio target "" "peak RSS" limit
report prefs "prefs.js add, $(( lines / 1000 ))k lines (-c 4)" 2 $(( start_peak + 2 * $(kib "$prefs_largest") ))
report floor "  its floor: map, scan, write" - -
report reset "Outlook Express reset (-c 0 -u)" 3 $(( start_peak + 2 * $(kib "$reset_largest") ))
report start "-c 9, one PID namespace" 1.5 $(( start_peak + 2 * $(kib "$start_largest") ))
report wine "win64 prefs.js add under wine64" - -
echo "yardsticks: cp + fsync of the copy; cat system.reg + cp user.reg + fsync; static no-op; wine64 cmd /c copy"
echo "floor: tools/bench/floor.cpp, the least a rewrite that reads every line does (map, one scan, write, fsync, rename)"
echo "limit: the -c 9 run's peak RSS plus twice the largest file the case touches"
