#!/usr/bin/env bash
# Soak run of kwo.exe (a measured run: prints figures; fails when a step does
# not happen or an expansion is lost or misdirected): COUNT expansions of
# mixed entries, each with real input (Win + Space shows the window, the key
# is typed, Enter hides it and the content is typed into a receiver), and
# after every EVERY expansions an edit in the entry edit dialog, an import
# through the Open dialog and an export through the Save dialog. After start
# and after every block it samples kwo.exe's GDI objects, USER objects, open
# handles and private bytes (kwo_tool.exe sample; under Wine, GDI objects from
# the handle table, USER objects as the count of the process's windows and
# private bytes from its committed private regions), plus, under Wine, the
# Linux process's anonymous resident memory. Ends with the growth from the
# first block's sample to the last, and the handles opened since that sample
# and still open, by type and name.
#
#   scripts/measure/soak.sh WINDOWS_BUILD_DIR [COUNT] [EVERY]
#   scripts/measure/soak.sh WINDOWS_BUILD_DIR dialogs [USES]
#
# The second form makes no expansions: it uses each dialog alone USES times
# (default 20) and prints kwo.exe's open handles after each use: the Open
# dialog cancelled, the Save dialog cancelled, an import, an export and an
# edit; then the same file dialogs in the minimal dialog program
# (mini_app.exe dialog), which calls them as kwo.exe does, and the Open and
# Save choices through the shell's file dialog objects instead. Each loop ends
# with the handles it left behind, by type and name (kwo_tool.exe handles).
#
# COUNT defaults to 10000, EVERY to 1000. Under Wine each run has its own
# display and prefix (tests/wine/harness.sh). On Windows (Git Bash) the same
# script runs the programs directly on the desktop: leave the machine alone
# while it runs. Needs the sqlite3 command-line tool.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:?soak.sh WINDOWS_BUILD_DIR [COUNT] [EVERY]}" && pwd) || exit 2
count=${2:-10000}
every=${3:-1000}
dialogs=0
if [ "$count" = dialogs ]; then
  dialogs=${3:-20} count=0
  [ "$dialogs" -ge 2 ] || dialogs=2
fi
source "$root/tests/e2e/e2e_lib.sh"
e2e_tools "$build" || exit 1

on_windows=0
case "$(uname -s)" in
  MINGW*|MSYS*|CYGWIN*)
    # No Wine, no Xvfb: the programs run on this desktop, from a scratch folder.
    on_windows=1
    wh_init() {
      WH_DIR=$(mktemp -d) || exit 1
      trap 'taskkill //F //IM kwo.exe >/dev/null 2>&1; taskkill //F //IM wine_receiver.exe >/dev/null 2>&1; rm -rf "$WH_DIR"' EXIT
    }
    wh_start() { local id=$1; shift; "$@" >"$WH_DIR/$id.log" 2>&1 & }
    wh_run() { "$@"; }
    wh_winpath() { cygpath -w "$1"; }
    wh_fail() { echo "FAILED: $*" >&2; exit 1; }
    ;;
esac

WH_RUN_TIMEOUT=$(( 600 + every ))
wh_init soak $(( 600 + count * 3 + dialogs * 300 ))
e2e_stage
e2e_ini 0 0 '' ''

# The cases: a key, then the text the receiver holds afterwards (printf %b escapes).
cases=(A '您好，很高兴认识您！' AB '此致\r\n敬礼！' CRLF '第一行\r\n第二行，最后一行\r\nend' K3 '内容K3'
       ZZZZZZ '最后一条 ZZZZZZ' K07 '内容K07' UZZZZZ '六位键 UZZZZZ 超过 2147483647')
