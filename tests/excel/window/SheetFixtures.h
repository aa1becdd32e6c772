#pragma once
// Workbooks for the sheet-window tests (make_sheets.py, written by openpyxl),
// a PDF printer source, and small helpers for reading PDFs back.
#include <QPoint>
#include <QString>
#include <QStringList>

#include "excel/window/WindowPresenter.h"

namespace excel::window {
class SheetView;
}

namespace sheettest {

// A fresh copy of a generated workbook in dir.
QString copySheet(const QString& name, const QString& dir);
// Generated once per run on request; tall.xlsx (100,000 rows) is slow to make.
QString sheetFixture(const QString& name);

// Printers writing dir/job1.pdf, dir/job2.pdf, ... in turn.
excel::window::PrinterSource pdfPrinters(const QString& dir);
int pdfPageCount(const QString& pdf);
// Text of one page (1-based), or of all pages when page is 0, NFKC-normalised.
QString pdfText(const QString& pdf, int page = 0);

// The middle of a cell of the shown sheet, in the view's viewport.
QPoint cellCentre(const excel::window::SheetView& view, int row, int col);

}  // namespace sheettest
