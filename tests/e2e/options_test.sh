#!/usr/bin/env bash
# The options dialog "参数设置" (command ID_OPTIONS): OK writes kwo.ini in its
# normalised form (code page 936, CR LF, keys in their order) and the new
# options apply at once; Cancel changes nothing. Timed sending: a tick of
# the timer (WM_TIMER with the timer's id 2, sent to the main window) types
# TimerStr only while timed sending is on and the main window is hidden, and
# not while Ctrl is held.
# The activation hotkey: recorded in the dialog's box, written normalised,
# refused when taken, when it types (Space, a letter), when Windows keeps it
# or when it closes windows (Alt+F4), with the reason; Enter in the box records
# nothing. Read from kwo.ini at start; a malformed or refused value is reported
# once and Win + Space used.
#   options_test.sh KWO.exe DRIVER.exe RECEIVER.exe PROBE.exe
set -uo pipefail
KWO_EXE=${1:?kwo.exe} WH_DRIVER=${2:?driver.exe} RECEIVER=${3:?receiver.exe} PROBE=${4:?probe.exe}
source "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.sh"

wh_init e2e-options 240
e2e_stage
# Not in the program's form: a blank line, a lone LF, Red above 255, no line end at the end.
printf '%b' '[sys]\r\nconnectionString=Provider=SQLite;Data Source=kwo.db\r\n\r\n[Options]\nEnablePre=0\r\n' \
  'Interval=0\r\nPreStr=【前】\r\nAfterStr=——后缀\r\nTimerStr=定时{ENTER}\r\nEnableAfter=1\r\n' \
  '[BackGround]\r\nRed=300\r\nGreen=234\r\nBlue=220\r\n[Menu]\r\n程序文件夹=.' | iconv -f UTF-8 -t CP936 >"$APP/kwo.ini"
e2e_start_receiver "Options Editor"
e2e_start_kwo

MARK='¶'
DIALOG="参数设置"
WM_TIMER=275

# expected_ini NAME LINES...: the file the program should write, as bytes.
expected_ini() {
  local name=$1; shift
  printf '%s\r\n' "$@" | iconv -f UTF-8 -t CP936 >"$WH_DIR/$name.ini"
}
ini_is() {  # ini_is NAME: kwo.ini equals the expected bytes
  cmp "$APP/kwo.ini" "$WH_DIR/$1.ini" >&2 || { iconv -f CP936 -t UTF-8 "$APP/kwo.ini" | od -c | head -n 30 >&2; return 1; }
}
closed_options() { wh_driver wait "$DIALOG" gone 5000 >/dev/null; }
toggle_checkbox() { e2e_focus_control "$1"; wh_driver keys SPACE; }
empty_receiver() { wh_driver set-text "$RCV" 100 "" >/dev/null; }
# A tick of the timed-sending timer, handled before the driver returns.
tick() { wh_driver message "$KWO" $WM_TIMER 2 0 --send >/dev/null; }
receiver_is() { wh_driver wait-text "$RCV" 100 "$(wh_file rcv.txt "$1")" 5000; }
# After a step that may type: the mark arrives right after whatever was typed.
only_then_mark() {  # only_then_mark EXPECTED-BEFORE-MARK
  wh_driver activate "$RCV" >/dev/null
  wh_driver type "$MARK"
  receiver_is "$1$MARK"
}

# OK without changes: the same options, written in the normalised form.
e2e_open_options
check dialog_shows_prestr equals "$(wh_driver text "$DLG" "$IDC_PRE_STR")" '【前】'
check dialog_shows_afterstr equals "$(wh_driver text "$DLG" "$IDC_AFTER_STR")" '——后缀'
check dialog_shows_timerstr equals "$(wh_driver text "$DLG" "$IDC_TIMER_STR")" '定时{ENTER}'
check dialog_shows_interval equals "$(wh_driver text "$DLG" "$IDC_INTERVAL")" 0
wh_driver command "$DLG" 1
check ok_closes closed_options
expected_ini normalised '[sys]' 'connectionString=Provider=SQLite;Data Source=kwo.db' '[Options]' 'EnablePre=0' \
  'Interval=0' 'PreStr=【前】' 'AfterStr=——后缀' 'TimerStr=定时{ENTER}' 'EnableAfter=1' \
  '[BackGround]' 'Red=44' 'Green=234' 'Blue=220' '[Menu]' '程序文件夹=.'
