#!/usr/bin/env bash
# Measured run of kwo.exe under Wine (prints figures, asserts no time; see KWO_IDLE_MEMORY_LIMIT below):
#  (a) start-up: from CreateProcess until Win + Space is registered, polled
#      every 2 ms by a probe whose own RegisterHotKey(MOD_WIN, VK_SPACE) fails
#      once the program holds it; kwo.exe against a minimal Win32 program that
#      registers the same hotkey first thing;
#  (b) sending: from the Enter key until the last of 1,000 characters has
#      arrived in a receiver's edit; kwo.exe (content of one entry) against a
#      minimal program that hides its window and types the same text with a
#      bare SendInput loop;
#      and from the Enter key until the first character arrived: kwo.exe's
#      wait for its target against the minimal program's fixed 50 ms;
#  (c) GDI objects of kwo.exe over many expansions (0 skips it);
#  (d) under load (two processes spinning on both cores): lost and
#      misdirected expansions out of LOADED (Chinese, Enter groups, prefix
#      and suffix), then (b) again (0 skips it).
#  (e) Win + Space until the window is in front with the focus in its
#      short-key box; kwo.exe against a minimal dialog with the same controls
#      (mini_app.exe dialog) that shows itself on the hotkey;
#  (f) memory at idle: private bytes (and, under Wine, the Linux process's
#      anonymous resident memory) of kwo.exe against the same minimal dialog
#      2 s after its start; kwo.exe once on the new database, 2 s after its
#      content index was made whole on a thread of its own (Wine keeps an
#      ended thread's stack until another thread ends: the filler gives back
#      what it can before it ends): the figure KWO_IDLE_MEMORY_LIMIT takes;
#      and again 2 s after the next start, with the index whole, as every
#      later start is;
#  (g) with PASTE characters (0, the default, skips it): from the Enter key
#      until an entry of that many mixed characters has arrived, kwo.exe
#      pasting it (PasteAbove=200) against the bare SendInput loop typing it,
#      and whether the clipboard holds the text put there before;
#  (h) with INDEX rows (0, the default, skips it): (e) again for kwo.exe
#      while its content index is being filled for that many rows after a
#      start, and whether the fill was still going at the end;
#  (i) with PRESSES (0, the default, skips it): (e) for that many presses
#      while two processes spin on both cores, kwo.exe and then the minimal
#      dialog: median, p99, slowest, and the presses after which the window
#      was not in front with the focus in its box within 5 s.
# The start-up of (a) is also measured against that minimal dialog, which
# creates the controls before it registers the hotkey, as kwo.exe does.
#
#   scripts/measure/app.sh WINDOWS_BUILD_DIR [ROUNDS] [EXPANSIONS] [LOADED] [PASTE] [INDEX] [PRESSES]
#
# KWO_MEASURE_ONLY=memory runs (f) alone. With KWO_IDLE_MEMORY_LIMIT (a ratio,
# e.g. 1.3) the run fails when kwo.exe's idle memory, private bytes or
# anonymous resident, after the first start is more than that many times the
# minimal dialog's.
#
# WINDOWS_BUILD_DIR is a folder of scripts/build.sh windows; the programs are
# built there if needed. ROUNDS defaults to 5, EXPANSIONS to 1000, LOADED to
# 200. Typing 10,000 characters takes about 45 s under Wine: run (g) by hand,
# e.g. scripts/measure/app.sh build/windows 1 0 0 10000; (i) likewise, e.g.
# scripts/measure/app.sh build/windows 1 0 0 0 0 500.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:?app.sh WINDOWS_BUILD_DIR [ROUNDS] [EXPANSIONS]}" && pwd) || exit 2
rounds=${2:-5}
expansions=${3:-1000}
loaded=${4:-200}
paste=${5:-0}
index_rows=${6:-0}
presses=${7:-0}
only=${KWO_MEASURE_ONLY:-}
case "$only" in ''|memory) ;; *) echo "KWO_MEASURE_ONLY: memory or nothing" >&2; exit 2 ;; esac
memory_limit=${KWO_IDLE_MEMORY_LIMIT:-}
source "$root/tests/e2e/e2e_lib.sh"
e2e_tools "$build" || exit 1

