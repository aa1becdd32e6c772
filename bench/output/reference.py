"""The reference for output-bench: the same rows read with sqlite3 and the
same template filled with openpyxl, one workbook per record.

usage: reference.py DATABASE TEMPLATE OUTDIR
"""
import os
import sqlite3
import sys

import openpyxl

CELLS = ["B2", "B3", "B4", "B5", "B6", "B7", "B8", "B9", "B10", "B11"]


def main():
    database, template, out = sys.argv[1:4]
    con = sqlite3.connect(database)
    rows = con.execute('SELECT * FROM "会員" ORDER BY "ID"').fetchall()
    for row in rows:
        wb = openpyxl.load_workbook(template)
        ws = wb["帳票"]
        for cell, value in zip(CELLS, row):
            ws[cell] = "" if value is None else str(value)
        wb.save(os.path.join(out, "ref_%s.xlsx" % row[1]))
    print(len(rows))


if __name__ == "__main__":
    main()
