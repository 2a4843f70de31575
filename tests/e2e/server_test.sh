#!/usr/bin/env bash
# kwo.exe on a PostgreSQL server that misbehaves, run inside
# tests/support/pg_cluster.sh: a connection string that cannot be opened ends
# the start with its password shown as "******"; kwo's session ended on the
# server is replaced at the next statement, so that the edit dialog shows
# the stored content; a lookup that failed is never taken for a new key:
# "确定" then shows the stored entry instead of replacing it; a wrong
# password is told as such (server, database, user, never the password) and
# kwo does not log in again while the user types, only at "重试"; a folder
# that refuses writing is used read-only; a stopped server process never
# freezes the window, nor does a paused server machine while the edit dialog
# looks up and saves.
#   server_test.sh KWO.exe DRIVER.exe RECEIVER.exe
# KWO_SHOTS=NAME takes screenshots of the dialogs it changes (NAME-*.png in the artifacts folder).
set -uo pipefail
KWO_EXE=${1:?kwo.exe} WH_DRIVER=${2:?driver.exe} RECEIVER=${3:?receiver.exe}
source "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.sh"
[ -n "${KWO_PG_CONN:-}" ] || { echo "run inside tests/support/pg_cluster.sh"; exit 1; }

wh_init e2e-server 280
# What the read-only cases below make immutable goes back first, so that the harness can remove it.
_server_undo() {
  local rc=$?
  [ -z "${APP:-}" ] || chattr -i "$APP" "$APP/kwo.ini" "$APP/kwo.db" 2>/dev/null
  [ -z "${EMPTY:-}" ] || chattr -i "$EMPTY" 2>/dev/null
  [ -z "${STOPPED:-}" ] || kill -CONT $STOPPED 2>/dev/null
  return "$rc"
}
trap '_server_undo; _wh_on_exit' EXIT
e2e_stage
notice_says() {  # notice_says TEXT: a "温馨提示" box with TEXT appears
  wh_driver wait-text "温馨提示" 65535 "$(wh_file notice.txt "$1")" 15000 >/dev/null
}
other_box() {
  wh_driver windows | awk -v t="\"$1\"" '$3 == "v" && $4 == "#32770" && $5 == t { print $1; exit }'
}
box_appears() { BOX=$(other_box "$1"); [ -n "$BOX" ]; }

# A folder that refuses writing to everyone (chattr +i: root included, as a
# write-protected stick): kwo starts read-only, finds and lists entries, and a
# save says why it cannot. An empty such folder gets a message about the folder.
e2e_ini 0 0 '' ''
chattr +i "$APP/kwo.ini" "$APP/kwo.db" "$APP" || wh_fail "chattr +i is not available"
e2e_start_kwo
wh_driver command "$KWO" "$ID_OPEN" >/dev/null
wh_driver set-text "$KWO" "$IDC_SHORTKEY" AB >/dev/null
check readonly_folder_finds wh_driver wait-text "$KWO" "$IDC_CONTENT" "$(wh_file shown.txt '此致{ENTER}敬礼！')" 5000
wh_driver command "$KWO" "$IDC_ADD" >/dev/null
wh_driver wait "编辑速记" visible 5000 >/dev/null
wh_driver set-text "编辑速记" "$IDC_SHORTKEY" NEWRO >/dev/null
wh_driver set-text "编辑速记" "$IDC_CONTENT" '只读' >/dev/null
wh_driver command "编辑速记" 1 >/dev/null
check readonly_folder_save_says_why wh_wait_until 15 box_appears "温馨提示"
check readonly_folder_save_reason contains "$(wh_driver text "$BOX" 65535)" '不能写入'
wh_driver wait "温馨提示" gone 10000 >/dev/null
wh_driver command "编辑速记" 2 >/dev/null
wh_driver wait "编辑速记" gone 5000 >/dev/null
e2e_exit_kwo
chattr -i "$APP/kwo.ini" "$APP/kwo.db" "$APP"
EMPTY="$WH_DIR/empty"
mkdir -p "$EMPTY" && cp "$APP/kwo.exe" "$EMPTY/" && chattr +i "$EMPTY"
wh_start empty-readonly "$EMPTY/kwo.exe"
pid=$!
check readonly_empty_told wh_wait_until 20 box_appears "疾书精灵"
check readonly_empty_names_folder contains "$(wh_driver text "$BOX" 65535)" '文件夹不能写入'
wh_driver activate "$BOX" >/dev/null
wh_driver keys RETURN
check readonly_empty_ends wh_wait_until 10 e2e_gone "$pid"
chattr -i "$EMPTY"
psql_kwo() { $KWO_PG_PSQL "$@"; }
psql_kwo -c "drop table if exists kwo" -c "create table kwo(id bigint primary key, shortkey text, content text)" ||
  wh_fail "cannot make the table on the server"