check ok_writes_normalised_form ini_is normalised

# A checkbox and an edit changed, then Enter (the OK button is the default).
e2e_open_options
toggle_checkbox "$IDC_ENABLE_PRE"
wh_driver set-text "$DLG" "$IDC_PRE_STR" '前缀：'
wh_driver keys RETURN
check ok_by_enter_closes closed_options
expected_ini changed '[sys]' 'connectionString=Provider=SQLite;Data Source=kwo.db' '[Options]' 'EnablePre=1' \
  'Interval=0' 'PreStr=前缀：' 'AfterStr=——后缀' 'TimerStr=定时{ENTER}' 'EnableAfter=1' \
  '[BackGround]' 'Red=44' 'Green=234' 'Blue=220' '[Menu]' '程序文件夹=.'
check ok_writes_changes ini_is changed
empty_receiver
check new_prefix_applies e2e_expand A '前缀：您好，很高兴认识您！——后缀'

# Cancel after changes: neither the file nor the options change.
e2e_open_options
toggle_checkbox "$IDC_ENABLE_AFTER"
wh_driver set-text "$DLG" "$IDC_AFTER_STR" '不要这个'
wh_driver keys ESCAPE
check cancel_closes closed_options
check cancel_leaves_file ini_is changed
empty_receiver
check cancel_keeps_options e2e_expand A '前缀：您好，很高兴认识您！——后缀'

# Timed sending is off at start: a tick types nothing.
empty_receiver
wh_driver activate "$RCV" >/dev/null
tick
check tick_while_off_types_nothing only_then_mark ''

# On, every 1 minute. timerOn itself is not stored.
e2e_open_options
toggle_checkbox "$IDC_TIMER_ON"
wh_driver set-text "$DLG" "$IDC_INTERVAL" 1
wh_driver command "$DLG" 1
check timer_ok_closes closed_options
expected_ini timer '[sys]' 'connectionString=Provider=SQLite;Data Source=kwo.db' '[Options]' 'EnablePre=1' \
  'Interval=1' 'PreStr=前缀：' 'AfterStr=——后缀' 'TimerStr=定时{ENTER}' 'EnableAfter=1' \
  '[BackGround]' 'Red=44' 'Green=234' 'Blue=220' '[Menu]' '程序文件夹=.'
check timer_interval_written ini_is timer

# Hidden: a tick types TimerStr (no prefix, no suffix) into the active window.
empty_receiver
wh_driver activate "$RCV" >/dev/null
tick
check tick_while_hidden_types receiver_is '定时\r\n'
check tick_types_once only_then_mark '定时\r\n'

# Ctrl held when a tick falls: the tick waits for the release, then types the
# text itself (held, Ctrl would have turned it into shortcuts).
empty_receiver
wh_driver activate "$RCV" >/dev/null
wh_driver key-down CTRL
wh_driver message "$KWO" $WM_TIMER 2 0 >/dev/null  # posted: kwo waits while the driver goes on
sleep 0.5
check tick_waits_while_ctrl_held equals "$(wh_driver text "$RCV" 100)" ''
wh_driver key-up CTRL
check tick_types_after_release receiver_is '定时\r\n'
check tick_after_release_types_once only_then_mark '定时\r\n'

# Shown: the tick is skipped, and not made up for when the window hides again.
empty_receiver
e2e_call_up
tick
check tick_while_shown_keeps_box equals "$(wh_driver text "$KWO" "$IDC_SHORTKEY")" ''
check tick_while_shown_keeps_window equals "$(wh_driver state "$KWO")" foreground
wh_driver keys ESCAPE
wh_driver wait "$KWO" hidden 5000 >/dev/null
check tick_while_shown_types_nothing only_then_mark ''

