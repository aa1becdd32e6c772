#!/usr/bin/env python3
"""Importing a document file of 1,000 documents with 30 bindings each.

Runs `tesmora-docs import` on a fresh system store, and beside it Python's
sqlite3 module reading the same file and inserting the same rows into a copy
of the same fresh store in one transaction. Prints both wall times and their
ratio (goal: within 3x). Usage: docs_bench.py BUILD_BIN_DIR [DOCUMENTS] [BINDINGS]
"""
import os
import resource
import shutil
import sqlite3
import subprocess
import sys
import tempfile
import time


def make_file(path, documents, bindings):
    lines = []
    for d in range(documents):
        lines.append("@@@@")
        lines.append(
            f"文書{d:04}/%2Fhome%2Fuser%2Fdata%2F会員名簿.mdb/会員/%2Fhome%2Fuser%2F雛形%2F"
            f"様式{d:04}.xlsx/Sheet1/False/{d + 1}/会員番号/2/3/6/20/0/0/+氏名/-入会日/")
        for b in range(bindings):
            if b == 0:
                lines.append("#1,2,3,4,5,6/写真")
            else:
                lines.append(f"{chr(65 + b % 26)}{b + 1}/項目{b:02}")
    with open(path, "wb") as f:
        f.write(("\r\n".join(lines) + "\r\n").encode("cp932"))


def python_import(store, tmdt):
    """The same rows, the way a plain script would insert them."""
    con = sqlite3.connect(store)
    cur = con.cursor()
    with open(tmdt, "rb") as f:
        lines = f.read().decode("cp932").split("\r\n")
    unescape = lambda v: (v.replace("%2F", "/").replace("%0D", "\r")
                          .replace("%0A", "\n").replace("%25", "%"))
    i = 0
    doc = None
    while i < len(lines):
        line = lines[i]
        if line == "@@@@":
            v = [unescape(x) for x in lines[i + 1].split("/", 16)]
            cur.execute(
                "INSERT INTO 登録データ(登録名,データベース,テーブル,エクセル,シート,印刷記録,"
                "通し番号,優先,XSection,XIncrement,YSection,YIncrement,XStart,YStart,Sort1,"
                "Sort2,Sort3) VALUES(?,?,?,?,?,?,?,0,?,?,?,?,?,?,?,?,?)",
                (v[0], v[1], v[2], v[3], v[4], v[7], int(v[6]), int(v[8]), int(v[10]),
                 int(v[9]), int(v[11]), int(v[12]), int(v[13]), v[14], v[15], v[16]))
            doc = cur.lastrowid
            i += 2
            continue
        if line:
            cell, field = line.split("/", 1)
            cur.execute("INSERT INTO 出力データ(リンク,セル,フィールド) VALUES(?,?,?)",
                        (doc, cell, field))
        i += 1
    con.commit()
    con.close()


def main():
    bindir = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build/bin")
    documents = int(sys.argv[2]) if len(sys.argv) > 2 else 1000
    bindings = int(sys.argv[3]) if len(sys.argv) > 3 else 30
    work = tempfile.mkdtemp(prefix="tesmora-docs-bench-")
    try:
        folder = os.path.join(work, "program")
        subprocess.run([os.path.join(bindir, "tesmora-programfiles"), folder], check=True,
                       stdout=subprocess.DEVNULL)
        fresh = os.path.join(work, "fresh.mdb")
        shutil.copy(os.path.join(folder, "SystemData.mdb"), fresh)
        tmdt = os.path.join(work, "documents.tmdt")
        make_file(tmdt, documents, bindings)
        size = os.path.getsize(tmdt)

        ours, reference, ours_cpu, reference_cpu = [], [], [], []
        for _ in range(5):
            shutil.copy(fresh, os.path.join(folder, "SystemData.mdb"))
            before = resource.getrusage(resource.RUSAGE_CHILDREN)
            start = time.perf_counter()
            run = subprocess.run([os.path.join(bindir, "tesmora-docs"), "--program-folder",
                                  folder, "import", tmdt], stdout=subprocess.PIPE, check=True)
            ours.append(time.perf_counter() - start)
            after = resource.getrusage(resource.RUSAGE_CHILDREN)
            ours_cpu.append(after.ru_utime + after.ru_stime - before.ru_utime - before.ru_stime)
            assert run.stdout.count(b"\n") == documents + 1

            copy = os.path.join(work, "copy.mdb")
            shutil.copy(fresh, copy)
            start, cpu = time.perf_counter(), time.process_time()
            python_import(copy, tmdt)
            reference.append(time.perf_counter() - start)
            reference_cpu.append(time.process_time() - cpu)

        check = sqlite3.connect(os.path.join(folder, "SystemData.mdb"))
        rows = check.execute("SELECT count(*) FROM 出力データ").fetchone()[0]
        check.close()
        assert rows == documents * bindings, rows
        print(f"document file: {documents} documents x {bindings} bindings, {size} bytes")
        print("best of 5                              wall        CPU")
        print(f"tesmora-docs import (whole process): {min(ours) * 1000:6.0f} ms  "
              f"{min(ours_cpu) * 1000:6.0f} ms")
        print(f"python3 sqlite3, same rows:          {min(reference) * 1000:6.0f} ms  "
              f"{min(reference_cpu) * 1000:6.0f} ms")
        print(f"ratio: {min(ours) / min(reference):.2f}x wall, "
              f"{min(ours_cpu) / min(reference_cpu):.2f}x CPU (goal: within 3x)")
    finally:
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