sqlite3 -csv "$APP/kwo.db" "select * from kwo" | psql_kwo -c "\\copy kwo from pstdin csv" ||
  wh_fail "cannot copy the entries to the server"
rm -f "$APP/kwo.db"
row() { psql_kwo -c "select id || '|' || shortkey || '|' || content from kwo where shortkey='$1';"; }
# Ends every session of kwo's database but psql's own.
end_sessions() {
  psql_kwo -c "select count(pg_terminate_backend(pid)) from pg_stat_activity where datname = 'kwo' and pid <> pg_backend_pid()" >/dev/null
}

# A connection string that cannot be opened: the message shows it with the password masked.
e2e_write_ini '[sys]' 'connectionString=DSN=nichtda;Uid=kwo;Pwd=Geheim#42'
wh_start start-failure "$APP/kwo.exe"
pid=$!
check start_failure_told wh_wait_until 20 box_appears "疾书精灵"
text=$(wh_driver text "$BOX" 65535)
check start_failure_names_string contains "$text" '连接字符串：DSN=nichtda;Uid=kwo;Pwd=******'
fails start_failure_hides_password contains "$text" 'Geheim#42'
wh_driver activate "$BOX" >/dev/null
wh_driver keys RETURN
check start_failure_ends wh_wait_until 10 e2e_gone "$pid"

e2e_write_ini '[sys]' "connectionString=$KWO_PG_CONN" '[Options]' 'EnablePre=0' 'EnableAfter=0'
e2e_start_kwo
wh_driver command "$KWO" "$ID_OPEN" >/dev/null
wh_driver wait "$KWO" visible 5000 >/dev/null || wh_fail "the main window did not open"
EDIT="编辑速记"
open_edit() {  # open_edit KEY
  wh_driver command "$KWO" "$IDC_ADD" >/dev/null
  wh_driver wait "$EDIT" visible 5000 >/dev/null || return 1
  wh_driver set-text "$EDIT" "$IDC_SHORTKEY" "$1" >/dev/null
}
content_is() { wh_driver wait-text "$EDIT" "$IDC_CONTENT" "$(wh_file content.txt "$1")" 5000 >/dev/null; }
line_is() { wh_driver wait-text "$EDIT" "$IDC_CONTENT_CHECK" "$(wh_file line.txt "$1")" 5000 >/dev/null; }
closed() { wh_driver wait "$EDIT" gone 5000 >/dev/null; }

# kwo's session ended on the server: the next lookup connects again and finds the entry.
end_sessions
check dropped_edit_opens open_edit K0
check dropped_edit_shows_stored content_is '内容K0'
wh_driver command "$EDIT" 2 >/dev/null
check dropped_edit_closes closed
end_sessions
wh_driver set-text "$KWO" "$IDC_SHORTKEY" K1 >/dev/null
check dropped_search_finds wh_driver wait-text "$KWO" "$IDC_CONTENT" "$(wh_file shown.txt '内容K1')" 5000
fails dropped_search_no_notice wh_driver wait "温馨提示" visible 2000

# The lookup fails (the server is down): the dialog says so and is not in new-entry mode;
# the server is back at "确定": the stored entry is shown, not replaced.
bash "$KWO_PG_CLUSTER_SCRIPT" pause
check failed_edit_opens open_edit K2
check failed_lookup_said line_is '查不到这个速记符：数据库不能访问，不知道它是否已有内容。按“确定”时会再查一次，查到之前不会保存。'
[ -z "${KWO_SHOTS:-}" ] || wh_screenshot "$KWO_SHOTS-lookup-failed"
wh_driver set-text "$EDIT" "$IDC_CONTENT" '新的内容' >/dev/null
bash "$KWO_PG_CLUSTER_SCRIPT" resume
wh_driver command "$EDIT" 1 >/dev/null
check failed_lookup_shows_stored notice_says $'速记符“K2”已经有内容（刚才查不到，所以没有显示）：\n内容K2\n速记没有保存。您输入的内容仍在对话框里；再按“确定”会用它替换原有的内容。'
check failed_lookup_not_replaced equals "$(row K2)" "$(e2e_short_key_id K2)|K2|内容K2"
check failed_lookup_dialog_stays content_is '新的内容'
wh_driver wait "温馨提示" gone 10000 >/dev/null
wh_driver command "$EDIT" 2 >/dev/null
check failed_edit_closes closed

