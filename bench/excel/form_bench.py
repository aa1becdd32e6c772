#!/usr/bin/python3
"""The document-output benchmark's template and its openpyxl reference.

  form_bench.py template OUTDIR        writes OUTDIR/template.xlsx and images,
                                       and OUTDIR/template_formulas.xlsx: the
                                       same form with ten formula cells
  form_bench.py run TEMPLATE OUTDIR N  fills N documents with openpyxl and
                                       prints documents per second, by wall
                                       time and by CPU time
"""
import datetime
import os
import shutil
import sys
import time

from openpyxl import Workbook, load_workbook
from openpyxl.drawing.image import Image
from openpyxl.styles import Border, Font, Side
from PIL import Image as PILImage

CELLS = ["B%d" % r for r in range(3, 13)] + ["D%d" % r for r in range(3, 13)] + ["F%d" % r for r in range(3, 13)]

FORMULA_CELLS = ["C%d" % r for r in range(14, 19)] + ["E%d" % r for r in range(14, 19)]
FORMULAS = ["=SUM(D3:D12)", "=ROUNDDOWN(C14*0.1,0)", "=C14+C15", '=DATEDIF(DATE(1980,5,20),F3,"Y")',
            "=AVERAGE(D3:D12)", "=ROUND(D4*D5,2)", "=COUNTA(B3:B12)", '=B3&"様"',
            '=IF(C16>100000,"大口","通常")', "=MAX(F3:F12)-MIN(F3:F12)"]


def values(i):
    """Ten Japanese texts, ten numbers, ten dates, as document output writes them."""
    texts = ["山田太郎%d" % i, "東京都千代田区丸の内%d" % i, "株式会社テスモラ", "0600001", "備考：特になし",
             "営業部", "見積№%05d" % i, "ｶﾀｶﾅ", "〒100-0005", "以上"]
    numbers = [str(i), "12345", "-3.5", "0.25", "1000000", "42", "7", "3.14159", "99", "0"]
    dates = ["2024/%d/%d" % (1 + (i + k) % 12, 1 + (i + k) % 28) for k in range(10)]
    return texts + numbers + dates


def template(out):
    os.makedirs(out, exist_ok=True)
    wb = Workbook()
    ws = wb.active
    ws.title = "見積書"
    ws["A1"] = "御見積書"
    ws["A1"].font = Font(size=16, bold=True)
    ws.merge_cells("A1:F1")
    thin = Side(style="thin")
    for i, a in enumerate(CELLS):
        col = chr(ord(a[0]) - 1)
        ws[col + a[1:]] = "項目%d" % (i + 1)
        ws[a].border = Border(bottom=thin)
        if a[0] == "F":
            ws[a].number_format = "yyyy/m/d"
    for c in "ABCDEF":
        ws.column_dimensions[c].width = 14
    ws.page_setup.orientation = "portrait"
    ws.print_area = "A1:F20"
    PILImage.new("RGB", (80, 60), "red").save(os.path.join(out, "stamp.png"))
    PILImage.new("RGB", (80, 60), "blue").save(os.path.join(out, "photo.jpg"), "JPEG")
    ws.add_image(Image(os.path.join(out, "stamp.png")), "H3")
    path = os.path.join(out, "template.xlsx")
    wb.save(path)
    name_picture(path)
    # The same form with the formulas a quotation carries: totals, tax
    # rounded down, an age from a date, texts built from the input.
    for a, f in zip(FORMULA_CELLS, FORMULAS):
        ws[a] = f
    formulas = os.path.join(out, "template_formulas.xlsx")
    wb.save(formulas)
    name_picture(formulas)


def name_picture(path):
    """Excel names pasted pictures "Picture n"; the engine looks pictures up by that name."""
    import zipfile
    src = zipfile.ZipFile(path)
    parts = {i.filename: src.read(i.filename) for i in src.infolist()}
    src.close()
    parts["xl/drawings/drawing1.xml"] = parts["xl/drawings/drawing1.xml"].replace(b'name="Image 1"', b'name="Picture 1"')
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in parts.items():
            z.writestr(name, data)


def typed(text):
    """The same typing rule the engine applies, so both sides store the same values."""
    try:
        n = int(text)
        if str(n) == text:
            return n
    except ValueError:
        pass
    try:
        f = float(text)
        if repr(f) == text:
            return f
    except ValueError:
        pass
    try:
        return datetime.datetime.strptime(text, "%Y/%m/%d")
    except ValueError:
        return text


def run(template_path, out, n):
    photo = os.path.join(os.path.dirname(template_path), "photo.jpg")
    os.makedirs(out, exist_ok=True)
    start = time.perf_counter()
    cpu = time.process_time()
    for i in range(n):
        path = os.path.join(out, "py_%d.xlsx" % i)
        shutil.copyfile(template_path, path)
        wb = load_workbook(path)
        ws = wb["見積書"]
        for a, v in zip(CELLS, values(i)):
            ws[a] = typed(v)
        old = ws._images[0]
        img = Image(photo)
        img.anchor = old.anchor
        img.width, img.height = old.width, old.height
        ws._images[0] = img
        wb.save(path)
    elapsed = time.perf_counter() - start
    cpu = time.process_time() - cpu
    print("%.1f %.1f" % (n / elapsed, n / cpu))


if __name__ == "__main__":
    if sys.argv[1] == "template":
        template(sys.argv[2])
    else:
        run(sys.argv[2], sys.argv[3], int(sys.argv[4]))
