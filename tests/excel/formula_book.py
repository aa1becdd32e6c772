#!/usr/bin/python3
"""A workbook of a few hundred formulas over Japanese texts, numbers, dates,
blanks and errors, written without results (openpyxl stores none), and a
reader of a workbook's results.

  formula_book.py write PATH   writes the workbook
Left out are the cases where LibreOffice departs from the convention of the
files we exchange: 0^0 and (-8)^(1/3) (numbers there, #NUM!), CEILING of a
positive number to a negative multiple, TRUE joined with "&" ("1" there),
a text argument of SUM, "1E+020", LENB of half-width kana (2 bytes there, 1
in the Japanese code page), JIS of spaces (kept half-width there), date
parts of an empty cell (LibreOffice counts from 1899-12-30) and dates typed
with slashes in DATEVALUE (read by the locale there). Functions newer than
the file format carry their "_xlfn." prefix, as files store them.

  formula_book.py read PATH    prints {"式!B5": ["n", 3.0], ...} for every
                               formula cell of sheet 式 ("n" number, "s" text,
                               "b" boolean, "e" error, "" empty)
"""
import datetime
import json
import sys

import openpyxl

TEXTS = ["りんご", "みかん", "ぶどう", "りんご", "  東京  都 ", "ｶﾀｶﾅﾃﾞｽ", "ＡＢＣ１２３", "abc Def", None, "100"]
NUMBERS = [120, 80, 200, -3.5, 0, 1234.5678, 2.675, 1000000, None, 42]
DATES = [datetime.datetime(1980, 5, 20), datetime.datetime(2024, 3, 5), datetime.datetime(2024, 1, 31),
         datetime.datetime(2023, 12, 31), datetime.datetime(2000, 2, 29), datetime.datetime(2024, 2, 29),
         datetime.datetime(1999, 12, 31, 23, 59, 30), datetime.datetime(2024, 3, 5, 9, 30), None,
         datetime.datetime(2010, 10, 10)]
CITIES = ["東京", "大阪", "東京", "名古屋", "大阪", "東京", "札幌", "福岡", None, "東京"]
ERRORS = ["#N/A", "#DIV/0!", "#VALUE!", None, "#REF!"]