# kwo's server process stops (SIGSTOP: a paused machine, a link that drops
# packets): while the user types, the window answers a message round trip
# every 100 ms, none later than 2.5 s; once it runs again, searches find.
wh_driver set-text "$KWO" "$IDC_SHORTKEY" A >/dev/null  # a session for the searches
STOPPED=$(psql_kwo -c "select pid from pg_stat_activity where datname = 'kwo' and pid <> pg_backend_pid() and backend_type = 'client backend'")
[ -n "$STOPPED" ] || wh_fail "kwo has no session on the server"
kill -STOP $STOPPED
( for key in K0 K1 AB K2; do wh_driver set-text "$KWO" "$IDC_SHORTKEY" "$key" >/dev/null; sleep 0.2; done ) &
typing=$!
longest=$(wh_driver ping "$KWO" 6000)
wait $typing
echo "longest round trip to the window while kwo's server process was stopped: ${longest:-none} ms"
check hung_window_answers test "${longest:-99999}" -le 2500
wh_driver set-text "$KWO" "$IDC_SHORTKEY" K1 >/dev/null
check hung_next_search_finds wh_driver wait-text "$KWO" "$IDC_CONTENT" "$(wh_file shown.txt '内容K1')" 8000
kill -CONT $STOPPED
STOPPED=

# The server machine pauses (kwo's server process and the server itself
# stopped) around the edit dialog: its lookup and the save's second lookup
# (a new connect) each give up by the deadline while the window answers a
# message round trip every 100 ms, none later than 2.5 s; the save is
# refused with its reason and nothing is overwritten.
wh_driver set-text "$KWO" "$IDC_SHORTKEY" K0 >/dev/null
wh_driver wait-text "$KWO" "$IDC_CONTENT" "$(wh_file shown.txt '内容K0')" 8000 >/dev/null
STOPPED="$(head -1 "$KWO_PG_DIR/data/postmaster.pid") $(psql_kwo -c "select pid from pg_stat_activity where datname = 'kwo' and pid <> pg_backend_pid() and backend_type = 'client backend'")"
kill -STOP $STOPPED
wh_driver ping "$KWO" 9000 >"$WH_DIR/ping.txt" &
pinging=$!
check hung_edit_opens open_edit K3
check hung_lookup_said line_is '查不到这个速记符：数据库不能访问，不知道它是否已有内容。按“确定”时会再查一次，查到之前不会保存。'
wh_driver set-text "$EDIT" "$IDC_CONTENT" '覆盖' >/dev/null
wh_driver command "$EDIT" 1 >/dev/null
check hung_save_refused notice_says $'查不到这个速记符是否已有内容（数据库不能访问），速记没有保存！\n连不上数据库服务器，或者与它的连接断开了。请检查网络和服务器后再试。\n您输入的内容仍在对话框里。'
wait $pinging
longest=$(cat "$WH_DIR/ping.txt")
echo "longest round trip to the window while the edit dialog looked up and saved on a stopped server: ${longest:-none} ms"
check hung_edit_window_answers test "${longest:-99999}" -le 2500
kill -CONT $STOPPED
STOPPED=
check hung_save_not_replaced equals "$(row K3)" "$(e2e_short_key_id K3)|K3|内容K3"
check hung_save_dialog_stays content_is '覆盖'
wh_driver wait "温馨提示" gone 10000 >/dev/null
wh_driver command "$EDIT" 2 >/dev/null
check hung_edit_closes closed

