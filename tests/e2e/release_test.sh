#!/usr/bin/env bash
# The release as a user gets it, under Wine in a fresh Simplified Chinese
# prefix: the help file, a silent install with its starter kwo.ini, a failed
# one on the wizard's failure page, an upgrade over a running copy, over one
# whose edit dialog holds unsaved typing and over one that does not answer,
# upgrades that keep the user's choice of shortcut and autostart (silent and
# through the wizard), uninstalling with and without /PURGE, and the portable
# zip in a folder with a Chinese name. Prints the install and uninstall times.
#   release_test.sh RELEASE_DIR DRIVER.exe RECEIVER.exe KEYNAMES
# RELEASE_DIR is what scripts/release.sh wrote; KEYNAMES the host program
# that asks the key-sequence interpreter which key names it accepts.
set -uo pipefail
release=${1:?release folder} WH_DRIVER=${2:?driver.exe} RECEIVER=${3:?receiver.exe} KEYNAMES=${4:?keynames}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../wine/harness.sh"
source "$here/../wine/checks.sh"
source "$here/resource_ids.sh"
kwo_load_ids || exit 1
setup=$(ls "$release"/kwo-*-setup.exe) && zip=$(ls "$release"/kwo-*-portable.zip) || { echo "no release in $release" >&2; exit 1; }
version=$(head -n1 "$here/../../VERSION")
title=疾书精灵
notice=欢迎使用疾书精灵
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\kwo'
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'

wh_init e2e-release 420

reg_value() {  # reg_value KEY NAME: the value's data, or fails
  wine reg query "$1" /v "$2" 2>/dev/null | iconv -f GBK -t UTF-8 | tr -d '\r' |
    sed -n "s/^ *$2 *REG_[A-Z_]* *//p" | grep .
}
unix_path() { wine winepath -u "$1" 2>/dev/null | tr -d '\r'; }
seconds_since() { awk -v a="$1" -v b="$(date +%s%N)" 'BEGIN { printf "%.1f", (b - a) / 1e9 }'; }
gone() { ! kill -0 "$1" 2>/dev/null; }

# --- The help file: every page, the table of contents, the key names. ---
mkdir -p "$WH_DIR/zip" "$WH_DIR/chm"
unzip -q "$zip" -d "$WH_DIR/zip"
check zip_holds_four_files equals "$(cd "$WH_DIR/zip" && ls | LC_ALL=C sort | tr '\n' ' ')" "README.txt kwo.chm kwo.exe kwo.ini "
# The starter settings: a light background (a missing colour reads as 0,
# black), nothing else but the program's own defaults.
starter=$WH_DIR/zip/kwo.ini
ini_value() { tr -d '\r' <"$1" | sed -n "s/^$2=//p"; }
light() { local c; for c in Red Green Blue; do [ "$(ini_value "$starter" $c)" -ge 192 ] || return 1; done; }
check starter_ini_light_background light
check starter_ini_defaults equals "$(tr -d '\r' <"$starter" | grep -v '^\[' | grep -v -e '^Red=' -e '^Green=' -e '^Blue=' | sort | tr '\n' ' ')" \
  "AfterStr= EnableAfter=0 EnablePre=0 Interval=0 PreStr= TimerStr= "
check starter_ini_crlf equals "$(grep -c $'\r$' "$starter")" "$(wc -l <"$starter")"
chmls extractall "$WH_DIR/zip/kwo.chm" "$WH_DIR/chm" >/dev/null 2>&1
toc=$(iconv -f GBK -t UTF-8 "$WH_DIR/chm/toc.hhc")
for page in index keys keynames options edit exchange connection install trouble; do
  check "chm_page_$page" grep -q '</html>' "$WH_DIR/chm/$page.htm"
  check "chm_toc_$page" grep -q "value=\"$page.htm\"" <<<"$toc"
