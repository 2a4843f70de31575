# Shared steps of the kwo.exe end-to-end tests; source it after setting
# KWO_EXE, WH_DRIVER and RECEIVER (or call e2e_tools). It sources the Wine
# harness itself, and the ids of res/resource.h (IDC_SHORTKEY, ID_OPTIONS, ...:
# tests/e2e/resource_ids.sh) that the scripts name controls and commands by.
#
#   e2e_tools BUILD              builds the programs of the measured runs in the
#                                Windows build folder BUILD when needed; sets
#                                KWO_EXE, WH_DRIVER, RECEIVER, TOOL and MINI
#                                and loads the build's resource ids
#   e2e_stage [INI_LINES...]     fresh folder $APP with kwo.exe, the entries
#                                below in kwo.db and kwo.ini made of the lines
#                                (UTF-8 here, written as code page 936, CR LF)
#   e2e_write_ini LINES...       rewrites $APP/kwo.ini the same way
#   e2e_start_kwo                starts $APP/kwo.exe, waits for its main window
#                                (hidden), sets $KWO to its handle
#   e2e_exit_kwo                 exit command IDC_EXIT, waits until the process ended
#   e2e_start_receiver TITLE [X Y [OPTION...]]
#                                starts receiver.exe, sets $RCV to its handle
#   e2e_call_up                  receiver to the top, Win + Space, waits until
#                                the main window is in front
#   e2e_open_options             opens the options dialog, sets $DLG to its handle
#   e2e_focus_control ID         Tab until control ID of the window in front has the focus
#   e2e_expand KEY EXPECTED      calls kwo up, types KEY, presses Enter, waits
#                                until the receiver holds EXPECTED (wh_file
#                                notation) exactly
#   check / fails / equals / contains
#                                one result line per case, counted in $failures
#   e2e_finish                   fails the script if any case failed
source "$(dirname "${BASH_SOURCE[0]}")/../wine/harness.sh"
source "$(dirname "${BASH_SOURCE[0]}")/resource_ids.sh"
if [ -n "${WH_DRIVER:-}" ]; then kwo_load_ids || exit 1; fi

KWO_TITLE="疾书精灵"
APP=
KWO=
KWO_PID=
RCV=
source "$(dirname "${BASH_SOURCE[0]}")/../wine/checks.sh"
e2e_finish() {
  [ "$failures" -eq 0 ] || wh_fail "$failures case(s) failed"
  echo "all cases passed"
}

# The short-key id, as the program computes it.
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/short-key-id.sh"
e2e_short_key_id() { short_key_id "$@"; }

e2e_tools() {  # e2e_tools BUILD
  cmake --build "$1" --target kwo wine_driver wine_receiver kwo_e2e_tool kwo_e2e_mini kwo_ids -j2 >&2 || return 1
  KWO_EXE="$1/app/kwo.exe"
  WH_DRIVER="$1/tests/wine/wine_driver.exe"
  RECEIVER="$1/tests/wine/wine_receiver.exe"
  TOOL="$1/tests/e2e/kwo_e2e_tool.exe"
  MINI="$1/tests/e2e/kwo_e2e_mini.exe"
  kwo_load_ids
}

# Entries of every test. K has 44 longer keys beginning with it (45 in all).
E2E_K_KEYS="K $(printf 'K%s ' 0 1 2 3 4 5 6 7 8 9 A B C D E F G H I J K L M N O P Q R S T U V W X Y Z 00 01 02 03 04 05 06 07)"
e2e_seed_db() {  # e2e_seed_db FILE
  local db=$1 key
  {
    echo "begin;"
    echo "create table kwo(id INTEGER PRIMARY KEY, shortkey TEXT, content TEXT);"
    e2e_row A "'您好，很高兴认识您！'"
    e2e_row AB "'此致{ENTER}敬礼！'"
    e2e_row CRLF "'第一行' || char(13, 10) || '第二行，最后一行' || char(13, 10) || 'end'"
    e2e_row ZZZZZZ "'最后一条 ZZZZZZ'"
    e2e_row UZZZZZ "'六位键 UZZZZZ 超过 2147483647'"
    e2e_row T1 "'timer'"
    for key in $E2E_K_KEYS; do e2e_row "$key" "'内容$key'"; done
    echo "commit;"
  } | sqlite3 "$db" || return 1
}
e2e_row() {  # e2e_row KEY SQL-EXPRESSION
  echo "insert into kwo(id, shortkey, content) values($(e2e_short_key_id "$1"), '$1', $2);"
}

e2e_write_ini() {
  printf '%s\r\n' "$@" | iconv -f UTF-8 -t CP936 >"$APP/kwo.ini"
}

e2e_stage() {
  APP="$WH_DIR/app"
  mkdir -p "$APP"
  cp "$KWO_EXE" "$APP/kwo.exe" || wh_fail "cannot copy kwo.exe"
  e2e_seed_db "$APP/kwo.db" || wh_fail "cannot seed kwo.db"
  e2e_write_ini "$@"
}