# kwo's server process stops under an import, an export and a save of the
# edit dialog: each gives up by the deadline while the window answers a
# message round trip every 100 ms, none later than 2.5 s; each says why, and
# nothing stored is lost or replaced by what the user did not mean to save.
kwo_backend() {  # the newest session of kwo on the server
  psql_kwo -c "select pid from pg_stat_activity where datname = 'kwo' and pid <> pg_backend_pid() and backend_type = 'client backend' order by backend_start desc limit 1"
}
fresh_session() {  # waits out the pause after a given-up link; a search opens a new session
  sleep 1.2
  wh_driver set-text "$KWO" "$IDC_SHORTKEY" K2 >/dev/null
  wh_driver wait-text "$KWO" "$IDC_CONTENT" "$(wh_file shown.txt '内容K2')" 8000 >/dev/null
}
box_text() { wh_driver text "$BOX" 65535; }
close_box() { wh_driver activate "$BOX" >/dev/null; wh_driver keys RETURN; wh_driver wait "$BOX" gone 5000 >/dev/null; }
stopped_answers() {  # stopped_answers NAME: the round trips measured while the server process was stopped
  wait $pinging
  longest=$(cat "$WH_DIR/ping.txt")
  echo "longest round trip to the window during the $1 on a stopped server process: ${longest:-none} ms"
  check "hung_$1_window_answers" test "${longest:-99999}" -le 2500
  kill -CONT $STOPPED
  STOPPED=
}
before_all=$(psql_kwo -c "select count(*) || ':' || md5(string_agg(id || shortkey || content, ',' order by id)) from kwo")
check hung_import_session fresh_session
STOPPED=$(kwo_backend)
printf '#NEWSRV:\r\n导入的\r\n#K1:\r\n导入时覆盖\r\n' >"$WH_DIR/import.txt"
kill -STOP $STOPPED
wh_driver ping "$KWO" 6000 >"$WH_DIR/ping.txt" &
pinging=$!
e2e_choose_file "$ID_IMPORT" "$(wh_winpath "$WH_DIR/import.txt")"
check hung_import_told wh_wait_until 15 box_appears "出错啦"
check hung_import_says_why contains "$(box_text)" $'导入没有完成，什么也没有导入。\n连不上数据库服务器'
stopped_answers import
close_box
check hung_export_session fresh_session
STOPPED=$(kwo_backend)
kill -STOP $STOPPED
wh_driver ping "$KWO" 6000 >"$WH_DIR/ping.txt" &
pinging=$!
wh_driver command "$KWO" "$ID_EXPORT" >/dev/null
SAVE=$(wh_driver wait "class:#32770|导出" visible 10000) || wh_fail "the export dialog did not open"
wh_driver activate "$SAVE" >/dev/null
wh_driver keys CTRL+A
wh_driver type "$(wh_winpath "$WH_DIR/export.txt")"
wh_driver keys RETURN
check hung_export_told wh_wait_until 15 box_appears "出错啦"
check hung_export_says_why contains "$(box_text)" '不能读出速记数据，没有导出'
stopped_answers export
close_box
check hung_export_no_file test ! -e "$WH_DIR/export.txt"
check hung_save_session fresh_session
check hung_save_opens open_edit K0
check hung_save_looked_up content_is '内容K0'
STOPPED=$(kwo_backend)
kill -STOP $STOPPED
wh_driver ping "$KWO" 6000 >"$WH_DIR/ping.txt" &
pinging=$!
wh_driver set-text "$EDIT" "$IDC_CONTENT" '停住时保存的' >/dev/null
wh_driver command "$EDIT" 1 >/dev/null
# (The main window may tell the outage in a notice of its own beside it.)
save_notice() {
  local box
  for box in $(wh_driver windows | awk '$3 == "v" && $5 == "\"温馨提示\"" { print $1 }'); do
    text=$(wh_driver text "$box" 65535)
    contains "$text" '速记没有保存' 2>/dev/null && return 0
  done
  return 1
}
check hung_lone_save_told wh_wait_until 15 save_notice
check hung_lone_save_says_why contains "$text" '连不上数据库服务器'
stopped_answers save
check hung_lone_save_dialog_stays content_is '停住时保存的'
wh_driver wait "温馨提示" gone 10000 >/dev/null
wh_driver command "$EDIT" 2 >/dev/null
check hung_lone_save_closes closed
# The import's transaction was never committed; the save the user asked for may have landed
# once the process ran again (the statement had reached it), nothing else changed.
check hung_import_stored_none equals "$(row NEWSRV)" ""
check hung_import_replaced_none equals "$(row K1)" "$(e2e_short_key_id K1)|K1|内容K1"
k0=$(row K0)
case "$k0" in
  "$(e2e_short_key_id K0)|K0|内容K0" | "$(e2e_short_key_id K0)|K0|停住时保存的") check hung_lone_save_entry_kept true ;;
  *) check hung_lone_save_entry_kept equals "$k0" "K0 as stored or as saved" ;;
