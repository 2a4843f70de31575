#!/usr/bin/env bash
# Measured run of kwo.exe on a PostgreSQL server that fails under it (prints
# figures): FAULTS faults at random moments, each one of a server restart,
# kwo's sessions ended on the server (pg_terminate_backend), kwo's server
# processes stopped (SIGSTOP) for 1 to LONGEST_STOP seconds, or a wrong
# password written into kwo.ini for a few seconds, while a driver types keys
# into the short-key box and waits for the list, saves entries in the edit
# dialog and imports files. Meanwhile a WM_NULL round trip goes to the main
# window every 100 ms, and every notice kwo shows is read.
#
#   scripts/measure/server-faults.sh WINDOWS_BUILD_DIR [FAULTS] [LONGEST_STOP_S]
#
# FAULTS defaults to 100 and LONGEST_STOP_S to 60. It makes its own test
# cluster (tests/support/pg_cluster.sh); KWO_FAULTS_LOGS=FOLDER keeps its
# logs. Figures:
# - overwrites of an entry the user did not mean to replace: a save that went
#   through after the dialog had not shown the stored content (it took the key
#   for new, or its lookup had failed), or an entry that ends up with a
#   content no save of it was asked for; must be 0;
# - freezes: round trips to the window over 2.5 s; must be 0;
# - notices with a wrong reason: every notice is sorted by the reason it
#   gives (server unreachable, login refused, data held by another program),
#   and must come while a fault that gives that reason is on or has just
#   ended (8 s before the notice was read); must be 0;
# - saves and imports told as not done that the server did all the same
#   (the statement had reached a stopped server process, which ran it once
#   it went on), shown apart.
# Exits 1 when one of the figures that must be 0 is not.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
if [ -z "${KWO_PG_CONN:-}" ]; then
  exec bash "$root/tests/support/pg_cluster.sh" run bash "$0" "$@"
fi
build=$(cd "${1:?server-faults.sh WINDOWS_BUILD_DIR [FAULTS] [LONGEST_STOP_S]}" && pwd) || exit 2
faults=${2:-100}
longest_stop=${3:-60}
source "$root/tests/e2e/e2e_lib.sh"
e2e_tools "$build" || exit 1

WH_RUN_TIMEOUT=60
wh_init server-faults $(( 600 + faults * (longest_stop / 2 + 12) ))
e2e_stage
now_ms() { date +%s%3N; }
psql_kwo() { $KWO_PG_PSQL "$@" 2>/dev/null; }
psql_kwo -c "drop table if exists kwo" -c "create table kwo(id bigint primary key, shortkey text, content text)" ||
  wh_fail "cannot make the table on the server"
for j in 0 1 2 3 4 5; do e2e_row "S$j" "'S$j-v0'" | sqlite3 "$APP/kwo.db"; done
sqlite3 -csv "$APP/kwo.db" "select * from kwo" | psql_kwo -c "\\copy kwo from pstdin csv" ||
  wh_fail "cannot copy the entries to the server"
others_before=$(psql_kwo -c "select md5(string_agg(id || shortkey || content, ',' order by id)) from kwo where shortkey not like 'S_' and shortkey not like 'I%'")
rm -f "$APP/kwo.db"
RUN="$WH_DIR/run"
mkdir -p "$RUN"
echo kwo-login >"$RUN/password"
write_good_ini() {  # kwo.ini with the login's password of the moment
  e2e_write_ini '[sys]' "connectionString=${KWO_PG_LOGIN_CONN/Pwd=kwo-login/Pwd=$(cat "$RUN/password")}" \
    '[Options]' 'EnablePre=0' 'EnableAfter=0'
}
write_good_ini
e2e_start_kwo
wh_driver command "$KWO" "$ID_OPEN" >/dev/null
: >"$RUN/faults.log" >"$RUN/notices.log" >"$RUN/pings.log" >"$RUN/saves.log" >"$RUN/imports.log"

