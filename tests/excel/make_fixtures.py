#!/usr/bin/python3
"""Writes the workbooks the engine tests read, with openpyxl as the other
writer: a one-page form with styles, merges, Japanese text, a picture, a
hyperlink, a formula and page setup, plus a few odd packages.

usage: make_fixtures.py OUTDIR
"""
import os
import sys
import zipfile

from openpyxl import Workbook
from openpyxl.drawing.image import Image
from openpyxl.styles import Alignment, Border, Font, PatternFill, Side
from openpyxl.worksheet.page import PageMargins
from PIL import Image as PILImage


def png(path, colour, size=(40, 30)):
    PILImage.new("RGB", size, colour).save(path)


def form(out):
    wb = Workbook()
    ws = wb.active
    ws.title = "見積書"
    ws["A1"] = "御見積書"
    ws["A1"].font = Font(name="Noto Sans CJK JP", size=16, bold=True, italic=True, color="FF0000")
    ws["A1"].alignment = Alignment(horizontal="center", vertical="center")
    ws.merge_cells("A1:C2")
    ws["A3"] = "氏名"
    ws["B3"] = "山田太郎"
    ws["B3"].fill = PatternFill("solid", fgColor="FFFF00")
    thin = Side(style="thin", color="000000")
    ws["B3"].border = Border(left=thin, right=thin, top=thin, bottom=Side(style="double"))
    ws["A4"] = "金額"
    ws["B4"] = 12345
    ws["B4"].number_format = "#,##0"
    ws["A5"] = "日付"
    import datetime
    ws["B5"] = datetime.date(2024, 3, 5)
    ws["B5"].number_format = "yyyy/mm/dd"
    ws["A6"] = "合計"
    ws["B6"] = "=B4*2"
    ws["C6"] = True
    ws["A7"] = "  前後に空白  "
    ws["D8"] = "右端"
    ws["B9"].alignment = Alignment(wrap_text=True, horizontal="right")
    ws["B9"].font = Font(bold=True)
    ws["A10"] = "リンク"
    ws["A10"].hyperlink = "https://example.com/a?b=1&c=2"
    ws.column_dimensions["A"].width = 20
    ws.column_dimensions["B"].width = 30
    ws.row_dimensions[3].height = 30
    ws.page_setup.orientation = "landscape"
    ws.page_setup.paperSize = ws.PAPERSIZE_A4
    ws.page_setup.fitToWidth = 1
    ws.page_setup.fitToHeight = 0
    ws.sheet_properties.pageSetUpPr.fitToPage = True
    ws.page_margins = PageMargins(left=0.5, right=0.5, top=1.0, bottom=1.0)
    ws.print_area = "A1:D20"
    ws.print_title_rows = "1:2"
    pic = os.path.join(out, "red.png")
    png(pic, "red")
    img = Image(pic)
    ws.add_image(img, "D3")
    second = wb.create_sheet("Sheet2")
    second["A1"] = "二枚目"
    second["B2"] = 3.25
    wb.active = 0
    path = os.path.join(out, "form.xlsx")
    wb.save(path)
    rework_package(path)


GROUP = (
    '<twoCellAnchor><from><col>5</col><colOff>9525</colOff><row>10</row><rowOff>0</rowOff></from>'
    '<to><col>7</col><colOff>0</colOff><row>14</row><rowOff>19050</rowOff></to>'
    '<grpSp><nvGrpSpPr><cNvPr id="4" name="Group 4"/><cNvGrpSpPr/></nvGrpSpPr>'
    '<grpSpPr><a:xfrm xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main">'
    '<a:off x="0" y="0"/><a:ext cx="1000000" cy="800000"/>'
    '<a:chOff x="0" y="0"/><a:chExt cx="1000000" cy="800000"/></a:xfrm></grpSpPr>'
    '<pic><nvPicPr><cNvPr id="5" name="Picture 5"/><cNvPicPr/></nvPicPr>'
    '<blipFill><a:blip xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main" '
    'xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships" r:embed="rId1"/></blipFill>'
    '<spPr><a:xfrm xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main">'
    '<a:off x="0" y="0"/><a:ext cx="1000000" cy="800000"/></a:xfrm>'
    '<a:prstGeom xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main" prst="rect"/></spPr></pic>'
    '</grpSp><clientData/></twoCellAnchor>')


