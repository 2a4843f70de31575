#!/usr/bin/env bash
# Types key sequences with the real interpreter and SendInput into a real edit
# control and compares the edit's text exactly.
#   typing_test.sh DRIVER.exe RECEIVER.exe TYPER.exe
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/harness.sh"
WH_DRIVER=${1:?driver.exe} RECEIVER=${2:?receiver.exe} TYPER=${3:?typer.exe}

TARGET="Typing Target"
EDIT=100
# Typed after each sequence; once it has arrived, everything typed before it has.
END_MARK='¶'

wh_init typing 150
wh_start receiver "$RECEIVER" "$TARGET"
wh_driver wait "$TARGET" visible >/dev/null || wh_fail "the receiver did not appear"

failures=0

# type_case NAME SEQUENCE EXPECTED [EXIT_CODE [TYPER-OPTION...]]: SEQUENCE and
# EXPECTED in wh_file notation (\r \n \t \\ expanded); the typer must end with
# EXIT_CODE (default 0: SendKeySequence returned true). The end mark typed
# after the sequence is expected at the end unless EXPECTED places it.
type_case() {
  local name=$1 sequence expected want=${4:-0}
  local options=("${@:5}")
  sequence=$(wh_file "$name.keys" "$2")
  # The end mark lands at the caret: an EXPECTED that holds it says where.
  case "$3" in
    *"$END_MARK"*) expected=$(wh_file "$name.expected" "$3") ;;
    *) expected=$(wh_file "$name.expected" "$3$END_MARK") ;;
  esac
  wh_driver set-text "$TARGET" $EDIT "" || wh_fail "$name: cannot empty the receiver"
  wh_driver activate "$TARGET" >/dev/null || wh_fail "$name: cannot activate the receiver"
  local rc=0
  wh_run "$TYPER" "$sequence" "${options[@]}" || rc=$?
  wh_driver type "$END_MARK"
  if [ $rc -eq "$want" ] && wh_driver wait-text "$TARGET" $EDIT "$expected" 10000; then
    echo "ok   $name"
  else
    echo "FAIL $name (typer exit code $rc)"
    failures=$((failures + 1))
  fi
}

# Plain text goes out as Unicode characters.
type_case latin 'Hello, World! 0123 ~`@#$%^&*()_+-=[]|;:",.<>/?'"'" 'Hello, World! 0123 ~`@#$%^&*()_+-=[]|;:",.<>/?'"'"
type_case chinese '疾书精灵：你好，世界！（全角）' '疾书精灵：你好，世界！（全角）'
type_case emoji 'a😀b𠀀c' 'a😀b𠀀c'
type_case escapes 'a\\{b}c\\\\d\\' 'a{b}c\\d\\'
# Line ends: CR LF and a lone LF are each one Enter; the edit stores CR LF.
type_case crlf 'one\r\ntwo\r\n' 'one\r\ntwo\r\n'
type_case lf 'one\ntwo\n\nthree' 'one\r\ntwo\r\n\r\nthree'
# A tab is the Tab key, which a multi-line edit outside a dialog inserts.
type_case tab 'a\tb\t\tc' 'a\tb\t\tc'
# Brace groups: named keys, repeat counts, extended keys.
type_case enter_repeat 'x{ENTER 2}y{enter}z' 'x\r\n\r\ny\r\nz'
type_case backspace 'abcdef{BACKSPACE 3}gh{BS}{BKSP 0}' 'abcg'
type_case arrows_delete 'abcd{LEFT 3}{DEL}{END}e{HOME}{DELETE 2}{END}' 'de'
# Chords: Shift held around a letter key gives the capital; the key alone does
# not. Held modifiers also combine with extended keys.
type_case shift_chord '{SHIFT+}{A}{SHIFT-}{a}{SHIFT+}{b}{SHIFT-}c' 'AaBc'
type_case shift_home 'old text{SHIFT+}{HOME}{SHIFT-}new' 'new'
type_case ctrl_left 'one two{CTRL+}{LEFT}{CTRL-}X{END}' 'one Xtwo'
# Letter keys named by their virtual-key code, and a group that names no key.
type_case vkey '{VKEY 72}{vkey 73}{ab}' 'hiab'
# An empty group does nothing; {+} and {-} press keys 0x2B and 0x2D, which type
# nothing; plain + - } are text; an unclosed group runs to the end.
type_case odd_groups 'a{}}b{+}{-}+-c{TAB' 'a}b+-c\t'
# A group of 299 code units is examined (no key name: its letters are pressed
# as keys); one of 300 stops the call with false after what came before.
x299=$(printf 'x%.0s' $(seq 299))
type_case group_299 "a{$x299}b" "a${x299}b"
type_case group_300 "a{x$x299}b" 'a' 3

# Fields at a moment given to the sending (not the machine's clock): date,
# time, lunar date, a month on (the month's last day), the clipboard's text
# (typed, and pasted when longer than the paste rule; the user's clipboard
# stays), and the caret back at the mark, where the end mark then lands.
at=(--at 2026-01-31T09:30)
type_case fields_date '{日期 yyyy年M月d日 dddd} {时间} {农历} {农历 年}{农历 生肖} {DATE +1月}' \
  '2026年1月31日 星期六 09:30 腊月十三 乙巳年蛇 2026-02-28' 0 "${at[@]}"
type_case fields_caret '<b>{光标}</b>{日期 中文}\n' '<b>¶</b>二〇二六年一月三十一日\r\n' 0 "${at[@]}"
clip=$(wh_file clip.txt '剪贴板 {文字}\\')
type_case fields_clipboard_typed '[{剪贴板}]' '[剪贴板 {文字}\\]' 0 --clipboard "$clip"
type_case fields_clipboard_pasted '[{剪贴板}]' '[剪贴板 {文字}\\]' 0 --clipboard "$clip" --paste-above 3

if [ $failures -gt 0 ]; then
  wh_fail "$failures typing case(s) failed"
fi
echo "all typing cases passed"
