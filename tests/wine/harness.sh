# Harness for end-to-end tests under Wine; source it from a bash test script.
#
# Every test gets its own Xvfb display, its own Wine prefix (a cheap copy of a
# template made once with LANG=zh_CN.UTF-8, so GetACP() is 936), hence its own
# wineserver, and its own virtual desktop that all its programs share. All of
# it is stopped when the script ends, fails, times out or is killed.
#
#   source tests/wine/harness.sh
#   WH_DRIVER=/path/to/wine_driver.exe
#   wh_init NAME [SECONDS]     start everything and wait for the desktop (when
#                              WH_DRIVER is set); the whole script must end
#                              within SECONDS (default 120) or it is stopped and
#                              fails with 124
#   wh_start ID EXE ARGS...    start a Windows program in the desktop, in the
#                              background; its output goes to $WH_DIR/ID.log
#   wh_run EXE ARGS...         run a Windows program to its end (at most
#                              $WH_RUN_TIMEOUT s, default 60); stdout passes
#                              through, the exit code is returned
#   wh_driver CMD ARGS...      wh_run of driver.exe (see the top of driver.cpp);
#                              needs WH_DRIVER=/path/to/driver.exe
#   wh_winpath PATH            prints the Windows path (Z:\...) of a Unix path
#   wh_file NAME TEXT          writes TEXT into $WH_DIR/NAME with its backslash
#                              escapes (\r \n \t \\) expanded as printf %b
#                              does, no newline added; prints its Windows path
#   wh_wait_until SECONDS CMD... run CMD until it succeeds (every 0.1 s) or fail
#   wh_fail MESSAGE            report (windows, focus, program logs), take a
#                              screenshot, stop everything, exit 1
#   wh_screenshot [NAME]       save the desktop as a PNG in $WH_ARTIFACTS
#
# Variables after wh_init: WH_DIR (scratch folder, removed at the end),
# WH_PREFIX, WH_DESKTOP, DISPLAY, WINEPREFIX.
# Settings: WH_SHELL=1 gives the desktop a taskbar with the notification area
# (set before wh_init); WH_SCREEN sets the size of the screen and the desktop
# (default 1024x768) and WH_DPI the display's pixels per inch (LogPixels: 96
# is 100 %, 144 is 150 %, 192 is 200 %; default the prefix's own);
# KWO_WINE_TEMPLATE (template prefix, default
# ~/.cache/kwo/wine-e2e-template-WINEVERSION); WH_ARTIFACTS (where screenshots
# of failures go, default /tmp/kwo-wine-artifacts); KWO_WINE_KEEP=1 keeps WH_DIR.
#
# Under Wine: synthetic input reaches windows only inside the virtual desktop;
# a hotkey fires only while a window of the desktop is active (activate one
# first); when a window hides, Wine activates the next one in z-order; an edit
# takes in typed text at a few hundred characters a second, so wait for the
# text (driver wait-text), never for a time.

WH_HARNESS_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
WH_RUN_TIMEOUT=${WH_RUN_TIMEOUT:-60}
WH_SCREEN=${WH_SCREEN:-1024x768}
WH_ARTIFACTS=${WH_ARTIFACTS:-/tmp/kwo-wine-artifacts}
WH_DIR=
WH_PREFIX=
WH_DESKTOP=
WH_XVFB_PID=
WH_GUARD_PID=
WH_NAME=

export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8

_wh_log() { echo "[harness $(date +%T)] $*" >&2; }

# Template prefix: made once, under a lock, and published by a rename so that a
# half-made template is never used.
_wh_template() {
  # Named after the Wine version: a newer Wine would update the prefix in
  # place, through the hard links of every copy.
  local version
  version=$(wine --version 2>/dev/null | tr -c 'A-Za-z0-9.\n-' '_')
  local template=${KWO_WINE_TEMPLATE:-${XDG_CACHE_HOME:-$HOME/.cache}/kwo/wine-e2e-template-${version:-unknown}}
  mkdir -p "$(dirname "$template")"
  (
    flock -w 120 9 || { _wh_log "timed out waiting for the template lock"; exit 1; }
    [ -f "$template/system.reg" ] && exit 0
    local building="$template.building.$$"
    rm -rf "$building"
    mkdir -p "$building"
    _wh_log "creating the template Wine prefix $template"
    WINEPREFIX=$building timeout -k 10 180 wineboot -i >/dev/null 2>&1
    WINEPREFIX=$building timeout -k 10 60 wineserver -w
    [ -f "$building/system.reg" ] || { _wh_log "wineboot failed"; rm -rf "$building"; exit 1; }
    mv "$building" "$template"
  ) 9>"$template.lock" || return 1
  echo "$template"
}

