#!/usr/bin/env bash
# Win + Space calls up the main window with the focus in the short-key box;
# typing a key fills the content box by the exact lookup and the list with at
# most 37 keys that begin with it, exact match first. Ctrl+F and F3 switch the
# box to finding entries by content; Enter sends the chosen one with prefix
# and suffix, Esc returns to short keys.
#   search_test.sh KWO.exe DRIVER.exe RECEIVER.exe
set -uo pipefail
KWO_EXE=${1:?kwo.exe} WH_DRIVER=${2:?driver.exe} RECEIVER=${3:?receiver.exe}
source "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.sh"

wh_init e2e-search 200
e2e_stage
e2e_ini 1 1 '[' ']'
e2e_start_receiver "Search Editor"
e2e_start_kwo

list_rows() { wh_driver listview "$KWO" "$IDC_LIST"; }
content_is() { wh_driver wait-text "$KWO" "$IDC_CONTENT" "$(wh_file content.txt "$1")" 5000 >/dev/null; }
# Sets the short key as typing would and waits for the search that follows.
key_typed() {  # key_typed TYPED SHOWN
  wh_driver type "$1"
  wh_driver wait-text "$KWO" "$IDC_SHORTKEY" "$(wh_file key.txt "$2")" 5000 >/dev/null
}
clear_key() {
  wh_driver set-text "$KWO" "$IDC_SHORTKEY" "" && wh_driver wait-text "$KWO" "$IDC_SHORTKEY" "$(wh_file empty.txt '')" 5000 >/dev/null
}

# Before any search: the first 37 entries by id, the content box empty.
check start_lists_37 equals "$(list_rows | wc -l)" 37
check start_first_rows equals "$(list_rows | head -n2)" "$(printf 'A\t您好，很高兴认识您！\nK\t内容K')"

e2e_call_up
check window_title equals "$(wh_driver text "$KWO" self)" "疾书精灵"
check focus_in_short_key_box equals "$(wh_driver focus | sed -n 's/^focus hwnd:0x[0-9a-fA-F]* \([^ ]*\) \([0-9]*\)$/\1 \2/p')" "Edit $IDC_SHORTKEY"

# Exact match first, then the longer keys in id order, at most 37 of the 45.
check type_k key_typed k K
check k_content content_is '内容K'
rows=$(list_rows)
check k_lists_37 equals "$(wc -l <<<"$rows")" 37
check k_exact_first equals "$(head -n1 <<<"$rows")" "$(printf 'K\t内容K')"
check k_id_order equals "$(cut -f1 <<<"$rows" | head -n12 | tr '\n' ' ')" "K K0 K1 K2 K3 K4 K5 K6 K7 K8 K9 KA "
check k_last_listed equals "$(tail -n1 <<<"$rows")" "$(printf 'KZ\t内容KZ')"

# Another letter narrows the list; Backspace widens it again.
check type_k5 key_typed 5 K5
check k5_content content_is '内容K5'
check k5_one_row equals "$(list_rows)" "$(printf 'K5\t内容K5')"
wh_driver keys BACK
check backspace_back_to_k wh_driver wait-text "$KWO" "$IDC_SHORTKEY" "$(wh_file k.txt K)" 5000
check backspace_content content_is '内容K'
check backspace_lists_37 equals "$(list_rows | wc -l)" 37

# K0 is a key and the prefix of eight more.
clear_key
check type_k0 key_typed K0 K0
check k0_content content_is '内容K0'
check k0_lists_longer equals "$(list_rows | cut -f1 | tr '\n' ' ')" "K0 K00 K01 K02 K03 K04 K05 K06 K07 "
# A prefix that is no complete key: the list has the longer keys, the content box stays empty.
clear_key
check type_zzz key_typed zzz ZZZ
check zzz_content_empty content_is ''
check zzz_lists_zzzzzz equals "$(list_rows)" "$(printf 'ZZZZZZ\t最后一条 ZZZZZZ')"

# Six-character keys whose ids lie beyond 2,147,483,647 are found by the exact lookup.
check type_zzzzzz key_typed zzz ZZZZZZ
check zzzzzz_content content_is '最后一条 ZZZZZZ'
clear_key
check type_uzzzzz key_typed UZZZZZ UZZZZZ
check uzzzzz_content content_is '六位键 UZZZZZ 超过 2147483647'
# At most six characters; a seventh is not taken.
wh_driver type 9
check seventh_refused equals "$(wh_driver text "$KWO" "$IDC_SHORTKEY")" UZZZZZ
check still_uzzzzz content_is '六位键 UZZZZZ 超过 2147483647'