case_args=()
for ((i = 0; i < ${#cases[@]}; i += 2)); do
  case_args+=("${cases[i]}" "$(wh_file "case-$i.txt" "${cases[i + 1]}")")
done
# The file imported in block R: 200 entries S000..S199 whose contents name R,
# so that each import shows in the table.
import_file() {  # import_file R: writes it, prints its Windows path
  awk -v r="$1" 'BEGIN { for (i = 0; i < 200; i++) printf "#S%03d:\r\n浸泡试验第%d轮第%d条\r\n", i, r, i }' |
    iconv -f UTF-8 -t CP936 >"$WH_DIR/soak-import.txt"
  wh_winpath "$WH_DIR/soak-import.txt"
}

e2e_start_receiver "Soak Editor"
e2e_start_kwo
KWO_UNIX_PID=$KWO_PID
echo "soak: $count expansions, a block of $every between samples; load $(cut -d' ' -f1-3 /proc/loadavg 2>/dev/null) on $(nproc) cores"

EDIT="编辑速记"
export_to() {  # export_to WINDOWS-PATH: the Save dialog "导出", the name typed over its default
  wh_driver command "$KWO" "$ID_EXPORT" >/dev/null
  local dialog
  dialog=$(wh_driver wait "class:#32770|导出" visible 10000) || return 1
  wh_driver activate "$dialog" >/dev/null || return 1
  wh_driver keys CTRL+A
  wh_driver type "$1"
  wh_driver keys RETURN
  wh_driver wait "$dialog" gone 10000 >/dev/null
}
# The notices close themselves after 2 s, sooner than a loaded machine lets
# a script read them: the outcome is checked in the table and the file, then
# the notice is waited out.
imported() {  # imported R
  [ "$(sqlite3 "$APP/kwo.db" "select count(*) from kwo where content like '浸泡试验第$1轮第%';" 2>/dev/null)" = 200 ]
}
exported() { [ -f "$1" ] && grep -q $'^#S199:\r$' "$1"; }
no_notice() { [ "$(wh_driver state "温馨提示")" = none ]; }

edit_entry() {  # edit_entry ROUND: the entry SOAK gets "浸泡第ROUND轮" through the edit dialog
  wh_driver command "$KWO" "$ID_OPEN" >/dev/null
  wh_driver wait "$KWO" visible 5000 >/dev/null || return 1
  wh_driver command "$KWO" "$IDC_ADD" >/dev/null
  wh_driver wait "$EDIT" visible 5000 >/dev/null || return 1
  wh_driver activate "$EDIT" >/dev/null || return 1
  wh_driver type SOAK
  wh_driver wait-text "$EDIT" "$IDC_SHORTKEY" "$(wh_file key.txt SOAK)" 5000 >/dev/null || return 1
  wh_driver set-text "$EDIT" "$IDC_CONTENT" "浸泡第$1轮" >/dev/null
  wh_driver command "$EDIT" 1 >/dev/null
  wh_driver wait "$EDIT" gone 5000 >/dev/null || return 1
  hide_main || hide_main
}
hide_main() {  # Cancel (as Esc or the close box) hides the main window
  wh_driver command "$KWO" 2 >/dev/null
  wh_driver wait "$KWO" hidden 5000 >/dev/null
}

# One sample line; the figures also go into the variables s_gdi s_user s_handles s_private s_rss.
sample() {  # sample LABEL
  local line
  line=$(wh_run "$TOOL" sample "$KWO") || wh_fail "the sample failed: $line"
  read -r _ _ s_gdi _ s_user _ s_handles _ s_private _ sources <<<"$line"
  s_rss=n/a
  if [ "$on_windows" = 0 ]; then
    s_rss=$(awk '/^RssAnon:/ { print $2 }' "/proc/$KWO_UNIX_PID/status" 2>/dev/null)
  fi
  printf '%-18s gdi %5s  user %5s  handles %5s  private %7s KB  rss-anon %7s KB  (%s)\n' \
    "$1" "$s_gdi" "$s_user" "$s_handles" "$s_private" "${s_rss:-n/a}" "$sources"
}

# The open handles of WINDOW's process by type and name, one line each, sorted.
handle_list() { wh_run "$TOOL" handles "$1" | tr -d '\r' | cut -d' ' -f2- | sort; }
# Each handle of NEW_LIST that OLD_LIST lacks, counted: "PREFIX N TYPE NAME".
handles_left() { comm -13 <(echo "$1") <(echo "$2") | uniq -c | sed "s/^ */$3 /"; }

sample "after start"
if [ "$dialogs" -gt 0 ]; then
  uses() {  # uses NAME WINDOW STEP...: STEP $dialogs times, the handle count after each
    local name=$1 window=$2 before counts=() i line
    shift 2
    before=$(handle_list "$window")
    for ((i = 1; i <= dialogs; i++)); do
      "$@" "$i" || wh_fail "$name: use $i failed"
      line=$(wh_run "$TOOL" sample "$window") || wh_fail "the sample failed: $line"
      counts+=("$(awk '{ print $7 }' <<<"$line")")
    done
    echo "$name: handles after each use: ${counts[*]}"
    awk -v name="$name" -v a="${counts[0]}" -v b="${counts[-1]}" -v n="$dialogs" \
      'BEGIN { printf "%s: %d -> %d over uses 1..%d, %+.2f per use\n", name, a, b, n, (b - a) / (n - 1) }'
    handles_left "$before" "$(handle_list "$window")" "$name left:"
  }
  # The file dialogs keep the folder last chosen per program in the registry;
  # each program starts from none, so that both meet the same dialogs.
  forget_folders() {
    MSYS_NO_PATHCONV=1 wh_run reg delete 'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\ComDlg32\LastVisitedMRU' /f >/dev/null 2>&1
    return 0
  }
  cancel() {  # cancel WINDOW COMMAND TITLE: opens the dialog, Esc closes it
    wh_driver command "$1" "$2" >/dev/null
    local dialog
    dialog=$(wh_driver wait "class:#32770|$3" visible 10000) || return 1
    wh_driver activate "$dialog" >/dev/null || return 1
    wh_driver keys ESCAPE
    wh_driver wait "$dialog" gone 10000 >/dev/null
  }
  import_once() {
    e2e_choose_file "$ID_IMPORT" "$(import_file "$1")" && wh_wait_until 60 imported "$1" && wh_wait_until 30 no_notice
  }
  export_once() {
    export_to "$(wh_winpath "$WH_DIR/export.txt")" && wh_wait_until 60 exported "$WH_DIR/export.txt" &&
      wh_wait_until 30 no_notice && rm -f "$WH_DIR/export.txt"
  }
  forget_folders
  uses "kwo open-cancel" "$KWO" cancel "$KWO" "$ID_IMPORT" 打开
  uses "kwo save-cancel" "$KWO" cancel "$KWO" "$ID_EXPORT" 导出
  uses "kwo import" "$KWO" import_once
  uses "kwo export" "$KWO" export_once
  uses "kwo edit" "$KWO" edit_entry
  e2e_exit_kwo
  # The minimal program takes Win + Space as well: it starts once kwo.exe has gone.
  forget_folders
  wh_start mini "$MINI" dialog
  KWO=$(wh_driver wait "E2E Mini Dialog" exists 20000) || wh_fail "the minimal dialog program did not start"
  uses "mini open-cancel" "$KWO" cancel "$KWO" 32783 打开
  uses "mini save-cancel" "$KWO" cancel "$KWO" 32784 导出
  uses "mini open-chosen" "$KWO" e2e_choose_file 32783 "$(import_file 0)" 打开 gone
  uses "mini save-chosen" "$KWO" export_to "$(wh_winpath "$WH_DIR/mini-export.txt")"
  # The same choices through the shell's file dialog objects (IFileOpenDialog, IFileSaveDialog).
  uses "mini item-open-cancel" "$KWO" cancel "$KWO" 32785 打开
  uses "mini item-save-cancel" "$KWO" cancel "$KWO" 32787 导出
  uses "mini item-open-chosen" "$KWO" e2e_choose_file 32785 "$(import_file 0)" 打开 gone
  wh_driver command "$KWO" 1009 >/dev/null
  exit 0
fi
done_count=0
wrong=0
round=0
first_gdi= first_user= first_handles= first_private= first_rss=
t0=$SECONDS
while [ "$done_count" -lt "$count" ]; do
  round=$((round + 1))
  block=$(( count - done_count < every ? count - done_count : every ))
  # Exit code 1 with a summary line: some expansions were lost or misdirected; counted, the run goes on.
  t_block=$SECONDS
  out=$(wh_run "$TOOL" expand-mix "$KWO" "$RCV" "$block" "${case_args[@]}" 2>&1)
  summary=$(grep '^expand-mix ' <<<"$out") || wh_fail "expansions of block $round: $out"
  grep '^expansion ' <<<"$out"
  done_count=$((done_count + block))
  field() { awk -v name="$1" '{ for (i = 1; i < NF; i++) if ($i == name) print $(i + 1) }' <<<"$summary"; }
  lost=$(field lost) misdirected=$(field misdirected) refused=$(field refused) median=$(field median-ms)
  wrong=$((wrong + lost + misdirected))
  out="$block in $((SECONDS - t_block)) s, lost $lost, misdirected $misdirected, refused ${refused:-0}, median $median ms"
  edit_entry "$round" || wh_fail "the edit of round $round failed"
  [ "$(sqlite3 "$APP/kwo.db" "select content from kwo where shortkey='SOAK';")" = "浸泡第${round}轮" ] ||
    wh_fail "the edit of round $round was not stored"
  e2e_choose_file "$ID_IMPORT" "$(import_file "$round")" || wh_fail "the import of round $round did not start"
  wh_wait_until 60 imported "$round" || wh_fail "the import of round $round was not stored"
  wh_wait_until 30 no_notice || wh_fail "the notice after the import of round $round stayed"
  export_to "$(wh_winpath "$WH_DIR/export-$round.txt")" || wh_fail "the export of round $round did not start"
  wh_wait_until 60 exported "$WH_DIR/export-$round.txt" || wh_fail "the export of round $round lacks the imported entries"
  wh_wait_until 30 no_notice || wh_fail "the notice after the export of round $round stayed"
  rm -f "$WH_DIR/export-$round.txt"
  sample "after $done_count ($out)"
  if [ -z "$first_gdi" ]; then
    first_handle_list=$(handle_list "$KWO")
    first_gdi=$s_gdi first_user=$s_user first_handles=$s_handles first_private=$s_private first_rss=$s_rss
  fi
done
last_handle_list=$(handle_list "$KWO")
e2e_exit_kwo

growth() { awk -v a="$1" -v b="$2" 'BEGIN { if (a ~ /^[0-9]+$/ && b ~ /^[0-9]+$/ && a > 0) printf "%+.2f %%", (b - a) * 100 / a; else print "n/a" }'; }
echo "== soak summary: $done_count expansions in $(( SECONDS - t0 )) s, $wrong of them lost or misdirected; growth from the first block's sample to the last"
printf 'gdi %s -> %s (%s), user %s -> %s (%s), handles %s -> %s (%s), private %s -> %s KB (%s), rss-anon %s -> %s KB (%s)\n' \
  "$first_gdi" "$s_gdi" "$(growth "$first_gdi" "$s_gdi")" "$first_user" "$s_user" "$(growth "$first_user" "$s_user")" \
  "$first_handles" "$s_handles" "$(growth "$first_handles" "$s_handles")" \
  "$first_private" "$s_private" "$(growth "$first_private" "$s_private")" \
  "$first_rss" "$s_rss" "$(growth "$first_rss" "$s_rss")"
# Under Wine the classic file dialog leaves one registry key open
# (ComDlg32\LastVisitedMRU) per use, in any program; kwo's dialogs are the
# shell's objects, which leave none (scripts/measure/soak.sh BUILD dialogs compares).
handles_left "$first_handle_list" "$last_handle_list" "handles opened since the first sample and still open:"
[ "$wrong" -eq 0 ]
