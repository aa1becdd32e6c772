"""Templates for the document-output tests, written by openpyxl.

card.xlsx   one record per sheet on sheet "台帳" (the second sheet; the
            first is active, so the run must select it): 氏名 B2, コード B3,
            date B4, serial B5, link B6, 会費 B8 with B7 = B8*2 and a
            picture "Picture 1".
blocks.xlsx 2 x 3 blocks on sheet "名札", 4 columns across and 10 rows down:
            氏名 A1, コード B1, formula A3 = B1 & "!", a picture per block
            "Picture 1" .. "Picture 6", and filler text in every block.
photo.png, photo2.png  pictures the records point at.
"""
import os
import sys
import zipfile

from openpyxl import Workbook
from openpyxl.drawing.image import Image
from PIL import Image as PILImage


def rename_pictures(path):
    """openpyxl names its pictures "Image n"; templates call them "Picture n"."""
    tmp = path + ".tmp"
    with zipfile.ZipFile(path) as src, zipfile.ZipFile(tmp, "w", zipfile.ZIP_DEFLATED) as dst:
        for item in src.infolist():
            data = src.read(item.filename)
            if item.filename.startswith("xl/drawings/drawing"):
                data = data.replace(b'name="Image ', b'name="Picture ')
            dst.writestr(item, data)
    os.replace(tmp, path)


def card(out, pic):
    wb = Workbook()
    first = wb.active
    first.title = "表紙"
    first["A1"] = "表紙は書き換えない"
    ws = wb.create_sheet("台帳")
    ws["A1"] = "会員カード"
    ws["A2"] = "氏名"
    ws["B2"] = "(氏名)"
    ws["A3"] = "コード"
    ws["B3"] = "(コード)"
    ws["B4"] = "(!日付)"
    ws["B5"] = "(!通し番号)"
    ws["B6"] = "リンクを開く"
    ws["A7"] = "合計"
    ws["B7"] = "=B8*2"
    ws["B8"] = 0
    ws.add_image(Image(pic), "D2")
    wb.active = 0
    path = os.path.join(out, "card.xlsx")
    wb.save(path)
    rename_pictures(path)


def blocks(out, pic):
    wb = Workbook()
    ws = wb.active
    ws.title = "名札"
    for e in range(3):
        for f in range(2):
            col = 1 + f * 4
            row = 1 + e * 10
            ws.cell(row=row, column=col, value="(氏名)")
            ws.cell(row=row + 1, column=col, value="枠%d" % (e * 2 + f + 1))
            ws.cell(row=row + 5, column=col + 1, value="下段")
            letter = ws.cell(row=row, column=col + 1).column_letter
            ws.cell(row=row + 2, column=col, value='=%s%d&"!"' % (letter, row))
            ws.add_image(Image(pic), ws.cell(row=row, column=col + 2).coordinate)
    path = os.path.join(out, "blocks.xlsx")
    wb.save(path)
    rename_pictures(path)


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    pic = os.path.join(out, "frame.png")
    PILImage.new("RGB", (40, 30), "gray").save(pic)
    PILImage.new("RGB", (64, 48), "red").save(os.path.join(out, "photo.png"))
    PILImage.new("RGB", (32, 32), "blue").save(os.path.join(out, "photo2.png"))
    card(out, pic)
    blocks(out, pic)


if __name__ == "__main__":
    main()