# A character other than a digit or a letter is refused by the box.
clear_key
wh_driver type 'A-B'
check refuses_non_key_chars wh_driver wait-text "$KWO" "$IDC_SHORTKEY" "$(wh_file ab.txt AB)" 5000
check ab_content content_is '此致{ENTER}敬礼！'

# A content with line ends is shown with them.
clear_key
check type_crlf key_typed crlf CRLF
check crlf_content content_is '第一行\r\n第二行，最后一行\r\nend'

# The empty key: the first 37 entries, nothing in the content box.
clear_key
check cleared_content content_is ''
check cleared_lists_37 equals "$(list_rows | wc -l)" 37

# Search mode: a Chinese word of two characters finds the contents that hold
# it, in id order; Down chooses the second, Enter sends it with prefix and suffix.
listed_keys() { list_rows | awk -F'\t' 'NF > 1 { printf "%s ", $1 }'; }  # contents may hold line ends
label_is() { wh_driver wait-text "$KWO" "$IDC_SHORTKEY_LABEL" "$(wh_file label.txt "$1")" 5000 >/dev/null; }
wh_driver keys CTRL+F
check ctrl_f_search_mode label_is '查找'
check finds_chinese_word key_typed '最后' '最后'
check finds_in_id_order equals "$(listed_keys)" "CRLF ZZZZZZ "
check best_chosen content_is '第一行\r\n第二行，最后一行\r\nend'
wh_driver keys DOWN
check down_chooses_second content_is '最后一条 ZZZZZZ'
check second_selected equals "$(wh_driver listview-selected "$KWO" "$IDC_LIST")" 1
wh_driver keys RETURN
check search_sends wh_driver wait-text "$RCV" 100 "$(wh_file sent.txt '[最后一条 ZZZZZZ]')" 10000
check sent_back_to_keys label_is '速记符'
check sent_lists_37 equals "$(list_rows | wc -l)" 37

# Best first: a key that begins with the text, then the rest in id order; F3
# too, with Latin letters in any case; Esc back to short keys, window shown.
e2e_call_up
wh_driver keys F3
check f3_search_mode label_is '查找'
check type_lower_z key_typed z z
check key_prefix_first equals "$(listed_keys)" "ZZZZZZ KZ UZZZZZ "
check nothing_found key_typed '没有' 'z没有'
check nothing_listed equals "$(list_rows | wc -l)" 0
wh_driver keys ESCAPE
check esc_back_to_keys label_is '速记符'
check esc_empties_box wh_driver wait-text "$KWO" "$IDC_SHORTKEY" "$(wh_file empty.txt '')" 5000
check esc_keeps_window equals "$(wh_driver state "$KWO")" foreground
check esc_lists_37 equals "$(list_rows | wc -l)" 37
check keys_again key_typed ab AB
check keys_again_content content_is '此致{ENTER}敬礼！'
clear_key

# Esc hides the window; the next call-up shows it again with the focus in the box.
wh_driver keys ESCAPE
check esc_hides wh_driver wait "$KWO" hidden 5000
e2e_call_up
check focus_again equals "$(wh_driver focus | sed -n 's/^focus hwnd:0x[0-9a-fA-F]* \([^ ]*\) \([0-9]*\)$/\1 \2/p')" "Edit $IDC_SHORTKEY"

# Key mode: a click on a row does nothing. Search mode: a click chooses the row, the content
# box and Enter follow it; a double-click sends the row.
check type_k_click key_typed k K
wh_driver click-row "$KWO" "$IDC_LIST" 3
check key_mode_click_keeps_content content_is '内容K'
clear_key
e2e_call_up
wh_driver keys F3
check type_z_click key_typed z z
wh_driver click-row "$KWO" "$IDC_LIST" 2
check click_chooses content_is '六位键 UZZZZZ 超过 2147483647'
check click_selects equals "$(wh_driver listview-selected "$KWO" "$IDC_LIST")" 2
wh_driver keys RETURN
check enter_sends_clicked wh_driver wait-text "$RCV" 100 "$(wh_file sent2.txt '[最后一条 ZZZZZZ][六位键 UZZZZZ 超过 2147483647]')" 10000
e2e_call_up
wh_driver keys F3
check type_z_double key_typed z z
wh_driver click-row "$KWO" "$IDC_LIST" 1 double
check double_click_sends wh_driver wait-text "$RCV" 100 "$(wh_file sent3.txt '[最后一条 ZZZZZZ][六位键 UZZZZZ 超过 2147483647][内容KZ]')" 10000

# The content index is filled while the program sits idle after start-up.
index_whole() { [ "$(sqlite3 "$APP/kwo.db" 'select count(*) from kwo_search_fill' 2>/dev/null)" = 0 ]; }
check index_filled_when_idle wh_wait_until 30 index_whole

e2e_finish