done
check chm_toc_chinese grep -q '键序列语言' <<<"$toc"
# The window record: a navigation pane of no width shows no contents.
chmls extract "$WH_DIR/zip/kwo.chm" /#WINDOWS "$WH_DIR/chm-windows" >/dev/null 2>&1
nav_width=$(od -An -t u4 --endian=little -j $((8 + 0x4C)) -N 4 "$WH_DIR/chm-windows" 2>/dev/null | tr -d ' ')
check chm_navigation_pane_width test "${nav_width:-0}" -ge 150
names=$(grep -o '<code class="key">[A-Z0-9]*</code>' "$WH_DIR/chm/keynames.htm" | sed 's/<[^>]*>//g')
table_rows=$(grep -o '{u"[A-Z0-9]*"' "$here/../../keys/KeyNameTable.cpp" | wc -l)
check keynames_as_many_as_the_table equals "$(sort -u <<<"$names" | wc -l)" "$table_rows"
# shellcheck disable=SC2086
check keynames_all_accepted "$KEYNAMES" --accepts $names

# --- Silent install into the fresh prefix. ---
t0=$(date +%s%N)
wh_run "$setup" /S
install_rc=$?
echo "measured: silent install $(seconds_since "$t0") s"
check install_exit_code equals "$install_rc" 0
location=$(reg_value "$uninstall_key" InstallLocation)
check install_location_is_per_user grep -q 'AppData\\Local\\Programs\\疾书精灵$' <<<"$location"
dir=$(unix_path "$location")
[ -n "$dir" ] && [ -f "$dir/kwo.exe" ] || wh_fail "the installer put no kwo.exe into '$location'"
check install_files equals "$(cd "$dir" && ls | LC_ALL=C sort | tr '\n' ' ')" "kwo.chm kwo.exe kwo.ini uninstall.exe "
check install_starter_ini cmp "$dir/kwo.ini" "$starter"
check uninstall_name equals "$(reg_value "$uninstall_key" DisplayName)" "$title"
check uninstall_version equals "$(reg_value "$uninstall_key" DisplayVersion)" "$version"
check uninstall_publisher grep -q . <<<"$(reg_value "$uninstall_key" Publisher)"
check uninstall_icon equals "$(reg_value "$uninstall_key" DisplayIcon)" "$location\\kwo.exe,0"
check uninstall_size grep -q '^0x[0-9a-f]*[1-9a-f]' <<<"$(reg_value "$uninstall_key" EstimatedSize)"
check run_value equals "$(reg_value "$run_key" "$title")" "\"$location\\kwo.exe\""
programs=$(unix_path "$(wine cmd /c echo %APPDATA% | tr -d '\r')")/Microsoft/Windows/Start\ Menu/Programs
desktop=$(unix_path "$(wine cmd /c echo %USERPROFILE% | tr -d '\r')")/Desktop
check start_menu_shortcut test -f "$programs/$title.lnk"
fails no_desktop_shortcut_by_default test -f "$desktop/$title.lnk"