def formulas():
    out = []
    d = "データ!"
    rows = range(1, 11)
    # Arithmetic, precedence and conversions.
    out += ["=1+2*3", "=-2^2", "=2^3^2", "=(1+2)*3", "=10%*50", '="3"+4', '="1,000"*2', '="a"&1.5&"b"',
            '=1/0', '="x"+1', "=0.1+0.2=0.3", '="abc"="ABC"', '="a"<"b"', '=1<"a"', "=データ!B9+1",
            '=データ!B9&"x"', "=データ!B9=0", '=データ!A9=""', "=データ!B1*1.08", "=データ!B6/3",
            "=データ!C2-データ!C1", "=データ!C2+1", '=データ!A10+1', "=TRUE+1", "=-データ!B4",
            '="税"&1/3', "=1E+14&\"\"", "=データ!B4^2", "=(-8)^2", "=5-5.000000000000001"]
    # Aggregates and criteria.
    out += ["=SUM(データ!B1:B10)", "=SUM(データ!B:B)", "=SUM(データ!B1:B10,5,2)", "=SUM(データ!D1:D5)",
            "=AVERAGE(データ!B1:B10)", "=MIN(データ!B1:B10)", "=MAX(データ!B1:B10)", "=MAX(データ!C1:C10)",
            "=COUNT(データ!A1:C10)", "=COUNTA(データ!A1:E10)", "=COUNTBLANK(データ!A1:A10)",
            '=SUMIF(データ!E1:E10,"東京",データ!B1:B10)', '=SUMIF(データ!B1:B10,">100")',
            '=SUMIF(データ!B1:B10,"<>0")', '=SUMIF(データ!A1:A10,"り*",データ!B1:B10)',
            '=SUMIFS(データ!B1:B10,データ!E1:E10,"東京",データ!B1:B10,">=100")',
            '=COUNTIF(データ!E1:E10,"東京")', '=COUNTIF(データ!B1:B10,">=80")', '=COUNTIF(データ!A1:A10,"*ん*")',
            '=COUNTIF(データ!A1:A10,"")', '=COUNTIF(データ!B1:B10,"<>120")', '=COUNTIF(データ!B1:B10,42)',
            '=COUNTIFS(データ!E1:E10,"大阪",データ!B1:B10,"<100")', '=AVERAGEIF(データ!E1:E10,"東京",データ!B1:B10)',
            '=AVERAGEIF(データ!E1:E10,"那覇",データ!B1:B10)', "=SUMPRODUCT(データ!B1:B3,データ!B8:B10)",
            '=SUMPRODUCT((データ!E1:E10="東京")*(データ!B1:B10))', "=SUMPRODUCT(データ!B1:B3*2)"]
    # Rounding and arithmetic functions over every number.
    for r in rows:
        b = d + "B%d" % r
        out += ["=ROUND(%s,2)" % b, "=ROUND(%s,-1)" % b, "=ROUNDUP(%s*1.1,0)" % b, "=ROUNDDOWN(%s*1.08,0)" % b,
                "=INT(%s)" % b, "=TRUNC(%s,1)" % b, "=MOD(%s,7)" % b, "=ABS(%s)" % b]
    out += ["=ROUND(2.675,2)", "=ROUND(-2.5,0)", "=ROUNDDOWN(0.29*100,0)", "=MOD(-3,2)", "=MOD(3,-2)", "=MOD(5,0)",
            "=CEILING(2.1,0.5)", "=CEILING(-2.5,-2)", "=CEILING(-2.5,2)", "=FLOOR(2.9,0.5)", "=FLOOR(-2.5,-2)",
            "=POWER(2,10)", "=SQRT(16)", "=SQRT(-1)", "=INT(-1.5)", "=TRUNC(-1.59)"]
    # Logic and information.
    out += ['=IF(データ!B1>100,"高","低")', '=IF(データ!B2>100,"高")', '=IF(データ!B9,"真","偽")',
            '=_xlfn.IFS(データ!B2>100,"A",データ!B2>50,"B")', '=_xlfn.IFS(FALSE,1)', '=IFERROR(データ!D1,"なし")',
            '=IFERROR(データ!B1,"なし")', '=_xlfn.IFNA(データ!D1,0)', '=_xlfn.IFNA(データ!D2,0)', "=AND(データ!B1>0,データ!B2>0)",
            "=OR(データ!B4>0,データ!B5>0)", "=NOT(データ!B5)", "=AND(TRUE,データ!A1:A3)"]
    for cell in ["A1", "A9", "B1", "B9", "C2", "D1", "A10"]:
        c = d + cell
        out += ["=ISBLANK(%s)" % c, "=ISNUMBER(%s)" % c, "=ISTEXT(%s)" % c, "=ISERROR(%s)" % c]
    # Text functions over every text.
    for r in rows:
        a = d + "A%d" % r
        out += ["=LEN(%s)" % a, "=LEFT(%s,2)" % a, "=RIGHT(%s)" % a, "=MID(%s,2,3)" % a,
                "=UPPER(%s)" % a, "=TRIM(%s)" % a, "=ASC(%s)" % a]
        if r != 6:
            out += ["=LENB(%s)" % a]
        if r not in (5, 8):
            out += ["=JIS(%s)" % a]
    out += ['=FIND("都",データ!A5)', '=FIND("x","abc")', '=SEARCH("b?f","ABC DEF abc def")', '=SEARCH("d",データ!A8)',
            '=SUBSTITUTE("a-b-c","-","+")', '=SUBSTITUTE("a-b-c","-","+",2)', '=REPLACE("090-1234",4,1,"")',
            '=LOWER("ABC Ｄ")', '=TEXT(1234.5,"#,##0")', '=TEXT(データ!C2,"yyyy/mm/dd")', '=TEXT(0.25,"0.0%")',
            '=TEXT(データ!B6,"0.00")', '=VALUE("1,234")', '=VALUE("10%")', '=VALUE("abc")', '=VALUE(データ!A10)',
            '=CONCATENATE(データ!A1,"と",データ!A2)', '=_xlfn.CONCAT(データ!A1:A4)', '=_xlfn.TEXTJOIN("、",TRUE,データ!E1:E10)',
            '=_xlfn.TEXTJOIN("/",FALSE,データ!A8:A10)', '=REPT("*",3)', '=REPT("ab",0)']
    # Dates and times over every date.
    for r in rows:
        if r == 9:
            continue
        c = d + "C%d" % r
        out += ["=YEAR(%s)" % c, "=MONTH(%s)" % c, "=DAY(%s)" % c, "=WEEKDAY(%s)" % c, "=WEEKDAY(%s,2)" % c,
                "=EDATE(%s,1)" % c, "=EOMONTH(%s,0)" % c, "=HOUR(%s)" % c, "=MINUTE(%s)" % c,
                '=DATEDIF(データ!C1,%s,"Y")' % c, '=DATEDIF(データ!C1,%s,"M")' % c, '=DATEDIF(データ!C1,%s,"YM")' % c]
    out += ["=DATE(2024,3,5)", "=DATE(2024,14,1)", "=DATE(2024,3,0)", "=DATE(99,1,1)", '=DATEVALUE("2024-03-05")',
            "=TIME(9,30,15)", "=TIME(25,0,0)", "=SECOND(TIME(1,2,3))", "=TODAY()-INT(NOW())", "=EDATE(DATE(2024,1,31),1)",
            "=EOMONTH(DATE(2024,1,15),-1)", '=DATEDIF(データ!C2,データ!C1,"Y")', '=DATEDIF(DATE(2024,1,1),DATE(2024,3,5),"D")']
    # Further functions forms use.
    out += ["=PRODUCT(データ!B1:B3)", "=PRODUCT(データ!B1,2,データ!B9)", "=MEDIAN(データ!B1:B10)", "=MEDIAN(1,2,3,4)",
            "=LARGE(データ!B1:B10,2)", "=SMALL(データ!B1:B10,1)", "=LARGE(データ!B1:B10,20)", "=SIGN(データ!B4)",
            "=SIGN(0)", "=ISNA(データ!D1)", "=ISNA(データ!D2)", "=ISERR(データ!D1)", "=ISERR(データ!D2)",
            "=ISLOGICAL(TRUE)", "=ISLOGICAL(データ!B1)", '=EXACT("abc","ABC")', "=EXACT(データ!A1,データ!A4)",
            "=N(データ!B1)", "=N(データ!A1)", "=T(データ!A1)", "=T(データ!B1)"]
    # Lookup.
    out += ['=VLOOKUP("みかん",データ!A1:E10,5,FALSE)', '=VLOOKUP("梨",データ!A1:E10,2,FALSE)',
            '=VLOOKUP(25,データ!G1:H5,2,TRUE)', '=VLOOKUP(0,データ!G1:H5,2)', '=VLOOKUP(100,データ!G1:H5,2)',
            '=VLOOKUP("み*",データ!A1:B10,2,FALSE)', '=HLOOKUP("b",データ!G7:J8,2,FALSE)',
            "=INDEX(データ!A1:E10,2,5)", "=INDEX(データ!B1:B10,3)", "=SUM(INDEX(データ!B1:C10,0,1))",
            '=MATCH("大阪",データ!E1:E10,0)', "=MATCH(25,データ!G1:G5)", "=MATCH(25,データ!G1:G5,1)",
            '=MATCH("ぶどう",データ!A1:A10,0)', '=CHOOSE(2,"a","b","c")', "=CHOOSE(4,1,2)",
            "=ROW()", "=COLUMN()", "=ROW(データ!B7)", "=COLUMN(データ!C1)"]
    return out


