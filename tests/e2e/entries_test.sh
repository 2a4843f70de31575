#!/usr/bin/env bash
# kwo.exe end to end: an entry added, changed and deleted through the edit
# dialog opened from the main window, and refused keys; import and export
# through the real file dialogs, with their notices; a malformed import file;
# an import while another program holds kwo.db locked; an export that would
# replace a file. The edit dialog checks the content as it changes and
# "试一试" shows what it types.
# Run inside tests/support/pg_cluster.sh (KWO_PG_CONN set) the same cases run
# on PostgreSQL through ODBC (the kwo.db lock aside), followed by a search, a
# send, and the server stopped and started again under the running program.
#   entries_test.sh KWO.exe DRIVER.exe RECEIVER.exe
set -uo pipefail
KWO_EXE=${1:?kwo.exe} WH_DRIVER=${2:?driver.exe} RECEIVER=${3:?receiver.exe}
source "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.sh"

PG=${KWO_PG_CONN:+1}
wh_init "e2e-entries${PG:+-pg}" 280
e2e_stage
e2e_ini 0 0 '' ''
if [ -n "$PG" ]; then
  # The same entries on the server; kwo.ini names it instead of kwo.db.
  $KWO_PG_PSQL -c "drop table if exists kwo" -c "create table kwo(id bigint primary key, shortkey text, content text)" ||
    wh_fail "cannot make the table on the server"
  sqlite3 -csv "$APP/kwo.db" "select * from kwo" | $KWO_PG_PSQL -c "\\copy kwo from pstdin csv" ||
    wh_fail "cannot copy the entries to the server"
  sed -i "s|^connectionString=.*\r\$|connectionString=$KWO_PG_CONN\r|" "$APP/kwo.ini"
  rm -f "$APP/kwo.db"
fi
e2e_start_kwo
wh_driver command "$KWO" "$ID_OPEN" >/dev/null  # open: show the main window
wh_driver wait "$KWO" visible 5000 >/dev/null || wh_fail "the main window did not open"

EDIT="编辑速记"
sql() {
  if [ -n "$PG" ]; then $KWO_PG_PSQL -c "$1"; else sqlite3 "$APP/kwo.db" "$1"; fi
}
row() { sql "select id || '|' || shortkey || '|' || content from kwo where shortkey='$1';"; }
content_is() { wh_driver wait-text "$EDIT" "$IDC_CONTENT" "$(wh_file content.txt "$1")" 5000 >/dev/null; }

# Opens the edit dialog from the main window's "新增速记" and types KEY into its short-key box.
open_edit() {
  wh_driver command "$KWO" "$IDC_ADD" >/dev/null
  wh_driver wait "$EDIT" visible 5000 >/dev/null || return 1
  wh_driver activate "$EDIT" >/dev/null || return 1
  wh_driver type "$1"
  wh_driver wait-text "$EDIT" "$IDC_SHORTKEY" "$(wh_file key.txt "$2")" 5000 >/dev/null
}
edit_closed() { wh_driver wait "$EDIT" gone 5000 >/dev/null; }

# Add: a new key, content typed into the content box, "确定".
check add_opens open_edit new1 NEW1
check add_new_key_empty content_is ''
wh_driver keys TAB
wh_driver type '新的速记内容'
check add_typed content_is '新的速记内容'
wh_driver command "$EDIT" 1 >/dev/null
check add_closes edit_closed
check add_stored equals "$(row NEW1)" "$(e2e_short_key_id NEW1)|NEW1|新的速记内容"
check main_key_box_emptied wh_driver wait-text "$KWO" "$IDC_SHORTKEY" "$(wh_file empty.txt '')" 5000

# Change: the stored content appears, is replaced and saved; id and key stay.
check change_opens open_edit NEW1 NEW1
check change_shows_stored content_is '新的速记内容'
check_line_is() { wh_driver wait-text "$EDIT" "$IDC_CONTENT_CHECK" "$(wh_file check.txt "$1")" 5000 >/dev/null; }
check good_content_checked check_line_is '内容正确'
wh_driver keys TAB  # into the content box, all of it selected
wh_driver type '你好{ENTR}再见'
check typed_warned_content content_is '你好{ENTR}再见'
check unknown_key_warned check_line_is '第 3 个字符处的 {ENTR} 不是已知的键名，不会按下想要的键（例如回车写作 {ENTER}）'
wh_driver keys SHIFT+TAB TAB
wh_driver type '你好{ENTER}{APPACTIVATE 记事本}{BEEP 800 100}再见'
check typed_in_full content_is '你好{ENTER}{APPACTIVATE 记事本}{BEEP 800 100}再见'
check good_content_again check_line_is '内容正确'
wh_driver click "$EDIT" "$IDC_TRY"
check try_shows_typing wh_driver wait-text "$EDIT" "$IDC_TRIAL" "$(wh_file trial.txt '你好\r\n〔切换到 记事本〕〔响铃〕再见')" 5000
wh_driver set-text "$EDIT" "$IDC_CONTENT" '改过的内容' >/dev/null
wh_driver command "$EDIT" 1 >/dev/null
check change_closes edit_closed
check change_stored equals "$(row NEW1)" "$(e2e_short_key_id NEW1)|NEW1|改过的内容"

