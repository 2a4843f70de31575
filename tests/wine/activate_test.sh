#!/usr/bin/env bash
# {APPACTIVATE title} switches the typing to another top-level window: the text
# after it must land there, the text before it stays where it was typed.
#   activate_test.sh DRIVER.exe RECEIVER.exe TYPER.exe
#
# Under Wine the edit takes in about 220 characters a second, far slower than
# SendInput queues them, and keys still queued for the old window when the
# foreground changes are lost. So every switch starts a typer run of its own,
# once the text before it has arrived; the keys right after the switch are
# part of the check.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/harness.sh"
WH_DRIVER=${1:?driver.exe} RECEIVER=${2:?receiver.exe} TYPER=${3:?typer.exe}

EDIT=100
END_MARK='¶'
SOURCE="Typing Source"
CHINESE="月度报表 - 记事本"
UPPER="TARGET THREE"
MIXED="Mixed Case Notes"

wh_init activate 150
wh_start source "$RECEIVER" "$SOURCE" 0 0
wh_start chinese "$RECEIVER" "$CHINESE" 60 60
wh_start upper "$RECEIVER" "$UPPER" 120 120
wh_start mixed "$RECEIVER" "$MIXED" 180 180
for title in "$SOURCE" "$CHINESE" "$UPPER" "$MIXED"; do
  wh_driver wait "$title" visible >/dev/null || wh_fail "receiver '$title' did not appear"
done

failures=0

# expect NAME WINDOW TEXT: the receiver's edit holds exactly TEXT (wh_file notation).
expect() {
  local file
  file=$(wh_file "$1.expected" "$3")
  if wh_driver wait-text "$2" $EDIT "$file" 10000; then
    echo "ok   $1"
  else
    echo "FAIL $1"
    failures=$((failures + 1))
  fi
}

start_in_source() {
  for title in "$SOURCE" "$CHINESE" "$UPPER" "$MIXED"; do
    # Under load Wine may briefly count a receiver still taking typed keys as
    # hung, and the message is refused at once: try again for a while.
    wh_wait_until 10 wh_driver set-text "$title" $EDIT "" || wh_fail "cannot empty '$title'"
  done
  wh_driver activate "$SOURCE" >/dev/null || wh_fail "cannot activate the source window"
}

# type_then NAME SEQUENCE WINDOW TEXT: types SEQUENCE, then waits until WINDOW
# holds TEXT, so that nothing is in flight when the next run switches.
type_then() {
  local rc=0
  wh_run "$TYPER" "$(wh_file "$1.keys" "$2")" || rc=$?
  [ $rc -eq 0 ] || { echo "FAIL $1: typer exit code $rc"; failures=$((failures + 1)); }
  expect "$1" "$3" "$4"
}

# Ends a case: once the mark has arrived at the focus, all typing before it has.
end_mark() { wh_driver type "$END_MARK"; }

# The interpreter upper-cases the title. A Chinese title has no case: found as
# a substring. "THREE" is found in an upper-case title as a substring.
# "mixed case notes" becomes "MIXED CASE NOTES", which only the exact,
# case-blind search finds. "Source" becomes "SOURCE", in no title as written
# and no whole title: no window is activated and the typing goes on where it was.
start_in_source
type_then chain_source 'one' "$SOURCE" 'one'
type_then chain_chinese_substring '{APPACTIVATE 报表}two' "$CHINESE" 'two'
type_then chain_upper_substring '{APPACTIVATE three}three' "$UPPER" 'three'
type_then chain_exact_any_case '{APPACTIVATE mixed case notes}four{APPACTIVATE Source}five' "$MIXED" 'fourfive'
end_mark
expect chain_nothing_else_in_source "$SOURCE" 'one'
expect chain_nothing_else_in_chinese "$CHINESE" 'two'
expect chain_nothing_else_in_upper "$UPPER" 'three'
expect chain_end "$MIXED" "fourfive$END_MARK"

# Back and forth, with special keys and chords right after the switch.
start_in_source
type_then back_source 'a' "$SOURCE" 'a'
type_then forth_upper '{APPACTIVATE TARGET THREE}x{ENTER}{SHIFT+}{y}{SHIFT-}' "$UPPER" 'x\r\nY'
type_then back_source_again '{APPACTIVATE typing source}b{TAB}c' "$SOURCE" 'ab\tc'
end_mark
expect back_and_forth_end "$SOURCE" "ab\tc$END_MARK"
expect back_and_forth_upper_unchanged "$UPPER" 'x\r\nY'

if [ $failures -gt 0 ]; then
  wh_fail "$failures activation check(s) failed"
fi
echo "all activation cases passed"
