#!/usr/bin/env bash
# What the program does where things go wrong: a store that cannot be opened
# and a kwo.ini that cannot be parsed end it with a message naming the file;
# Win + Space held by another program is reported once and the window still
# opens from the tray command; a kwo.ini held open by another program at the
# options dialog's OK is reported and the dialog stays until it is let go; a send
# that stops early, a Help-menu link and a help file that cannot be opened
# are each reported; a huge Interval does not make the timer type over and
# over; Win + Space and the open command bring a window running modally to
# the front; an interval out of range is refused; a locked kwo.db is reported
# once per outage; a save, delete or import that kwo.db refuses (locked,
# renamed, read-only, in a read-only folder, on a full disk) says why and
# loses nothing, and an export to a full disk leaves no file; a read-only
# kwo.ini is left as it is; the GDI object count stays flat over hundreds of
# expansions.
#   mends_test.sh KWO.exe DRIVER.exe RECEIVER.exe PROBE.exe TOOL.exe [EXPANSIONS]
set -uo pipefail
KWO_EXE=${1:?kwo.exe} WH_DRIVER=${2:?driver.exe} RECEIVER=${3:?receiver.exe} PROBE=${4:?probe.exe}
TOOL=${5:?kwo_e2e_tool.exe} EXPANSIONS=${6:-400}
source "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.sh"

wh_init e2e-mends 850
# What the cases below make read-only or mount goes back first, so that the harness can remove it.
_mends_undo() {
  local rc=$?
  [ -z "${APP:-}" ] || chattr -i "$APP" "$APP/kwo.db" 2>/dev/null
  [ -z "${FULL:-}" ] || umount -l "$FULL" 2>/dev/null
  return "$rc"
}
trap '_mends_undo; _wh_on_exit' EXIT
e2e_stage
e2e_start_receiver "Mends Editor"
MARK='¶'
CONNECTION='connectionString=Provider=SQLite;Data Source=kwo.db'

# A top-level message box other than the main window: its handle, or nothing.
other_box() {  # other_box TITLE
  wh_driver windows | awk -v t="\"$1\"" -v main="${KWO:-none}" \
    '$3 == "v" && $4 == "#32770" && $5 == t && $1 != main { print $1; exit }'
}
box_appears() { BOX=$(other_box "$1"); [ -n "$BOX" ]; }
box_text() { wh_driver text "$BOX" 65535; }

# Start-up failures: a message naming the file, then the process ends.
startup_failure() {  # startup_failure NAME FILE-NAMED-IN-MESSAGE WHAT-THE-MESSAGE-SAYS [WHAT-TO-DO]
  wh_start "$1" "$APP/kwo.exe"
  local pid=$!
  if ! wh_wait_until 20 box_appears "疾书精灵"; then
    echo "FAIL $1 (no message)"; failures=$((failures + 1)); return
  fi
  local text; text=$(box_text)
  check "$1_says_why" contains "$text" "$3"
  check "$1_names_file" contains "$text" "$2"
  [ -z "${4:-}" ] || check "$1_says_what_to_do" contains "$text" "$4"
  check "$1_no_main_window" equals "$(wh_driver windows | grep -c '#32770 "疾书精灵"')" 1
  wh_driver activate "$BOX" >/dev/null
  wh_driver keys RETURN
  check "$1_process_ends" wh_wait_until 10 e2e_gone "$pid"
}

# A key line before any section.
e2e_write_ini 'EnablePre=1' '[Options]' 'EnablePre=0' '[sys]' "$CONNECTION"
startup_failure unparsable_ini "$(wh_winpath "$APP/kwo.ini")" '设置文件的格式不对' '改名'
# A database file that is no database.
e2e_ini 0 0 '' ''
mv "$APP/kwo.db" "$APP/kwo.db.good"
printf 'this is not an SQLite database, but a text file of some length ............\n%.0s' $(seq 50) >"$APP/kwo.db"
startup_failure store_not_a_database "$(wh_winpath "$APP/kwo.db")" '不是数据库文件' '改名'
# A database in a folder that does not exist.
e2e_write_ini '[sys]' 'connectionString=Provider=SQLite;Data Source=no-such-folder\kwo.db'
startup_failure store_missing_folder 'no-such-folder\kwo.db' '数据库'
mv "$APP/kwo.db.good" "$APP/kwo.db"