def rework_package(path):
    """Turns openpyxl's inline strings into a shared-string table, names the
    picture as Excel names pasted pictures ("Picture 3") and adds a grouped
    picture, so the fixture looks like a workbook saved by Excel."""
    import re
    from xml.sax.saxutils import escape
    src = zipfile.ZipFile(path)
    parts = {i.filename: src.read(i.filename) for i in src.infolist()}
    src.close()
    strings = []

    def share(m):
        attrs, text = m.group(1), m.group(3)
        strings.append(text)
        return '<c %s t="s"><v>%d</v></c>' % (attrs.strip(), len(strings) - 1)

    for name in ("xl/worksheets/sheet1.xml", "xl/worksheets/sheet2.xml"):
        xml = parts[name].decode()
        xml = re.sub(r'<c ([^>]*?)\s*t="inlineStr"><is><t( xml:space="preserve")?>(.*?)</t></is></c>', share, xml)
        parts[name] = xml.encode()
    sst = ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>'
           '<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" count="%d" uniqueCount="%d">'
           % (len(strings), len(strings)))
    for t in strings:
        space = ' xml:space="preserve"' if t != t.strip() else ''
        sst += '<si><t%s>%s</t><rPh sb="0" eb="1"><t>ヨミ</t></rPh></si>' % (space, t)
    sst += '</sst>'
    parts["xl/sharedStrings.xml"] = sst.encode()
    rels = parts["xl/_rels/workbook.xml.rels"].decode()
    rels = rels.replace("</Relationships>",
                        '<Relationship Id="rIdSst" Type="http://schemas.openxmlformats.org/officeDocument/2006/'
                        'relationships/sharedStrings" Target="/xl/sharedStrings.xml"/></Relationships>')
    parts["xl/_rels/workbook.xml.rels"] = rels.encode()
    ct = parts["[Content_Types].xml"].decode()
    ct = ct.replace("</Types>", '<Override PartName="/xl/sharedStrings.xml" ContentType="application/'
                    'vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml"/></Types>')
    parts["[Content_Types].xml"] = ct.encode()
    drawing = parts["xl/drawings/drawing1.xml"].decode()
    drawing = drawing.replace('id="1" name="Image 1"', 'id="3" name="Picture 3"')
    drawing = drawing.replace("</wsDr>", GROUP + "</wsDr>")
    parts["xl/drawings/drawing1.xml"] = drawing.encode()
    # A formula filled down, which Excel stores once and shares, and the
    # calculation chain that lists it.
    shared = ('<row r="3"><c r="B3"><v>1</v></c><c r="C3"><f t="shared" ref="C3:C5" si="0">B3*2+$B$3</f><v>3</v></c></row>'
              '<row r="4"><c r="B4"><v>2</v></c><c r="C4"><f t="shared" si="0"/><v>5</v></c></row>'
              '<row r="5"><c r="B5"><v>3</v></c><c r="C5"><f t="shared" si="0"/><v>7</v></c></row>')
    parts["xl/worksheets/sheet2.xml"] = parts["xl/worksheets/sheet2.xml"].replace(
        b"</sheetData>", shared.encode() + b"</sheetData>")
    parts["xl/calcChain.xml"] = (b'<?xml version="1.0" encoding="UTF-8" standalone="yes"?>'
                                 b'<calcChain xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">'
                                 b'<c r="C3" i="2"/><c r="C4"/><c r="C5"/></calcChain>')
    rels = parts["xl/_rels/workbook.xml.rels"].decode()
    parts["xl/_rels/workbook.xml.rels"] = rels.replace(
        "</Relationships>", '<Relationship Id="rIdCalc" Type="http://schemas.openxmlformats.org/officeDocument/2006/'
        'relationships/calcChain" Target="calcChain.xml"/></Relationships>').encode()
    ct = parts["[Content_Types].xml"].decode()
    parts["[Content_Types].xml"] = ct.replace("</Types>", '<Override PartName="/xl/calcChain.xml" ContentType="application/'
                                              'vnd.openxmlformats-officedocument.spreadsheetml.calcChain+xml"/></Types>').encode()
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in parts.items():
            z.writestr(name, data)


