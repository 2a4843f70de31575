#!/usr/bin/env bash
# Measured run: import and export of 100,000 entries through kwo's exchange
# code next to the sqlite3 command-line tool loading and dumping the same
# entries into the same table. Prints the times and the ratios; asserts nothing.
#   scripts/measure/exchange.sh [build-dir]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
dir=${1:-$root/build/entries-bench}
command -v sqlite3 >/dev/null || { echo "needs the sqlite3 command-line tool" >&2; exit 2; }
cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DKWO_BENCH=ON -DKWO_TESTS=OFF >/dev/null
cmake --build "$dir" --target bench_exchange -j2 >&2
json=$(mktemp)
trap 'rm -f "$json"' EXIT
"$dir/bench/bench_exchange" --benchmark_format=console --benchmark_out="$json" --benchmark_out_format=json
python3 - "$json" <<'PY'
import json, sys
runs = {b["name"].split("/")[0]: b["real_time"] for b in json.load(open(sys.argv[1]))["benchmarks"]}
print()
print("100,000 entries, milliseconds per run (mean of 3):")
for ours, theirs, what in (("KwoImport", "Sqlite3CliLoad", "import"), ("KwoExport", "Sqlite3CliDump", "export")):
    print(f"  {what}: kwo {runs[ours]:.0f} ms, sqlite3 CLI {runs[theirs]:.0f} ms, ratio kwo/CLI {runs[ours] / runs[theirs]:.2f}")
PY