# Copies the template: program files are hard links (Wine never writes them),
# everything else (registry, ini files, users' folders) is copied.
_wh_copy_prefix() {
  local template=$1 prefix=$2
  cp -al "$template" "$prefix" || return 1
  local file
  while IFS= read -r -d '' file; do
    cp --remove-destination -p "$template/${file#"$prefix"/}" "$file" || return 1
  done < <(find "$prefix" -type f ! \( -name '*.dll' -o -name '*.exe' -o -name '*.nls' -o -name '*.sys' \
             -o -name '*.drv' -o -name '*.acm' -o -name '*.cpl' -o -name '*.ocx' -o -name '*.tlb' \
             -o -name '*.ds' -o -name '*.com' -o -name '*.msstyles' -o -name '*.icm' -o -name '*.manifest' \) -print0)
  # Every program of this prefix runs in our virtual desktop; with WH_SHELL=1
  # the desktop has a taskbar with the notification area.
  local shell=0
  [ "${WH_SHELL:-0}" = 1 ] && shell=1
  cat >>"$prefix/user.reg" <<EOF

[Software\\\\Wine\\\\Explorer] 1700000000
"Desktop"="$WH_DESKTOP"

[Software\\\\Wine\\\\Explorer\\\\Desktops] 1700000000
"$WH_DESKTOP"="$WH_SCREEN"

[Software\\\\Wine\\\\Explorer\\\\Desktops\\\\$WH_DESKTOP] 1700000000
"EnableShell"=dword:0000000$shell
EOF
  if [ -n "${WH_DPI:-}" ]; then
    printf '\n[Control Panel\\\\Desktop] 1700000000\n"LogPixels"=dword:%08x\n' "$WH_DPI" >>"$prefix/user.reg"
  fi
}

_wh_start_xvfb() {
  local fdfile="$WH_DIR/display"
  # -displayfd lets Xvfb pick a free display itself, safely against concurrent starts.
  Xvfb -displayfd 7 -screen 0 "${WH_SCREEN}x24" -nolisten tcp 7>"$fdfile" >"$WH_DIR/xvfb.log" 2>&1 &
  WH_XVFB_PID=$!
  if ! wh_wait_until 15 test -s "$fdfile"; then
    _wh_log "Xvfb did not start:"; cat "$WH_DIR/xvfb.log" >&2
    return 1
  fi
  export DISPLAY=":$(head -n1 "$fdfile")"
}

# Stops what this test started. Safe to call more than once.
_wh_stop() {
  if [ -n "$WH_PREFIX" ] && [ -d "$WH_PREFIX" ]; then
    WINEPREFIX=$WH_PREFIX wineserver -k >/dev/null 2>&1
    WINEPREFIX=$WH_PREFIX timeout -k 2 10 wineserver -w >/dev/null 2>&1
  fi
  if [ -n "$WH_XVFB_PID" ]; then
    kill "$WH_XVFB_PID" 2>/dev/null
    wait "$WH_XVFB_PID" 2>/dev/null
    WH_XVFB_PID=
  fi
  if [ -n "$WH_GUARD_PID" ]; then
    kill "$WH_GUARD_PID" 2>/dev/null
    WH_GUARD_PID=
  fi
  if [ -n "$WH_DIR" ] && [ -d "$WH_DIR" ]; then
    if [ "${KWO_WINE_KEEP:-0}" = 1 ]; then
      rm -rf "$WH_PREFIX"; _wh_log "kept $WH_DIR"
    else
      rm -rf "$WH_DIR"
    fi
  fi
  WH_PREFIX=
}

_wh_on_exit() {
  local rc=$?
  trap - EXIT INT TERM HUP
  if [ -n "$WH_DIR" ] && [ -f "$WH_DIR/timed-out" ]; then
    _wh_log "FAILED: overall timeout"
    rc=124
  fi
  _wh_stop
  exit "$rc"
}

