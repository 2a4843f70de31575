#!/usr/bin/env bash
# Checks the driver's commands against a hotkey popup (probe.exe) and an
# editor (receiver.exe), the way tests of the main window use them: hotkey,
# show and hide, re-activation of the previous window, list-view rows,
# commands, keys, and that failed waits really fail.
#   driver_test.sh DRIVER.exe RECEIVER.exe PROBE.exe
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/harness.sh"
WH_DRIVER=${1:?driver.exe} RECEIVER=${2:?receiver.exe} PROBE=${3:?probe.exe}

EDITOR="Probe Editor"
POPUP="Hotkey Probe"

wh_init driver 150
wh_start editor "$RECEIVER" "$EDITOR"
wh_start probe "$PROBE"
wh_driver wait "$EDITOR" visible >/dev/null || wh_fail "the editor did not appear"
wh_driver wait "class:KwoTestProbe|$POPUP" hidden >/dev/null || wh_fail "the probe did not start hidden"

source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"

# The hotkey reaches the popup only while a Wine window is active.
check activate_editor wh_driver activate "$EDITOR"
check editor_state equals "$(wh_driver state "$EDITOR")" foreground
wh_driver hotkey
check hotkey_shows_popup wh_driver wait "$POPUP" foreground 5000
check hotkey_counted equals "$(wh_driver text "$POPUP" 300)" "hotkeys: 1"
check editor_behind equals "$(wh_driver state "$EDITOR")" visible

# Typed text goes to the popup's focused edit.
wh_driver type "AB中"
check type_into_popup wh_driver wait-text "$POPUP" focus "$(wh_file ab.txt 'AB中')" 5000
check text_by_control_id equals "$(wh_driver text "$POPUP" 100)" "AB中"

# List-view rows of another process, columns separated by tabs.
check listview_rows equals "$(wh_driver listview "$POPUP" 200)" \
  "$(printf 'AB\t你好，世界\nABC\thello world\nZ9\temoji 😀 end')"
check listview_no_selection equals "$(wh_driver listview-selected "$POPUP" 200)" ""
wh_driver command "$POPUP" 3
selected_rows_are() { [ "$(wh_driver listview-selected "$POPUP" 200)" = "$1" ]; }
check listview_selection wh_wait_until 5 selected_rows_are 1

# Hiding the popup gives the foreground back to the editor, which then gets the keys.
wh_driver command "$POPUP" 2
check command_hides wh_driver wait "$POPUP" hidden 5000
check editor_reactivated wh_driver wait "$EDITOR" foreground 5000
wh_driver keys SHIFT+A RETURN TAB 0x42
check keys_into_editor wh_driver wait-text "$EDITOR" - "$(wh_file keys.txt 'A\r\n\tb')" 5000

# Buttons and their state.
check checkbox_state equals "$(wh_driver control-state "$POPUP" 401)" "hidden disabled checked"
check button_text equals "$(wh_driver text "$POPUP" 400)" "隐藏"
wh_driver hotkey
check third_popup wh_driver wait "$POPUP" foreground 5000
check checkbox_visible equals "$(wh_driver control-state "$POPUP" 401)" "visible disabled checked"
check click_hides wh_driver click "$POPUP" 400
check hidden_by_button wh_driver wait "$POPUP" hidden 5000
check editor_back wh_driver wait "$EDITOR" foreground 5000
check control_message equals "$(wh_driver control-message "$EDITOR" 100 0x000E 0 0 --send)" "$(wh_driver text "$EDITOR" | wc -m)"

# The hotkey works again.
wh_driver hotkey
check hotkey_again wh_driver wait "$POPUP" foreground 5000
check fourth_count equals "$(wh_driver text "$POPUP" 300)" "hotkeys: 3"
wh_driver command "$POPUP" 2 --send >/dev/null
check hidden_after_send equals "$(wh_driver state "$POPUP")" hidden

# Minimise and restore.
check minimize wh_driver minimize "$EDITOR"
check restore_by_activate wh_driver activate "$EDITOR"
check set_text wh_driver set-text "$EDITOR" - "新的 text"
check read_back equals "$(wh_driver text "$EDITOR")" "新的 text"

# Failures are reported as failures.
fails wait_times_out wh_driver wait "No Such Window" exists 200
check state_of_missing equals "$(wh_driver state "No Such Window")" none
fails wrong_text_fails wh_driver wait-text "$EDITOR" - "$(wh_file wrong.txt 'something else')" 200
fails unknown_command wh_driver no-such-command
fails unknown_key wh_driver keys CTRL+NOSUCHKEY

# Closing ends the popup.
wh_driver close "$POPUP"
check close_ends_window wh_driver wait "class:KwoTestProbe" gone 5000

# The desktop outlives its last program: Wine would close it a second later
# but for the harness's hold.
desktop_pid() {  # the Unix process of this test's desktop, told apart by its prefix
  local proc
  for proc in /proc/[0-9]*; do
    grep -qz '^C:\\windows\\system32\\explorer.exe$' "$proc/cmdline" 2>/dev/null &&
      grep -qzx "WINEPREFIX=$WH_PREFIX" "$proc/environ" 2>/dev/null && echo "${proc#/proc/}"
  done
}
desktop=$(desktop_pid)
check desktop_found test -n "$desktop"
wh_driver close "$EDITOR"
check editor_ends wh_driver wait "$EDITOR" gone 5000
sleep 3
check desktop_stays equals "$(desktop_pid)" "$desktop"

if [ $failures -gt 0 ]; then
  wh_fail "$failures driver check(s) failed"
fi
echo "all driver checks passed"
