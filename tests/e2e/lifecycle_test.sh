#!/usr/bin/env bash
# The program's life: the notification icon, running and stopped
# (ToggleRunning, command ID_TOGGLE_RUNNING), a second start, and the exit command.
# The desktop has a taskbar here (WH_SHELL=1); the icon is observed as the
# pixels of the notification area at the right end of the taskbar.
#   lifecycle_test.sh KWO.exe DRIVER.exe RECEIVER.exe PROBE.exe
set -uo pipefail
KWO_EXE=${1:?kwo.exe} WH_DRIVER=${2:?driver.exe} RECEIVER=${3:?receiver.exe} PROBE=${4:?probe.exe}
WH_SHELL=1
source "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.sh"

wh_init e2e-lifecycle 240
e2e_stage
e2e_ini 0 0 '' ''
wh_driver wait class:Shell_TrayWnd visible 20000 >/dev/null || wh_fail "no taskbar"

# The notification area: the right end of the taskbar at the bottom of the 1024 x 768 desktop.
tray_shot() {  # tray_shot NAME: the area as a PNG in $WH_DIR
  timeout 10 import -display "$DISPLAY" -window root -crop 160x26+864+742 +repage "$WH_DIR/$1.png" 2>/dev/null
}
same_tray() {  # same_tray A B: the two crops are equal pixel for pixel
  [ "$(compare -metric AE "$WH_DIR/$1.png" "$WH_DIR/$2.png" null: 2>&1)" = 0 ]
}
not_same_tray() { ! same_tray "$@"; }
tray_becomes() {  # tray_becomes NAME REFERENCE: the area equals the reference
  tray_shot "$1" && same_tray "$1" "$2"
}
tray_differs() {  # tray_differs NAME REFERENCE: the area, drawn completely, differs from the reference
  tray_shot "$1" && tray_shot "$1-again" && same_tray "$1" "$1-again" && ! same_tray "$1" "$2"
}

# The taskbar without the program; it is drawn shortly after the desktop starts.
wh_wait_until 10 tray_shot empty || wh_fail "no screenshot"
e2e_start_receiver "Life Editor"
tray_shot empty

e2e_start_kwo
check icon_added wh_wait_until 10 tray_differs running empty

# Running: the hotkey calls the window up.
e2e_call_up
check running_hotkey equals "$(wh_driver state "$KWO")" foreground

# Running → Stopped: the window stays as it is, the icon changes, the hotkey is free.
wh_driver command "$KWO" "$ID_TOGGLE_RUNNING"
check stopped_icon wh_wait_until 10 tray_differs stopped running
check stopped_icon_not_empty not_same_tray stopped empty
check stop_keeps_window equals "$(wh_driver state "$KWO")" foreground
wh_driver keys ESCAPE
wh_driver wait "$KWO" hidden 5000 >/dev/null
# Another program can now register Win + Space and gets it; the main window stays hidden.
wh_start probe "$PROBE"
wh_driver wait "Hotkey Probe" exists 20000 >/dev/null || wh_fail "the probe did not start"
wh_driver activate "$RCV" >/dev/null
wh_driver hotkey
check stopped_hotkey_goes_elsewhere wh_driver wait "Hotkey Probe" foreground 5000
check stopped_probe_counted equals "$(wh_driver text "Hotkey Probe" 300)" "hotkeys: 1"
check stopped_window_hidden equals "$(wh_driver state "$KWO")" hidden
wh_driver close "Hotkey Probe"
wh_driver wait "class:KwoTestProbe" gone 10000 >/dev/null || wh_fail "the probe did not close"

# Stopped → Running: the icon is the running one again and the hotkey works again.
wh_driver command "$KWO" "$ID_TOGGLE_RUNNING"
check running_icon_back wh_wait_until 10 tray_becomes running-again running
e2e_call_up
check restarted_hotkey equals "$(wh_driver state "$KWO")" foreground
# The switch to Running hides the window.
wh_driver command "$KWO" "$ID_TOGGLE_RUNNING"
wh_driver command "$KWO" "$ID_TOGGLE_RUNNING"
check start_hides_window wh_driver wait "$KWO" hidden 5000
e2e_call_up
check hotkey_after_two_toggles equals "$(wh_driver state "$KWO")" foreground
wh_driver keys ESCAPE
wh_driver wait "$KWO" hidden 5000 >/dev/null

