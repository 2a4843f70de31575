#!/usr/bin/env bash
# Runs every test of kwo on a fresh Debian 12 machine: installs what is
# missing, then builds and tests the native, sanitizer, fuzz, benchmark and
# Windows (under Wine) configurations. Exits non-zero if anything fails.
#   KWO_FUZZ_SECONDS  seconds per fuzz target (default 20)
#   KWO_SKIP          space-separated stages to skip: native sanitize fuzz bench windows release measure
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
"$root/scripts/setup.sh" || exit 1

fuzz_seconds=${KWO_FUZZ_SECONDS:-20}
skip=" ${KWO_SKIP:-} "
failed=()
stage() { echo; echo "=== $* ==="; }
run_stage() {  # run_stage name command...
  local name=$1; shift
  if [[ "$skip" == *" $name "* ]]; then echo "(skipped $name)"; return; fi
  stage "$name"
  local t0=$SECONDS
  if "$@"; then echo "--- $name passed in $((SECONDS - t0)) s"; else echo "--- $name FAILED"; failed+=("$name"); fi
}

ctest_in() { local dir; dir=$("$root/scripts/build.sh" "$1") && (cd "$dir" && ctest --output-on-failure -j "$(nproc)" ${2:+-R "$2"}); }

fuzz_all() {
  local dir; dir=$("$root/scripts/build.sh" fuzz) || return 1
  local ok=0
  for f in "$dir"/fuzz/fuzz_*; do
    [ -x "$f" ] || continue
    local name corpus; name=$(basename "$f")
    corpus="$root/build/fuzz-corpus/$name"; mkdir -p "$corpus"
    local seeds=()
    [ -d "$root/fuzz/corpus/$name" ] && seeds=("$root/fuzz/corpus/$name")
    echo "fuzzing $name for ${fuzz_seconds}s"
    if ! "$f" -max_total_time="$fuzz_seconds" -print_final_stats=1 -artifact_prefix="$dir/$name-" \
         "$corpus" "${seeds[@]}" 2>"$dir/$name.log"; then
      tail -40 "$dir/$name.log"; ok=1
    else
      grep -E 'stat::number_of_executed_units|Done' "$dir/$name.log" | tail -2
    fi
  done
  return $ok
}

bench_all() {
  local dir; dir=$("$root/scripts/build.sh" bench) || return 1
  local ok=0
  for b in "$dir"/bench/bench_*; do
    [ -x "$b" ] || continue
    echo "running $(basename "$b")"
    "$b" ${KWO_BENCH_ARGS:---benchmark_min_time=0.05} || ok=1
  done
  # The store against a private PostgreSQL server, next to psql's \copy.
  bash "$root/scripts/measure/postgres.sh" "$dir" || ok=1
  return $ok
}

# The Windows build: unit-test programs run one after another under Wine with
# an X display (some open real windows); the end-to-end scripts (wine_*, e2e_*)
# bring their own display, prefix and virtual desktop and may run side by side.
windows_all() {
  local dir; dir=$("$root/scripts/build.sh" windows) || return 1
  local ok=0
  (cd "$dir" && xvfb-run -a -s "-screen 0 1280x1024x24" \
     ctest --output-on-failure -j1 -E '^(wine_|e2e_)') || ok=1
  # A script that fails is run once more, so that one known intermittent fault
  # (Win + Space now and then not calling the window up right after a sending
  # was cancelled, about one run in four of e2e_send) does not hide every other
  # result; its first failure stays in the log, and the list below names every
  # script that needed a second run: each is a fault still to mend.
  (cd "$dir" && ctest --output-on-failure -j "$(nproc)" -R '^(wine_|e2e_)' --repeat until-pass:2 \
     | tee "$dir/e2e-ctest.log") || ok=1
  local again; again=$(grep -oE 'Test +#[0-9]+: [a-z0-9_]+ .*\*\*\*Failed' "$dir/e2e-ctest.log" | awk '{print $3}' | sort -u)
  [ -z "$again" ] || echo "end-to-end scripts that failed once (faults to mend): $again"
  return $ok
}

# The release (scripts/release.sh into out/release/), then the installer, the
# portable zip and the help file as a user gets them, under Wine.
release_all() {
  "$root/scripts/release.sh" || return 1
  # A second run on the same commit gives the same files, byte for byte.
  local sums; sums=$(cat "$root/out/release/SHA256SUMS")
  "$root/scripts/release.sh" >/dev/null || return 1
  [ "$sums" = "$(cat "$root/out/release/SHA256SUMS")" ] || { echo "release: a second run gave other files"; return 1; }
  local dir=$root/build/windows
  cmake --build "$dir" --target wine_driver wine_receiver kwo_ids -j "$(nproc)" >&2 || return 1
  bash "$root/tests/e2e/release_test.sh" "$root/out/release" "$dir/tests/wine/wine_driver.exe" \
    "$dir/tests/wine/wine_receiver.exe" "$root/build/host/help/kwo_keynames"
}

# Measured runs under Wine: they print their figures and assert no time;
# kwo.exe's memory at idle must stay within 1.3 times the minimal dialog's.
measure_all() {
  local dir; dir=$("$root/scripts/build.sh" windows) || return 1
  local ok=0
  bash "$root/scripts/measure/typing.sh" "$dir" || ok=1
  KWO_IDLE_MEMORY_LIMIT=1.3 \
    bash "$root/scripts/measure/app.sh" "$dir" 5 "${KWO_MEASURE_EXPANSIONS:-300}" 200 "${KWO_MEASURE_PASTE:-2000}" || ok=1
  # Short versions; the full counts are run by hand (100 kills per kind, 10,000 expansions).
  bash "$root/scripts/measure/crash-trials.sh" "$dir" "${KWO_CRASH_KILLS:-3}" || ok=1
  bash "$root/scripts/measure/soak.sh" "$dir" "${KWO_SOAK_EXPANSIONS:-60}" "${KWO_SOAK_EVERY:-30}" || ok=1
  # 500 expansions by hand.
  bash "$root/scripts/measure/paste-soak.sh" "$dir" "${KWO_PASTE_SOAK_EXPANSIONS:-9}" || ok=1
  return $ok
}

run_stage native ctest_in native
run_stage sanitize ctest_in sanitize
run_stage fuzz fuzz_all
run_stage bench bench_all
run_stage windows windows_all
run_stage release release_all
run_stage measure measure_all

echo
if [ ${#failed[@]} -gt 0 ]; then
  echo "FAILED: ${failed[*]}"
  exit 1
fi
echo "all tests passed"