esac
psql_kwo -c "update kwo set content = '内容K0' where shortkey = 'K0'" >/dev/null
check hung_nothing_else_changed equals \
  "$(psql_kwo -c "select count(*) || ':' || md5(string_agg(id || shortkey || content, ',' order by id)) from kwo")" "$before_all"

e2e_exit_kwo

# A wrong password: one message naming server, database and user; typing does not log in again; "重试" does.
refusals() { grep -c 'password authentication failed for user "kwo_login"' "$KWO_PG_DIR/data/server.log"; }
before=$(refusals)
e2e_write_ini '[sys]' "connectionString=${KWO_PG_LOGIN_CONN/Pwd=kwo-login/Pwd=Geheim#42}"
wh_start kwo "$APP/kwo.exe"
KWO_PID=$!
KWO=$(wh_driver wait "$KWO_TITLE" exists 20000) || wh_fail "kwo.exe did not create its main window"
refused_box() {  # the message, not the main window (which has the same title)
  BOX=$(wh_driver windows | awk -v main="$KWO" '$3 == "v" && $4 == "#32770" && $5 == "\"疾书精灵\"" && $1 != main { print $1; exit }')
  [ -n "$BOX" ]
}
check refused_told wh_wait_until 20 refused_box
text=$(wh_driver text "$BOX" 65535)
[ -z "${KWO_SHOTS:-}" ] || wh_screenshot "$KWO_SHOTS-login-refused"
check refused_says_why contains "$text" '数据库服务器拒绝了登录'
check refused_names_where contains "$text" $'服务器：127.0.0.1\n数据库：kwo\n用户：kwo_login'
fails refused_hides_password contains "$text" 'Geheim#42'
check refused_one_login equals "$(($(refusals) - before))" 1
wh_driver command "$BOX" 4 >/dev/null  # 重试
wh_driver wait "$BOX" gone 5000 >/dev/null
check refused_retry_asks_again wh_wait_until 20 refused_box
check refused_retry_logs_in_once equals "$(($(refusals) - before))" 2
wh_driver command "$BOX" 2 >/dev/null  # 取消
wh_driver wait "$BOX" gone 5000 >/dev/null
wh_driver command "$KWO" "$ID_OPEN" >/dev/null
for key in A AB K K0 K1 K2 ZZ; do wh_driver set-text "$KWO" "$IDC_SHORTKEY" "$key" >/dev/null; sleep 0.3; done
fails refused_told_once refused_box
check refused_typing_logs_in_no_more equals "$(($(refusals) - before))" 2
# "重试" in the tray menu (the command it sends) logs in once more.
wh_driver command "$KWO" "$ID_RETRY_LOGIN" >/dev/null
check refused_tray_retry_asks_again wh_wait_until 20 refused_box
check refused_tray_retry_logs_in_once equals "$(($(refusals) - before))" 3
wh_driver command "$BOX" 2 >/dev/null  # 取消
wh_driver wait "$BOX" gone 5000 >/dev/null
# kwo.ini gets the right password: the next search logs in with it and finds.
sleep 1  # a write time that differs on file systems that keep whole seconds
e2e_write_ini '[sys]' "connectionString=$KWO_PG_LOGIN_CONN"
wh_driver set-text "$KWO" "$IDC_SHORTKEY" K1 >/dev/null
check refused_mended_ini_finds wh_driver wait-text "$KWO" "$IDC_CONTENT" "$(wh_file shown.txt '内容K1')" 8000
fails refused_mended_ini_no_box refused_box
check refused_mended_ini_no_more_refusals equals "$(($(refusals) - before))" 3
wh_driver command "$KWO" "$IDC_EXIT" >/dev/null
check refused_exits wh_wait_until 10 e2e_gone "$KWO_PID"
e2e_finish