# Hidden again: the next tick types again.
empty_receiver
tick
check next_tick_types receiver_is '定时\r\n'

# Off again: ticks type nothing.
e2e_open_options
toggle_checkbox "$IDC_TIMER_ON"
wh_driver command "$DLG" 1
check timer_off_closes closed_options
empty_receiver
wh_driver activate "$RCV" >/dev/null
tick
check tick_after_off_types_nothing only_then_mark ''

# The interval's Up key counts up, and stops at a day (1440 minutes).
interval_is() { wh_driver wait-text "$DLG" "$IDC_INTERVAL" "$(wh_file interval.txt "$1")" 5000; }
e2e_open_options
e2e_focus_control "$IDC_INTERVAL"
wh_driver set-text "$DLG" "$IDC_INTERVAL" 5
wh_driver keys UP
check interval_up_counts_up interval_is 6
wh_driver set-text "$DLG" "$IDC_INTERVAL" 1440
wh_driver keys UP
check interval_up_stops_at_a_day interval_is 1440
wh_driver keys ESCAPE
check interval_cancel_closes closed_options

# The activation hotkey, pressed into the dialog's box.
hotkey_calls_up() {  # hotkey_calls_up CHORD
  wh_driver activate "$RCV" >/dev/null
  wh_driver keys "$1"
  wh_driver wait "$KWO" foreground 5000 >/dev/null
}
hide_kwo() { wh_driver keys ESCAPE; wh_driver wait "$KWO" hidden 5000 >/dev/null; }
ini_hotkey_is() { iconv -f CP936 -t UTF-8 "$APP/kwo.ini" | grep -qx "HotKey=$1"$'\r'; }
other_box() {  # a top-level dialog titled $1 other than the main window
  wh_driver windows | awk -v t="\"$1\"" -v main="$KWO" '$3 == "v" && $4 == "#32770" && $5 == t && $1 != main { print $1; exit }'
}
box_appears() { BOX=$(other_box "$1"); [ -n "$BOX" ]; }
told() {  # told CASE TITLE TEXT: a box TITLE appears, saying TEXT; Enter closes it
  check "$1" wh_wait_until 10 box_appears "$2"
  check "$1_says_why" contains "$(wh_driver text "$BOX" 65535)" "$3"
  wh_driver activate "$BOX" >/dev/null
  wh_driver keys RETURN
  wh_driver wait "$BOX" gone 5000 >/dev/null
}
# The options dialog closed with kwo.ini holding the hotkey, which calls the window up.
closed_with_hotkey() {  # closed_with_hotkey CASE VALUE CHORD
  check "$1_closes" closed_options
  check "$1_in_file" ini_hotkey_is "$2"
  check "$1_calls_up" hotkey_calls_up "$3"
  hide_kwo
}
e2e_open_options
check dialog_shows_default_hotkey equals "$(wh_driver text "$DLG" "$IDC_HOTKEY")" 'Win+Space'
e2e_focus_control "$IDC_HOTKEY"
wh_driver keys CTRL+ALT+K
check box_records_combination equals "$(wh_driver text "$DLG" "$IDC_HOTKEY")" 'Ctrl+Alt+K'
wh_driver command "$DLG" 1
closed_with_hotkey hotkey_ok 'Ctrl+Alt+K' CTRL+ALT+K  # written normalised
# Win + Space is free again: another program takes it.
wh_start probe "$PROBE"
wh_driver wait "Hotkey Probe" exists 20000 >/dev/null || wh_fail "the probe did not start"
wh_driver activate "$RCV" >/dev/null
wh_driver hotkey
check old_hotkey_released wh_driver wait "Hotkey Probe" foreground 5000
# ... so choosing it now is refused, and the hotkey in force stays.
e2e_open_options
wh_driver set-text "$DLG" "$IDC_HOTKEY" 'win + space'
wh_driver command "$DLG" 1
check taken_hotkey_told wh_wait_until 10 box_appears "疾书精灵"
check taken_hotkey_named contains "$(wh_driver text "$BOX" 65535)" 'Win+Space 已被其他程序占用'
wh_driver activate "$BOX" >/dev/null
wh_driver keys RETURN
check taken_keeps_dialog equals "$(wh_driver state "$DLG")" foreground
check taken_box_shows_old equals "$(wh_driver text "$DLG" "$IDC_HOTKEY")" 'Ctrl+Alt+K'
wh_driver keys ESCAPE
closed_with_hotkey taken_cancel 'Ctrl+Alt+K' CTRL+ALT+K  # the file and the hotkey in force stay
wh_driver close "Hotkey Probe"
wh_driver wait "class:KwoTestProbe" gone 10000 >/dev/null || wh_fail "the probe did not close"
# A key that types is refused with the reason; Enter in the box records nothing and closes the
# dialog only with an acceptable combination in the box.
e2e_open_options
e2e_focus_control "$IDC_HOTKEY"
wh_driver keys SPACE
check box_shows_space equals "$(wh_driver text "$DLG" "$IDC_HOTKEY")" 'Space'
wh_driver keys RETURN
told space_refused "疾书精灵" 'Space 是打字时要用的键'
check space_keeps_dialog equals "$(wh_driver state "$DLG")" foreground
check space_box_shows_old equals "$(wh_driver text "$DLG" "$IDC_HOTKEY")" 'Ctrl+Alt+K'
e2e_focus_control "$IDC_HOTKEY"
wh_driver keys CTRL+RETURN
check enter_not_recorded equals "$(wh_driver text "$DLG" "$IDC_HOTKEY")" 'Ctrl+Alt+K'
check ctrl_enter_keeps_dialog equals "$(wh_driver state "$DLG")" foreground
wh_driver keys ALT+F4
wh_driver command "$DLG" 1
told alt_f4_refused "疾书精灵" 'Alt+F4 用来关闭前台的窗口'
wh_driver activate "$DLG" >/dev/null
e2e_focus_control "$IDC_HOTKEY"
wh_driver keys RETURN
closed_with_hotkey enter_closes_with_acceptable 'Ctrl+Alt+K' CTRL+ALT+K

