#!/usr/bin/env bash
# Takes screenshots of 疾书精灵 under Wine (zh_CN, code page 936) for a look
# by eye: the main window with a filled list, in search mode, the main window's Help menu
# with the user's links, the options dialog, the entry edit dialog, the About
# box, the notification icon's menu and the notice of a first start.
# The PNGs go to build/screenshots/ (override with KWO_SHOTS_DIR). The main
# window, the options dialog, the edit dialog and the first-start notice are
# also cut out into help/images/ (override with KWO_HELP_IMAGES), which the
# help file and the README show; commit them when they changed.
# KWO_SHOTS_DPI=144 (150 %) or 192 (200 %) takes the same set on a display of
# that many pixels per inch (LogPixels) and a screen as much larger, into
# build/screenshots/dpi-144/ and so on, cut-outs into its cut/; help/images/ stays
# as it is.
# Uses the end-to-end harness (own Xvfb, Wine prefix and virtual desktop) and
# its driver program; stops everything it started.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dpi=${KWO_SHOTS_DPI:-}
if [ -n "$dpi" ]; then
  shots=${KWO_SHOTS_DIR:-$root/build/screenshots/dpi-$dpi}
  images=${KWO_HELP_IMAGES:-$shots/cut}
  export WH_DPI=$dpi WH_SCREEN="$((1024 * dpi / 96))x$((768 * dpi / 96))"
else
  shots=${KWO_SHOTS_DIR:-$root/build/screenshots}
  images=${KWO_HELP_IMAGES:-$root/help/images}
fi
scale=${dpi:-96}
mkdir -p "$shots" "$images"

# kwo.exe staged with a kwo.ini and sample entries; the driver from the same build.
stage=$(mktemp -d "${TMPDIR:-/tmp}/kwo-shots.XXXXXX")
"$root/scripts/run.sh" --stage "$stage/run"
cmake --build "$root/build/windows" --target wine_driver -j "$(nproc)" >&2
export WH_DRIVER=$root/build/windows/tests/wine/wine_driver.exe
export WH_SHELL=1  # a taskbar with the notification area, for the icon's menu

# shellcheck source=../tests/wine/harness.sh
source "$root/tests/wine/harness.sh"
export WH_ARTIFACTS=$shots
wh_init screenshots 180
trap 'rm -rf "$stage"; _wh_on_exit' EXIT

shot() { import -display "$DISPLAY" -window root "$shots/$1.png" && echo "screenshots: $shots/$1.png"; }
# window_shot NAME WINDOW...: the smallest part of the desktop that holds the
# windows, into help/images/NAME.png (without time stamps in the file).
window_shot() {
  local name=$1 window left=100000 top=100000 right=0 bottom=0 x y w h; shift
  for window in "$@"; do
    read -r x y w h < <(wh_driver rect "$window") || wh_fail "no window $window"
    (( x < left )) && left=$x; (( y < top )) && top=$y
    (( x + w > right )) && right=$((x + w)); (( y + h > bottom )) && bottom=$((y + h))
  done
  import -display "$DISPLAY" -window root -crop "$((right - left))x$((bottom - top))+$left+$top" +repage \
    -strip -define png:exclude-chunks=date,time "$images/$name.png" && echo "screenshots: $images/$name.png"
}
title=疾书精灵

cd "$stage/run"
wh_start kwo kwo.exe
main_window=$(wh_driver wait "$title" exists 20000) || wh_fail "the main window did not come up"

# Main window, called up with the open command, with a short key typed.
wh_driver command "$title" 32799 >/dev/null
wh_driver wait "$title" visible >/dev/null || wh_fail "the main window did not show"
wh_driver activate "$title" >/dev/null || true
shot main-full-list
wh_driver set-text "$title" 1001 A >/dev/null
wh_wait_until 10 bash -c '[ -n "$(wine "$WH_DRIVER" text 疾书精灵 1002 2>/dev/null)" ]' || wh_fail "no content for A"
shot main-key-A
window_shot main "$title"

# Search mode (Ctrl+F): the cue text in the empty box, then a Chinese word found in contents.
wh_driver set-text "$title" 1001 "" >/dev/null
wh_driver activate "$title" >/dev/null || true
wh_driver keys CTRL+F >/dev/null
wh_wait_until 10 bash -c '[ "$(wine "$WH_DRIVER" text 疾书精灵 1011 2>/dev/null)" = 查找 ]' || wh_fail "no search mode"
shot main-search-empty
wh_driver type 北京 >/dev/null
wh_wait_until 10 bash -c '[ -n "$(wine "$WH_DRIVER" text 疾书精灵 1002 2>/dev/null)" ]' || wh_fail "nothing found for 北京"
wh_driver keys DOWN >/dev/null
sleep 1
shot main-search-found
wh_driver keys ESCAPE >/dev/null

