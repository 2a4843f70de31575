#!/usr/bin/env bash
# {APPACTIVATE title} switches the typing to another top-level window: the text
# after it must land there, the text before it stays where it was typed.
#   activate_test.sh DRIVER.exe RECEIVER.exe TYPER.exe
#
# Under Wine, keys still queued for the old window when the foreground changes
# are lost (and can take the first keys after the switch with them): the edit
# consumes about 220 characters a second, far slower than SendInput queues
# them. The sequences therefore let the old window drain before each switch,
# as a user would write it: a pause, then a harmless key press that takes it.
# KWO_WINE_ACTIVATE_UNPACED=1 runs them without the pause, to show the loss.
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
if [ "${KWO_WINE_ACTIVATE_UNPACED:-0}" = 1 ]; then DRAIN=''; else DRAIN='{DELAY 300}{SHIFT}'; fi

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

# run_sequence NAME SEQUENCE: types SEQUENCE starting in the source window,
# then the end mark into whatever has the focus at the end.
run_sequence() {
  local sequence rc=0
  for title in "$SOURCE" "$CHINESE" "$UPPER" "$MIXED"; do
    wh_driver set-text "$title" $EDIT "" || wh_fail "cannot empty '$title'"
  done
  wh_driver activate "$SOURCE" >/dev/null || wh_fail "cannot activate the source window"
  sequence=$(wh_file "$1.keys" "$2")
  wh_run "$TYPER" "$sequence" || rc=$?
  [ $rc -eq 0 ] || { echo "FAIL $1: typer exit code $rc"; failures=$((failures + 1)); }
  wh_driver type "$END_MARK"
}

# The interpreter upper-cases the title. A Chinese title has no case: found as
# a substring. "THREE" is found in an upper-case title as a substring.
# "mixed case notes" becomes "MIXED CASE NOTES", which only the exact,
# case-blind search finds. "Source" becomes "SOURCE", in no title as written
# and no whole title: no window is activated and the typing goes on where it was.
run_sequence chain "one$DRAIN{APPACTIVATE 报表}two$DRAIN{APPACTIVATE three}three$DRAIN{APPACTIVATE mixed case notes}four$DRAIN{APPACTIVATE Source}five"
expect chain_source "$SOURCE" 'one'
expect chain_chinese_substring "$CHINESE" 'two'
expect chain_upper_substring "$UPPER" 'three'
expect chain_exact_any_case "$MIXED" "fourfive$END_MARK"

# Back and forth, with the keys after the switch being special keys and chords.
run_sequence back_and_forth "a$DRAIN{APPACTIVATE TARGET THREE}x{ENTER}{SHIFT+}{y}{SHIFT-}$DRAIN{APPACTIVATE typing source}b{TAB}c"
expect back_and_forth_upper "$UPPER" 'x\r\nY'
expect back_and_forth_source "$SOURCE" "ab\tc$END_MARK"

if [ $failures -gt 0 ]; then
  wh_fail "$failures activation check(s) failed"
fi
echo "all activation cases passed"
