#!/usr/bin/env bash
# Times Python's xlsxwriter (constant_memory) writing the same 100,000 rows of
# nine text cells as workbook_bench, and our export of them, in the same run.
set -euo pipefail
build="${1:-build}"
rows=100000
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT

peer=$(/usr/bin/python3 - "$out/peer.xlsx" "$rows" <<'PY'
import sys, time
import xlsxwriter

path, rows = sys.argv[1], int(sys.argv[2])

def values(i):
    n = str(i)
    return ["boulangerie du pr\u00e9 " + n, "info" + n + "@commerce-" + n + ".example",
            "021 " + str(300 + i % 700) + " 34 56", "" if i % 3 == 0 else "021 312 34 57", "",
            "rue du march\u00e9 " + str(1 + i % 200), "lausanne",
            "http://www.commerce-" + n + ".example/", str(1000 + i % 9000)]

start = time.perf_counter()
book = xlsxwriter.Workbook(path, {"constant_memory": True, "strings_to_numbers": False,
                                  "strings_to_formulas": False, "strings_to_urls": False})
sheet = book.add_worksheet()
for c, label in enumerate(["Name", "Email", "Tel", "Fax", "Category", "Adress 1", "Adress 2", "Web site", "cp"]):
    sheet.write_string(0, c, label)
for i in range(rows):
    for c, v in enumerate(values(i)):
        if v:
            sheet.write_string(i + 1, c, v)
book.close()
print("%.3f" % (time.perf_counter() - start))
PY
)

ours=$("$build/bin/bench/workbook_bench" --export-peak "$rows" "$out/ours.xlsx" | cut -d' ' -f1)
echo "xlsx export of $rows rows x 9 columns: ours ${ours} s, python3 xlsxwriter ${peer} s"
/usr/bin/python3 -c "import sys; o, p = float(sys.argv[1]), float(sys.argv[2]); print('ours is %.1fx faster' % (p / o))" "$ours" "$peer"
