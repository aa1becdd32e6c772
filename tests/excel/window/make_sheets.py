#!/usr/bin/python3
"""Writes the workbooks the sheet-window tests show and print, with openpyxl
as the other writer.

  shown.xlsx   a styled Japanese form: merges, borders, fills, two pictures
               named "Picture 3" and "Picture 5", a text box "TextBox 7",
               and a second sheet
  pages.xlsx   "一覧": 150 numbered rows with a repeated title row (several
               pages); "単票": a handful of cells (one page)
  broken.xlsx  shown.xlsx whose second sheet's XML is cut off
  badstyles.xlsx shown.xlsx whose styles part is cut off
  tall.xlsx    100,000 rows of values, for scrolling

usage: make_sheets.py OUTDIR
"""
import datetime
import os
import sys
import zipfile

from openpyxl import Workbook
from openpyxl.drawing.image import Image
from openpyxl.styles import Alignment, Border, Font, PatternFill, Side
from PIL import Image as PILImage, ImageDraw

TEXT_BOX = (
    '<twoCellAnchor><from><col>3</col><colOff>0</colOff><row>12</row><rowOff>0</rowOff></from>'
    '<to><col>5</col><colOff>0</colOff><row>15</row><rowOff>0</rowOff></to>'
    '<sp macro="" textlink=""><nvSpPr><cNvPr id="7" name="TextBox 7"/><cNvSpPr txBox="1"/></nvSpPr>'
    '<spPr><a:xfrm xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main">'
    '<a:off x="0" y="0"/><a:ext cx="1200000" cy="600000"/></a:xfrm>'
    '<a:prstGeom xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main" prst="rect"/></spPr>'
    '</sp><clientData/></twoCellAnchor>')


def rewrite(path, part, change):
    """Replaces one part of a package with change(old text)."""
    with zipfile.ZipFile(path) as z:
        items = [(info, z.read(info.filename)) for info in z.infolist()]
    with zipfile.ZipFile(path + ".tmp", "w", zipfile.ZIP_DEFLATED) as z:
        for info, data in items:
            if info.filename == part:
                data = change(data.decode("utf-8")).encode("utf-8")
            z.writestr(info, data)
    os.replace(path + ".tmp", path)


def stamp(path, colour, label):
    img = PILImage.new("RGB", (120, 80), colour)
    ImageDraw.Draw(img).rectangle([8, 8, 111, 71], outline="white", width=4)
    img.save(path)


def shown(out):
    wb = Workbook()
    ws = wb.active
    ws.title = "帳票"
    thin = Side(style="thin", color="000000")
    medium = Side(style="medium", color="000000")
    box = Border(left=thin, right=thin, top=thin, bottom=thin)
    ws["A1"] = "御見積書"
    ws["A1"].font = Font(name="ＭＳ Ｐゴシック", size=18, bold=True)
    ws["A1"].alignment = Alignment(horizontal="center", vertical="center")
    ws.merge_cells("A1:C2")
    labels = ["お客様名", "件名", "金額", "納期", "備考"]
    values = ["山田商事 株式会社 御中", "事務用品一式", 123456, datetime.date(2024, 3, 5),
              "長い備考の文章はセルの中で折り返して表示されます。"]
    for i, (label, value) in enumerate(zip(labels, values), start=4):
        ws.cell(row=i, column=1, value=label).fill = PatternFill("solid", fgColor="DDEBF7")
        ws.cell(row=i, column=1).border = box
        ws.cell(row=i, column=1).font = Font(name="ＭＳ Ｐゴシック", size=11, bold=True)
        ws.cell(row=i, column=2, value=value).border = box
        ws.cell(row=i, column=3).border = box
        ws.merge_cells(start_row=i, start_column=2, end_row=i, end_column=3)
    ws["B6"].number_format = "#,##0"
    ws["B6"].font = Font(color="C00000", bold=True)
    ws["B7"].number_format = "yyyy/mm/dd"
    ws["B8"].alignment = Alignment(wrap_text=True, vertical="top")
    ws.row_dimensions[8].height = 36
    ws["A10"] = "合計"
    ws["A10"].border = Border(top=medium, bottom=Side(style="double"))
    ws["B10"] = 98765.5
    ws["B10"].number_format = "#,##0.00"
    ws["B10"].alignment = Alignment(horizontal="right")
    ws["A12"] = "この行の文章は右隣の空いたセルへはみ出して表示されます"
    ws.column_dimensions["A"].width = 14
    ws.column_dimensions["B"].width = 18
    ws.column_dimensions["C"].width = 12
    ws.column_dimensions["D"].width = 12
    for name, colour, anchor in (("p3.png", "red", "D3"), ("p5.png", "blue", "F3")):
        stamp(os.path.join(out, name), colour, name)
        ws.add_image(Image(os.path.join(out, name)), anchor)
    ws.print_area = "A1:G16"
    other = wb.create_sheet("Sheet2")
    other["A1"] = "二枚目"
    other["B2"] = 3.25
    wb.active = 0
    path = os.path.join(out, "shown.xlsx")
    wb.save(path)
    rewrite(path, "xl/drawings/drawing1.xml",
            lambda xml: xml.replace('name="Image 1"', 'name="Picture 3"')
                           .replace('name="Image 2"', 'name="Picture 5"')
                           .replace("</wsDr>", TEXT_BOX + "</wsDr>"))


def broken(out):
    path = os.path.join(out, "broken.xlsx")
    with open(os.path.join(out, "shown.xlsx"), "rb") as src, open(path, "wb") as dst:
        dst.write(src.read())
    rewrite(path, "xl/worksheets/sheet2.xml", lambda xml: xml[: len(xml) // 2])
    path = os.path.join(out, "badstyles.xlsx")
    with open(os.path.join(out, "shown.xlsx"), "rb") as src, open(path, "wb") as dst:
        dst.write(src.read())
    rewrite(path, "xl/styles.xml", lambda xml: xml[: len(xml) // 2])


def pages(out):
    wb = Workbook()
    ws = wb.active
    ws.title = "一覧"
    ws.append(["番号", "品名", "数量"])
    for i in range(1, 151):
        ws.append([i, f"品目{i:03d}", i * 10])
    ws.print_title_rows = "1:1"
    ws.page_setup.paperSize = ws.PAPERSIZE_A4
    one = wb.create_sheet("単票")
    one["A1"] = "単票見出し"
    one["B3"] = "一枚だけ"
    wb.save(os.path.join(out, "pages.xlsx"))


def tall(out):
    wb = Workbook(write_only=True)
    ws = wb.create_sheet("大量")
    for i in range(1, 100001):
        ws.append([i, f"行{i}", i * 0.5])
    wb.save(os.path.join(out, "tall.xlsx"))


if __name__ == "__main__":
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    shown(out)
    broken(out)
    pages(out)
    if len(sys.argv) > 2 and sys.argv[2] == "--tall":
        tall(out)
