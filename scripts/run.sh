#!/usr/bin/env bash
# Starts 疾书精灵 on this machine: installs what is missing, builds kwo.exe,
# puts it into a run folder with a kwo.ini and a few sample entries (first
# start only), and runs it under Wine in a Simplified Chinese virtual desktop
# together with Notepad to type into.
#
#   scripts/run.sh                 build, stage into out/run/ and start
#   scripts/run.sh --stage DIR     build and stage into DIR only (no Wine)
#
# kwo.exe is built in build/windows/app/kwo.exe. The run folder keeps its
# kwo.ini and kwo.db between runs; delete them to start afresh.
# Settings: KWO_RUN_DIR (run folder, default out/run), KWO_RUN_PREFIX (Wine
# prefix, default ~/.cache/kwo/run-wine), KWO_NO_NOTEPAD=1 (no Notepad).
# Without a DISPLAY the desktop runs in an Xvfb of its own; the script says
# how to look at it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

stage_only=
run_dir=${KWO_RUN_DIR:-$root/out/run}
if [ "${1:-}" = "--stage" ]; then
  stage_only=1
  run_dir=${2:?--stage DIR}
fi

"$root/scripts/setup.sh"

# The same configuration as scripts/build.sh windows, but only the program is built.
build_dir=$root/build/windows
cmake -S "$root" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$build_dir" --target kwo -j "$(nproc)" >&2
echo "run: built $build_dir/app/kwo.exe" >&2

mkdir -p "$run_dir"
cp "$build_dir/app/kwo.exe" "$run_dir/kwo.exe"

# kwo.ini is code page 936 with CR LF line ends, as the program writes it.
if [ ! -f "$run_dir/kwo.ini" ]; then
  printf '%s\r\n' \
    '[sys]' \
    'connectionString=Provider=SQLite;Data Source=kwo.db' \
    '[Options]' \
    'EnablePre=0' \
    'EnableAfter=0' \
    'Interval=0' \
    'PreStr=' \
    'AfterStr=' \
    'TimerStr=' \
    '[BackGround]' \
    'Red=214' \
    'Green=234' \
    'Blue=220' \
    '[Menu]' \
    '程序文件夹=.' \
    | iconv -f UTF-8 -t CP936 >"$run_dir/kwo.ini"
fi

# Sample entries, in the table the program itself would create (store/ShorthandTable.cpp).
source "$root/scripts/short-key-id.sh"
if [ ! -f "$run_dir/kwo.db" ]; then
  {
    echo "begin;"
    echo "create table if not exists kwo(id INTEGER PRIMARY KEY, shortkey TEXT, content TEXT);"
    while IFS='|' read -r key content; do
      echo "insert into kwo(id, shortkey, content) values($(short_key_id "$key"), '$key', '${content//\'/\'\'}');"
    done <<'ENTRIES'
A|您好，很高兴认识您！
AB|此致{ENTER}敬礼！
AD|地址：
ADDR|北京市海淀区中关村大街1号
B|谢谢！
BJ|北京
DATE|{DELAY 50}今天的会议改到下午三点。
MAIL|someone@example.com
SIG|张三{ENTER}疾书精灵团队{ENTER}电话：010-12345678
TEL|010-12345678
1|第一条
12|十二
ZZZZZZ|最后一条
ENTRIES
    echo "commit;"
  } | sqlite3 "$run_dir/kwo.db"
fi
echo "run: staged $run_dir" >&2
[ -n "$stage_only" ] && exit 0

export WINEPREFIX=${KWO_RUN_PREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/kwo/run-wine}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8

xvfb_pid=
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
if [ -z "${DISPLAY:-}" ]; then
  display_file=$(mktemp)
  Xvfb -displayfd 7 -screen 0 1024x768x24 -nolisten tcp 7>"$display_file" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$display_file" ] && break; sleep 0.1; done
  [ -s "$display_file" ] || { echo "run: Xvfb did not start" >&2; exit 1; }
  export DISPLAY=":$(head -n1 "$display_file")"
  rm -f "$display_file"
  echo "run: no DISPLAY; the desktop runs in Xvfb on $DISPLAY. To look at it:" >&2
  echo "       import -display $DISPLAY -window root shot.png   (a screenshot)" >&2
  echo "       x11vnc -display $DISPLAY                         (if installed, then a VNC viewer)" >&2
fi

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "run: creating the Wine prefix $WINEPREFIX" >&2
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w || true
fi

# Every program of this prefix runs in the virtual desktop "kwo".
wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d kwo /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v kwo /d 1024x768 /f >/dev/null 2>&1
cd "$run_dir"
if [ "${KWO_NO_NOTEPAD:-0}" != 1 ]; then
  wine notepad >/dev/null 2>&1 &
fi
echo "run: 疾书精灵 runs in the Wine desktop \"kwo\" (its icon is in that desktop's taskbar)." >&2
echo "     Win + Space calls it up; right-click the icon for the menu; \"退出\" ends it and this script." >&2
wine kwo.exe >/dev/null 2>&1 || true
