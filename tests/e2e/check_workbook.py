#!/usr/bin/python3
"""Reads a workbook written by vantrelis with openpyxl, an independent reader,
and checks it against what the table held.

  check_workbook.py header FILE        only the nine header cells of row 1
  check_workbook.py csv FILE CSVFILE   header, then the rows of a contact CSV
                                       file (Windows-1252, ';'), in file order
  check_workbook.py dump FILE          prints every row as a JSON list
Every mode also checks the sheet's XML: text cells only, no formula, no style.
"""
import csv
import io
import json
import sys
import xml.etree.ElementTree as ET
import zipfile

import openpyxl

HEADERS = ["Name", "Email", "Tel", "Fax", "Category", "Adress 1", "Adress 2", "Web site", "cp"]
NS = "{http://schemas.openxmlformats.org/spreadsheetml/2006/main}"


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def check_raw_cells(path):
    with zipfile.ZipFile(path) as z:
        sheets = [n for n in z.namelist() if n.startswith("xl/worksheets/") and n.endswith(".xml")]
        if len(sheets) != 1:
            fail("expected one worksheet, found %r" % sheets)
        root = ET.fromstring(z.read(sheets[0]))
    for cell in root.iter(NS + "c"):
        ref = cell.get("r")
        if cell.get("t") not in ("inlineStr", "s"):
            fail("cell %s is not a text cell (t=%r)" % (ref, cell.get("t")))
        if cell.find(NS + "f") is not None:
            fail("cell %s holds a formula" % ref)
        if cell.get("s") not in (None, "0"):
            fail("cell %s is formatted (s=%r)" % (ref, cell.get("s")))


def sheet_rows(path):
    check_raw_cells(path)
    book = openpyxl.load_workbook(path)
    sheet = book.active
    rows = [list(r) for r in sheet.iter_rows(values_only=True)]
    for r in rows:
        for value in r:
            if value is not None and not isinstance(value, str):
                fail("non-text value %r" % (value,))
    return rows, sheet


def expect_header(rows, sheet):
    if not rows or rows[0][:9] != HEADERS or any(v is not None for v in rows[0][9:]):
        fail("header row is %r" % (rows[0] if rows else None))
    if sheet.max_column > 9:
        fail("%d columns, expected 9" % sheet.max_column)


def csv_rows(path):
    text = open(path, "rb").read().decode("cp1252")
    rows = []
    for fields in csv.reader(io.StringIO(text, newline=""), delimiter=";", quotechar='"'):
        if not fields:
            continue
        fields = fields[:9] + [""] * (9 - len(fields[:9]))
        rows.append([f if f != "" else None for f in fields])
    return rows


def main():
    mode, path = sys.argv[1], sys.argv[2]
    rows, sheet = sheet_rows(path)
    if mode == "dump":
        for r in rows:
            print(json.dumps(r, ensure_ascii=False))
        return
    expect_header(rows, sheet)
    if mode == "header":
        if len(rows) != 1 or sheet.max_row != 1:
            fail("expected the header row only, found %d rows" % len(rows))
    elif mode == "csv":
        want = csv_rows(sys.argv[3])
        got = [r[:9] + [None] * (9 - len(r[:9])) for r in rows[1:]]
        # A trailing row without any value holds no cell: the sheet ends earlier.
        while want and all(v is None for v in want[-1]) and len(got) < len(want):
            want.pop()
        if got != want:
            for i, (g, w) in enumerate(zip(got, want)):
                if g != w:
                    fail("sheet row %d is %r, expected %r" % (i + 2, g, w))
            fail("%d data rows, expected %d" % (len(got), len(want)))
    else:
        fail("unknown mode " + mode)
    print("OK: %s (%d data rows)" % (path, len(rows) - 1))


if __name__ == "__main__":
    main()