def write(path):
    wb = openpyxl.Workbook()
    data = wb.active
    data.title = "データ"
    for i in range(10):
        for col, values in zip("ABCE", [TEXTS, NUMBERS, DATES, CITIES]):
            if values[i] is not None:
                data["%s%d" % (col, i + 1)] = values[i]
        if i < len(ERRORS) and ERRORS[i]:
            data["D%d" % (i + 1)] = ERRORS[i]
    for i, (k, v) in enumerate([(0, "ゼロ"), (10, "十"), (20, "二十"), (30, "三十"), (50, "五十")]):
        data["G%d" % (i + 1)] = k
        data["H%d" % (i + 1)] = v
    for j, (k, v) in enumerate([("a", 1), ("b", 2), ("c", 3), ("d", 4)]):
        data.cell(7, 7 + j, k)
        data.cell(8, 7 + j, v)
    for i in range(10):
        data["C%d" % (i + 1)].number_format = "yyyy/mm/dd hh:mm:ss"
    sheet = wb.create_sheet("式")
    for i, f in enumerate(formulas()):
        sheet["A%d" % (i + 1)] = f[1:]
        sheet["B%d" % (i + 1)] = f
    wb.save(path)


def read(path):
    wb = openpyxl.load_workbook(path, data_only=True)
    ws = wb["式"]
    out = {}
    for row in ws.iter_rows(min_col=2, max_col=2):
        c = row[0]
        v = c.value
        if c.data_type == "e":
            out[c.coordinate] = ["e", str(v)]
        elif v is None:
            out[c.coordinate] = ["", ""]
        elif isinstance(v, bool):
            out[c.coordinate] = ["b", v]
        elif isinstance(v, (int, float)):
            out[c.coordinate] = ["n", float(v)]
        elif isinstance(v, datetime.datetime):
            epoch = datetime.datetime(1899, 12, 30)
            out[c.coordinate] = ["n", (v - epoch).total_seconds() / 86400]
        elif isinstance(v, datetime.date):
            out[c.coordinate] = ["n", float((v - datetime.date(1899, 12, 30)).days)]
        elif isinstance(v, datetime.time):
            out[c.coordinate] = ["n", (v.hour * 3600 + v.minute * 60 + v.second) / 86400]
        else:
            out[c.coordinate] = ["s", str(v)]
    print(json.dumps(out, ensure_ascii=False))


if __name__ == "__main__":
    if sys.argv[1] == "write":
        write(sys.argv[2])
    else:
        read(sys.argv[2])