# Win + Space held by another program: reported once, the tray's open command still works.
e2e_ini 0 0 '' ''
wh_start probe "$PROBE"
wh_driver wait "Hotkey Probe" exists 20000 >/dev/null || wh_fail "the probe did not start"
e2e_start_kwo
check hotkey_taken_reported wh_wait_until 10 box_appears "温馨提示"
check hotkey_notice_text contains "$(box_text)" "Win + 空格"
check hotkey_notice_closes_itself wh_driver wait "$BOX" gone 15000
check kwo_keeps_running kill -0 "$KWO_PID"
wh_driver activate "$RCV" >/dev/null
wh_driver hotkey
check hotkey_goes_to_holder wh_driver wait "Hotkey Probe" foreground 5000
check main_window_not_shown equals "$(wh_driver state "$KWO")" hidden
wh_driver command "Hotkey Probe" 2
wh_driver wait "Hotkey Probe" hidden 5000 >/dev/null
wh_driver activate "$RCV" >/dev/null
wh_driver command "$KWO" "$ID_OPEN"
check open_command_shows wh_driver wait "$KWO" visible 5000
wh_driver activate "$KWO" >/dev/null
wh_driver type A
check opened_window_searches wh_driver wait-text "$KWO" "$IDC_CONTENT" "$(wh_file a.txt '您好，很高兴认识您！')" 5000
wh_driver keys RETURN
check opened_window_sends wh_driver wait-text "$RCV" 100 "$(wh_file a.txt '您好，很高兴认识您！')" 10000
check reported_only_once equals "$(other_box "温馨提示")" ""
e2e_exit_kwo
wh_driver close "Hotkey Probe"
wh_driver wait "class:KwoTestProbe" gone 10000 >/dev/null || wh_fail "the probe did not end"

# kwo.ini held open by another program on OK, which lets nobody else open it: said so, the dialog
# stays with what was chosen, the file is untouched; OK once the file is let go saves the options.
wh_driver set-text "$RCV" 100 "" >/dev/null
e2e_ini 0 0 '【前】' ''
e2e_start_kwo
cp "$APP/kwo.ini" "$WH_DIR/before.ini"
wh_start holder "$TOOL" hold "$(wh_winpath "$APP/kwo.ini")" exclusive
wh_driver wait "E2E File Holder" exists 20000 >/dev/null || wh_fail "the file holder did not start"
e2e_open_options
e2e_focus_control "$IDC_ENABLE_PRE"
wh_driver keys SPACE
wh_driver command "$DLG" 1
check unwritable_ini_reported wh_wait_until 10 box_appears "疾书精灵"
check unwritable_message_says_why contains "$(box_text)" "正被其他程序使用"
check unwritable_message_names_file contains "$(box_text)" "kwo.ini"
wh_driver activate "$BOX" >/dev/null
wh_driver keys RETURN
wh_driver wait "$BOX" gone 5000 >/dev/null
check held_ini_dialog_stays equals "$(wh_driver state "$DLG")" foreground
check held_ini_choice_kept equals "$(wh_driver control-state "$DLG" "$IDC_ENABLE_PRE")" "visible enabled checked"
check unwritable_file_unchanged cmp "$APP/kwo.ini" "$WH_DIR/before.ini"
wh_driver close "E2E File Holder"
wh_driver wait "E2E File Holder" gone 10000 >/dev/null
wh_driver command "$DLG" 1
check released_ini_ok_closes wh_driver wait "参数设置" gone 5000
check released_ini_saved grep -qa $'^EnablePre=1\r$' "$APP/kwo.ini"
check new_options_apply e2e_expand A '【前】您好，很高兴认识您！'
# Held again: Cancel after OK brings back the hotkey from before (OK put the new one in force).
wh_start holder "$TOOL" hold "$(wh_winpath "$APP/kwo.ini")" exclusive
wh_driver wait "E2E File Holder" exists 20000 >/dev/null || wh_fail "the file holder did not start"
e2e_open_options
wh_driver set-text "$DLG" "$IDC_HOTKEY" 'Ctrl+Alt+J'
wh_driver command "$DLG" 1
check held_ini_new_hotkey_reported wh_wait_until 10 box_appears "疾书精灵"
wh_driver close "$BOX"
wh_driver wait "$BOX" gone 5000 >/dev/null
wh_driver command "$DLG" 2
wh_driver wait "参数设置" gone 5000 >/dev/null
wh_driver activate "$RCV" >/dev/null
wh_driver hotkey
check held_ini_cancel_brings_back_hotkey wh_driver wait "$KWO" foreground 5000
wh_driver close "E2E File Holder"
wh_driver wait "E2E File Holder" gone 10000 >/dev/null
e2e_exit_kwo