# A kwo.ini with the connection and the given options.
e2e_ini() {  # e2e_ini ENABLE_PRE ENABLE_AFTER PRE AFTER [INTERVAL] [TIMER]
  e2e_write_ini '[sys]' 'connectionString=Provider=SQLite;Data Source=kwo.db' '[Options]' \
    "EnablePre=$1" "EnableAfter=$2" "Interval=${5:-0}" "PreStr=$3" "AfterStr=$4" "TimerStr=${6:-}" \
    '[BackGround]' 'Red=214' 'Green=234' 'Blue=220'
}

e2e_start_kwo() {
  wh_start kwo "$APP/kwo.exe"
  KWO_PID=$!  # the wine process is kwo.exe's own Unix process
  KWO=$(wh_driver wait "$KWO_TITLE" exists 20000) || wh_fail "kwo.exe did not create its main window"
  # The hotkey is registered at the end of the window's initialisation. The
  # list is read through messages that kwo's thread answers only after that
  # initialisation has returned, so rows in it mean the hotkey is there.
  wh_wait_until 10 _e2e_list_filled || wh_fail "the main window's list was not filled"
  [ "$(wh_driver state "$KWO")" = hidden ] || wh_fail "the main window is not hidden after start"
}
_e2e_list_filled() { [ -n "$(wh_driver listview "$KWO" "$IDC_LIST" 2>/dev/null)" ]; }

e2e_exit_kwo() {
  wh_driver command "$KWO" "$IDC_EXIT" >/dev/null
  wh_driver wait "$KWO" gone 10000 >/dev/null || wh_fail "the exit command did not close the main window"
  wh_wait_until 10 e2e_gone "$KWO_PID" || wh_fail "kwo.exe did not end after the exit command"
}
e2e_gone() { ! kill -0 "$1" 2>/dev/null; }

e2e_start_receiver() {
  wh_start "receiver-$1" "$RECEIVER" "$1" "${2:-40}" "${3:-40}" "${@:4}"
  RCV=$(wh_driver wait "$1" visible 20000) || wh_fail "the receiver '$1' did not appear"
}

e2e_call_up() {
  wh_driver activate "$RCV" >/dev/null || wh_fail "cannot activate the receiver"
  wh_driver hotkey
  wh_driver wait "$KWO" foreground 5000 >/dev/null || wh_fail "Win + Space did not bring the main window to the front"
  # Keys typed before the activation has put the focus into the box would go to the dialog itself.
  wh_wait_until 5 e2e_focus_is "$IDC_SHORTKEY" || wh_fail "the short-key box did not get the focus"
}
e2e_focus_is() { wh_driver focus | grep -q "^focus hwnd:0x[0-9a-fA-F]* [^ ]* $1\$"; }

# The options dialog "参数设置" (command ID_OPTIONS), in front; sets $DLG.
e2e_open_options() {
  wh_driver command "$KWO" "$ID_OPTIONS"
  DLG=$(wh_driver wait "参数设置" visible 10000) || wh_fail "the options dialog did not open"
  wh_driver activate "$DLG" >/dev/null || wh_fail "the options dialog cannot be brought to the front"
}

# The file dialog of COMMAND, titled TITLE (the system Open dialog "打开" of
# import by default): types a path into its file-name box and presses Enter.
# With `gone` it waits until the dialog has closed; otherwise what follows (a
# notice of 2 s) is for the caller to check at once, without waiting here.
e2e_choose_file() {  # e2e_choose_file COMMAND WINDOWS-PATH [TITLE [gone]]
  wh_driver command "$KWO" "$1" >/dev/null
  local dialog
  dialog=$(wh_driver wait "class:#32770|${3:-打开}" visible 10000) || return 1
  wh_driver activate "$dialog" >/dev/null || return 1
  wh_driver type "$2"
  wh_driver keys RETURN || return 1
  [ "${4:-}" != gone ] || wh_driver wait "$dialog" gone 10000 >/dev/null
}
# Tab through the dialog in front until the control has the focus, as a user would.
e2e_focus_control() {  # e2e_focus_control ID
  local i
  for i in $(seq 12); do
    e2e_focus_is "$1" && return 0
    wh_driver keys TAB
  done
  wh_fail "control $1 did not get the focus"
}

e2e_expand() {  # e2e_expand KEY EXPECTED-RECEIVER-TEXT [TIMEOUT_MS]
  e2e_call_up
  wh_driver type "$1"
  wh_driver wait-text "$KWO" "$IDC_SHORTKEY" "$(wh_file key.txt "$1")" 5000 >/dev/null || return 1
  wh_driver keys RETURN
  wh_driver wait "$KWO" hidden 5000 >/dev/null || return 1
  wh_driver wait-text "$RCV" 100 "$(wh_file expected.txt "$2")" "${3:-10000}"
}