# Delete: the entry found by the key goes; the others stay.
check delete_opens open_edit NEW1 NEW1
check delete_shows_stored content_is '改过的内容'
wh_driver command "$EDIT" "$IDC_DELETE" >/dev/null
check delete_closes edit_closed
check delete_removed equals "$(row NEW1)" ""
check delete_keeps_others equals "$(row AB)" "$(e2e_short_key_id AB)|AB|此致{ENTER}敬礼！"

# A notice box "温馨提示" with TEXT appears (and closes itself).
# The box stays 2 s only: one driver run polls for it and its text, so that a
# busy machine does not miss it between two runs.
notice_says() {
  wh_driver wait-text "温馨提示" 65535 "$(wh_file notice.txt "$1")" 15000 >/dev/null &&
    wh_driver wait "温馨提示" gone 10000 >/dev/null
}
# OK without a usable key (empty, or pasted with characters no key can hold):
# a notice says why, and the dialog stays open with the typed content.
refused_key() {  # refused_key NAME KEY NOTICE
  check "$1_opens" open_edit '' ''
  wh_driver set-text "$EDIT" "$IDC_SHORTKEY" "$2" >/dev/null
  wh_driver set-text "$EDIT" "$IDC_CONTENT" '辛苦打的字' >/dev/null
  wh_driver command "$EDIT" 1 >/dev/null
  check "$1_says_why" notice_says "$3"
  check "$1_dialog_stays" equals "$(wh_driver state "$EDIT")" foreground
  check "$1_content_kept" content_is '辛苦打的字'
  wh_driver command "$EDIT" 2 >/dev/null
  check "$1_cancel_closes" edit_closed
}
refused_key empty_key '' '请先输入速记符（1 到 6 个数字或大写字母）。'
refused_key pasted_key '中文AB' '速记符“中文AB”里有不能用的字符。速记符只能由数字和大写字母组成，最多 6 个。'
check refused_keys_store_nothing equals "$(sql "select count(*) from kwo where content='辛苦打的字';")" 0

# Import: a code page 936 file with a new entry, a changed one, a plain-text one.
printf '#IMP1:\r\n导入的内容\r\n第二行\r\n#ab:\r\n改写 AB\r\n#PLAIN\r\n{ENTER} 原样\r\n#W1:\r\n{ENTR}\r\n' | iconv -f UTF-8 -t CP936 >"$WH_DIR/import.txt"
check import_file_chosen e2e_choose_file "$ID_IMPORT" "$(wh_winpath "$WH_DIR/import.txt")"
check import_notice_warns notice_says $'导入OK！\n\n有 1 条速记的内容可能不会按原意发送：W1。\n请在“新增速记”中打开它们查看。'
check import_new equals "$(row IMP1)" "$(e2e_short_key_id IMP1)|IMP1|导入的内容"$'\r\n'"第二行"
check import_changed equals "$(row AB)" "$(e2e_short_key_id AB)|AB|改写 AB"
check import_plain_escaped equals "$(row PLAIN)" "$(e2e_short_key_id PLAIN)|PLAIN|\\{ENTER} 原样"

# A malformed header stops the import there: "出错啦" with the line, then how much was imported.
printf '#OK1:\r\nstored\r\n#B C:\r\nnot stored\r\n' >"$WH_DIR/bad.txt"
check bad_file_chosen e2e_choose_file "$ID_IMPORT" "$(wh_winpath "$WH_DIR/bad.txt")"
error_box=$(wh_driver wait "出错啦" visible 10000) || wh_fail "no error box for a malformed file"
check bad_error_text equals "$(wh_driver text "$error_box" 65535)" "第 3 行：#B C:"$'\n'" 速记符处定义格式错误"
wh_driver command "$error_box" 1 >/dev/null
check bad_then_notice notice_says '导入了 1 条；出错处及以后的没有导入。'
check bad_keeps_earlier equals "$(row OK1)" "$(e2e_short_key_id OK1)|OK1|stored"
# The list is read again once the notice has gone; two messages sent one after
# the other return only when kwo is back in its own loop, that reading done.
wh_driver message "$KWO" 0 0 0 --send >/dev/null
wh_driver message "$KWO" 0 0 0 --send >/dev/null

