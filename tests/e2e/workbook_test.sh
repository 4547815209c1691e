#!/usr/bin/env bash
# Workbooks written by vantrelis-batch --export-xlsx, read back with openpyxl:
# workbook_test.sh CASE BATCH SOURCE_DIR WORK_DIR
set -uo pipefail
case_name="$1" batch="$2" src="$3" work="$4"
check="/usr/bin/python3 $src/tests/e2e/check_workbook.py"
data="$src/tests/data/batch"
samples="$src/tests/data/listings"
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1

source "$src/tests/e2e/common.sh"

# The reader is Debian's Python with its openpyxl; without it the cases that
# read back are skipped, except in continuous integration, where that fails.
if [ "$case_name" != failure ] && ! /usr/bin/python3 -c 'import openpyxl' 2>/dev/null; then
  [ "${CI:-}" = true ] && fail "no openpyxl for /usr/bin/python3 to read workbooks back (python3-openpyxl)"
  echo "SKIP: no openpyxl for /usr/bin/python3 to read workbooks back (python3-openpyxl)"
  exit 77
fi

case "$case_name" in
  empty)
    run 0 --export-xlsx empty.xlsx
    $check header empty.xlsx || exit 1
    ;;
  samples)
    # Rows in display order (latest parsed first), the same as the CSV export.
    args=()
    for page in "$samples"/0*.html; do args+=(--parse "$page"); done
    run 0 "${args[@]}" --export-xlsx samples.xlsx --export-csv samples.csv
    $check csv samples.xlsx samples.csv || exit 1
    # An imported file keeps its order; the workbook follows it.
    run 0 --import "$data/samples.csv" --export-xlsx imported.xlsx
    $check csv imported.xlsx "$data/samples.csv" || exit 1
    ;;
  texts)
    # Values that look like formulas or numbers stay texts; empty text and no value are empty.
    run 0 --import "$data/tricky.csv" --export-xlsx tricky.xlsx
    $check csv tricky.xlsx "$data/tricky.csv" || exit 1
    $check dump tricky.xlsx > dump.txt || exit 1
    grep -qF '["=1+1", "+41 21 000 00 00", "0041", null, null, "-5", "@SUM(A1)", "Über '"'"'quoted'"'"' \"x\"", "007"]' dump.txt \
      || { cat dump.txt; fail "tricky row not read back as texts"; }
    ;;
  failure)
    # An unwritable target: status 1, the error names the file, nothing is left behind.
    touch plain-file
    run 1 --export-xlsx "$work/plain-file/out.xlsx"
    grep -qF "$work/plain-file/out.xlsx" err.txt || { cat err.txt; fail "error must name the file"; }
    run 1 --export-xlsx "$work/missing-folder/out.xlsx"
    grep -qF "$work/missing-folder/out.xlsx" err.txt || { cat err.txt; fail "error must name the file"; }
    [ ! -e missing-folder ] || fail "no folder may be created"
    run 1 --export-xlsx "$work"
    leftovers=$(ls -A | grep -v -e '^out.txt$' -e '^err.txt$' -e '^plain-file$' || true)
    [ -z "$leftovers" ] || fail "files left behind: $leftovers"
    ;;
  *)
    fail "unknown case $case_name"
    ;;
esac
echo "OK: $case_name"
