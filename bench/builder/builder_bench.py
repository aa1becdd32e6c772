#!/usr/bin/python3
"""Database builder benchmarks: tesmora-build against a reference doing the
same work in the same run. Each job whose reference is fast runs three
times, and the best time of each side is reported.

usage: bench/builder/builder_bench.py [BUILD_BIN] [ROWS] [FILES]
  BUILD_BIN  folder holding tesmora-build and DBTemplate.mdb (default build/bin)
  ROWS       rows of the list sources and of the import (default 100000)
  FILES      per-file form workbooks (default 1000)
"""
import os
import shutil
import sqlite3
import subprocess
import sys
import tempfile
import time

import openpyxl

BIN = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build/bin")
ROWS = int(sys.argv[2]) if len(sys.argv) > 2 else 100000
FILES = int(sys.argv[3]) if len(sys.argv) > 3 else 1000
TOOL = os.path.join(BIN, "tesmora-build")
HEADER = ["番号", "氏名", "カナ", "郵便番号", "住所", "電話", "金額", "数量", "日付", "備考"]


def row(i):
    return [str(i), "山田%d" % i, "ﾔﾏﾀﾞ", "%07d" % (i % 9999999), "東京都千代田区%d-%d" % (i % 50, i % 7),
            "03-%04d-%04d" % (i % 10000, i * 7 % 10000), str(i * 3 % 100000), str(i % 97),
            "2024/%02d/%02d" % (i % 12 + 1, i % 28 + 1), "メモ%d" % i]


RUNS = 3


def timed(what, args, before=None, **kw):
    """Best wall time of RUNS runs. Written files are flushed first, so that
    no run pays for writing the inputs (a sync at the end of a run would
    otherwise write them out too); before() undoes the previous run."""
    best = None
    for _ in range(RUNS):
        if before:
            before()
        os.sync()
        start = time.perf_counter()
        r = subprocess.run(args, capture_output=True, **kw)
        elapsed = time.perf_counter() - start
        if r.returncode != 0:
            sys.exit("%s failed: %s" % (what, r.stderr.decode()))
        best = elapsed if best is None else min(best, elapsed)
    return best


def removing(*paths):
    def remove():
        for p in paths:
            if os.path.exists(p):
                os.remove(p)
    return remove


def report(name, ours, reference, count, unit, goal):
    rate = count / ours
    ref = "%.2f s" % reference if reference else "-"
    ratio = "%.2fx" % (ours / reference) if reference else "-"
    print("| %s | %.2f s (%.0f %s/s) | %s | %s | %s |" % (name, ours, rate, unit, ref, ratio, goal))


def types_args():
    return ["--type", "番号=整数", "--type", "金額=整数", "--type", "数量=整数", "--type", "日付=日付",
            "--program-folder", BIN]


def main():
    work = tempfile.mkdtemp(prefix="builder-bench-")
    print("| job | tesmora-build | reference | ratio | goal |")
    print("|---|---|---|---|---|")

    # 1. CSV list source.
    csv = os.path.join(work, "list.csv")
    with open(csv, "w", encoding="utf-8", newline="") as f:
        f.write(",".join(HEADER) + "\r\n")
        for i in range(1, ROWS + 1):
            f.write(",".join(row(i)) + "\r\n")
    ours = timed("create csv", [TOOL, "create", csv, os.path.join(work, "csv.mdb")] + types_args(),
                 removing(os.path.join(work, "csv.mdb")))
    ref_db = os.path.join(work, "csv_ref.db")
    reference = timed("sqlite3 .import", ["sqlite3", ref_db, ".import --csv %s t" % csv], removing(ref_db))
    report("CSV %d x 10 into a new database" % ROWS, ours, reference, ROWS, "rows", ">= 250,000 rows/s")

    # 2. Workbook list source.
    xlsx = os.path.join(work, "list.xlsx")
    wb = openpyxl.Workbook(write_only=True)
    ws = wb.create_sheet("一覧")
    ws.append(HEADER)
    for i in range(1, ROWS + 1):
        ws.append(row(i))
    wb.save(xlsx)
    ours = timed("create xlsx", [TOOL, "create", xlsx, os.path.join(work, "xlsx.mdb")] + types_args(),
                 removing(os.path.join(work, "xlsx.mdb")))
    os.sync()
    start = time.perf_counter()
    book = openpyxl.load_workbook(xlsx, read_only=True)
    con = sqlite3.connect(os.path.join(work, "xlsx_ref.db"))
    con.execute("CREATE TABLE t (%s)" % ",".join('"%s"' % h for h in HEADER))
    rows = book.active.iter_rows(min_row=2, values_only=True)
    con.executemany("INSERT INTO t VALUES (%s)" % ",".join("?" * 10), rows)
    con.commit()
    con.close()
    reference = time.perf_counter() - start
    report(".xlsx %d x 10 list source" % ROWS, ours, reference, ROWS, "rows", ">= 200,000 rows/s")

    # 3. Per-file form workbooks.
    forms = []
    for k in range(FILES):
        wb = openpyxl.Workbook()
        s = wb.active
        s.title = "申込書"
        s["B2"] = "申込者%d" % k
        s["D2"] = k
        s["B4"] = "東京都%d" % k
        s["D6"] = "2024/04/%02d" % (k % 28 + 1)
        path = os.path.join(work, "form%04d.xlsx" % k)
        wb.save(path)
        forms.append(path)
    ours = timed("create per-file",
                 [TOOL, "create", "--per-file", os.path.join(work, "forms.mdb"), "--field", "氏名=B2",
                  "--field", "番号=D2", "--field", "住所=B4", "--field", "日付=D6", "--type", "番号=整数",
                  "--type", "日付=日付", "--program-folder", BIN] + forms,
                 removing(os.path.join(work, "forms.mdb")))
    os.sync()
    start = time.perf_counter()
    con = sqlite3.connect(os.path.join(work, "forms_ref.db"))
    con.execute("CREATE TABLE t (a, b, c, d)")
    for path in forms:
        s = openpyxl.load_workbook(path, read_only=True).active
        con.execute("INSERT INTO t VALUES (?,?,?,?)",
                    (s["B2"].value, s["D2"].value, s["B4"].value, s["D6"].value))
    con.commit()
    con.close()
    reference = time.perf_counter() - start
    report("%d per-file form workbooks" % FILES, ours, reference, FILES, "files", ">= 500 files/s")

    # 4. Data import between two databases built the same way.
    source = os.path.join(work, "csv.mdb")
    target = os.path.join(work, "target.mdb")
    pristine = os.path.join(work, "target_pristine.mdb")
    subprocess.run([TOOL, "create", csv, pristine] + types_args(), check=True, capture_output=True)

    def fresh_target(path):
        return lambda: shutil.copyfile(pristine, path)

    ours = timed("import", [TOOL, "import", source, "ベーステーブル", target, "ベーステーブル"],
                 fresh_target(target))
    ref_target = os.path.join(work, "ref_target.db")
    names = ",".join(h for h in HEADER)
    reference = timed("sqlite3 ATTACH", ["sqlite3", ref_target,
                                         "ATTACH '%s' AS s; BEGIN; INSERT INTO ベーステーブル (%s) SELECT %s FROM s.ベーステーブル; COMMIT;"
                                         % (source, names, names)], fresh_target(ref_target))
    report("import of %d rows" % ROWS, ours, reference, ROWS, "rows", "within 2x of ATTACH")
    subprocess.run(["rm", "-rf", work])


if __name__ == "__main__":
    main()