if [ -z "$PG" ]; then
# Another program (the sqlite3 command-line tool) holds kwo.db locked until
# the import has ended, longer than a writer waits: the import stores none of
# the five entries and says so; once the lock is gone the same file imports whole.
printf '#LK%s:\r\n第 %s 条\r\n' 1 1 2 2 3 3 4 4 5 5 | iconv -f UTF-8 -t CP936 >"$WH_DIR/locked.txt"
lk_rows() { sqlite3 "$APP/kwo.db" "select group_concat(shortkey) from (select shortkey from kwo where shortkey like 'LK%' order by id);"; }
locked() { ! sqlite3 "$APP/kwo.db" "begin immediate; rollback;" 2>/dev/null; }
mkfifo "$WH_DIR/lock.fifo"
sqlite3 "$APP/kwo.db" <"$WH_DIR/lock.fifo" &
locker=$!
exec 9>"$WH_DIR/lock.fifo"
echo "begin exclusive;" >&9
wh_wait_until 10 locked || wh_fail "the sqlite3 command-line tool did not lock kwo.db"
check locked_file_chosen e2e_choose_file "$ID_IMPORT" "$(wh_winpath "$WH_DIR/locked.txt")"
# The box that ends the import: "出错啦" when it failed (a "温馨提示" here would be wrong).
outcome_box() {
  BOX=$(wh_driver windows | awk '$3 == "v" && $4 == "#32770" && ($5 == "\"出错啦\"" || $5 == "\"温馨提示\"") { print $1; exit }')
  [ -n "$BOX" ]
}
check locked_outcome_shown wh_wait_until 60 outcome_box
check locked_says_nothing_imported contains "$(wh_driver text "$BOX" 65535)" '什么也没有导入'
check locked_is_an_error equals "$(wh_driver windows | awk -v b="$BOX" '$1 == b { print $5 }')" '"出错啦"'
echo "commit;" >&9
exec 9>&-
wait "$locker"
wh_driver command "$BOX" 1 >/dev/null
check locked_stores_none equals "$(lk_rows)" ""
check unlocked_file_chosen e2e_choose_file "$ID_IMPORT" "$(wh_winpath "$WH_DIR/locked.txt")"
check unlocked_notice notice_says '导入OK！'
check unlocked_stores_all equals "$(lk_rows)" "LK1,LK2,LK3,LK4,LK5"
fi

# Export: the Save dialog "导出" with a default name; a new file; every entry in id order, code page 936.
export_dialog() {
  wh_driver command "$KWO" "$ID_EXPORT" >/dev/null
  SAVE=$(wh_driver wait "class:#32770|导出" visible 10000) || return 1
  wh_driver activate "$SAVE" >/dev/null
}
save_as() {  # save_as WINDOWS-PATH: types the name over the selected default, Enter
  wh_driver keys CTRL+A
  wh_driver type "$1"
  wh_driver keys RETURN
}
save_dialog_again() {
  local again
  again=$(wh_driver wait "class:#32770|导出" visible 1000) || return 1
  [ "$again" != "$ASK" ] && SAVE=$again && wh_driver activate "$SAVE" >/dev/null
}
# The question before a file is replaced: a box titled "导出" beside the Save dialog.
replace_question() {
  ASK=$(wh_driver windows | awk -v save="$SAVE" '$3 == "v" && $4 == "#32770" && $5 == "\"导出\"" && $1 != save { print $1; exit }')
  [ -n "$ASK" ]
}
check export_save_dialog export_dialog
check export_default_name equals "$(wh_driver text "$SAVE" focus)" '速记导出.txt'
save_as "$(wh_winpath "$WH_DIR/export.txt")"
# The notice closes itself after 2 s: read it first.
check export_notice notice_says '导出OK！'
check export_dialog_closes wh_driver wait "$SAVE" gone 10000
count=$(sql "select count(*) from kwo;")
check export_every_entry equals "$(grep -c $'^#[0-9A-Z]*:\r$' "$WH_DIR/export.txt")" "$count"
check export_first_by_id equals "$(head -n2 "$WH_DIR/export.txt" | iconv -f CP936 -t UTF-8)" "#A:"$'\r\n'"您好，很高兴认识您！"$'\r'
check export_block equals "$(grep -a -A3 '^#IMP1:' "$WH_DIR/export.txt" | iconv -f CP936 -t UTF-8)" \
  "#IMP1:"$'\r\n'"导入的内容"$'\r\n'"第二行"$'\r\n'"#PLAIN:"$'\r'

