#!/usr/bin/env bash
# Crash trials of kwo.exe under Wine: the process is killed (SIGKILL of its
# Wine process, what taskkill /F does on Windows) at random moments while it
# writes, and what it leaves behind is checked:
#   import   an import of 20,000 entries through the Open dialog; afterwards
#            PRAGMA integrity_check says ok and the table holds either every
#            imported entry or none, the other entries unchanged
#   options  OK of the options dialog with a changed prefix; afterwards
#            kwo.ini is the old file or the new one, byte for byte
#   edit     the entry edit dialog saving a changed entry or deleting it (in
#            turn); afterwards the database is intact and the entry is the old
#            one or the new one (or gone), the other entries unchanged
# Each kind is first run once without a kill, to learn how long its write
# takes; the kills then fall at random moments over that span. Every trial
# prints one line (when the kill fell: "before", "during" with the database's
# journal left behind, "after"), each kind a summary line.
#
#   scripts/measure/crash-trials.sh WINDOWS_BUILD_DIR [KILLS] [KINDS] [SEED]
#
# KILLS per kind (default 100), KINDS a list out of "import options edit"
# (default all three), SEED for the random moments (default: the time).
# Exits 1 when a trial finds a broken file or a mixed result, 2 on a usage
# error. The waits are long: on a loaded machine a dialog may take seconds.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:?crash-trials.sh WINDOWS_BUILD_DIR [KILLS] [KINDS] [SEED]}" && pwd) || exit 2
kills=${2:-100}
kinds=${3:-import options edit}
seed=${4:-$(date +%s)}
RANDOM=$seed
cmake --build "$build" --target kwo wine_driver wine_receiver kwo_ids -j2 >&2 || exit 1
command -v sqlite3 >/dev/null || { echo "needs the sqlite3 command-line tool" >&2; exit 2; }

KWO_EXE="$build/app/kwo.exe"
WH_DRIVER="$build/tests/wine/wine_driver.exe"
RECEIVER="$build/tests/wine/wine_receiver.exe"
source "$root/tests/e2e/e2e_lib.sh"

kind_count=$(wc -w <<<"$kinds")
wh_init crash-trials $(( 300 + kind_count * kills * 40 ))
e2e_stage
e2e_ini 0 0 '' ''
echo "crash trials: $kills kills per kind ($kinds), seed $seed, load $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"

cp "$APP/kwo.db" "$WH_DIR/seed.db"
cp "$APP/kwo.ini" "$WH_DIR/seed.ini"
IMPORTED=20000
# The import file: keys Q0000 upwards (no seed entry begins with Q), code page 936.
awk -v n=$IMPORTED 'BEGIN {
  d = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ"
  for (i = 0; i < n; i++) {
    k = ""; m = i
    for (j = 0; j < 4; j++) { k = substr(d, m % 36 + 1, 1) k; m = int(m / 36) }
    printf "#Q%s:\r\n导入的第%d条{ENTER}\r\n", k, i
  }
}' | iconv -f UTF-8 -t CP936 >"$WH_DIR/import.txt"
IMPORT_PATH=$(wh_winpath "$WH_DIR/import.txt")

others() { sqlite3 "$APP/kwo.db" "select id, shortkey, content from kwo where shortkey not like 'Q%' and shortkey <> 'AB' order by id;"; }
SEED_OTHERS=$(cp "$WH_DIR/seed.db" "$APP/kwo.db" && others)

violations=0
violation() { echo "  VIOLATION: $*"; violations=$((violations + 1)); }

reset_app() {
  cp "$WH_DIR/seed.db" "$APP/kwo.db"
  rm -f "$APP/kwo.db-journal" "$APP/kwo.ini.tmp"
  cp "$WH_DIR/seed.ini" "$APP/kwo.ini"
}

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }

# Kills kwo.exe after MS milliseconds (in the background); kill_wait waits for its end.
kill_after() {  # kill_after MS
  local pid=$KWO_PID
  ( sleep "$(awk -v ms="$1" 'BEGIN { printf "%.3f", ms / 1000 }')"; kill -9 "$pid" 2>/dev/null ) &
  KILLER=$!
}
kill_wait() {
  wait "$KILLER" 2>/dev/null
  kill -9 "$KWO_PID" 2>/dev/null
  wh_wait_until 20 e2e_gone "$KWO_PID" || wh_fail "kwo.exe did not end after the kill"
  # The Wine server drops the windows of the killed process a moment later.
  wh_wait_until 20 kwo_window_gone || wh_fail "the main window outlived its process"
}
# kwo.exe started and left out of the shell's job reports, which would announce every kill.
start_kwo() {
  e2e_start_kwo
  disown "$KWO_PID" 2>/dev/null
}
kwo_window_gone() { [ "$(wh_driver state "$KWO_TITLE")" = none ]; }

