#!/usr/bin/env bash
# Builds kwo.chm from the pages in this folder.
#   help/build-chm.sh KEYNAMES OUT.chm
# KEYNAMES is the host program built from keynames.cpp: it writes the rows of
# the key-name page from the program's own table. The pages stay UTF-8 (they
# say so in a meta tag and read the same in a browser); the project and the
# table of contents are converted to GBK, which the help viewer expects for a
# Chinese table of contents. Every file gets one date, and the two build
# times chmcmd writes into the file are set to SOURCE_DATE_EPOCH (default
# 2000-01-01), so that two builds of the same sources give the same file.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
keynames=${1:?path of the keynames program}
out=${2:?output .chm}
stage=$(mktemp -d "${TMPDIR:-/tmp}/kwo-chm.XXXXXX")
trap 'rm -rf "$stage"' EXIT

cp "$here"/*.htm "$here"/style.css "$stage/"
mkdir -p "$stage/images"
cp "$here"/images/*.png "$stage/images/"
rows=$("$keynames")
awk -v rows="$rows" '$0 == "@KEYNAME_ROWS@" { print rows; next } { print }' \
  "$here/keynames.htm.in" >"$stage/keynames.htm"
iconv -f UTF-8 -t GBK "$here/kwo.hhp" >"$stage/kwo.hhp"
iconv -f UTF-8 -t GBK "$here/toc.hhc" >"$stage/toc.hhc"

# Every page of the project must exist: chmcmd would only warn.
while IFS= read -r file; do
  [ -f "$stage/$file" ] || { echo "build-chm: $file is listed in kwo.hhp but missing" >&2; exit 1; }
done < <(sed -n '/^\[FILES\]/,/^\[/{/^\[/d;/^$/d;p}' "$here/kwo.hhp")

find "$stage" -exec touch -h -d '2000-01-01 00:00:00 UTC' {} +
(cd "$stage" && chmcmd --no-html-scan --verbosity 1 kwo.hhp >chmcmd.log 2>&1) || { cat "$stage/chmcmd.log" >&2; exit 1; }
[ -s "$stage/kwo.chm" ] || { cat "$stage/chmcmd.log" >&2; exit 1; }

# The build times: the ITSF header's at 0x10 (big-endian), and record 10 of
# the #SYSTEM file (little-endian), which chmcmd writes first.
chm=$stage/kwo.chm
epoch=${SOURCE_DATE_EPOCH:-946684800}
u32_at() { od -An -t u4 --endian=little -j "$1" -N 4 "$chm" | tr -d ' '; }
u16_at() { od -An -t u2 --endian=little -j "$1" -N 2 "$chm" | tr -d ' '; }
put_bytes() {  # put_bytes OFFSET B0 B1 B2 B3
  printf "$(printf '\\x%02x' "${@:2}")" | dd of="$chm" bs=1 seek="$1" conv=notrunc status=none
}
bytes_be=($(( epoch >> 24 & 255 )) $(( epoch >> 16 & 255 )) $(( epoch >> 8 & 255 )) $(( epoch & 255 )))
content=$(u32_at 88)  # offset of content section 0 (a 64-bit field; the file is small)
system=$(chmls -p list "$chm" 2>/dev/null | awk '$4 == "/#SYSTEM" && $1 == 0 { print $2 }')
[ -n "$system" ] || { echo "build-chm: no #SYSTEM in $chm" >&2; exit 1; }
record=$((content + system + 4))
if [ "$(u16_at "$record")" != 10 ] || [ "$(u16_at $((record + 2)))" != 4 ]; then
  echo "build-chm: #SYSTEM does not begin with its time record; chmcmd changed?" >&2; exit 1
fi
put_bytes 16 "${bytes_be[@]}"
put_bytes $((record + 4)) "${bytes_be[3]}" "${bytes_be[2]}" "${bytes_be[1]}" "${bytes_be[0]}"

mkdir -p "$(dirname "$out")"
cp "$chm" "$out"
echo "$out"