WH_RUN_TIMEOUT=$(( 120 + rounds * 30 + expansions / 2 + loaded * 4 + paste / 50 + index_rows / 1000 + presses * 3 ))
# Two processes spinning on both cores while the presses of (i) go in; each ends by itself at the latest with the run.
spinners=()
spin() { for _ in 1 2; do timeout "$WH_RUN_TIMEOUT" sh -c 'while :; do :; done' & spinners+=($!); done; }
unspin() { kill "${spinners[@]}" 2>/dev/null; wait "${spinners[@]}" 2>/dev/null; spinners=(); }
loaded_presses() {  # loaded_presses NAME WINDOW: (e) under load for $presses presses
  spin
  wh_run "$TOOL" measure-popup "$presses" "$1" "$2" "$RCV" 1001
  unspin
}
wh_init measure-app $(( WH_RUN_TIMEOUT * 3 ))
e2e_stage
e2e_ini 0 0 '' ''

# 1,000 characters of mixed Chinese and Latin text without braces,
# backslashes or line ends, so both programs type the same Unicode events.
pieces=('The quick brown fox jumps over the lazy dog. ' '疾书精灵把速记符展开成正文，' 'typing 123 keys, '
        '中文和English混排；' '(a+b)*c = 42! ' '输入法不受影响。')
