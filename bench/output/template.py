"""The bench template: ten bound cells B2:B11 and a formula total."""
import sys

from openpyxl import Workbook

wb = Workbook()
ws = wb.active
ws.title = "帳票"
for i in range(10):
    ws.cell(row=2 + i, column=1, value="項目%d" % (i + 1))
ws["A13"] = "合計"
ws["B13"] = "=B9+B10"
wb.save(sys.argv[1])