# A step that fails (here the new kwo.exe cannot be written) says so and
# leaves the installation as it was.
installed=$(sha256sum "$dir/kwo.exe")
mkdir "$dir/kwo.exe.new"
wh_run "$setup" /S
check failed_install_exit_code equals "$?" 2
check failed_install_keeps_program equals "$(sha256sum "$dir/kwo.exe")" "$installed"
# The same through the wizard: its failure page says so on one line.
start_wizard() {  # start_wizard ID: the installer's wizard, its window in $wizard
  wh_start "$1" "$setup"
  # The title changes from page to page: the window is kept by its handle.
  wizard=$(wh_driver wait "class:#32770|$title 安装" visible 20000) || wh_fail "the wizard did not come up"
}
wizard_next() {  # wizard_next: presses "下一步" (or "安装", "完成") of the wizard
  wh_driver click "$wizard" 1 >/dev/null
}
start_wizard failing-wizard
for page in welcome components directory; do wizard_next; done  # the clicks queue up
# A message box of the installer: it has the wizard's title.
box_handle() { wh_driver windows | tr -d '\r' | grep " v #32770 \"$title 安装" | grep -v "^$wizard " | cut -d' ' -f1 | head -n1; }
box() { [ -n "$(box_handle)" ]; }
no_box() { ! box; }
finished() { wh_driver text "$wizard" 1 | grep -q 完成; }
finish_wizard() {  # presses 完成; the kwo the finish page starts ("运行疾书精灵") is ended
  wizard_next
  wh_driver wait "$wizard" gone 10000 >/dev/null || wh_fail "the wizard did not end"
  wh_driver wait "class:#32770|$title" exists 20000 >/dev/null && wh_driver command "class:#32770|$title" "$IDC_EXIT" >/dev/null
  wh_driver wait "class:#32770|$title" gone 10000 >/dev/null || wh_fail "kwo started by the wizard did not end"
}
wh_wait_until 20 box || wh_fail "no failure message"
wh_driver keys RETURN >/dev/null
wh_wait_until 10 no_box || wh_fail "the failure message did not close"
status=$(wh_driver text "$wizard" 1006)
check failure_page_status_one_line equals "$(printf '%s' "$status" | tr -d '\r\n')" "$status"
check failure_page_status_says_nothing_changed contains "$status" 原来的安装没有改动
wh_screenshot release-failure-page
wh_driver click "$wizard" 2 >/dev/null  # 取消
wh_driver wait "$wizard" gone 10000 >/dev/null || wh_fail "the wizard did not end"
rmdir "$dir/kwo.exe.new"

# The installed program: a first start creates kwo.db and says how to begin;
# then Win + Space calls the window up, and "帮助" and F1 open kwo.chm.
start_installed() {
  wh_start kwo "$dir/kwo.exe"
  KWO_PID=$!
  wh_driver wait "class:#32770|$title" exists 20000 >/dev/null || wh_fail "the installed kwo.exe did not start"
}
start_installed
check first_start_notice wh_driver wait "$notice" visible 20000
check first_start_creates_db test -f "$dir/kwo.db"
check first_start_creates_ini test -f "$dir/kwo.ini"
wh_driver command "$notice" 1 >/dev/null
wh_driver wait "$notice" gone >/dev/null || wh_fail "the notice did not close"
wh_driver command "class:#32770|$title" 2 >/dev/null  # IDCANCEL
wh_driver wait "class:#32770|$title" hidden >/dev/null || wh_fail "the main window did not hide"
wh_start receiver "$RECEIVER" "Release Editor" 40 40
wh_driver wait "Release Editor" visible 20000 >/dev/null || wh_fail "no receiver"
wh_driver activate "Release Editor" >/dev/null
wh_driver hotkey
check hotkey_shows_window wh_driver wait "class:#32770|$title" foreground 5000
wh_driver keys F1
check f1_opens_help wh_driver wait "$title 帮助" visible 20000
wh_driver close "$title 帮助"
wh_driver wait "$title 帮助" gone >/dev/null || wh_fail "the help viewer did not close"
wh_driver command "class:#32770|$title" "$ID_HELP_FILE" >/dev/null
check help_menu_opens_help wh_driver wait "$title 帮助" visible 20000
wh_driver close "$title 帮助"

# --- Upgrade while that copy runs: it ends; the user's files stay as they are. ---
printf '[sys]\r\nconnectionString=Provider=SQLite;Data Source=kwo.db\r\n[Options]\r\nEnablePre=1\r\nPreStr={HOME}\r\n' |
  iconv -f UTF-8 -t GBK >"$dir/kwo.ini"
