#!/usr/bin/env bash
# The release as a user gets it, under Wine in a fresh Simplified Chinese
# prefix: the help file, a silent install, an upgrade over a running copy,
# uninstalling with and without /PURGE, and the portable zip in a folder with
# a Chinese name. Prints the install and uninstall times.
#   release_test.sh RELEASE_DIR DRIVER.exe RECEIVER.exe KEYNAMES
# RELEASE_DIR is what scripts/release.sh wrote; KEYNAMES the host program
# that asks the key-sequence interpreter which key names it accepts.
set -uo pipefail
release=${1:?release folder} WH_DRIVER=${2:?driver.exe} RECEIVER=${3:?receiver.exe} KEYNAMES=${4:?keynames}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../wine/harness.sh"
source "$here/../wine/checks.sh"
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
check zip_holds_three_files equals "$(cd "$WH_DIR/zip" && ls | LC_ALL=C sort | tr '\n' ' ')" "README.txt kwo.chm kwo.exe "
chmls extractall "$WH_DIR/zip/kwo.chm" "$WH_DIR/chm" >/dev/null 2>&1
toc=$(iconv -f GBK -t UTF-8 "$WH_DIR/chm/toc.hhc")
for page in index keys keynames options edit exchange connection install trouble; do
  check "chm_page_$page" grep -q '</html>' "$WH_DIR/chm/$page.htm"
  check "chm_toc_$page" grep -q "value=\"$page.htm\"" <<<"$toc"
done
check chm_toc_chinese grep -q '键序列语言' <<<"$toc"
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
check install_files equals "$(cd "$dir" && ls | LC_ALL=C sort | tr '\n' ' ')" "kwo.chm kwo.exe uninstall.exe "
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
wh_driver command "class:#32770|$title" 2 >/dev/null
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
wh_driver command "class:#32770|$title" 32797 >/dev/null
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
check portable_creates_ini test -f "$portable/kwo.ini"
wh_driver command "$notice" 1 >/dev/null
wh_driver command "class:#32770|$title" 1009 >/dev/null
check portable_exits wh_driver wait "class:#32770|$title" gone 10000

e2e_finish() { [ "$failures" -eq 0 ] || wh_fail "$failures case(s) failed"; echo "all cases passed"; }
e2e_finish