text=
for ((i = 0; ${#text} < 1000; i++)); do text+=${pieces[i % ${#pieces[@]}]}; done
text=${text:0:1000}
printf '%s' "$text" >"$WH_DIR/text.txt"
echo "insert into kwo(id, shortkey, content) values($(e2e_short_key_id MEASUR), 'MEASUR', '$text');" | sqlite3 "$APP/kwo.db"
mkdir -p "$WH_DIR/mini"
cp "$MINI" "$WH_DIR/mini/mini.exe"

echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"

if [ -z "$only" ]; then
echo "== (a) start until Win + Space is registered (ms; polled by a RegisterHotKey probe)"
start_out=$(wh_run "$TOOL" measure-start "$rounds" "$(wh_winpath "$APP/kwo.exe")" "$(wh_winpath "$WH_DIR/mini/mini.exe")" \
  "$(wh_winpath "$WH_DIR/mini/mini.exe")?dialog") || wh_fail "the start measurement failed"
echo "$start_out"
kwo_start=$(awk '$1 == "start-median" && $2 ~ /kwo\.exe$/ { print $3 }' <<<"$start_out")
mini_start=$(awk '$1 == "start-median" && $2 ~ /mini\.exe$/ { print $3 }' <<<"$start_out")
dialog_start=$(awk '$1 == "start-median" && $2 ~ /\?dialog$/ { print $3 }' <<<"$start_out")
fi

# Private bytes as the tool reads them, and the anonymous resident memory of a Unix process.
idle_memory() {  # idle_memory WINDOW UNIX_PID: prints "PRIVATE_KB RSS_ANON_KB"
  sleep 2
  local line
  line=$(wh_run "$TOOL" sample "$1") || wh_fail "cannot sample $1"
  echo "$line" >&2
  echo "$(awk '{ print $9 }' <<<"$line") $(awk '/^RssAnon:/ { print $2 }' "/proc/$2/status" 2>/dev/null)"
}

# The content index is whole once the four objects are there and no fill mark is left.
index_whole() {
  [ "$(sqlite3 "$APP/kwo.db" "select count(*) from sqlite_master where name in
      ('kwo_search', 'kwo_search_insert', 'kwo_search_delete', 'kwo_search_update')" 2>/dev/null)" = 4 ] &&
    { [ "$(sqlite3 "$APP/kwo.db" "select count(*) from sqlite_master where name = 'kwo_search_fill'")" = 0 ] ||
      [ "$(sqlite3 "$APP/kwo.db" 'select count(*) from kwo_search_fill' 2>/dev/null)" = 0 ]; }
}

e2e_start_receiver "Measure Editor"
e2e_start_kwo
echo "== (f) memory at idle: 2 s after the content index was made on the new database, then 2 s after the next start"
wh_wait_until 60 index_whole || wh_fail "the content index was not made whole"
read -r first_private first_rss < <(idle_memory "$KWO" "$KWO_PID")
e2e_exit_kwo
e2e_start_kwo
read -r kwo_private kwo_rss < <(idle_memory "$KWO" "$KWO_PID")
if [ -z "$only" ]; then
echo "== (b) Enter until the last of 1,000 characters has arrived (ms)"
wh_start mini "$WH_DIR/mini/mini.exe" typer "$(wh_winpath "$WH_DIR/text.txt")"
wh_driver wait "E2E Mini Typer" visible 20000 >/dev/null || wh_fail "the minimal typer did not start"
send_out=$(wh_run "$TOOL" measure-send "$rounds" "$RCV" "$(wh_winpath "$WH_DIR/text.txt")" "$KWO" MEASUR "E2E Mini Typer") ||
  wh_fail "the sending measurement failed"
echo "$send_out"
median_of() { awk -v what="$1" -v who="$2" '$1 == what && $2 == who { print $3 }' <<<"$3"; }
kwo_send=$(median_of send-median kwo "$send_out")
mini_send=$(median_of send-median minimal "$send_out")
kwo_first=$(median_of first-median kwo "$send_out")
mini_first=$(median_of first-median minimal "$send_out")

if [ "$expansions" -gt 0 ]; then
  echo "== (c) GDI objects of kwo.exe over $expansions expansions"
  wh_driver set-text "$RCV" 100 "" >/dev/null
  wh_run "$TOOL" expand-loop "$KWO" "$RCV" A "$(wh_file gdi.txt '您好，很高兴认识您！')" "$expansions" 100 ||
    wh_fail "the expansions failed"
fi

if [ "$loaded" -gt 0 ]; then
  echo "== (d) under load: two processes spinning on both cores"
  e2e_exit_kwo
  e2e_ini 1 1 '【前】' '{ENTER}——后缀'
  e2e_start_kwo
  load=()
  for _ in 1 2; do
    timeout "$WH_RUN_TIMEOUT" sh -c 'while :; do :; done' &
    load+=($!)
  done
  sleep 1
  echo "load average with the load: $(cut -d' ' -f1-3 /proc/loadavg)"
  mixed=$(wh_run "$TOOL" expand-mix "$KWO" "$RCV" "$loaded" \
    A "$(wh_file l1.txt '【前】您好，很高兴认识您！\r\n——后缀')" \
    AB "$(wh_file l2.txt '【前】此致\r\n敬礼！\r\n——后缀')" \
    CRLF "$(wh_file l3.txt '【前】第一行\r\n第二行，最后一行\r\nend\r\n——后缀')")
  echo "$mixed"
  loaded_line=$(grep '^expand-mix ' <<<"$mixed")
  e2e_exit_kwo
  e2e_ini 0 0 '' ''
  e2e_start_kwo
  loaded_send=$(wh_run "$TOOL" measure-send "$rounds" "$RCV" "$(wh_winpath "$WH_DIR/text.txt")" "$KWO" MEASUR "E2E Mini Typer") ||
    echo "the sending measurement under load failed"
  echo "$loaded_send"
  kill "${load[@]}" 2>/dev/null
  wait "${load[@]}" 2>/dev/null
fi
wh_driver close "E2E Mini Typer" >/dev/null
if [ "$paste" -gt 0 ]; then
  echo "== (g) Enter until $paste characters arrived: kwo.exe pasting (PasteAbove=200), bare SendInput loop typing (ms)"
  long=
  for ((i = 0; ${#long} < paste; i++)); do long+=${pieces[i % ${#pieces[@]}]}; done
  long=${long:0:paste}
  printf '%s' "$long" >"$WH_DIR/long.txt"
  echo "insert into kwo(id, shortkey, content) values($(e2e_short_key_id LONG), 'LONG', '$long');" | sqlite3 "$APP/kwo.db"
  e2e_exit_kwo
  e2e_write_ini '[sys]' 'connectionString=Provider=SQLite;Data Source=kwo.db' '[Options]' 'PasteAbove=200'
  e2e_start_kwo
  wh_driver wait "E2E Mini Typer" gone 10000 >/dev/null
  wh_start mini-long "$WH_DIR/mini/mini.exe" typer "$(wh_winpath "$WH_DIR/long.txt")"
  wh_driver wait "E2E Mini Typer" visible 20000 >/dev/null || wh_fail "the minimal typer did not start"
  user_clip='用户原来的剪贴板 earlier text'
  wh_run "$TOOL" clipboard-set "$(wh_file clip.txt "$user_clip")" || wh_fail "cannot set the clipboard"
  paste_out=$(wh_run "$TOOL" measure-send 1 "$RCV" "$(wh_winpath "$WH_DIR/long.txt")" "$KWO" LONG "E2E Mini Typer") ||
    echo "the paste measurement failed"
  echo "$paste_out"
  clip_after=$(wh_run "$TOOL" clipboard-text)
  [ "$clip_after" = "$user_clip" ] && clip_state="holds the earlier text" || clip_state="LOST the earlier text: '$clip_after'"
  wh_driver close "E2E Mini Typer" >/dev/null
fi
echo "== (e) Win + Space until the window is in front with the focus in its box (ms)"
popup_out=$(wh_run "$TOOL" measure-popup "$rounds" kwo "$KWO" "$RCV" 1001) || wh_fail "the popup measurement of kwo failed"
echo "$popup_out"
if [ "$presses" -gt 0 ]; then
  echo "== (i) Win + Space under load, $presses presses (ms)"
  presses_kwo=$(loaded_presses kwo-loaded "$KWO")
  grep -v '^popup ' <<<"$presses_kwo"
fi
if [ "$index_rows" -gt 0 ]; then
  echo "== (h) Win + Space while the content index is filled for $index_rows rows (ms)"
  fill_marks() { sqlite3 "$APP/kwo.db" 'select count(*) from kwo_search_fill' 2>/dev/null; }
  index_filling() { [ "$(fill_marks)" = 1 ]; }
  e2e_exit_kwo
  sqlite3 "$APP/kwo.db" "drop trigger if exists kwo_search_insert; drop trigger if exists kwo_search_delete;
    drop trigger if exists kwo_search_update; drop table if exists kwo_search; drop table if exists kwo_search_fill;
    with recursive n(i) as (select 1 union all select i + 1 from n where i < $index_rows)
    insert into kwo(id, shortkey, content) select 3000000000 + i, 'F', '填充的第' || i || '条内容' from n;" ||
    wh_fail "cannot prepare the table"
  e2e_start_kwo
  wh_wait_until 30 index_filling || wh_fail "the content index fill did not begin"
  filling_out=$(wh_run "$TOOL" measure-popup $(( rounds * 6 )) kwo-filling "$KWO" "$RCV" 1001) ||
    wh_fail "the popup measurement while filling failed"
  index_filling && fill_state="still filling at the end" || fill_state="whole before the end"
  echo "$filling_out"
fi
fi
e2e_exit_kwo
wh_start mini-dialog "$WH_DIR/mini/mini.exe" dialog
mini_pid=$!
wh_driver wait "E2E Mini Dialog" exists 20000 >/dev/null || wh_fail "the minimal dialog did not start"
read -r dialog_private dialog_rss < <(idle_memory "E2E Mini Dialog" "$mini_pid")
if [ -z "$only" ]; then
popup_mini=$(wh_run "$TOOL" measure-popup "$rounds" minimal "E2E Mini Dialog" "$RCV" 1001) ||
  wh_fail "the popup measurement of the minimal dialog failed"
echo "$popup_mini"
if [ "$presses" -gt 0 ]; then
  presses_mini=$(loaded_presses minimal-loaded "E2E Mini Dialog")
  grep -v '^popup ' <<<"$presses_mini"
fi
fi
wh_driver command "E2E Mini Dialog" 1009 >/dev/null
kwo_popup=$(awk '$1 == "popup-median" { print $3 }' <<<"${popup_out:-}")
mini_popup=$(awk '$1 == "popup-median" { print $3 }' <<<"${popup_mini:-}")

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'; }
echo "== summary (medians of $rounds rounds)"
if [ -z "$only" ]; then
printf 'start until hotkey registered: kwo.exe %s ms, minimal program %s ms, ratio %s\n' \
  "$kwo_start" "$mini_start" "$(ratio "$kwo_start" "$mini_start")"
printf 'start until hotkey registered: kwo.exe %s ms, minimal dialog with the same controls %s ms, ratio %s\n' \
  "$kwo_start" "$dialog_start" "$(ratio "$kwo_start" "$dialog_start")"
printf 'Win + Space until in front with the focus in the box: kwo.exe %s ms, minimal dialog %s ms, ratio %s\n' \
  "$kwo_popup" "$mini_popup" "$(ratio "$kwo_popup" "$mini_popup")"
fi
printf 'memory at idle after the first start, content index made, private bytes: kwo.exe %s KB, minimal dialog %s KB, ratio %s\n' \
  "$first_private" "$dialog_private" "$(ratio "$first_private" "$dialog_private")"
printf 'memory at idle after the first start, content index made, anonymous resident (Linux): kwo.exe %s KB, minimal dialog %s KB, ratio %s\n' \
  "${first_rss:-n/a}" "${dialog_rss:-n/a}" "$(ratio "${first_rss:-0}" "${dialog_rss:-0}")"
printf 'memory at idle after a later start, private bytes: kwo.exe %s KB, minimal dialog %s KB, ratio %s\n' \
  "$kwo_private" "$dialog_private" "$(ratio "$kwo_private" "$dialog_private")"
printf 'memory at idle after a later start, anonymous resident (Linux): kwo.exe %s KB, minimal dialog %s KB, ratio %s\n' \
  "${kwo_rss:-n/a}" "${dialog_rss:-n/a}" "$(ratio "${kwo_rss:-0}" "${dialog_rss:-0}")"
if [ -z "$only" ]; then
printf 'Enter until 1,000 characters arrived: kwo.exe %s ms, bare SendInput loop %s ms, ratio %s\n' \
  "$kwo_send" "$mini_send" "$(ratio "$kwo_send" "$mini_send")"
printf 'Enter until the first character arrived: kwo.exe %s ms (waits for its target), minimal program %s ms (sleeps 50 ms)\n' \
  "$kwo_first" "$mini_first"
if [ "$loaded" -gt 0 ]; then
  printf 'under load: %s\n' "${loaded_line:-expand-mix did not finish}"
  printf 'under load, Enter until 1,000 characters arrived: kwo.exe %s ms, bare SendInput loop %s ms, ratio %s\n' \
    "$(median_of send-median kwo "$loaded_send")" "$(median_of send-median minimal "$loaded_send")" \
    "$(ratio "$(median_of send-median kwo "$loaded_send")" "$(median_of send-median minimal "$loaded_send")")"
fi
if [ "$paste" -gt 0 ]; then
  printf 'Enter until %s characters arrived: kwo.exe pasting %s ms (goal <= 1000), bare SendInput loop typing %s ms; clipboard afterwards %s\n' \
    "$paste" "$(median_of send-median kwo "$paste_out")" "$(median_of send-median minimal "$paste_out")" "$clip_state"
fi
if [ "$index_rows" -gt 0 ]; then
  printf 'Win + Space while the content index is filled for %s rows: kwo.exe median %s ms, slowest %s ms over %s rounds (%s)\n' \
    "$index_rows" "$(awk '$1 == "popup-median" { print $3 }' <<<"$filling_out")" \
    "$(awk '$1 == "popup" && $4 + 0 > m { m = $4 + 0 } END { print m }' <<<"$filling_out")" $(( rounds * 6 )) "$fill_state"
fi
if [ "$presses" -gt 0 ]; then
  for out in "$presses_kwo" "$presses_mini"; do
    awk '$1 == "popup-summary" { printf "Win + Space under two spinning processes, %s presses, %s: median %s ms, p99 %s ms, slowest %s ms, not in front with the focus: %s\n", $4, $2, $6, $8, $10, $12 }' <<<"$out"
  done
fi
fi
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
if [ -n "$memory_limit" ]; then
  # A figure that could not be read fails the check as well.
  # The first start's figures: the most a start holds (a later start holds less).
  over=$(awk -v limit="$memory_limit" -v kp="$first_private" -v dp="$dialog_private" -v kr="${first_rss:-0}" -v dr="${dialog_rss:-0}" \
    'BEGIN { if (dp <= 0 || dr <= 0) print "figures (unread)"; else if (kp / dp > limit) print "private bytes"; else if (kr / dr > limit) print "anonymous resident" }')
  if [ -n "$over" ]; then
    echo "memory at idle after the first start: kwo.exe's $over are more than $memory_limit times the minimal dialog's" >&2
    exit 1
  fi
  echo "memory at idle after the first start: both within $memory_limit times the minimal dialog's"
fi