sqlite3 "$dir/kwo.db" "insert into kwo(id, shortkey, content) values(12, 'A', '升级前的速记');"
# The running program may still be adding its content index to kwo.db, up
# to its end: the settings file byte for byte and the entries are what must stay.
user_data() { sha256sum "$dir/kwo.ini" && sqlite3 "$dir/kwo.db" 'select id, shortkey, content from kwo order by id'; }
before_data=$(user_data)
t0=$(date +%s%N)
wh_run "$setup" /S
upgrade_rc=$?
echo "measured: silent upgrade over a running copy $(seconds_since "$t0") s"
check upgrade_exit_code equals "$upgrade_rc" 0
check running_copy_ended wh_wait_until 10 gone "$KWO_PID"
wait "$KWO_PID"
check running_copy_exit_code equals "$?" 0
check user_files_unchanged equals "$(user_data)" "$before_data"
check user_db_sound equals "$(sqlite3 "$dir/kwo.db" 'pragma integrity_check')" ok
check upgrade_files equals "$(cd "$dir" && ls | LC_ALL=C sort | tr '\n' ' ')" "kwo.chm kwo.db kwo.exe kwo.ini uninstall.exe "
start_installed
fails no_notice_with_existing_db wh_driver wait "$notice" exists 3000

# --- An upgrade while the edit dialog holds unsaved typing: kwo stays, the
# dialog comes to the front with its text, the installer stops with 2. ---
program=$(stat -c '%i %Y' "$dir/kwo.exe")
wh_driver command "class:#32770|$title" "$IDC_ADD" >/dev/null
edit=$(wh_driver wait 编辑速记 visible 10000) || wh_fail "the edit dialog did not open"
wh_driver set-text "$edit" "$IDC_SHORTKEY" UPG >/dev/null
wh_driver set-text "$edit" "$IDC_CONTENT" 升级时正在输入的内容 >/dev/null
wh_driver activate "Release Editor" >/dev/null
t0=$(date +%s%N)
WH_RUN_TIMEOUT=40 wh_run "$setup" /S
busy_rc=$?
echo "measured: silent upgrade refused by unsaved typing $(seconds_since "$t0") s"
check busy_upgrade_exit_code equals "$busy_rc" 2
check busy_copy_runs test -d "/proc/$KWO_PID"
check busy_dialog_keeps_text equals "$(wh_driver text "$edit" "$IDC_CONTENT")" 升级时正在输入的内容
check busy_dialog_in_front wh_driver wait "$edit" foreground 5000
check busy_upgrade_changes_nothing equals "$(stat -c '%i %Y' "$dir/kwo.exe")" "$program"
check busy_upgrade_keeps_user_files equals "$(user_data)" "$before_data"
# Through the wizard: it says kwo is busy, with 重试 and 取消; once the
# dialog is closed, 重试 goes on, kwo ends and the upgrade finishes.
start_wizard busy-wizard
for page in welcome components directory; do wizard_next; done
if wh_wait_until 20 box; then
  busy_box=$(box_handle)
  check wizard_says_busy contains "$(wh_driver text "$busy_box" 65535)" 正忙
  check wizard_busy_copy_runs test -d "/proc/$KWO_PID"
  check wizard_busy_dialog_keeps_text equals "$(wh_driver text "$edit" "$IDC_CONTENT")" 升级时正在输入的内容
else
  check wizard_says_busy false
fi
wh_driver click "$edit" 2 >/dev/null
wh_driver wait "$edit" gone 10000 >/dev/null || wh_fail "the edit dialog did not close"
[ -z "${busy_box:-}" ] || wh_driver click "$busy_box" 4 >/dev/null  # 重试
check wizard_retry_ends_copy wh_wait_until 20 gone "$KWO_PID"
check wizard_retry_finishes wh_wait_until 60 finished
finish_wizard
start_installed

# --- A copy that does not answer (stopped): the silent installer ends it
# within 20 s and installs. ---
kill -STOP "$KWO_PID"
t0=$(date +%s%N)
WH_RUN_TIMEOUT=40 wh_run "$setup" /S &
installer=$!
# Its window goes when the installer ends the process.
wh_driver wait "class:#32770|$title" gone 30000 >/dev/null
hung_s=$(seconds_since "$t0")
wait "$installer"
hung_rc=$?
echo "measured: a copy that does not answer ended by the silent installer after $hung_s s, installed after $(seconds_since "$t0") s"
check hung_upgrade_exit_code equals "$hung_rc" 0
check hung_copy_ended_within_20s awk -v s="$hung_s" 'BEGIN { exit !(s < 20) }'
{ kill -KILL "$KWO_PID"; wait "$KWO_PID"; } 2>/dev/null
check hung_upgrade_keeps_user_files equals "$(user_data)" "$before_data"