# A huge Interval: 50036369 minutes is 96 ms in 32-bit arithmetic. Timed sending on must not type
# over and over: the receiver stays empty for 3 seconds after the dialog closed.
e2e_ini 0 0 '' '' 50036369 'X'
e2e_start_kwo
wh_driver set-text "$RCV" 100 "" >/dev/null
e2e_open_options
e2e_focus_control "$IDC_TIMER_ON"
wh_driver keys SPACE
wh_driver command "$DLG" 1
wh_driver wait "参数设置" gone 5000 >/dev/null
wh_driver activate "$RCV" >/dev/null
receiver_not_empty() { [ -n "$(wh_driver text "$RCV" 100)" ]; }
fails huge_interval_types_nothing wh_wait_until 3 receiver_not_empty
echo "     (interval written: $(iconv -f CP936 -t UTF-8 "$APP/kwo.ini" | grep -a '^Interval=' | tr -d '\r'))"
e2e_exit_kwo

# A window of ours running modally: Win + Space and the open command bring it to the front. The main
# window must not come up over it: disabled there, with that window hidden behind it, it would lock up.
e2e_ini 0 0 '' ''
e2e_start_kwo
fronted_by() {  # fronted_by TITLE-OR-WINDOW HOW: after HOW (hotkey or open), that window is in front
  wh_driver activate "$RCV" >/dev/null
  if [ "$2" = hotkey ]; then wh_driver hotkey; else wh_driver command "$KWO" "$ID_OPEN"; fi
  wh_driver wait "$1" foreground 5000 >/dev/null && equals "$(wh_driver state "$KWO")" hidden
}
for modal in "$IDC_ADD 编辑速记" "$ID_OPTIONS 参数设置" "$ID_APP_ABOUT 关于 疾书精灵"; do
  read -r id title <<<"$modal"
  wh_driver command "$KWO" "$id"
  MODAL=$(wh_driver wait "$title" visible 10000) || wh_fail "window $title did not open"
  check "hotkey_fronts_modal_$id" fronted_by "$MODAL" hotkey
  check "open_command_fronts_modal_$id" fronted_by "$MODAL" open
  wh_driver close "$MODAL"
  wh_driver wait "$MODAL" gone 5000 >/dev/null || wh_fail "window $title did not close"
done
# A message box over the options dialog: an interval out of range is refused, the dialog stays open.
e2e_open_options
wh_driver set-text "$DLG" "$IDC_INTERVAL" 1441
wh_driver command "$DLG" 1
check interval_out_of_range_refused wh_wait_until 10 box_appears "疾书精灵"
check interval_notice_says_range contains "$(box_text)" "0 到 1440"
check hotkey_fronts_message_box fronted_by "$BOX" hotkey
wh_driver activate "$BOX" >/dev/null
wh_driver keys RETURN
wh_driver wait "$BOX" gone 5000 >/dev/null
check refused_interval_keeps_dialog equals "$(wh_driver state "$DLG")" foreground
wh_driver set-text "$DLG" "$IDC_INTERVAL" 120
wh_driver command "$DLG" 1
check interval_120_accepted wh_driver wait "$DLG" gone 5000
check interval_120_written grep -qa $'^Interval=120\r$' "$APP/kwo.ini"
e2e_call_up
check hotkey_shows_main_window_again equals "$(wh_driver state "$KWO")" foreground
wh_driver keys ESCAPE
wh_driver set-text "$RCV" 100 "" >/dev/null
check expands_after_options_notice e2e_expand A '您好，很高兴认识您！'
e2e_exit_kwo