# A second start: the notice "疾书精灵已运行" titled "温馨提示", then that process ends.
wh_start second "$APP/kwo.exe"
second_pid=$!
notice=$(wh_driver wait "温馨提示" visible 15000) || wh_fail "the second start showed no notice"
notice_text=$(wh_driver text "$notice" 65535 2>/dev/null || wh_driver text "$notice" 100 2>/dev/null)
check second_start_notice equals "$notice_text" "疾书精灵已运行"
check second_process_ends wh_wait_until 20 e2e_gone "$second_pid"
check notice_gone wh_driver wait "温馨提示" gone 5000
check first_still_running kill -0 "$KWO_PID"
check only_one_main_window equals "$(wh_driver windows | grep -c '#32770 "疾书精灵"')" 1
e2e_call_up
check first_still_answers equals "$(wh_driver state "$KWO")" foreground
wh_driver keys ESCAPE
wh_driver wait "$KWO" hidden 5000 >/dev/null

# Esc and the close box only hide; the exit command ends the process and removes the icon.
check still_running_after_esc kill -0 "$KWO_PID"
e2e_exit_kwo
check process_gone e2e_gone "$KWO_PID"
check icon_removed wh_wait_until 10 tray_becomes after-exit empty
# The mutex went with the process: a new start works.
e2e_start_kwo
check restart_after_exit wh_wait_until 10 tray_differs restarted empty
e2e_call_up
check restart_hotkey equals "$(wh_driver state "$KWO")" foreground
e2e_exit_kwo

# Exit and kill while the content index is being filled, a part at a time
# after start-up: the database stays sound, and the next start goes on from
# where the last one stopped and completes the index.
fill_marks() { sqlite3 "$APP/kwo.db" 'select count(*) from kwo_search_fill' 2>/dev/null; }
filling() { [ "$(fill_marks)" = 1 ]; }
index_whole() { [ "$(fill_marks)" = 0 ]; }
sqlite3 "$APP/kwo.db" "drop trigger kwo_search_insert; drop trigger kwo_search_delete; drop trigger kwo_search_update;
  drop table kwo_search; drop table kwo_search_fill;
  with recursive n(i) as (select 1 union all select i + 1 from n where i < 100000)
  insert into kwo(id, shortkey, content) select 3000000000 + i, 'F', '填充的第' || i || '条内容' from n;" ||
  wh_fail "cannot prepare the table"
e2e_start_kwo
check index_fill_begins wh_wait_until 30 filling
e2e_exit_kwo
check exit_came_mid_fill filling  # a part every 50 ms at most: 100 parts take 5 s at least
check exit_while_filling_keeps_db_sound equals "$(sqlite3 "$APP/kwo.db" 'pragma integrity_check')" ok
# Killed while its thread fills a part: the part is undone, the rest stays.
fill_next() { sqlite3 "$APP/kwo.db" 'select next from kwo_search_fill' 2>/dev/null; }
stopped_at=$(fill_next)
fill_moved() { [ "$(fill_next)" != "$stopped_at" ]; }
e2e_start_kwo
check fill_goes_on_after_exit wh_wait_until 30 fill_moved
kill -KILL "$KWO_PID"
wh_wait_until 10 e2e_gone "$KWO_PID" || wh_fail "kwo.exe did not end when killed"
check kill_came_mid_fill filling
check kill_while_filling_keeps_db_sound equals "$(sqlite3 "$APP/kwo.db" 'pragma integrity_check')" ok
e2e_start_kwo
check index_completed_after_restart wh_wait_until 180 index_whole
check completed_index_sound equals \
  "$(sqlite3 "$APP/kwo.db" "insert into kwo_search(kwo_search) values('integrity-check'); select 'sound';")" sound
e2e_exit_kwo

e2e_finish