# A random moment in [0, SPAN] ms.
random_ms() { echo $(( (RANDOM * 32768 + RANDOM) % ($1 + 1) )); }

# Where the kill fell, judged before anything opens the database again: a
# journal left behind means a write transaction was open ("during"); the
# caller tells "before" from "after" by the rows.
moment() {
  if [ -s "$APP/kwo.db-journal" ]; then echo during; else echo before; fi
}

integrity() { sqlite3 "$APP/kwo.db" "PRAGMA integrity_check;" 2>&1; }

# --- import -------------------------------------------------------------------

start_import() {
  wh_driver command "$KWO" "$ID_IMPORT" >/dev/null
  local dialog
  dialog=$(wh_driver wait "class:#32770|打开" visible 30000) || wh_fail "the Open dialog did not appear"
  wh_driver activate "$dialog" >/dev/null || wh_fail "the Open dialog cannot be activated"
  wh_driver type "$IMPORT_PATH"
  wh_driver keys RETURN
}

import_trial() {  # import_trial N SPAN_MS (SPAN 0: no kill, prints the time until the notice)
  reset_app
  start_kwo
  start_import
  if [ "$2" = 0 ]; then
    local t0; t0=$(now_ms)
    wh_driver wait "温馨提示" visible 120000 >/dev/null || wh_fail "the import did not finish"
    echo $(( $(now_ms) - t0 ))
    kill -9 "$KWO_PID"; KILLER=; kill_wait
    [ "$(sqlite3 "$APP/kwo.db" "select count(*) from kwo where shortkey like 'Q%';")" = $IMPORTED ] ||
      wh_fail "the import without a kill did not store every entry"
    return
  fi
  local at; at=$(random_ms "$2")
  kill_after "$at"
  kill_wait
  local jour; jour=$(moment)
  local check; check=$(integrity)
  local q; q=$(sqlite3 "$APP/kwo.db" "select count(*) from kwo where shortkey like 'Q%' and content like '导入的第%';")
  [ "$jour" = before ] && [ "$q" = $IMPORTED ] && jour=after
  local result=ok
  [ "$check" = ok ] || { violation "integrity_check: $check"; result=broken; }
  [ "$q" = 0 ] || [ "$q" = $IMPORTED ] || { violation "$q of $IMPORTED imported entries stored"; result=mixed; }
  [ "$(others)" = "$SEED_OTHERS" ] || { violation "other entries changed"; result=changed; }
  echo "import $1 kill at ${at} ms: $jour, $q entries, integrity $check, $result"
  tally "import" "$jour" "$q"
}

# --- options ------------------------------------------------------------------

open_options_changed() {
  wh_driver command "$KWO" "$ID_OPTIONS"
  DLG=$(wh_driver wait "参数设置" visible 30000) || wh_fail "the options dialog did not open"
  wh_driver set-text "$DLG" 1038 '崩溃试验的前缀' >/dev/null
}

ini_state() {
  if cmp -s "$APP/kwo.ini" "$WH_DIR/seed.ini"; then echo old
  elif cmp -s "$APP/kwo.ini" "$WH_DIR/new.ini"; then echo new
  else echo mixed; fi
}
ini_changed() { ! cmp -s "$APP/kwo.ini" "$WH_DIR/seed.ini"; }

options_trial() {  # options_trial N SPAN_MS (0: no kill; prints the time until the file changed)
  reset_app
  start_kwo
  open_options_changed
  if [ "$2" = 0 ]; then
    local t0; t0=$(now_ms)
    wh_driver command "$DLG" 1 >/dev/null
    wh_wait_until 30 ini_changed || wh_fail "OK did not write kwo.ini"
    echo $(( $(now_ms) - t0 ))
    wh_driver wait "$DLG" gone 10000 >/dev/null
    cp "$APP/kwo.ini" "$WH_DIR/new.ini"
    kill -9 "$KWO_PID"; KILLER=; kill_wait
    return
  fi
  local at; at=$(random_ms "$2")
  kill_after "$at"
  wh_driver command "$DLG" 1 >/dev/null
  kill_wait
  local state; state=$(ini_state)
  local left=""
  [ -e "$APP/kwo.ini.tmp" ] && left=", kwo.ini.tmp left behind"
  [ "$state" = mixed ] && violation "kwo.ini is neither the old nor the new file"
  echo "options $1 kill at ${at} ms: kwo.ini $state$left"
  tally "options" "$state${left:+ (tmp left)}" ""
}