# kwo.db locked by another program: each keystroke waits briefly, the list shows nothing, and one
# notice per outage says why; once the lock is gone the search works again.
e2e_ini 0 0 '' ''
e2e_start_kwo
lock_db() {
  wh_start locker "$TOOL" lock-db "$(wh_winpath "$APP/kwo.db")"
  wh_driver wait "E2E Db Locker" exists 20000 >/dev/null || wh_fail "the database locker did not start"
}
unlock_db() { wh_driver close "E2E Db Locker"; wh_driver wait "E2E Db Locker" gone 10000 >/dev/null; }
list_rows() { wh_driver listview "$KWO" "$IDC_LIST" | grep -c .; }
typed_in() {  # typed_in KEYS: types into the short-key box, waits until it shows them; prints the time taken
  local start=$(date +%s%N)
  wh_driver type "$1"
  wh_driver wait-text "$KWO" "$IDC_SHORTKEY" "$(wh_file key.txt "$2")" 20000 >/dev/null
  echo "     (keystroke '$1' with kwo.db locked: $(( ($(date +%s%N) - start) / 1000000 )) ms until the box showed it)"
}
lock_db
e2e_call_up
typed_in A A
check locked_search_reported wh_wait_until 10 box_appears "温馨提示"
check locked_notice_says_why contains "$(box_text)" "占用"
# The notice comes up while the user types: it leaves the keyboard where it was.
check locked_notice_keeps_focus e2e_focus_is "$IDC_SHORTKEY"
typed_in DD ADD
check locked_notice_drops_no_key equals "$(wh_driver text "$KWO" "$IDC_SHORTKEY")" ADD
wh_driver wait "$BOX" gone 15000 >/dev/null
wh_driver activate "$KWO" >/dev/null
wh_driver keys BACK BACK
typed_in B AB
check locked_list_shows_nothing equals "$(wh_driver listview "$KWO" "$IDC_LIST")" ""
check locked_content_empty equals "$(wh_driver text "$KWO" "$IDC_CONTENT")" ""
fails locked_reported_once_per_outage wh_wait_until 3 box_appears "温馨提示"
wh_driver close "E2E Db Locker"
wh_driver wait "E2E Db Locker" gone 10000 >/dev/null
wh_driver activate "$KWO" >/dev/null
wh_driver keys BACK
check unlocked_search_finds wh_driver wait-text "$KWO" "$IDC_CONTENT" "$(wh_file a.txt '您好，很高兴认识您！')" 5000
lock_db
wh_driver activate "$KWO" >/dev/null
wh_driver type B
check next_outage_reported_again wh_wait_until 10 box_appears "温馨提示"
wh_driver wait "$BOX" gone 15000 >/dev/null
wh_driver close "E2E Db Locker"
wh_driver wait "E2E Db Locker" gone 10000 >/dev/null
wh_driver activate "$KWO" >/dev/null
wh_driver keys ESCAPE
wh_driver set-text "$RCV" 100 "" >/dev/null
check expands_after_outage_notice e2e_expand A '您好，很高兴认识您！'
# The same in search mode: a keystroke waits at most the short time, the list shows nothing,
# one notice says why. Two keystrokes show in the box within a few seconds, far from the
# five-second wait of other reads.
e2e_call_up
wh_driver set-text "$KWO" "$IDC_SHORTKEY" "" >/dev/null
check unlocked_again_lists wh_driver wait-text "$KWO" "$IDC_CONTENT" "$(wh_file none.txt '')" 5000
lock_db
wh_driver activate "$KWO" >/dev/null
wh_driver keys CTRL+F
wh_driver type a
check locked_search_mode_reported wh_wait_until 10 box_appears "温馨提示"
check locked_search_mode_says_why contains "$(box_text)" "占用"
wh_driver wait "$BOX" gone 15000 >/dev/null
wh_driver activate "$KWO" >/dev/null
start=$(date +%s%N)
wh_driver type bc
check locked_search_mode_keys_short wh_driver wait-text "$KWO" "$IDC_SHORTKEY" "$(wh_file abc.txt abc)" 3000
echo "     (keystrokes 'bc' in search mode with kwo.db locked: $(( ($(date +%s%N) - start) / 1000000 )) ms until the box showed them)"
check locked_search_mode_lists_nothing equals "$(wh_driver listview "$KWO" "$IDC_LIST")" ""
fails locked_search_mode_reported_once wh_wait_until 3 box_appears "温馨提示"
unlock_db
wh_driver activate "$KWO" >/dev/null
wh_driver keys BACK BACK
check unlocked_search_mode_finds wh_driver wait-text "$KWO" "$IDC_CONTENT" "$(wh_file a2.txt '您好，很高兴认识您！')" 5000
e2e_exit_kwo

