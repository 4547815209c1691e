#!/usr/bin/env bash
# Reads the same 1,000,000-row contact file with our loader and with
# Python's csv module (delimiter ';'), and prints both times and the ratios
# (wall clock, and CPU time, which a busy machine disturbs less).
set -euo pipefail
build="${1:-build}"
bench="$build/bin/bench/store_bench"
if [ ! -x "$bench" ]; then
  echo "csv peer: $bench not built, skipped"
  exit 0
fi
python=/usr/bin/python3
file="$(mktemp /tmp/vantrelis-csv-peer-XXXXXX.csv)"
trap 'rm -f "$file"' EXIT

"$bench" --write-csv "$file"
echo "file: $(stat -c %s "$file") bytes"

# Ours: wall seconds in LoadCsvFile, peak RSS (kB), table growth (kB), CPU seconds.
read -r ours peak table ours_cpu < <("$bench" --load-peak "$file")

read -r theirs theirs_cpu rows < <("$python" - "$file" <<'PY'
import csv, sys, time
start, cpu = time.perf_counter(), time.process_time()
rows = 0
with open(sys.argv[1], newline='', encoding='latin-1') as f:
    for row in csv.reader(f, delimiter=';'):
        rows += 1
print(f"{time.perf_counter() - start:.3f} {time.process_time() - cpu:.3f} {rows}")
PY
)

echo "ours   LoadCsvFile: ${ours} s wall, ${ours_cpu} s CPU, peak RSS $((peak / 1024)) MB, table $((table / 1024)) MB"
echo "python3 csv.reader (delimiter=';', ${rows} rows): ${theirs} s wall, ${theirs_cpu} s CPU"
awk -v a="$ours" -v b="$theirs" -v ac="$ours_cpu" -v bc="$theirs_cpu" 'BEGIN {
  if (a > 0 && ac > 0) printf "ratio: ours is %.1f x faster (wall), %.1f x (CPU)\n", b / a, bc / ac }'