# Help menu with the links from kwo.ini.
wh_driver keys ALT+H >/dev/null
sleep 1  # the menu has no window the driver can wait for
shot main-help-menu
wh_driver keys ESCAPE ESCAPE >/dev/null

# Options dialog.
wh_driver command "$title" 32802 >/dev/null
wh_driver wait 参数设置 visible >/dev/null || wh_fail "the options dialog did not show"
shot options
window_shot options 参数设置
# Its warning about a broken prefix (answered No: back to the dialog), and its refusal of an interval.
notice_box() { wh_driver windows | awk -v main="$main_window" \
  '$3 == "v" && $4 == "#32770" && $5 == "\"疾书精灵\"" && $1 != main { print $1; exit }'; }
box_shown() { [ -n "$(notice_box)" ]; }
box_gone() { ! box_shown; }
wh_driver set-text 参数设置 1038 '{HOME 中文' >/dev/null
wh_driver command 参数设置 1 >/dev/null
wh_wait_until 10 box_shown || wh_fail "no warning about the prefix"
shot options-sequence-warning
wh_driver command "$(notice_box)" 7 >/dev/null
wh_wait_until 10 box_gone || wh_fail "the warning did not close"
wh_driver set-text 参数设置 1032 9999 >/dev/null
wh_driver command 参数设置 1 >/dev/null
wh_wait_until 10 box_shown || wh_fail "no refusal of the interval"
shot options-interval-refused
wh_driver command "$(notice_box)" 1 >/dev/null
wh_wait_until 10 box_gone || wh_fail "the refusal did not close"
wh_driver command 参数设置 2 >/dev/null
wh_driver wait 参数设置 gone >/dev/null || wh_fail "the options dialog did not close"

# Entry edit dialog with an existing entry looked up.
wh_driver command "$title" 1003 >/dev/null
wh_driver wait 编辑速记 visible >/dev/null || wh_fail "the edit dialog did not show"
wh_driver set-text 编辑速记 1001 AB >/dev/null
wh_wait_until 10 bash -c '[ -n "$(wine "$WH_DRIVER" text 编辑速记 1002 2>/dev/null)" ]' || wh_fail "no content for AB"
wh_driver click 编辑速记 1045 >/dev/null  # "试一试"
wh_wait_until 10 bash -c '[ -n "$(wine "$WH_DRIVER" text 编辑速记 1046 2>/dev/null)" ]' || wh_fail "试一试 showed nothing"
shot edit-dialog
window_shot edit-dialog 编辑速记
wh_driver keys SHIFT+TAB >/dev/null  # from "试一试" back into the content box, all of it selected
wh_driver type '你好{ENTR}再见' >/dev/null
sleep 1
shot edit-dialog-warning
window_shot edit-dialog-warning 编辑速记
wh_driver command 编辑速记 2 >/dev/null
wh_driver wait 编辑速记 gone >/dev/null || wh_fail "the edit dialog did not close"

# About box.
wh_driver command "$title" 32795 >/dev/null
wh_driver wait "关于 疾书精灵" visible >/dev/null || wh_fail "the About box did not show"
shot about
wh_driver command "关于 疾书精灵" 1 >/dev/null
wh_driver wait "关于 疾书精灵" gone >/dev/null || wh_fail "the About box did not close"

# Notification icon's menu: right click on the icon at the right end of the taskbar.
wh_driver command "$title" 2 >/dev/null
xdotool mousemove $(( 1013 * scale / 96 )) $(( 757 * scale / 96 )) click 3
xdotool mousemove $(( 1000 * scale / 96 )) $(( 600 * scale / 96 ))  # away from the icon, so that its tip does not cover the menu
sleep 1
shot tray-menu
xdotool click 1  # a click elsewhere closes the menu

wh_driver command "$title" 1009 >/dev/null
wh_driver wait "$title" gone >/dev/null || wh_fail "the program did not end"

# First start: kwo.exe with the starter kwo.ini that the installer and the
# portable zip bring; it creates kwo.db and says how to begin.
mkdir -p "$stage/first"
cp "$stage/run/kwo.exe" "$stage/first/kwo.exe"
sed 's/$/\r/' "$root/installer/kwo.ini" >"$stage/first/kwo.ini"
cd "$stage/first"
wh_start first kwo.exe
wh_driver wait 欢迎使用疾书精灵 visible 20000 >/dev/null || wh_fail "no first-start notice"
wh_driver wait "$title" visible >/dev/null || wh_fail "the main window did not show on the first start"
sleep 1  # the notice is drawn after it shows
shot first-start
window_shot first-start "$title" 欢迎使用疾书精灵
wh_driver command 欢迎使用疾书精灵 1 >/dev/null
wh_driver command "$title" 1009 >/dev/null
wh_driver wait "$title" gone >/dev/null || wh_fail "the program did not end"
echo "screenshots: done"