# Writes the database refuses: the edit dialog says why in a notice and keeps what was typed; an
# import says why in "出错啦" and stores nothing; kwo.db keeps what it had.
rows_of() { sqlite3 "$1" "select group_concat(shortkey || '=' || content, ';') from kwo"; }
content_of() { sqlite3 "$APP/kwo.db" "select content from kwo where shortkey='$1'"; }
open_edit() {  # open_edit KEY [CONTENT]: the edit dialog with KEY looked up and CONTENT put over
  wh_driver command "$KWO" "$IDC_ADD" >/dev/null
  EDLG=$(wh_driver wait "编辑速记" visible 10000) || wh_fail "the edit dialog did not open"
  wh_driver set-text "$EDLG" "$IDC_SHORTKEY" "$1" >/dev/null
  [ -z "${2:-}" ] || wh_driver set-text "$EDLG" "$IDC_CONTENT" "$2" >/dev/null
}
box_says() {  # box_says TITLE TEXT...: a box TITLE appears, its text holding every TEXT
  wh_wait_until 60 box_appears "$1" || return 1
  local text part; text=$(box_text); shift
  for part; do contains "$text" "$part" || return 1; done
}
refused() {  # refused NAME BUTTON TEXT: BUTTON (1 OK, $IDC_DELETE delete) gives a notice with TEXT; all stays
  local content; content=$(wh_driver text "$EDLG" "$IDC_CONTENT")
  wh_driver command "$EDLG" "$2"
  check "$1_says_why" box_says "温馨提示" "$3" "仍在"
  wh_driver wait "$BOX" gone 15000 >/dev/null
  check "$1_content_kept" equals "$(wh_driver text "$EDLG" "$IDC_CONTENT")" "$content"
}
pressed_again() {  # pressed_again BUTTON KEY CONTENT: the dialog closes, KEY holds CONTENT
  wh_driver command "$EDLG" "$1"
  wh_driver wait "$EDLG" gone 15000 >/dev/null && equals "$(content_of "$2")" "$3"
}
printf '#NEWIMP:\r\nx\r\n' >"$WH_DIR/small.txt"
refused_import() {  # refused_import NAME FILE TEXT: "出错啦" says nothing was imported, and TEXT
  wh_driver command "$KWO" "$ID_IMPORT" >/dev/null
  local dialog; dialog=$(wh_driver wait "class:#32770|打开" visible 10000) || wh_fail "no Open dialog"
  wh_driver activate "$dialog" >/dev/null
  wh_driver type "$(wh_winpath "$2")"
  wh_driver keys RETURN
  check "$1_says_why" box_says "出错啦" "什么也没有导入" "$3"
  close_box
}
close_box() { wh_driver activate "$BOX" >/dev/null; wh_driver keys RETURN; wh_driver wait "$BOX" gone 5000 >/dev/null; }

# kwo.db locked at OK and at delete: the wait, the notice; with the lock gone the same button works.
e2e_write_ini '[sys]' "$CONNECTION;Busy Timeout=1500"
e2e_start_kwo
open_edit AB '锁住时输入的'
lock_db
refused locked_save 1 "占用"
unlock_db
check unlocked_save_stored pressed_again 1 AB '锁住时输入的'
open_edit AB
lock_db
refused locked_delete "$IDC_DELETE" "占用"
unlock_db
check unlocked_delete_done pressed_again "$IDC_DELETE" AB ''
# kwo.db renamed while the program runs: a save or import would go into a file nobody opens again.
# Refused; once the file has its name back, the same OK saves into it.
open_edit MV '改名时输入的'
mv "$APP/kwo.db" "$APP/kwo.db.moved"
refused moved_save 1 "改回原名"
mv "$APP/kwo.db.moved" "$APP/kwo.db"
check restored_save_stored pressed_again 1 MV '改名时输入的'
mv "$APP/kwo.db" "$APP/kwo.db.moved"
refused_import moved_import "$WH_DIR/small.txt" "改回原名"
mv "$APP/kwo.db.moved" "$APP/kwo.db"
check moved_import_stored_none equals "$(content_of NEWIMP)" ""
wh_driver set-text "$RCV" 100 "" >/dev/null
check expands_after_import_notice e2e_expand A '您好，很高兴认识您！'
e2e_exit_kwo

