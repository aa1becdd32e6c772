#!/usr/bin/python3
"""The large-sheet benchmark's files and its Python references.

  large_sheet.py make OUTDIR ROWS   writes the same ROWS x 8 values under a
                                    header row as OUTDIR/large.xlsx (as
                                    openpyxl writes it: inline strings, every
                                    kanji as a character reference),
                                    OUTDIR/large-shared.xlsx (the same with a
                                    shared-string table in UTF-8, as Excel
                                    saves it) and OUTDIR/large.csv (UTF-8)
  large_sheet.py xlsx FILE          reads every cell with openpyxl in
                                    read-only mode
  large_sheet.py csv FILE           reads every field with the csv module

The readers print "seconds cells peak_mb" (interpreter start excluded).
"""
import csv
import datetime
import html
import re
import zipfile
import resource
import sys
import time

HEADER = ["番号", "氏名", "フリガナ", "郵便番号", "住所", "生年月日", "金額", "備考"]
FAMILY = ["山田", "佐藤", "鈴木", "高橋", "田中", "伊藤", "渡辺", "中村", "小林", "加藤"]
GIVEN = ["太郎", "花子", "一郎", "美咲", "健太", "陽子", "翔", "さくら", "大輔", "愛"]
KANA = ["ヤマダ", "サトウ", "スズキ", "タカハシ", "タナカ", "イトウ", "ワタナベ", "ナカムラ", "コバヤシ", "カトウ"]
TOWNS = ["東京都千代田区丸の内", "大阪府大阪市北区梅田", "北海道札幌市中央区", "福岡県福岡市博多区", "愛知県名古屋市中村区"]
NOTES = ["", "至急", "1-2-3", "要確認", "見積№0042"]


def row(i):
    birth = datetime.date(1950, 1, 1) + datetime.timedelta(days=(i * 37) % 20000)
    return [i, FAMILY[i % 10] + GIVEN[(i // 10) % 10], KANA[i % 10], "%07d" % (600001 + i % 9000),
            "%s%d-%d-%d" % (TOWNS[i % 5], i % 9 + 1, i % 30 + 1, i % 17 + 1), birth,
            round((i * 7919) % 1000000 / 100, 2), NOTES[i % 5]]


def make(out, rows):
    from openpyxl import Workbook
    wb = Workbook(write_only=True)
    ws = wb.create_sheet("一覧")
    with open(out + "/large.csv", "w", encoding="utf-8", newline="") as f:
        w = csv.writer(f, lineterminator="\r\n")
        ws.append(HEADER)
        w.writerow(HEADER)
        for i in range(1, rows + 1):
            values = row(i)
            ws.append(values)
            w.writerow([v.strftime("%Y/%m/%d") if isinstance(v, datetime.date) else v for v in values])
    wb.save(out + "/large.xlsx")
    share_strings(out + "/large.xlsx", out + "/large-shared.xlsx")


def share_strings(src, dst):
    """Moves the inline strings into a shared-string table, as Excel stores them."""
    strings, index = [], {}

    def share(m):
        text = html.unescape(m.group(2))
        if text not in index:
            index[text] = len(strings)
            strings.append(text)
        return '<c %s t="s"><v>%d</v></c>' % (m.group(1), index[text])

    with zipfile.ZipFile(src) as z:
        parts = {i.filename: z.read(i.filename) for i in z.infolist()}
    sheet = parts["xl/worksheets/sheet1.xml"].decode()
    sheet = re.sub(r'<c (r="[A-Z]+[0-9]+"(?: s="[0-9]+")?) t="inlineStr"><is><t>(.*?)</t></is></c>', share, sheet)
    parts["xl/worksheets/sheet1.xml"] = sheet.encode()
    sst = ['<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
           '<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" count="%d" uniqueCount="%d">'
           % (len(strings), len(strings))]
    sst += ['<si><t>%s</t></si>' % html.escape(t, quote=False) for t in strings]
    sst.append('</sst>')
    parts["xl/sharedStrings.xml"] = "".join(sst).encode()
    parts["xl/_rels/workbook.xml.rels"] = parts["xl/_rels/workbook.xml.rels"].replace(
        b"</Relationships>", b'<Relationship Id="rIdSst" Type="http://schemas.openxmlformats.org/'
        b'officeDocument/2006/relationships/sharedStrings" Target="sharedStrings.xml"/></Relationships>')
    parts["[Content_Types].xml"] = parts["[Content_Types].xml"].replace(
        b"</Types>", b'<Override PartName="/xl/sharedStrings.xml" ContentType="application/'
        b'vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml"/></Types>')
    with zipfile.ZipFile(dst, "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in parts.items():
            z.writestr(name, data)


def peak_mb():
    return resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024


def read_xlsx(path):
    from openpyxl import load_workbook
    start = time.perf_counter()
    wb = load_workbook(path, read_only=True)
    cells = 0
    for values in wb.worksheets[0].iter_rows(values_only=True):
        for v in values:
            if v is not None:
                cells += 1
    wb.close()
    return time.perf_counter() - start, cells


def read_csv(path):
    start = time.perf_counter()
    cells = 0
    with open(path, encoding="utf-8", newline="") as f:
        for fields in csv.reader(f):
            for v in fields:
                if v:
                    cells += 1
    return time.perf_counter() - start, cells


if __name__ == "__main__":
    if sys.argv[1] == "make":
        make(sys.argv[2], int(sys.argv[3]))
    else:
        seconds, cells = (read_xlsx if sys.argv[1] == "xlsx" else read_csv)(sys.argv[2])
        print("%.3f %d %.0f" % (seconds, cells, peak_mb()))
