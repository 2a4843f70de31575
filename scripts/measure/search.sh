#!/usr/bin/env bash
# Measured run of kwo.exe's typing under Wine (prints figures, asserts
# nothing): from each keystroke in the short-key box until the list shows
# the results for the box's text (kwo_tool measure-typing), median and p95,
# and kwo.exe's CPU time per keystroke, in search mode and in key mode, on a
# table of ROWS entries with its content index whole.
#
#   scripts/measure/search.sh WINDOWS_BUILD_DIR [ROWS] [KEYSTROKES]
#
# ROWS defaults to 170,000 and KEYSTROKES to 100 (per mode). The keystrokes
# type "meeting" letter by letter and take it back to its first letter with
# Backspace, over and over. KWO_MEASURE_EXE names another kwo.exe to
# measure (an earlier build, for figures before and after a change).
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:?search.sh WINDOWS_BUILD_DIR [ROWS] [KEYSTROKES]}" && pwd) || exit 2
rows=${2:-170000}
keystrokes=${3:-100}
source "$root/tests/e2e/e2e_lib.sh"
e2e_tools "$build" || exit 1
KWO_EXE=${KWO_MEASURE_EXE:-$KWO_EXE}

WH_RUN_TIMEOUT=$(( 120 + rows / 500 + keystrokes * 4 ))
wh_init measure-search $(( WH_RUN_TIMEOUT * 3 ))
e2e_stage
e2e_ini 0 0 '' ''
# Sentences of Latin and Chinese words; "meeting" and its beginnings are in
# some rows, in others only further on, as in a real table.
sqlite3 "$APP/kwo.db" "
  with recursive n(i) as (select 1 union all select i + 1 from n where i < $rows)
  insert into kwo(id, shortkey, content) select 3000000000 + i, 'M' || (i % 1000),
    'note ' || i || ' ' || substr('meeting agenda project budget report travel metric memory', (i % 8) * 7 + 1, 7) ||
    ' 第' || (i % 977) || '次会议记录 ' || hex(randomblob(3)) from n;" || wh_fail "cannot fill the table"

keys() {  # keys FIRST REST: FIRST, then REST typed and taken back until there are KEYSTROKES
  local out=$1 rest=$2 back
  back=$(printf '<%.0s' $(seq ${#rest}))
  while [ ${#out} -lt "$keystrokes" ]; do out+=$rest$back; done
  printf '%s' "${out:0:$keystrokes}"
}
keys m eeting >"$WH_DIR/search-keys.txt"
keys M EETIN >"$WH_DIR/key-keys.txt"

echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
e2e_start_kwo
index_whole() { [ "$(sqlite3 "$APP/kwo.db" 'select count(*) from kwo_search_fill' 2>/dev/null)" = 0 ]; }
wh_wait_until $(( 60 + rows / 1000 )) index_whole || echo "the content index is not whole: search mode scans"
e2e_start_receiver "Measure Receiver"
e2e_call_up
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$KWO_PID/stat"; }
tick=$(getconf CLK_TCK)
measure() {  # measure NAME KEYS_FILE
  local before out after
  before=$(cpu_ticks)
  out=$(wh_run "$TOOL" measure-typing "$1" "$KWO" "$(wh_winpath "$2")") || echo "the $1 measurement failed"
  after=$(cpu_ticks)
  echo "$out"
  awk -v n="$keystrokes" -v t="$tick" -v d="$(( after - before ))" -v name="$1" \
    'END { printf "cpu %s %.1f ms per keystroke\n", name, d * 1000 / t / n }' </dev/null
}
echo "== key mode"
key_out=$(measure key "$WH_DIR/key-keys.txt")
echo "$key_out"
wh_driver keys CTRL+A BACK >/dev/null
wh_driver keys F3 >/dev/null
echo "== search mode"
search_out=$(measure search "$WH_DIR/search-keys.txt")
echo "$search_out"
wh_driver keys ESCAPE >/dev/null
e2e_exit_kwo
echo "== summary: $rows entries, $keystrokes keystrokes each (ms from a keystroke until the list is filled)"
grep -h '^type-figures\|^cpu' <<<"$key_out
$search_out"
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
e2e_finish
