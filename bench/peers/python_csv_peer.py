#!/usr/bin/env python3
"""A peer of the contact file's import and export built on Python's csv
module: reads every record of FILE (delimiter ';'), undoes the % coding of
every field and writes the record to OUT in the same format (every field
with text quoted and coded, ';' after each of the nine fields, CR LF), then
flushes OUT to disk. It streams, one record at a time.

    python_csv_peer.py FILE OUT"""
import csv
import os
import sys

DECODED = {"c": "\r", "n": "\n", "0": "\0"}


def decode(field):
    text, i = [], 0
    while i < len(field):
        c = field[i]
        if c == "%":
            i += 1
            if i < len(field):
                text.append(DECODED.get(field[i], field[i]))
        else:
            text.append(c)
        i += 1
    return "".join(text)


def code(text):
    for c, coded in (("%", "%%"), ("\r", "%c"), ("\n", "%n"), ("\0", "%0"), ('"', '""')):
        if c in text:
            text = text.replace(c, coded)
    return text


def main():
    source, target = sys.argv[1], sys.argv[2]
    with open(source, newline="", encoding="latin-1", buffering=128 << 10) as f, \
            open(target, "w", newline="", encoding="latin-1", buffering=1 << 20) as out:
        write = out.write
        for row in csv.reader(f, delimiter=";"):
            parts = []
            for field in row[:9]:
                if field:
                    if "%" in field:
                        field = decode(field)
                    parts.append('"' + code(field) + '"')
                else:
                    parts.append("")
            parts.extend([""] * (9 - len(parts)))
            write(";".join(parts) + ";\r\n")
        out.flush()
        os.fsync(out.fileno())


if __name__ == "__main__":
    main()