# A guard outside the test's process tree: it stops the test's Wine and Xvfb
# when the overall deadline passes, and cleans up if the script itself is
# killed (SIGKILL runs no trap).
_wh_start_guard() {
  local seconds=$1 main=$$
  (
    setsid bash -c '
      main=$1 deadline=$(( $(date +%s) + $2 )) prefix=$3 xvfb=$4 dir=$5 keep=$6
      stop() {
        WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1
        kill "$xvfb" 2>/dev/null
      }
      while kill -0 "$main" 2>/dev/null; do
        if [ "$(date +%s)" -ge "$deadline" ]; then
          # TERM first: bash runs its trap as soon as the wine command that
          # the stop ends returns, before the script can go on.
          : >"$dir/timed-out"
          kill -TERM "$main" 2>/dev/null
          stop
          deadline=$(( deadline + 3600 ))
        fi
        sleep 0.5
      done
      stop
      WINEPREFIX=$prefix timeout -k 2 10 wineserver -w >/dev/null 2>&1
      [ "$keep" = 1 ] || rm -rf "$dir"
    ' guard "$main" "$seconds" "$WH_PREFIX" "$WH_XVFB_PID" "$WH_DIR" "${KWO_WINE_KEEP:-0}" </dev/null >/dev/null 2>&1 &
    echo $! >"$WH_DIR/guard.pid"
  )
  WH_GUARD_PID=$(cat "$WH_DIR/guard.pid")
}

wh_wait_until() {
  local seconds=$1; shift
  local deadline=$(( $(date +%s%N) / 1000000 + seconds * 1000 ))
  until "$@"; do
    (( $(date +%s%N) / 1000000 < deadline )) || return 1
    sleep 0.1
  done
}

wh_init() {
  WH_NAME=${1:?wh_init NAME [SECONDS]}
  local seconds=${2:-120}
  WH_DIR=$(mktemp -d "${TMPDIR:-/tmp}/kwo-wine-$WH_NAME.XXXXXX") || return 1
  WH_PREFIX="$WH_DIR/prefix"
  WH_DESKTOP="kwo-$WH_NAME-$$"
  trap _wh_on_exit EXIT
  trap 'exit 130' INT
  trap 'exit 143' TERM
  trap 'exit 129' HUP

  local template
  template=$(_wh_template) || { _wh_log "no template prefix"; exit 1; }
  _wh_copy_prefix "$template" "$WH_PREFIX" || { _wh_log "copying the prefix failed"; exit 1; }
  export WINEPREFIX=$WH_PREFIX
  _wh_start_xvfb || exit 1
  _wh_start_guard "$seconds"

  # The desktop's own process; every program then joins this desktop.
  wine explorer "/desktop=$WH_DESKTOP,$WH_SCREEN" >"$WH_DIR/explorer.log" 2>&1 &
  if [ -n "${WH_DRIVER:-}" ]; then
    wh_driver wait class:Shell_TrayWnd exists 20000 >/dev/null || wh_fail "the virtual desktop did not start"
    # Wine closes a virtual desktop a second after the last program in it
    # ends; a program started again just then finds no desktop. One program
    # stays in it for the whole test.
    wh_start desktop-hold "$WH_DRIVER" hold
  fi
  _wh_log "$WH_NAME: display $DISPLAY, desktop $WH_DESKTOP, prefix $WH_PREFIX"
}

wh_start() {
  local id=$1; shift
  wine "$@" >"$WH_DIR/$id.log" 2>&1 &
}

wh_run() {
  timeout --foreground -k 5 "$WH_RUN_TIMEOUT" wine "$@"
}

wh_driver() {
  wh_run "${WH_DRIVER:?set WH_DRIVER to the path of driver.exe}" "$@"
}

wh_winpath() {
  local path
  path=$(realpath -m "$1")
  printf 'Z:%s' "${path//\//\\}"
}

wh_file() {
  printf '%b' "$2" >"$WH_DIR/$1"
  wh_winpath "$WH_DIR/$1"
}

wh_screenshot() {
  mkdir -p "$WH_ARTIFACTS"
  local file="$WH_ARTIFACTS/${1:-$WH_NAME-$$}.png"
  timeout 10 import -display "$DISPLAY" -window root "$file" 2>/dev/null && _wh_log "screenshot: $file"
}

wh_fail() {
  _wh_log "FAILED: $*"
  if [ -n "${WH_DRIVER:-}" ] && [ -n "$WH_PREFIX" ]; then
    _wh_log "windows on the desktop:"
    WH_RUN_TIMEOUT=10 wh_driver windows 2>&1 | grep ' v ' >&2
    WH_RUN_TIMEOUT=10 wh_driver focus >&2 2>&1
  fi
  local log
  for log in "$WH_DIR"/*.log; do
    [ -s "$log" ] || continue
    _wh_log "last lines of $(basename "$log"):"
    tail -n 20 "$log" >&2
  done
  wh_screenshot
  exit 1
}
