#!/usr/bin/env bash
# Enter types the content into the window that was active before the call-up,
# with the prefix and suffix sequences only when EnablePre / EnableAfter are
# exactly 1; the short-key box is empty afterwards; Esc types nothing. The
# main window comes up below the caret, or above it at the bottom edge. A
# window closed before Enter gets nothing, and the key stays, selected at the
# next call-up so that the next key typed replaces it. With PasteAbove,
# a long plain run of a content is pasted and the user's clipboard is back
# afterwards; with the clipboard held by another program the run is typed.
# Fields: the caret goes back to {光标}, {剪贴板} types the user's text.
# Under load (two processes spinning on both cores) no expansion is lost or
# misdirected.
#   send_test.sh KWO.exe DRIVER.exe RECEIVER.exe KWO_TOOL.exe
# KWO_LOADED_EXPANSIONS sets the number of expansions under load (40).
set -uo pipefail
KWO_EXE=${1:?kwo.exe} WH_DRIVER=${2:?driver.exe} RECEIVER=${3:?receiver.exe} TOOL=${4:?kwo_tool.exe}
LOADED=${KWO_LOADED_EXPANSIONS:-40}
source "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.sh"

wh_init e2e-send $(( 330 + LOADED * 4 ))
e2e_stage
e2e_start_receiver "Send Editor"

# Typed by the driver after a case; once it has arrived, whatever kwo typed before it has too.
MARK='¶'

empty_receiver() { wh_driver set-text "$RCV" 100 "" >/dev/null || wh_fail "cannot empty the receiver"; }
boxes_empty() {
  wh_driver wait-text "$KWO" "$IDC_SHORTKEY" "$(wh_file empty.txt '')" 5000 >/dev/null &&
    wh_driver wait-text "$KWO" "$IDC_CONTENT" "$(wh_file empty.txt '')" 5000 >/dev/null
}
# expand_case NAME KEY EXPECTED: the receiver holds exactly EXPECTED, then the mark.
expand_case() {
  empty_receiver
  check "$1" e2e_expand "$2" "$3"
  check "$1_boxes_emptied" boxes_empty
  wh_driver type "$MARK"
  check "$1_nothing_more" wh_driver wait-text "$RCV" 100 "$(wh_file expected.txt "$3$MARK")" 5000
}

# Prefix and suffix on: both around every non-empty content.
e2e_ini 1 1 '【前】' '{ENTER}——后缀'
e2e_start_kwo
expand_case pre_after_chinese A '【前】您好，很高兴认识您！\r\n——后缀'
expand_case pre_after_crlf CRLF '【前】第一行\r\n第二行，最后一行\r\nend\r\n——后缀'
expand_case pre_after_braces AB '【前】此致\r\n敬礼！\r\n——后缀'
expand_case pre_after_six_chars ZZZZZZ '【前】最后一条 ZZZZZZ\r\n——后缀'
# A key without content: nothing at all is typed, neither prefix nor suffix.
expand_case empty_content_types_nothing ZZZ ''

# The content goes to whichever window was active before the call-up, not to another one.
RCV_ONE=$RCV
e2e_start_receiver "Other Editor" 480 320
RCV_TWO=$RCV
wh_driver set-text "$RCV_ONE" 100 "" >/dev/null
wh_driver set-text "$RCV_TWO" 100 "" >/dev/null
check second_receiver_gets_it e2e_expand K '【前】内容K\r\n——后缀'
check first_receiver_untouched equals "$(wh_driver text "$RCV_ONE" 100)" ''
RCV=$RCV_ONE
check first_receiver_gets_it e2e_expand K0 '【前】内容K0\r\n——后缀'
check second_receiver_keeps_its_text equals "$(wh_driver text "$RCV_TWO" 100)" "$(printf '【前】内容K\r\n——后缀')"
wh_driver minimize "$RCV_TWO" >/dev/null