# Read from kwo.ini at the next start.
e2e_exit_kwo
e2e_start_kwo
check ini_hotkey_calls_up hotkey_calls_up CTRL+ALT+K
hide_kwo
# A value that cannot be read: told once, naming it; Win + Space then.
e2e_exit_kwo
sed -i 's/^HotKey=.*\r$/HotKey=Ctrl+Alt+\r/' "$APP/kwo.ini"
e2e_start_kwo
check malformed_hotkey_told wh_wait_until 10 box_appears "温馨提示"
check malformed_hotkey_named contains "$(wh_driver text "$BOX" 65535)" '“Ctrl+Alt+”无法识别'
wh_driver activate "$BOX" >/dev/null
wh_driver keys RETURN
e2e_call_up
check malformed_falls_back_to_win_space equals "$(wh_driver state "$KWO")" foreground
hide_kwo
# A value that types is refused the same way: told once with the reason; Win + Space then, and
# typing a space elsewhere is not taken.
e2e_exit_kwo
sed -i 's/^HotKey=.*\r$/HotKey=Space\r/' "$APP/kwo.ini"
e2e_start_kwo
told refused_hotkey_told "温馨提示" '“Space”不能使用：Space 是打字时要用的键'
fails refused_hotkey_told_once wh_wait_until 3 box_appears "温馨提示"
wh_driver set-text "$RCV" 100 "" >/dev/null
wh_driver activate "$RCV" >/dev/null
wh_driver type 'x y z'
check refused_hotkey_takes_no_space wh_driver wait-text "$RCV" 100 "$(wh_file xyz.txt 'x y z')" 5000
e2e_call_up
check refused_falls_back_to_win_space equals "$(wh_driver state "$KWO")" foreground
hide_kwo

e2e_finish
