#!/usr/bin/env bash
# Typing benchmark under Wine (a measured run, not a test): SendKeySequence
# against a bare SendInput loop, delivered into a receiver's edit control.
#   scripts/measure/typing.sh BUILD_DIR [CHARACTERS] [ROUNDS]
# BUILD_DIR is a Windows build folder (scripts/build.sh windows DIR); the
# programs are built there if needed.
set -uo pipefail
build=$(cd "${1:?typing.sh BUILD_DIR [CHARACTERS] [ROUNDS]}" && pwd) || exit 2
characters=${2:-1500}
rounds=${3:-5}
cmake --build "$build" --target wine_driver wine_receiver wine_bench_typing -j2 >&2 || exit 1
bin="$build/tests/wine"

source "$(dirname "${BASH_SOURCE[0]}")/../../tests/wine/harness.sh"
WH_DRIVER="$bin/wine_driver.exe"
TARGET="Bench Target"

# About 220 characters a second arrive under Wine: give each run room.
WH_RUN_TIMEOUT=$(( 60 + characters * (rounds + 1) * 2 / 50 ))
wh_init bench-typing $(( WH_RUN_TIMEOUT + 60 ))
wh_start receiver "$bin/wine_receiver.exe" "$TARGET"
wh_driver wait "$TARGET" visible >/dev/null || wh_fail "the receiver did not appear"
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
wh_run "$bin/wine_bench_typing.exe" "$TARGET" "$characters" "$rounds" || wh_fail "the benchmark failed"
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