# Export over an existing file: asked first; "否" keeps the file and the dialog, "是" replaces it.
cp "$WH_DIR/export.txt" "$WH_DIR/first-export.txt"
printf 'keep me\r\n' >"$WH_DIR/existing.txt"
check overwrite_save_dialog export_dialog
save_as "$(wh_winpath "$WH_DIR/existing.txt")"
check overwrite_asks wh_wait_until 10 replace_question
check overwrite_asks_plainly equals "$(wh_driver text "$ASK" 65535)" $'“existing.txt”已经存在。\n替换它吗？'
wh_driver command "$ASK" 7 >/dev/null  # IDNO
check overwrite_no_keeps_file equals "$(cat "$WH_DIR/existing.txt")" $'keep me\r'
# "否" goes back to the Save dialog with the same file offered.
check overwrite_no_back_to_dialog wh_wait_until 10 save_dialog_again
wh_driver keys RETURN
check overwrite_asks_again wh_wait_until 10 replace_question
wh_driver command "$ASK" 6 >/dev/null  # IDYES
check overwrite_notice notice_says '导出OK！'
check overwrite_yes_closes wh_driver wait "$SAVE" gone 10000
check overwrite_replaced cmp "$WH_DIR/existing.txt" "$WH_DIR/first-export.txt"
check overwrite_no_temp_left equals "$(ls "$WH_DIR" | grep -c '\.tmp$')" 0
# Over a read-only file: the question says so, and the file stays read-only.
printf 'read only\r\n' >"$WH_DIR/readonly.txt"
chmod a-w "$WH_DIR/readonly.txt"
check readonly_save_dialog export_dialog
save_as "$(wh_winpath "$WH_DIR/readonly.txt")"
check readonly_asks wh_wait_until 10 replace_question
check readonly_question_names_it equals "$(wh_driver text "$ASK" 65535)" \
  $'“readonly.txt”已经存在，而且是只读文件。\n替换它吗？替换后它仍是只读的。'
wh_driver command "$ASK" 6 >/dev/null  # IDYES
check readonly_notice notice_says '导出OK！'
check readonly_replaced cmp "$WH_DIR/readonly.txt" "$WH_DIR/first-export.txt"
check readonly_stays_read_only test -z "$(find "$WH_DIR/readonly.txt" -perm /222)"
# A file the system will not let go (immutable, even for root): a clear refusal, the file unchanged.
if chattr +i "$WH_DIR/existing.txt" 2>/dev/null; then
  cp "$WH_DIR/existing.txt" "$WH_DIR/before-refusal.txt"
  check refused_save_dialog export_dialog
  save_as "$(wh_winpath "$WH_DIR/existing.txt")"
  check refused_asks wh_wait_until 10 replace_question
  wh_driver command "$ASK" 6 >/dev/null  # IDYES
  refusal_box() { BOX=$(wh_driver wait "出错啦" visible 1000); }
  check refused_told wh_wait_until 15 refusal_box
  check refused_says_why contains "$(wh_driver text "$BOX" 65535)" '系统不允许替换“existing.txt”'
  wh_driver command "$BOX" 1 >/dev/null
  chattr -i "$WH_DIR/existing.txt"
  check refused_file_unchanged cmp "$WH_DIR/existing.txt" "$WH_DIR/before-refusal.txt"
  check refused_no_temp_left equals "$(ls "$WH_DIR" | grep -c '\.tmp$')" 0
fi
# The default name alone goes into the program's folder.
check default_save_dialog export_dialog
wh_driver keys RETURN
check default_notice notice_says '导出OK！'
check default_in_program_folder cmp "$APP/速记导出.txt" "$WH_DIR/first-export.txt"

if [ -n "$PG" ]; then
  # Search and send from the server's table.
  e2e_start_receiver "PG Editor"
  check pg_send e2e_expand AB '改写 AB'
  wh_driver command "$KWO" "$ID_OPEN" >/dev/null
  search() { wh_driver set-text "$KWO" "$IDC_SHORTKEY" "$1" >/dev/null; }
  shown() { wh_driver wait-text "$KWO" "$IDC_CONTENT" "$(wh_file shown.txt "$1")" "${2:-5000}" >/dev/null; }
  # The server stops: one notice, no content, kwo.exe keeps running; the next
  # keystrokes say nothing more.
  bash "$KWO_PG_CLUSTER_SCRIPT" pause
  search IMP1
  check pg_away_notice notice_says $'连不上数据库服务器，暂时查不到速记。\n疾书精灵会在下次查找时自动重新连接。'
  check pg_away_nothing_shown shown ''
  search AB
  fails pg_away_one_notice wh_driver wait "温馨提示" visible 3000
  fails pg_away_still_running e2e_gone "$KWO_PID"
  # The server is back: the next search finds the entry, without a restart.
  bash "$KWO_PG_CLUSTER_SCRIPT" resume
  back() { search A; search AB; shown '改写 AB' 1000; }
  check pg_back_again wh_wait_until 30 back
fi

e2e_exit_kwo
e2e_finish
