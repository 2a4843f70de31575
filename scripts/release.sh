#!/usr/bin/env bash
# Builds a release of 疾书精灵 from this checkout into out/release/:
#   kwo-VERSION-setup.exe     the per-user installer (installer/kwo.nsi)
#   kwo-VERSION-portable.zip  kwo.exe, kwo.chm, README.txt and kwo.ini in its root
#   SHA256SUMS                the sums of both, for sha256sum -c
# The version is the one line of the file VERSION. Two runs on the same
# commit give the same zip, byte for byte: the program is linked without a
# time stamp, every file gets the commit's date, the zip holds no extra
# attributes and lists its files in one order.
# kwo.exe may be at most 2 MiB (2,097,152 bytes): a larger one stops the release.
# Settings: KWO_RELEASE_DIR (default out/release).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${KWO_RELEASE_DIR:-$root/out/release}
"$root/scripts/setup.sh" >&2

version=$(head -n1 "$root/VERSION" | tr -d '\r')
[[ "$version" =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || { echo "release: VERSION must be MAJOR.MINOR.PATCH" >&2; exit 1; }
# One date for every file: the commit's, or a fixed one outside a repository.
epoch=$(git -C "$root" log -1 --format=%ct 2>/dev/null || echo 946684800)
stamp=$(date -u -d "@$epoch" '+%Y-%m-%d %H:%M:%S UTC')
export SOURCE_DATE_EPOCH=$epoch

# kwo.exe: the same configuration as scripts/build.sh windows, only the program.
win=$root/build/windows
cmake -S "$root" -B "$win" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$win" --target kwo -j "$(nproc)" >&2
# The key-name list of the help is written by a program of this machine.
host=$root/build/host
cmake -S "$root" -B "$host" -DCMAKE_BUILD_TYPE=Release -DKWO_TESTS=OFF >/dev/null
cmake --build "$host" --target kwo_keynames -j "$(nproc)" >&2

stage=$(mktemp -d "${TMPDIR:-/tmp}/kwo-release.XXXXXX")
trap 'rm -rf "$stage"' EXIT
files=$stage/files
mkdir -p "$files"
cp "$win/app/kwo.exe" "$files/kwo.exe"
exe_bytes=$(stat -c %s "$files/kwo.exe")
exe_limit=2097152
if [ "$exe_bytes" -gt "$exe_limit" ]; then
  echo "release: kwo.exe is $exe_bytes bytes, more than $exe_limit" >&2
  exit 1
fi
"$root/help/build-chm.sh" "$host/help/kwo_keynames" "$files/kwo.chm" >/dev/null
# The note for Notepad: UTF-8 with a byte-order mark and CR LF line ends.
{ printf '\xef\xbb\xbf'; sed "s/@VERSION@/$version/; s/\$/\r/" "$root/installer/README.txt"; } >"$files/README.txt"
# The starter settings, as the program writes them: code page 936, CR LF.
sed 's/$/\r/' "$root/installer/kwo.ini" | iconv -f UTF-8 -t CP936 >"$files/kwo.ini"
chmod 644 "$files"/*
touch -d "$stamp" "$files"/*

rm -rf "$out"
mkdir -p "$out"
zip_name=kwo-$version-portable.zip
setup_name=kwo-$version-setup.exe
(cd "$files" && printf '%s\n' kwo.exe kwo.chm README.txt kwo.ini | LC_ALL=C sort |
   TZ=UTC zip -X -D -9 -q "$out/$zip_name" -@)

size_kb=$(( ( $(stat -c %s "$files/kwo.exe") + $(stat -c %s "$files/kwo.chm") + 1023 ) / 1024 ))
makensis -V2 -INPUTCHARSET UTF8 -WX \
  "-DVERSION=$version" "-DSOURCE_DIR=$files" "-DRES_DIR=$root/res" "-DSIZE_KB=$size_kb" \
  "-DOUT_FILE=$out/$setup_name" "$root/installer/kwo.nsi" >&2

(cd "$out" && sha256sum "$setup_name" "$zip_name" >SHA256SUMS)
for f in "$out"/*; do printf 'release: %s  %s bytes\n' "$(basename "$f")" "$(stat -c %s "$f")"; done
echo "release: kwo.exe $(stat -c %s "$files/kwo.exe") bytes, kwo.chm $(stat -c %s "$files/kwo.chm") bytes"