def odd_packages(out):
    with open(os.path.join(out, "notzip.xlsx"), "wb") as f:
        f.write(b"This is not a zip file at all\n")
    # A zip without the workbook part.
    with zipfile.ZipFile(os.path.join(out, "noworkbook.xlsx"), "w") as z:
        z.writestr("[Content_Types].xml", "<Types/>")
        z.writestr("_rels/.rels", "<Relationships/>")
    # A workbook whose sheet part is malformed XML.
    src = zipfile.ZipFile(os.path.join(out, "form.xlsx"))
    with zipfile.ZipFile(os.path.join(out, "badsheet.xlsx"), "w") as z:
        for info in src.infolist():
            data = src.read(info.filename)
            if info.filename == "xl/worksheets/sheet1.xml":
                data = data[: len(data) // 2]
            z.writestr(info.filename, data)
    # Entity expansion ("billion laughs") in the workbook part.
    with zipfile.ZipFile(os.path.join(out, "entities.xlsx"), "w") as z:
        for info in src.infolist():
            data = src.read(info.filename)
            if info.filename == "xl/worksheets/sheet1.xml":
                lol = b'<?xml version="1.0"?><!DOCTYPE lolz [<!ENTITY lol "lol">' + b"".join(
                    b'<!ENTITY lol%d "%s">' % (i, (b"&lol%d;" % (i - 1) if i > 1 else b"&lol;") * 10)
                    for i in range(1, 10)) + b"]>"
                data = lol + data[data.index(b"<worksheet"):].replace(b"\xe5\xb1\xb1\xe7\x94\xb0", b"&lol9;", 1)
            z.writestr(info.filename, data)
    # A part that declares a huge size (a decompression bomb's header) is
    # refused before anything is inflated.
    with open(os.path.join(out, "form.xlsx"), "rb") as f:
        data = bytearray(f.read())
    name = b"xl/worksheets/sheet1.xml"
    central = data.find(b"PK\x01\x02" + b"\0" * 0, 0)
    while central >= 0:
        name_len = int.from_bytes(data[central + 28:central + 30], "little")
        if data[central + 46:central + 46 + name_len] == name:
            local = int.from_bytes(data[central + 42:central + 46], "little")
            huge = (0xF0000000).to_bytes(4, "little")
            data[central + 24:central + 28] = huge
            data[local + 22:local + 26] = huge
            break
        central = data.find(b"PK\x01\x02", central + 4)
    with open(os.path.join(out, "bomb.xlsx"), "wb") as f:
        f.write(bytes(data))


def images(out):
    PILImage.new("RGB", (64, 48), "blue").save(os.path.join(out, "blue.jpg"), "JPEG")
    PILImage.new("RGB", (20, 10), "green").save(os.path.join(out, "green.bmp"), "BMP")
    PILImage.new("P", (16, 16), 3).save(os.path.join(out, "tiny.gif"), "GIF")
    with open(os.path.join(out, "fake.jpg"), "wb") as f:
        f.write(b"\xff\xd8\xff\xe0 truncated")


# A sheet in the shapes other writers use, written by hand: a prefix on every
# element, rich and phonetic inline texts, an ISO date cell, an error, a
# string result, a cell with an extension list and attributes of its own,
# a CDATA value, character references, rows with heights, hidden rows and
# row styles, and a shared formula with cached results.
MARKUP_SHEET = (
    '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
    '<x:worksheet xmlns:x="http://schemas.openxmlformats.org/spreadsheetml/2006/main" '
    'xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships" '
    'xmlns:x14ac="http://schemas.microsoft.com/office/spreadsheetml/2009/9/ac">'
    '<x:dimension ref="A1:D6"/><x:sheetFormatPr defaultRowHeight="15"/>'
    '<x:sheetData>'
    '<x:row r="1" spans="1:4" ht="30" customHeight="1" x14ac:dyDescent="0.25">'
    '<x:c r="A1" t="inlineStr"><x:is><x:r><x:rPr><x:b/></x:rPr><x:t>太字</x:t></x:r>'
    '<x:r><x:t xml:space="preserve"> と普通</x:t></x:r></x:is></x:c>'
    '<x:c r="B1" t="inlineStr"><x:is><x:t>山田</x:t><x:rPh sb="0" eb="2"><x:t>ヤマダ</x:t></x:rPh></x:is></x:c>'
    '<x:c r="C1" t="d"><x:v>2024-03-05T09:30:00</x:v></x:c>'
    '<x:c r="D1" t="e"><x:v>#N/A</x:v></x:c>'
    '</x:row>'
    '<x:row r="2" hidden="1"><x:c r="A2" cm="1"><x:v>42</x:v><x:extLst><x:ext uri="{test}"/></x:extLst></x:c>'
    '<x:c r="B2" t="str"><x:f>"a"&amp;"b"</x:f><x:v>ab</x:v></x:c>'
    '<x:c r="C2" t="inlineStr"><x:is><x:t><![CDATA[<tag> & more]]></x:t></x:is></x:c>'
    '<x:c r="D2" t="inlineStr"><x:is><x:t>&#x6C0F;&#21517;&amp;&lt;</x:t></x:is></x:c></x:row>'
    '<x:row r="3" s="1" customFormat="1"/>'
    '<x:row r="4"><x:c r="A4"><x:v>1</x:v></x:c><x:c r="B4"><x:f t="shared" ref="B4:B6" si="0">A4*10</x:f><x:v>10</x:v></x:c></x:row>'
    '<x:row r="5"><x:c r="A5"><x:v>2</x:v></x:c><x:c r="B5"><x:f t="shared" si="0"/><x:v>20</x:v></x:c></x:row>'
    '<x:row r="6"><x:c r="A6"><x:v>3</x:v></x:c><x:c r="B6"><x:f t="shared" si="0"/><x:v>30</x:v></x:c></x:row>'
    '</x:sheetData><x:pageMargins left="0.7" right="0.7" top="0.75" bottom="0.75" header="0.3" footer="0.3"/>'
    '</x:worksheet>')


def markup(out):
    src = zipfile.ZipFile(os.path.join(out, "form.xlsx"))
    with zipfile.ZipFile(os.path.join(out, "markup.xlsx"), "w", zipfile.ZIP_DEFLATED) as z:
        for info in src.infolist():
            data = src.read(info.filename)
            if info.filename == "xl/worksheets/sheet2.xml":
                data = MARKUP_SHEET.encode("utf-8")
            z.writestr(info.filename, data)


def values(out):
    """Cells whose values are easily altered on the way in or out: a cell
    formatted as text, scientific formats, a time alone, and a book that
    counts its dates from 1904."""
    import datetime
    wb = Workbook()
    ws = wb.active
    ws.title = "値"
    ws["A1"].number_format = "@"
    ws["A1"].fill = PatternFill("solid", fgColor="00FF00")
    ws["A2"] = "0600001"
    ws["A2"].number_format = "@"
    ws["B1"] = 12345.678
    ws["B1"].number_format = "0.00E+00"
    ws["B2"] = 0.00012
    ws["B2"].number_format = "##0.0E+0"
    ws["C1"] = datetime.time(9, 30)
    ws["C1"].number_format = "h:mm"
    ws["C2"] = datetime.datetime(2024, 3, 5, 18, 45, 10)
    ws["C2"].number_format = "yyyy/m/d h:mm:ss"
    wb.save(os.path.join(out, "values.xlsx"))

    from openpyxl.utils.datetime import CALENDAR_MAC_1904
    wb = Workbook()
    wb.epoch = CALENDAR_MAC_1904
    ws = wb.active
    ws["A1"] = datetime.date(2024, 3, 5)
    ws["A1"].number_format = "yyyy/mm/dd"
    ws["A2"] = datetime.datetime(1904, 1, 2, 12, 0)
    ws["A2"].number_format = "yyyy/mm/dd h:mm"
    wb.save(os.path.join(out, "dates1904.xlsx"))


def csvs(out):
    text = '氏名,郵便番号,備考\r\n山田,0600001,"a,b ""c""\r\n次行"\r\n鈴木,123,2024/3/5\r\n'
    with open(os.path.join(out, "utf8.csv"), "wb") as f:
        f.write(text.encode("utf-8"))
    with open(os.path.join(out, "bom.csv"), "wb") as f:
        f.write(b"\xef\xbb\xbf" + text.encode("utf-8"))
    with open(os.path.join(out, "sjis.csv"), "wb") as f:
        f.write(text.encode("cp932"))
    with open(os.path.join(out, "invalid.csv"), "wb") as f:
        f.write(b"a,b\r\n\xff\xfe\x80\x81\xfd,c\r\n")


if __name__ == "__main__":
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    form(out)
    odd_packages(out)
    markup(out)
    images(out)
    csvs(out)
    values(out)