# The window's answers: a round trip every 100 ms, in pieces of 5 s.
(
  while [ ! -e "$RUN/done" ]; do
    out=$(wh_driver ping "$KWO" 5000 2500) || out="60000 1"
    echo "$out" >>"$RUN/pings.log"
  done
) &
pinger=$!

# The notices: every dialog box of kwo that is not its main window, read once.
(
  declare -A seen
  while [ ! -e "$RUN/done" ]; do
    while read -r hwnd title; do
      text=$(wh_driver text "$hwnd" 65535 2>/dev/null | tr '\n' ' ')
      [ -n "$text" ] || continue
      [ -z "${seen[$hwnd$text]:-}" ] || continue
      seen[$hwnd$text]=1
      printf '%s\t%s\t%s\t%s\n' "$(now_ms)" "$hwnd" "$title" "$text" >>"$RUN/notices.log"
    done < <(wh_driver windows 2>/dev/null |
      awk -v main="$KWO" '$3 == "v" && $4 == "#32770" && $1 != main &&
        ($5 == "\"温馨提示\"" || $5 == "\"出错啦\"" || $5 == "\"疾书精灵\"") { print $1, $5 }')
    sleep 0.3
  done
) &
watcher=$!

# The faults, one after the other at random moments; each logged with its
# start and end (ms) and its kind.
kwo_backends() {
  psql_kwo -c "select pid from pg_stat_activity where usename = 'kwo_login' and backend_type = 'client backend'"
}
(
  for i in $(seq 1 "$faults"); do
    sleep "$(( RANDOM % 3 + 1 )).$(( RANDOM % 10 ))"
    kind=$(( RANDOM % 4 ))
    start=$(now_ms)
    case $kind in
      0) bash "$KWO_PG_CLUSTER_SCRIPT" pause
         sleep "0.$(( RANDOM % 10 ))"
         bash "$KWO_PG_CLUSTER_SCRIPT" resume || { sleep 1; bash "$KWO_PG_CLUSTER_SCRIPT" resume; }
         name=restart detail= ;;
      1) psql_kwo -c "select count(pg_terminate_backend(pid)) from pg_stat_activity where usename = 'kwo_login'" >/dev/null
         name=terminate detail= ;;
      2) seconds=$(( RANDOM % longest_stop + 1 ))
         pids=$(kwo_backends | tr '\n' ' ')
         [ -z "${pids// /}" ] || kill -STOP $pids 2>/dev/null
         echo "$pids" >"$RUN/stopped"
         sleep "$seconds"
         [ -z "${pids// /}" ] || kill -CONT $pids 2>/dev/null
         rm -f "$RUN/stopped"
         name=stop detail="${seconds}s" ;;
      3) # The login's password changes on the server: kwo.ini holds a wrong one, which
         # kwo meets at its next login (its sessions are ended); then kwo.ini gets the new one.
         password="kwo-$i-$RANDOM"
         psql_kwo -c "alter role kwo_login password '$password'" \
           -c "select count(pg_terminate_backend(pid)) from pg_stat_activity where usename = 'kwo_login'" >/dev/null
         sleep "$(( RANDOM % 4 + 3 ))"
         echo "$password" >"$RUN/password"
         write_good_ini
         name=password detail= ;;
    esac
    printf '%s\t%s\t%s\t%s\n' "$start" "$(now_ms)" "$name" "$detail" >>"$RUN/faults.log"
  done
  touch "$RUN/faults-done"
) &
injector=$!
cleanup_run() {
  touch "$RUN/done"
  [ ! -e "$RUN/stopped" ] || kill -CONT $(cat "$RUN/stopped") 2>/dev/null
  kill $injector 2>/dev/null
}
trap '_rc=$?; cleanup_run; (exit $_rc); _wh_on_exit' EXIT