# The window closes between the call-up and Enter: nothing is typed anywhere
# (the system would activate another window), a notice says why, and the main
# window comes back with the key, so that Enter can try again.
wh_driver set-text "$RCV_ONE" 100 "" >/dev/null
e2e_start_receiver "Closing Editor" 300 200
e2e_call_up
wh_driver type A
wh_driver wait-text "$KWO" "$IDC_CONTENT" "$(wh_file content.txt '您好，很高兴认识您！')" 5000 >/dev/null
wh_driver close "$RCV"
wh_driver wait "$RCV" gone 10000 >/dev/null || wh_fail "the closing receiver did not close"
wh_driver keys RETURN
notice_says_closed() {
  local box
  box=$(wh_driver wait "温馨提示" visible 10000) || return 1
  wh_driver text "$box" 65535 | grep -q '内容没有发送：原来的窗口已经关闭'
}
check closed_target_notice notice_says_closed
wh_driver wait "温馨提示" gone 10000 >/dev/null
check closed_target_window_back wh_driver wait "$KWO" foreground 5000
check closed_target_keeps_key equals "$(wh_driver text "$KWO" "$IDC_SHORTKEY")" A
check closed_target_types_nowhere equals "$(wh_driver text "$RCV_ONE" 100)" ''
wh_driver activate "$KWO" >/dev/null
wh_driver keys ESCAPE
wh_driver wait "$KWO" hidden 5000 >/dev/null
# The next call-up shows the kept key selected: the key typed then replaces it.
RCV=$RCV_ONE
check expands_after_not_sent_notice e2e_expand AB '【前】此致\r\n敬礼！\r\n——后缀'

# Esc hides the window without typing; the key stays for the next call-up.
empty_receiver
e2e_call_up
wh_driver type A
check esc_key_typed wh_driver wait-text "$KWO" "$IDC_CONTENT" "$(wh_file content.txt '您好，很高兴认识您！')" 5000
wh_driver keys ESCAPE
check esc_hides wh_driver wait "$KWO" hidden 5000
check esc_receiver_active wh_driver wait "$RCV" foreground 5000
wh_driver type "$MARK"
check esc_types_nothing wh_driver wait-text "$RCV" 100 "$(wh_file mark.txt "$MARK")" 5000
e2e_call_up
check esc_keeps_key equals "$(wh_driver text "$KWO" "$IDC_SHORTKEY")" A
wh_driver keys ESCAPE
wh_driver wait "$KWO" hidden 5000 >/dev/null

# The main window comes up where the user looks: its top left corner at the
# bottom of the receiver's caret, or, with the caret at the bottom edge of the
# screen, its bottom on the caret's top; always inside the work area.
CARET=
read_caret() { CARET=$(wh_driver caret "$RCV"); }
popup_at_caret() {  # popup_at_caret below|above
  local cx cy cw ch px py pw ph wx wy ww wt
  read -r cx cy cw ch <<<"$CARET"
  read -r px py pw ph <<<"$(wh_driver rect "$KWO")"
  read -r wx wy ww wt <<<"$(wh_driver workarea "$KWO")"
  echo "caret $CARET; window $px $py $pw $ph; work area $wx $wy $ww $wt" >&2
  (( px >= wx && py >= wy && px + pw <= wx + ww && py + ph <= wy + wt )) || return 1
  if [ "$1" = below ]; then (( py == cy + ch )) || return 1; else (( py + ph == cy )) || return 1; fi
  # The left edge is the caret's unless the window would then reach past the work area.
  (( px == cx || (cx + pw > wx + ww && px + pw == wx + ww) ))
}
popup_case() {  # popup_case NAME TITLE X Y below|above
  e2e_start_receiver "$2" "$3" "$4"
  wh_driver activate "$RCV" >/dev/null
  wh_driver type "第一行"
  wh_wait_until 5 read_caret || wh_fail "the receiver '$2' shows no caret"
  e2e_call_up
  check "$1" popup_at_caret "$5"
  wh_driver keys ESCAPE
  wh_driver wait "$KWO" hidden 5000 >/dev/null
  wh_driver close "$RCV"
  wh_driver wait "$RCV" gone 10000 >/dev/null
}
popup_case popup_below_caret "Caret Editor" 200 150 below
# At the bottom right corner: above the caret, moved left into the work area.
popup_case popup_above_caret_at_bottom_edge "Bottom Editor" 820 720 above
RCV=$RCV_ONE
e2e_exit_kwo

# EnablePre 2 and EnableAfter 0: neither is typed (only exactly 1 turns them on).
e2e_ini 2 0 '【前】' '——后缀'
e2e_start_kwo
expand_case pre2_after0 A '您好，很高兴认识您！'
expand_case pre2_after0_crlf CRLF '第一行\r\n第二行，最后一行\r\nend'
e2e_exit_kwo

# EnablePre 0 and EnableAfter 2.
e2e_ini 0 2 '【前】' '——后缀'
e2e_start_kwo
expand_case pre0_after2 UZZZZZ '六位键 UZZZZZ 超过 2147483647'
e2e_exit_kwo

# Only the suffix.
e2e_ini 0 1 '【前】' '——后缀'
e2e_start_kwo
expand_case after_only K '内容K——后缀'
e2e_exit_kwo

