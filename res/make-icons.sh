#!/usr/bin/env bash
# Draws the program's two icons: a pen over a rounded square, green for the
# running state (kwo.ico, resource 128) and grey for the stopped state
# (kwo-stopped.ico, 129), each with 48, 32 and 16 pixel images.
# Needs ImageMagick. Run from anywhere; writes beside this script.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

draw() {  # draw <fill> <edge> <out.png>
  # Drawn at 256 pixels and scaled down, so the small sizes stay smooth.
  convert -size 256x256 xc:none \
    -fill "$1" -stroke "$2" -strokewidth 8 -draw "roundrectangle 12,12 244,244 48,48" \
    -stroke none -fill white \
    -draw "polygon 70,186 166,58 198,86 102,214 62,222" \
    -fill "$2" -draw "polygon 62,222 70,186 102,214" \
    -fill "#ffd75e" -draw "polygon 166,58 180,40 216,70 198,86" \
    -stroke white -strokewidth 10 -draw "line 120,226 206,226" \
    "$3"
}

make_ico() {  # make_ico <fill> <edge> <out.ico>
  draw "$1" "$2" "$work/big.png"
  for size in 48 32 16; do
    convert "$work/big.png" -resize ${size}x${size} "$work/$size.png"
  done
  convert "$work/48.png" "$work/32.png" "$work/16.png" "$3"
}

make_ico "#2e9d5b" "#1d6b3c" "$here/kwo.ico"
make_ico "#9a9a9a" "#5e5e5e" "$here/kwo-stopped.ico"