# What a user would do, over and over, until the faults are done.
EDIT="编辑速记"
declare -A accepted  # the contents each save key may hold: what the user saved, or may have
for j in 0 1 2 3 4 5; do accepted[S$j]="|S$j-v0|"; done
searches=0 found=0 wrong_rows=0 stale_rows=0 saves=0 saved=0 overwrites=0 imports=0 imported=0
dismiss_boxes() {  # closes the boxes that wait for an answer: a refused login (取消), an error
  local hwnd title
  while read -r hwnd title; do
    printf '%s\t%s\t%s\t%s\n' "$(now_ms)" "$hwnd" "$title" "$(wh_driver text "$hwnd" 65535 2>/dev/null | tr '\n' ' ')" >>"$RUN/notices.log"
    wh_driver command "$hwnd" 2 >/dev/null 2>&1
    wh_driver command "$hwnd" 1 >/dev/null 2>&1
  done < <(wh_driver windows 2>/dev/null |
    awk -v main="$KWO" '$3 == "v" && $4 == "#32770" && $1 != main && ($5 == "\"出错啦\"" || $5 == "\"疾书精灵\"") { print $1, $5 }')
}
type_and_search() {
  local key="K$(( RANDOM % 10 ))" shown
  wh_driver set-text "$KWO" "$IDC_SHORTKEY" K >/dev/null
  wh_driver set-text "$KWO" "$IDC_SHORTKEY" "$key" >/dev/null
  searches=$((searches + 1))
  if wh_driver wait-text "$KWO" "$IDC_CONTENT" "$(wh_file shown.txt "内容$key")" 3000 >/dev/null 2>&1; then
    found=$((found + 1))
  else
    shown=$(wh_driver text "$KWO" "$IDC_CONTENT" 2>/dev/null)
    if [ "$shown" = 内容K ]; then
      stale_rows=$((stale_rows + 1))  # the list of "K" left as it was: the search of $key failed
    elif [ -n "$shown" ] && [ "$shown" != "内容$key" ]; then
      wrong_rows=$((wrong_rows + 1))
      echo "search $key showed: $shown" >>"$RUN/wrong.log"
    fi
  fi
}
save_entry() {
  local key="S$(( RANDOM % 6 ))" new mode=new content line i outcome=stays
  new="$key-v$saves"
  saves=$((saves + 1))
  wh_driver command "$KWO" "$IDC_ADD" >/dev/null
  wh_driver wait "$EDIT" visible 5000 >/dev/null 2>&1 || return 0
  wh_driver set-text "$EDIT" "$IDC_SHORTKEY" "$key" >/dev/null
  # The dialog shows the stored content, says its lookup failed, or takes the key for new.
  for i in $(seq 1 15); do
    content=$(wh_driver text "$EDIT" "$IDC_CONTENT" 2>/dev/null)
    line=$(wh_driver text "$EDIT" "$IDC_CONTENT_CHECK" 2>/dev/null)
    if [ -n "$content" ] && [[ ${accepted[$key]} == *"|$content|"* ]]; then mode=edit; break; fi
    if [[ $line == *查不到* ]]; then mode=failed; break; fi
    sleep 0.2
  done
  wh_driver set-text "$EDIT" "$IDC_CONTENT" "$new" >/dev/null
  wh_driver command "$EDIT" 1 >/dev/null
  if wh_driver wait "$EDIT" gone 6000 >/dev/null 2>&1; then
    outcome=closed
  else
    wh_driver command "$EDIT" 2 >/dev/null 2>&1
    wh_driver wait "$EDIT" gone 5000 >/dev/null 2>&1
  fi
  if [ "$outcome" = closed ]; then
    saved=$((saved + 1))
    accepted[$key]="|$new|"
    if [ "$mode" != edit ]; then
      overwrites=$((overwrites + 1))
      echo "$(now_ms) $key saved as $new although the dialog showed it as $mode" >>"$RUN/wrong.log"
    fi
  else
    # Told not saved; the statement may have reached a stopped server process all the same.
    accepted[$key]+="$new|"
  fi
  printf '%s\t%s\t%s\t%s\t%s\n' "$(now_ms)" "$key" "$new" "$mode" "$outcome" >>"$RUN/saves.log"
}
import_file() {
  local key="I$imports" box outcome=unknown i
  imports=$((imports + 1))
  printf '#%s:\r\n导入%s\r\n' "$key" "$key" >"$RUN/import.txt"
  e2e_choose_file "$ID_IMPORT" "$(wh_winpath "$RUN/import.txt")" >/dev/null 2>&1 || return 0
  for i in $(seq 1 40); do
    if grep -q "导入OK" <(wh_driver windows 2>/dev/null | awk '$3 == "v" && $5 == "\"温馨提示\"" { print $1 }' |
         while read -r box; do wh_driver text "$box" 65535; done); then
      outcome=ok; break
    fi
    box=$(wh_driver windows 2>/dev/null | awk '$3 == "v" && $5 == "\"出错啦\"" { print $1; exit }')
    if [ -n "$box" ]; then
      [[ $(wh_driver text "$box" 65535) == *什么也没有导入* ]] && outcome=refused
      wh_driver command "$box" 1 >/dev/null 2>&1
      wh_driver command "$box" 2 >/dev/null 2>&1
      break
    fi
    sleep 0.2
  done
  [ "$outcome" = ok ] && imported=$((imported + 1))
  printf '%s\t%s\t%s\n' "$(now_ms)" "$key" "$outcome" >>"$RUN/imports.log"
}

echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
started=$(now_ms)
step=0
until [ -e "$RUN/faults-done" ]; do
  dismiss_boxes
  case $(( step % 6 )) in
    0|2|4) type_and_search ;;
    1|5) save_entry ;;
    3) import_file ;;
  esac
  step=$((step + 1))
done
touch "$RUN/done"
wait $pinger $watcher 2>/dev/null
dismiss_boxes
ran=$(( ($(now_ms) - started) / 1000 ))

# The server back and quiet: what it holds.
write_good_ini
sleep 2
for i in $(seq 1 20); do psql_kwo -c "select 1" >/dev/null && break; sleep 1; done
row_content() { psql_kwo -c "select content from kwo where shortkey = '$1'"; }
late_saves=0
for j in 0 1 2 3 4 5; do
  final=$(row_content "S$j")
  if [[ ${accepted[S$j]} != *"|$final|"* ]]; then
    overwrites=$((overwrites + 1))
    echo "S$j holds '$final', none of ${accepted[S$j]}" >>"$RUN/wrong.log"
  fi
done
# A save told as not done whose content the entry holds at the end.
while IFS=$'\t' read -r _ key new mode outcome; do
  [ "$outcome" = stays ] && [ "$(row_content "$key")" = "$new" ] && late_saves=$((late_saves + 1))
done <"$RUN/saves.log"
late_imports=0 lost_imports=0
while IFS=$'\t' read -r _ key outcome; do
  present=$(psql_kwo -c "select count(*) from kwo where shortkey = '$key'")
  [ "$outcome" = refused ] && [ "$present" = 1 ] && late_imports=$((late_imports + 1))
  [ "$outcome" = ok ] && [ "$present" != 1 ] && lost_imports=$((lost_imports + 1))
done <"$RUN/imports.log"
others_after=$(psql_kwo -c "select md5(string_agg(id || shortkey || content, ',' order by id)) from kwo where shortkey not like 'S_' and shortkey not like 'I%'")
if [ "$others_after" != "$others_before" ]; then
  overwrites=$((overwrites + 1))
  echo "entries nobody saved changed" >>"$RUN/wrong.log"
fi