# PasteAbove=20: the long run between the groups is pasted (the receiver counts
# its pastes), the groups, prefix and suffix are pressed as before.
printf "insert into kwo(id, shortkey, content) values(%s, 'PASTE', '%s' || char(13, 10) || '%s');\n" \
  "$(e2e_short_key_id PASTE)" '开头{ENTER}第一段：一段很长的文字 \{括号} and \\ 反斜杠。' 'Second line 第二行 😀 与更多文字。{TAB}结尾' |
  sqlite3 "$APP/kwo.db" || wh_fail "cannot add the entry PASTE"
PASTED='【前】开头\r\n第一段：一段很长的文字 {括号} and \\ 反斜杠。\r\nSecond line 第二行 😀 与更多文字。\t结尾——后缀'
USER_CLIP='用户原来的剪贴板 clipboard'
{
  e2e_row SLOWA "'X{ENTER}abcdefghijklmnopqrstuvwxyz0123{ENTER}end'"
  e2e_row SLOWB "'X{ENTER}abcdefghijklmnopqrstuvwxyz0123{TAB}ABCDEFGHIJKLMNOPQRSTUVWXYZ{ENTER}end'"
  e2e_row LINES "'first line of the long text' || char(13, 10) || 'second line of the long text'"
  e2e_row PAUSEA "'ab{SHIFT+}{DELAY 99999999}cd{SHIFT-}'"
  e2e_row PAUSEB "'甲{DELAY 99999999}乙'"
  e2e_row CARET "'<b>{光标}</b>'"
  e2e_row CLIP "'[{剪贴板}]'"
  e2e_row PCLIP "'a plain run longer than twenty characters{CLIPBOARD}'"
} | sqlite3 "$APP/kwo.db" || wh_fail "cannot add the slow paste entries"
e2e_write_ini '[sys]' 'connectionString=Provider=SQLite;Data Source=kwo.db' '[Options]' 'EnablePre=1' \
  'EnableAfter=1' 'PreStr=【前】' 'AfterStr=——后缀' 'PasteAbove=20'
e2e_start_kwo
paste_count() { wh_driver message "$RCV" 32769 0 0 --send; }
clipboard_text() { wh_run "$TOOL" clipboard-text; }
wh_run "$TOOL" clipboard-set "$(wh_file clip.txt "$USER_CLIP")" || wh_fail "cannot set the clipboard"
pastes=$(paste_count)
# Two lines, each pasted; the line end between them is pressed as Enter.
expand_case paste_long_run PASTE "$PASTED"
check paste_long_run_pasted_once_a_line equals "$(paste_count)" "$(( pastes + 2 ))"
check paste_clipboard_restored equals "$(clipboard_text)" "$USER_CLIP"
# Another program holds the clipboard open: the same text is typed, the clipboard untouched.
wh_start clipboard-holder "$TOOL" hold-clipboard
wh_driver wait "E2E Clipboard Holder" exists 20000 >/dev/null || wh_fail "the clipboard holder did not start"
expand_case held_clipboard_typed PASTE "$PASTED"
check held_clipboard_no_paste equals "$(paste_count)" "$(( pastes + 2 ))"
wh_driver close "E2E Clipboard Holder" >/dev/null
wh_driver wait "E2E Clipboard Holder" gone 10000 >/dev/null
check held_clipboard_untouched equals "$(clipboard_text)" "$USER_CLIP"
# Fields: {光标} puts the caret back after the suffix, where the next key
# lands; {剪贴板} types the user's text (theirs too right after a pasted run,
# while the run's text is still on the clipboard), which stays theirs.
empty_receiver
check caret_mark e2e_expand CARET '【前】<b></b>——后缀'
wh_driver type "X$MARK"
check caret_mark_next_key_there wh_driver wait-text "$RCV" 100 "$(wh_file expected.txt '【前】<b>X¶</b>——后缀')" 5000
expand_case clipboard_field CLIP "【前】[$USER_CLIP]——后缀"
expand_case clipboard_field_after_paste PCLIP "【前】a plain run longer than twenty characters$USER_CLIP——后缀"
check clipboard_field_clipboard_kept equals "$(clipboard_text)" "$USER_CLIP"
# A window that handles its paste late (5 s, longer than kwo waits for it to
# take the text), with a secret on the clipboard: each run arrives once and in
# order, a run after one not yet taken is typed, the secret never arrives, and
# the clipboard holds it again once the paste is done.
SECRET='SECRET-密码123'
secret_back() { [ "$(clipboard_text)" = "$SECRET" ]; }
RCV_FAST=$RCV
e2e_start_receiver "Slow Editor" 200 100 --slow-paste=5000
wh_run "$TOOL" clipboard-set "$(wh_file clip.txt "$SECRET")" || wh_fail "cannot set the clipboard"
pastes=$(paste_count)
expand_case slow_paste_one_run SLOWA '【前】X\r\nabcdefghijklmnopqrstuvwxyz0123\r\nend——后缀'
check slow_paste_one_run_pasted equals "$(paste_count)" "$(( pastes + 1 ))"
check slow_paste_one_run_clipboard_back wh_wait_until 10 secret_back
expand_case slow_paste_two_runs SLOWB \
  '【前】X\r\nabcdefghijklmnopqrstuvwxyz0123\tABCDEFGHIJKLMNOPQRSTUVWXYZ\r\nend——后缀'