# --- The user's choices of the optional parts outlive upgrades: here a
# desktop shortcut and no autostart, silent and through the wizard. ---
cp "$programs/$title.lnk" "$desktop/$title.lnk"
wine reg delete "$run_key" /v "$title" /f >/dev/null 2>&1
wh_run "$setup" /S
check choices_upgrade_exit_code equals "$?" 0
check silent_upgrade_keeps_desktop_shortcut test -f "$desktop/$title.lnk"
fails silent_upgrade_keeps_autostart_off reg_value "$run_key" "$title"
start_wizard upgrade-wizard
for page in welcome components directory; do wizard_next; done
check wizard_upgrade_finishes wh_wait_until 60 finished
finish_wizard
check wizard_upgrade_keeps_desktop_shortcut test -f "$desktop/$title.lnk"
fails wizard_upgrade_keeps_autostart_off reg_value "$run_key" "$title"
check upgrades_keep_user_files equals "$(user_data)" "$before_data"
start_installed

# --- Uninstall keeps the data; /PURGE removes it. ---
uninstalled() { ! [ -e "$dir/kwo.exe" ] && ! [ -e "$dir/uninstall.exe" ] && ! reg_value "$uninstall_key" DisplayName >/dev/null; }
t0=$(date +%s%N)
wh_run "$dir/uninstall.exe" /S
# The uninstaller runs on from a copy of itself and returns at once.
wh_wait_until 60 uninstalled || wh_fail "the uninstaller did not finish"
echo "measured: silent uninstall $(seconds_since "$t0") s"
check uninstall_ends_running_copy wh_wait_until 10 gone "$KWO_PID"
check uninstall_keeps_data equals "$(user_data)" "$before_data"
fails uninstall_removes_run_value reg_value "$run_key" "$title"
fails uninstall_removes_shortcut test -e "$programs/$title.lnk"

wh_run "$setup" /S || wh_fail "the reinstall failed"
wh_run "$dir/uninstall.exe" /S /PURGE
check purge_removes_folder wh_wait_until 60 test ! -e "$dir"

# --- The portable zip, unpacked into a folder with a Chinese name. ---
portable="$WH_DIR/便携 疾书精灵"
mkdir -p "$portable"
unzip -q "$zip" -d "$portable"
wh_start portable "$portable/kwo.exe"
check portable_first_start wh_driver wait "$notice" visible 20000
check portable_creates_db test -f "$portable/kwo.db"
check portable_keeps_starter_ini cmp "$portable/kwo.ini" "$starter"
# The first window a new user sees is painted in the starter's background
# (the list and the boxes are white), not in black.
colour_pixels() {  # colour_pixels R G B: how many pixels of the main window have this colour
  local x y w h
  read -r x y w h < <(wh_driver rect "class:#32770|$title") || return 1
  import -display "$DISPLAY" -window root -crop "${w}x${h}+$x+$y" +repage "$WH_DIR/first-start.png" &&
    convert "$WH_DIR/first-start.png" -format %c histogram:info:- | tr -d ' ' | grep -F "($1,$2,$3)" | cut -d: -f1 | grep . ||
    echo 0
}
wh_driver wait "class:#32770|$title" visible 10000 >/dev/null
background=$(colour_pixels "$(ini_value "$starter" Red)" "$(ini_value "$starter" Green)" "$(ini_value "$starter" Blue)")
echo "measured: the first window has $background pixels of the starter's background"
check portable_first_window_light test "$background" -ge 2000
wh_driver command "$notice" 1 >/dev/null
wh_driver command "class:#32770|$title" "$IDC_EXIT" >/dev/null
check portable_exits wh_driver wait "class:#32770|$title" gone 10000

e2e_finish() { [ "$failures" -eq 0 ] || wh_fail "$failures case(s) failed"; echo "all cases passed"; }
e2e_finish