# Notices and their reasons, against the faults on at the time.
fault_near() {  # fault_near MS KIND...: a fault of one of the kinds was on in the 8 s before MS
  local at=$1; shift
  local start end kind detail k
  while IFS=$'\t' read -r start end kind detail; do
    for k; do
      [ "$kind" = "$k" ] && [ "$start" -le "$at" ] && [ "$end" -ge $(( at - 8000 )) ] && return 0
    done
  done <"$RUN/faults.log"
  return 1
}
notices=0 wrong_reasons=0
declare -A reasons
declare -A counted
while IFS=$'\t' read -r at hwnd title text; do
  [ -n "$text" ] && [ -z "${counted[$hwnd$text]:-}" ] || continue
  counted[$hwnd$text]=1
  notices=$((notices + 1))
  case $text in
    *拒绝了登录*) reason=login; kinds=(password) ;;
    *暂时查不到速记*连不上* | *连不上数据库服务器，暂时查不到速记*) reason=away; kinds=(restart stop) ;;
    *连不上数据库服务器* | *没有回答* | *不能访问* | *连接断开* | *连接在事务中断开*) reason=unreachable; kinds=(restart stop terminate) ;;
    *占用*) reason=locked; kinds=() ;;
    *导入OK* | *刚才查不到*) reason=plain; kinds=(any) ;;
    *) reason=other; kinds=() ;;
  esac
  reasons[$reason]=$(( ${reasons[$reason]:-0} + 1 ))
  [ "${kinds[0]:-}" = any ] && continue
  if [ ${#kinds[@]} -eq 0 ] || ! fault_near "$at" "${kinds[@]}"; then
    wrong_reasons=$((wrong_reasons + 1))
    echo "$(( (at - started) / 1000 )) s: $title: $text" >>"$RUN/wrong.log"
  fi
done < <(sort -n "$RUN/notices.log")

freezes=$(awk '{ n += $2 } END { print n + 0 }' "$RUN/pings.log")
longest=$(awk '$1 > m { m = $1 } END { print m + 0 }' "$RUN/pings.log")
echo "server faults: $(wc -l <"$RUN/faults.log") in ${ran} s ($(cut -f3 "$RUN/faults.log" | sort | uniq -c | awk '{ printf "%s %s, ", $1, $2 }')stops of 1-${longest_stop} s:" \
  "$(awk -F'\t' '$3 == "stop" { sub("s", "", $4); s += $4; n++ } END { printf "%d s in all", s }' "$RUN/faults.log"))"
echo "searches: $searches, $found found the entry; rows shown with a wrong content: $wrong_rows;" \
  "the previous keystroke's rows left shown after a failed search: $stale_rows"
echo "saves: $saves, $saved done; imports: $imports, $imported done"
echo "notices: $notices ($(for r in "${!reasons[@]}"; do printf '%s %s, ' "$r" "${reasons[$r]}"; done | sed 's/, $//'))"
echo "overwrites of an entry the user did not mean to replace: $overwrites"
echo "window freezes over 2.5 s: $freezes (longest round trip $longest ms)"
echo "notices with a wrong reason: $wrong_reasons"
echo "told as not done, done by the server all the same: saves $late_saves, imports $late_imports; imports told done and missing: $lost_imports"
[ ! -s "$RUN/wrong.log" ] || { echo "what went wrong:"; sed 's/^/  /' "$RUN/wrong.log"; }
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
# KWO_FAULTS_LOGS=FOLDER keeps the logs of the run (faults, notices, saves, imports, round trips).
[ -z "${KWO_FAULTS_LOGS:-}" ] || { mkdir -p "$KWO_FAULTS_LOGS" && cp "$RUN"/*.log "$KWO_FAULTS_LOGS/"; }
e2e_exit_kwo
[ "$overwrites" -eq 0 ] && [ "$freezes" -eq 0 ] && [ "$wrong_reasons" -eq 0 ] && [ "$lost_imports" -eq 0 ] && [ "$wrong_rows" -eq 0 ]
