#!/usr/bin/env bash
# Measured run of the sending a user has to trust (prints figures; fails when
# an expansion is lost or misdirected, the user's clipboard reaches a
# receiver or is not back after an expansion, or a notice step fails): COUNT
# expansions under two processes spinning on both cores, each with real input,
# cycling through a typed entry, an entry of two pasted lines and, into a
# receiver that handles its paste 4 s late (longer than kwo waits for it), an
# entry of two pasted runs. A secret text is put on the clipboard before each.
# After every third expansion an entry that stops part-way is sent; its notice
# is closed with Enter, and the next expansion must arrive as usual.
#
#   scripts/measure/paste-soak.sh WINDOWS_BUILD_DIR [COUNT]
#
# COUNT defaults to 500. Under Wine the run has its own display and prefix
# (tests/wine/harness.sh). Needs the sqlite3 command-line tool.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:?paste-soak.sh WINDOWS_BUILD_DIR [COUNT]}" && pwd) || exit 2
count=${2:-500}
source "$root/tests/e2e/e2e_lib.sh"
e2e_tools "$build" || exit 1

WH_RUN_TIMEOUT=$(( 120 + count * 15 ))
wh_init paste-soak $(( 240 + count * 15 ))
e2e_stage '[sys]' 'connectionString=Provider=SQLite;Data Source=kwo.db' '[Options]' 'EnablePre=0' 'EnableAfter=0' \
  'PasteAbove=20'
{
  e2e_row PLINES "'第一行：一段很长的文字，超过二十个字 and more' || char(13, 10) || 'Second line, long enough to paste {TAB}end'"
  e2e_row SLOW "'X{ENTER}abcdefghijklmnopqrstuvwxyz0123{TAB}ABCDEFGHIJKLMNOPQRSTUVWXYZ{ENTER}end'"
  # Stops at the group of 300 characters with "内容没有全部发送": only "ok" arrives.
  e2e_row NOTE "'ok{' || replace(hex(zeroblob(150)), '0', 'A') || '}more'"
} | sqlite3 "$APP/kwo.db" || wh_fail "cannot add the entries"

e2e_start_receiver "Checked Editor"
FAST=$RCV
e2e_start_receiver "Slow Checked Editor" 480 300 --slow-paste=4000
SLOW=$RCV
e2e_start_kwo
echo "paste-soak: $count expansions; load $(cut -d' ' -f1-3 /proc/loadavg 2>/dev/null) on $(nproc) cores"

load=()
for _ in 1 2; do
  timeout $(( 240 + count * 15 )) sh -c 'while :; do :; done' &
  load+=($!)
done
t0=$SECONDS
out=$(wh_run "$TOOL" expand-checked "$KWO" "$(wh_file secret.txt 'SECRET-密码123')" "$FAST" NOTE "$(wh_file note.txt 'ok')" \
  "$count" \
  "$FAST" A "$(wh_file a.txt '您好，很高兴认识您！')" \
  "$FAST" PLINES "$(wh_file plines.txt '第一行：一段很长的文字，超过二十个字 and more\r\nSecond line, long enough to paste \tend')" \
  "$SLOW" SLOW "$(wh_file slow.txt 'X\r\nabcdefghijklmnopqrstuvwxyz0123\tABCDEFGHIJKLMNOPQRSTUVWXYZ\r\nend')" 2>&1)
status=$?
kill "${load[@]}" 2>/dev/null
wait "${load[@]}" 2>/dev/null
echo "$out" | tr -d '\r'
e2e_exit_kwo
echo "== paste-soak summary: $count expansions in $(( SECONDS - t0 )) s under two spinning processes"
grep '^expand-checked ' <<<"$out" | tr -d '\r' || wh_fail "the expansions did not finish: $out"
exit $status