check slow_paste_two_runs_second_typed equals "$(paste_count)" "$(( pastes + 2 ))"
check slow_paste_two_runs_clipboard_back wh_wait_until 10 secret_back
wh_driver close "$RCV" >/dev/null
wh_driver wait "$RCV" gone 10000 >/dev/null
# In a one-line box (a chat box) a pasted text keeps only its first line:
# line ends are pressed as Enter between the pasted lines, as when typed.
e2e_start_receiver "One-line Editor" 200 100 --one-line
expand_case one_line_box_gets_every_line LINES '【前】first line of the long textsecond line of the long text——后缀'
check one_line_box_clipboard_back wh_wait_until 10 secret_back
wh_driver close "$RCV" >/dev/null
wh_driver wait "$RCV" gone 10000 >/dev/null
RCV=$RCV_FAST

# A pause of 28 hours: kwo keeps answering its window meanwhile; Esc (even
# with the Shift the entry holds) or the hotkey cancels the rest, the held
# key is released, and a notice names what was not sent.
cancel_notice() {  # cancel_notice NOT-SENT-TEXT
  local box text
  box=$(wh_driver wait "温馨提示" visible 10000) || return 1
  text=$(wh_driver text "$box" 65535)
  echo "$text" >&2
  grep -q "发送已按 Esc 或热键取消" <<<"$text" && grep -qF "没有发送的部分：$1" <<<"$text"
}
# Stopped part-way, the key stays in the box (as after any stop): emptied for the next case.
close_notice() {
  wh_driver close "温馨提示" >/dev/null
  wh_driver wait "温馨提示" gone 10000 >/dev/null
  wh_driver set-text "$KWO" "$IDC_SHORTKEY" "" >/dev/null
}
empty_receiver
check long_pause_types_first_part e2e_expand PAUSEA '【前】ab'
answers() { wh_driver message "$KWO" 0 0 0 --send >/dev/null; }
check long_pause_window_answers answers
check long_pause_tray_answers wh_driver message "$KWO" 1024 0 512 --send
wh_driver keys ESCAPE
check long_pause_esc_cancels cancel_notice 'cd{SHIFT-}——后缀'
close_notice
# The key X, not a character: with Shift still down it would give X.
wh_driver activate "$RCV" >/dev/null
wh_driver keys 0x58
check long_pause_shift_released wh_driver wait-text "$RCV" 100 "$(wh_file expected.txt '【前】abx')" 5000
empty_receiver
check long_pause_b_types_first_part e2e_expand PAUSEB '【前】甲'
check long_pause_b_window_answers answers
wh_driver hotkey
check long_pause_hotkey_cancels cancel_notice '乙——后缀'
check long_pause_hotkey_shows_no_window equals "$(wh_driver state "$KWO")" hidden
close_notice
expand_case after_cancel_expansion_arrives A '【前】您好，很高兴认识您！——后缀'
e2e_exit_kwo

# Under load: two processes spin on both cores (each ends by itself at the
# latest when the script would) while expansions of every kind go in one
# after the other.
e2e_ini 1 1 '【前】' '{ENTER}——后缀'
e2e_start_kwo
load=()
for _ in 1 2; do
  timeout $(( 330 + LOADED * 4 )) sh -c 'while :; do :; done' &
  load+=($!)
done
mixed=$(WH_RUN_TIMEOUT=$(( 60 + LOADED * 4 )) wh_run "$TOOL" expand-mix "$KWO" "$RCV" "$LOADED" \
  A "$(wh_file l1.txt '【前】您好，很高兴认识您！\r\n——后缀')" \
  AB "$(wh_file l2.txt '【前】此致\r\n敬礼！\r\n——后缀')" \
  CRLF "$(wh_file l3.txt '【前】第一行\r\n第二行，最后一行\r\nend\r\n——后缀')")
kill "${load[@]}" 2>/dev/null
wait "${load[@]}" 2>/dev/null
echo "$mixed" | tail -n 8
check loaded_none_lost_or_misdirected grep -q "^expand-mix $LOADED lost 0 misdirected 0 " <<<"$mixed"
e2e_exit_kwo

e2e_finish
