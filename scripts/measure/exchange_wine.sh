#!/usr/bin/env bash
# Measured run under Wine: import and export of 100,000 entries on a private
# PostgreSQL server through the Windows build's import and export code
# (exchange_timer.exe: ImportFile and ExportFile, as the commands run them,
# and their parts on their own), next to psql's \copy of the same rows. Each
# repeat (5 by default, KWO_PG_REPEAT) runs kwo's program and psql one after
# the other, so that both meet the same load; prints the medians, the ratios
# of the medians and their range within the repeats; asserts nothing.
#   scripts/measure/exchange_wine.sh [windows-build-dir]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
dir=${1:-$root/build/windows}
cmake --build "$dir" --target exchange_timer -j2 >&2
timer="$dir/tests/entries/measure/exchange_timer.exe"
out=$(mktemp -d)
export WINEPREFIX="$out/prefix" WINEDEBUG=-all LANG=zh_CN.UTF-8
trap 'wineserver -k 2>/dev/null || true; rm -rf "$out"' EXIT
mkdir -p "$out/files"
repeats=${KWO_PG_REPEAT:-5}
bash "$root/tests/support/pg_cluster.sh" run bash -c '
  set -e
  timer=$1 out=$2 repeats=$3
  ms() { date +%s%N; }
  for i in $(seq 1 "$repeats"); do
    wine "$timer" "$KWO_PG_CONN" "Z:${out//\//\\}\\files" 1 | tr -d "\r" | grep -v ready | sed "s/^/kwo-/" >>"$out/times"
    $KWO_PG_PSQL -c "drop table if exists kwo" -c "create table kwo(id bigint primary key, shortkey text, content text)"
    s=$(ms); $KWO_PG_PSQL -c "\\copy kwo from '"'"'$out/files/entries.csv'"'"' csv"; e=$(ms)
    echo "psql-copy-in $(( (e - s) / 1000 ))e-3" >>"$out/times"
    s=$(ms); $KWO_PG_PSQL -c "\\copy (select * from kwo order by id) to '"'"'$out/files/dumped.csv'"'"' csv"; e=$(ms)
    echo "psql-copy-out $(( (e - s) / 1000 ))e-3" >>"$out/times"
  done' measure "$timer" "$out" "$repeats"
python3 - "$out/times" <<'PY'
import statistics, sys
runs = {}
for line in open(sys.argv[1]):
    name, value = line.split()
    runs.setdefault(name, []).append(float(value))
ms = lambda name: statistics.median(runs[name])
def ratio(kwo, tool):
    single = sorted(a / b for a, b in zip(runs[kwo], runs[tool]))
    return f"ratio {ms(kwo) / ms(tool):.2f} (within repeats {single[0]:.2f} to {single[-1]:.2f})"
print(f"\nUnder Wine, PostgreSQL through ODBC, 100,000 entries, medians of {len(runs['kwo-import'])} repeats (ms):")
print(f"  import: kwo {ms('kwo-import'):.0f}, psql \\copy {ms('psql-copy-in'):.0f}, {ratio('kwo-import', 'psql-copy-in')} (goal <= 2.5)")
print(f"    of which, on their own: reading the file {ms('kwo-read-file'):.0f}, decoding it {ms('kwo-decode'):.0f}, "
      f"checking the contents {ms('kwo-check'):.0f}")
print(f"  export: kwo {ms('kwo-export'):.0f}, psql \\copy to {ms('psql-copy-out'):.0f}, {ratio('kwo-export', 'psql-copy-out')} (goal <= 3)")
print(f"    of which, on their own: reading the rows {ms('kwo-read-rows'):.0f}, encoding the file {ms('kwo-encode'):.0f}")
PY
