#!/usr/bin/env bash
# Measured run against a private PostgreSQL server through ODBC: one
# keystroke's lookup and listing at 100,000 entries, import and export of
# 100,000 entries next to psql's \copy of the same rows. Prints the figures
# and the ratios; asserts nothing.
#   tests/store/measure_postgres.sh [build-dir]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
dir=${1:-$root/build/entries-bench}
cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DKWO_BENCH=ON -DKWO_TESTS=OFF >/dev/null
cmake --build "$dir" --target bench_exchange -j2 >&2
json=$(mktemp)
trap 'rm -f "$json"' EXIT
bash "$root/tests/support/pg_cluster.sh" run "$dir/bench/bench_exchange" --benchmark_filter='Pg|Psql' \
  --benchmark_format=console --benchmark_out="$json" --benchmark_out_format=json
python3 - "$json" <<'PY'
import json, sys
runs = {b["name"].split("/")[0]: b for b in json.load(open(sys.argv[1]))["benchmarks"]}
ms = lambda name: runs[name]["real_time"] * (1e-3 if runs[name]["time_unit"] == "us" else 1)
print()
print("PostgreSQL through ODBC, 100,000 entries:")
print(f"  keystroke (exact lookup + listing of up to 37): {ms('PgKeystroke'):.3f} ms (goal <= 2 ms)")
print(f"  import: kwo {ms('PgImport'):.0f} ms, psql \\copy {ms('PsqlCopyIn'):.0f} ms, ratio {ms('PgImport') / ms('PsqlCopyIn'):.2f} (goal <= 3)")
print(f"  export: kwo {ms('PgExport'):.0f} ms, psql \\copy to {ms('PsqlCopyOut'):.0f} ms, ratio {ms('PgExport') / ms('PsqlCopyOut'):.2f} (goal <= 2)")
PY
