#!/usr/bin/env bash
# Measured run against a private PostgreSQL server through ODBC: one
# keystroke's lookup and listing and one keystroke's content search at
# 100,000 entries, import and export of 100,000 entries next to psql's \copy
# of the same rows. Each repeat (7 by
# default, KWO_PG_REPEAT) runs kwo and psql one after the other, so that both
# meet the same load on a shared machine; prints the medians, the ratios of
# the medians and the range of the ratios within the repeats; asserts nothing.
#   scripts/measure/postgres.sh [build-dir]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
dir=${1:-$root/build/entries-bench}
cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DKWO_BENCH=ON -DKWO_TESTS=OFF >/dev/null
cmake --build "$dir" --target bench_exchange -j2 >&2
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
repeats=${KWO_PG_REPEAT:-7}
# One server for all repeats; each repeat is one run of the benchmark program.
bash "$root/tests/support/pg_cluster.sh" run bash -c '
  for i in $(seq 1 "$1"); do
    "$2" --benchmark_filter="Pg|Psql" --benchmark_min_time=0.2 --benchmark_format=console \
      --benchmark_out="$3/run$i.json" --benchmark_out_format=json | grep -E "^(Pg|Psql)" || exit 1
  done' measure "$repeats" "$dir/bench/bench_exchange" "$out"
python3 - "$out" <<'PY'
import glob, json, statistics, sys
runs = {}
for path in sorted(glob.glob(sys.argv[1] + "/run*.json")):
    for b in json.load(open(path))["benchmarks"]:
        if b.get("run_type", "iteration") == "iteration":
            scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0}[b["time_unit"]]
            name = b["name"].split("/iterations")[0].replace("/real_time", "")
            runs.setdefault(name, []).append(b["real_time"] * scale)
ms = lambda name: statistics.median(runs[name])
def ratio(kwo, tool):
    single = sorted(a / b for a, b in zip(runs[kwo], runs[tool]))
    return f"ratio {ms(kwo) / ms(tool):.2f} (within repeats {single[0]:.2f} to {single[-1]:.2f})"
print()
print(f"PostgreSQL through ODBC, 100,000 entries, medians of {len(runs['PgImport'])} repeats:")
print(f"  keystroke (exact lookup + listing of up to 37): {ms('PgKeystroke'):.3f} ms (goal <= 2 ms)")
for kind in ("latin", "digits", "chinese"):
    print(f"  keystroke by content, words of {kind} typed letter by letter: {ms('PgContentSearch/' + kind):.1f} ms")
print(f"  import: kwo {ms('PgImport'):.0f} ms, psql \\copy {ms('PsqlCopyIn'):.0f} ms, {ratio('PgImport', 'PsqlCopyIn')} (goal <= 3)")
print(f"  export: kwo {ms('PgExport'):.0f} ms, psql \\copy to {ms('PsqlCopyOut'):.0f} ms, {ratio('PgExport', 'PsqlCopyOut')} (goal <= 2)")
PY