# --- edit dialog ---------------------------------------------------------------

EDIT="编辑速记"
ab_row() { sqlite3 "$APP/kwo.db" "select id || '|' || shortkey || '|' || content from kwo where shortkey='AB';"; }
AB_OLD="$(e2e_short_key_id AB)|AB|此致{ENTER}敬礼！"
AB_NEW="$(e2e_short_key_id AB)|AB|崩溃试验改过的内容"

open_edit_ab() {
  wh_driver command "$KWO" "$ID_OPEN" >/dev/null
  wh_driver wait "$KWO" visible 30000 >/dev/null || wh_fail "the main window did not open"
  wh_driver command "$KWO" "$IDC_ADD" >/dev/null
  wh_driver wait "$EDIT" visible 30000 >/dev/null || wh_fail "the edit dialog did not open"
  wh_driver activate "$EDIT" >/dev/null || wh_fail "the edit dialog cannot be activated"
  wh_driver type AB
  wh_driver wait-text "$EDIT" "$IDC_CONTENT" "$(wh_file ab.txt '此致{ENTER}敬礼！')" 30000 >/dev/null ||
    wh_fail "the edit dialog did not show the entry AB"
}

edit_trial() {  # edit_trial N SPAN_MS (0: no kill; prints the time until the row changed)
  local command=1 what=save
  (( $1 % 2 == 0 )) && { command=$IDC_DELETE; what=delete; }
  reset_app
  start_kwo
  open_edit_ab
  [ "$what" = save ] && wh_driver set-text "$EDIT" "$IDC_CONTENT" '崩溃试验改过的内容' >/dev/null
  if [ "$2" = 0 ]; then
    local t0; t0=$(now_ms)
    wh_driver command "$EDIT" "$command" >/dev/null
    wh_driver wait "$EDIT" gone 10000 >/dev/null || wh_fail "the edit dialog did not close"
    echo $(( $(now_ms) - t0 ))
    kill -9 "$KWO_PID"; KILLER=; kill_wait
    return
  fi
  local at; at=$(random_ms "$2")
  kill_after "$at"
  wh_driver command "$EDIT" "$command" >/dev/null
  kill_wait
  local jour; jour=$(moment)
  local check; check=$(integrity)
  local row; row=$(ab_row)
  local state=old wanted=$AB_NEW
  [ "$what" = delete ] && wanted=""
  [ "$row" = "$wanted" ] && state=new
  [ "$jour" = before ] && [ "$state" = new ] && jour=after
  [ "$check" = ok ] || violation "integrity_check: $check"
  [ "$row" = "$AB_OLD" ] || [ "$row" = "$wanted" ] || { violation "entry AB is \"$row\""; state=mixed; }
  [ "$(others)" = "$SEED_OTHERS" ] || violation "other entries changed"
  echo "edit $1 ($what) kill at ${at} ms: $jour, entry $state, integrity $check"
  tally "edit-$what" "$jour/$state" ""
}

# --- runs -----------------------------------------------------------------------

declare -A outcomes=()
tally() { outcomes["$1 $2"]=$(( ${outcomes["$1 $2"]:-0} + 1 )); }

run_kind() {  # run_kind KIND
  local trial=${1}_trial
  # The span of the write, measured twice without a kill (the larger counts).
  local a b span
  a=$($trial 1 0) || wh_fail "the $1 run without a kill failed"
  b=$($trial 2 0) || wh_fail "the $1 run without a kill failed"
  span=$(( a > b ? a : b ))
  [ "$1" = import ] || span=$(( span + span / 2 + 50 ))
  echo "== $1: $kills kills over 0..$span ms (write took $a and $b ms without a kill)"
  local i
  for ((i = 1; i <= kills; i++)); do $trial "$i" "$span"; done
  local key
  for key in "${!outcomes[@]}"; do
    [[ "$key" == "$1 "* || "$key" == "$1-"* ]] && echo "summary $key: ${outcomes[$key]}"
  done | sort
}

for kind in $kinds; do
  case "$kind" in
    import|options|edit) run_kind "$kind" ;;
    *) echo "unknown kind: $kind" >&2; exit 2 ;;
  esac
done
echo "crash trials done: $violations violation(s); load $(cut -d' ' -f1-3 /proc/loadavg)"
[ "$violations" -eq 0 ]