# A read-only kwo.db, then a read-only program folder: search and send work; save and import say
# that the database cannot be written. Root writes whatever the permission bits say: for root the
# file or folder is made immutable.
protect() {  # protect +|- PATH
  if [ "$(id -u)" = 0 ]; then chattr "${1}i" "$2" 2>/dev/null; elif [ "$1" = + ]; then chmod a-w "$2"; else chmod u+w "$2"; fi
}
for target in "$APP/kwo.db" "$APP"; do
  name=readonly_$(basename "$target")
  before=$(rows_of "$APP/kwo.db")
  protect + "$target" || { echo "SKIP $name: chattr +i is not permitted here"; continue; }
  e2e_start_kwo
  wh_driver set-text "$RCV" 100 "" >/dev/null
  check "${name}_sends" e2e_expand A '您好，很高兴认识您！'
  wh_driver set-text "$RCV" 100 "" >/dev/null
  open_edit ROX '只读时输入的'
  refused "${name}_save" 1 "不能写入"
  wh_driver command "$EDLG" 2
  wh_driver wait "$EDLG" gone 5000 >/dev/null
  refused_import "${name}_import" "$WH_DIR/small.txt" "不能写入"
  e2e_exit_kwo
  protect - "$target"
  check "${name}_nothing_lost" equals "$(rows_of "$APP/kwo.db")" "$before"
done

# A full disk: the program's folder is a small tmpfs, filled up. An import of 1 MB is refused
# whole; an export says its file was not written and leaves none under the chosen name.
FULL="$WH_DIR/full"
mkdir -p "$FULL"
if mount -t tmpfs -o "size=$(( $(stat -c %s "$APP/kwo.exe") / 1024 + 2048 ))k" tmpfs "$FULL" 2>/dev/null; then
  cp "$APP/kwo.exe" "$APP/kwo.db" "$APP/kwo.ini" "$FULL/"
  HOME_APP=$APP APP=$FULL
  fill() { dd if=/dev/zero of="$FULL/filler$1" bs=4k ${2:+count=$2} 2>/dev/null; }
  fill 1 $(( ($(df --output=avail -k "$FULL" | tail -n1) - 128) / 4 ))  # 128 KB stay free
  awk 'BEGIN { x = sprintf("%2000s", ""); for (i = 0; i < 500; i++) printf "#F%d:\r\n%s\r\n", i, x }' >"$WH_DIR/big.txt"
  before=$(rows_of "$APP/kwo.db")
  e2e_start_kwo
  refused_import full_import "$WH_DIR/big.txt" "磁盘已满"
  fill 2
  wh_driver command "$KWO" "$ID_EXPORT" >/dev/null
  SAVE=$(wh_driver wait "class:#32770|导出" visible 10000) || wh_fail "the export dialog did not open"
  wh_driver activate "$SAVE" >/dev/null
  wh_driver keys CTRL+A
  wh_driver type "$(wh_winpath "$FULL/export.txt")"
  wh_driver keys RETURN
  check full_export_says_why box_says "出错啦" "没有写完整"
  close_box
  check full_export_leaves_no_file equals "$(ls "$FULL" | grep -c '^export')" 0
  e2e_exit_kwo
  check full_nothing_lost equals "$(rows_of "$APP/kwo.db")" "$before"
  check full_database_sound equals "$(sqlite3 "$APP/kwo.db" 'pragma integrity_check')" ok
  APP=$HOME_APP
  umount "$FULL" && FULL=
else
  echo "SKIP full disk: mounting a tmpfs is not permitted here"
  FULL=
fi

# A read-only kwo.ini is never written: OK says so, the file and its mark stay, the options apply.
e2e_ini 0 0 '【前】' ''
chmod a-w "$APP/kwo.ini"
cp "$APP/kwo.ini" "$WH_DIR/before.ini"
e2e_start_kwo
e2e_open_options
e2e_focus_control "$IDC_ENABLE_PRE"
wh_driver keys SPACE
wh_driver command "$DLG" 1
check readonly_ini_reported wh_wait_until 10 box_appears "疾书精灵"
check readonly_message_says_why contains "$(box_text)" "只读"
check readonly_message_names_file contains "$(box_text)" "kwo.ini"
wh_driver activate "$BOX" >/dev/null
wh_driver keys RETURN
check readonly_dialog_closes wh_driver wait "参数设置" gone 5000
check readonly_file_unchanged cmp "$APP/kwo.ini" "$WH_DIR/before.ini"
check readonly_mark_kept equals "$(stat -c %a "$APP/kwo.ini")" 444
check readonly_new_options_apply e2e_expand A '【前】您好，很高兴认识您！'
e2e_exit_kwo
chmod u+w "$APP/kwo.ini"


# Failures once dropped in silence. A content with a brace group that is too long: what comes
# before the group is typed, then one notice says why. A Help-menu link to a missing
# file, and the missing help file: a message names the link or the file, the target and the reason.
e2e_ini 0 0 '' ''
printf '[Menu]\r\n不存在的链接=no-such-file.txt\r\n' | iconv -f UTF-8 -t CP936 >>"$APP/kwo.ini"
sqlite3 "$APP/kwo.db" "insert into kwo(id, shortkey, content) \
  values($(e2e_short_key_id LONG), 'LONG', '甲{$(printf 'x%.0s' $(seq 300))}乙'), \
  ($(e2e_short_key_id OK), 'OK', 'ok{$(printf 'A%.0s' $(seq 300))}more');"
e2e_start_kwo
wh_driver set-text "$RCV" 100 "" >/dev/null
check send_stops_at_long_group e2e_expand LONG '甲'
check send_failure_noticed wh_wait_until 10 box_appears "温馨提示"
check send_failure_says_why contains "$(box_text)" "299"
close_box
fails send_failure_noticed_once wh_wait_until 2 box_appears "温馨提示"
# The expansion right after the notice (closed with Enter) arrives.
wh_driver set-text "$RCV" 100 "" >/dev/null
check expands_after_stopped_notice e2e_expand A '您好，很高兴认识您！'
wh_driver set-text "$RCV" 100 "" >/dev/null
check stopped_again_types_beginning e2e_expand OK 'ok'
check stopped_again_noticed wh_wait_until 10 box_appears "温馨提示"
# Called up while the notice is still shown: the main window comes up, not the notice.
wh_driver set-text "$RCV" 100 "" >/dev/null
check expands_while_notice_shown e2e_expand K '内容K'
wh_driver click "$BOX" 1
wh_driver wait "$BOX" gone 5000 >/dev/null
wh_driver set-text "$RCV" 100 "" >/dev/null
check expands_after_notice_closed_by_button e2e_expand K '内容K'
wh_driver command "$KWO" "$ID_MENU_LINK_FIRST"
check link_failure_reported wh_wait_until 10 box_appears "疾书精灵"
text=$(box_text)
echo "     (${text//$'\n'/ })"
check link_failure_names_link contains "$text" "不存在的链接"
check link_failure_names_target contains "$text" "no-such-file.txt"
check link_failure_says_why contains "$text" "原因："
close_box
wh_driver command "$KWO" "$ID_HELP_FILE"
check help_file_failure_reported wh_wait_until 10 box_appears "疾书精灵"
check help_file_failure_names_file contains "$(box_text)" "kwo.chm"
close_box
# "检查新版本" once did nothing at all: it names the version and says that nothing is looked up.
wh_driver command "$KWO" "$ID_CHECK_VERSION"
check check_version_answers wh_wait_until 10 box_appears "检查新版本"
check check_version_names_version contains "$(box_text)" "版本 $(tr -d '\r\n' <"$(dirname "${BASH_SOURCE[0]}")/../../VERSION")"
check check_version_says_no_network contains "$(box_text)" "不会联网"
close_box
wh_driver set-text "$RCV" 100 "" >/dev/null
check expands_after_the_failures e2e_expand A '您好，很高兴认识您！'
e2e_exit_kwo

# GDI objects over many expansions (prefix and suffix included).
e2e_ini 1 1 '<' '{ENTER}>'
e2e_start_kwo
wh_driver set-text "$RCV" 100 "" >/dev/null
WH_RUN_TIMEOUT=$(( 60 + EXPANSIONS / 2 ))
output=$(wh_run "$TOOL" expand-loop "$KWO" "$RCV" A "$(wh_file gdi.txt '<您好，很高兴认识您！\r\n>')" "$EXPANSIONS" 100)
rc=$?
echo "$output" | sed 's/^/     /'
check expansions_all_done equals "$rc" 0
read -r _ first warm last <<<"$(grep '^gdi-summary' <<<"$output")"
gdi_flat() { [ -n "$warm" ] && [ -n "$last" ] && [ "$warm" -gt 0 ] && [ $(( last - warm )) -le 5 ]; }
check gdi_count_flat gdi_flat
e2e_exit_kwo

e2e_finish
