#pragma once
// Printing a sheet and rendering it to an image, both through the painter of
// the sheet window. Printing honours the page setup stored with the sheet:
// paper, orientation, margins, print area, fit-to-page or scale, centring,
// grid lines and repeated title rows and columns.
#include <QImage>
#include <QPainter>
#include <QPageSize>
#include <QSize>

#include "excel/Model.h"
#include "excel/window/PageLayout.h"
#include "platform/PdfTextMap.h"

class QPrinter;

namespace excel {
class Worksheet;
}

namespace excel::window {

class SheetGeometry;

// The paper of a stored paper-size code (9 = A4, 1 = Letter, 12 = B4 JIS ...);
// A4 for codes this program does not know.
QPageSize paperForCode(int code);

// The sheet's print area; nullopt when none is set.
std::optional<RangeRef> printAreaOf(const PageSetup& setup);

// The rows and columns to print: the print area when one is set, else the
// used range widened to the pictures on it. 0-based spans.
std::pair<Span, Span> printedArea(const Worksheet& sheet, const SheetGeometry& geometry);

// The page request for the sheet's page setup on its paper.
PageRequest pageRequestFor(const Worksheet& sheet, const SheetGeometry& geometry);

// Prints the sheet as one job on printer, after setting the printer's paper
// and orientation from the page setup. Throws excel::Error (WriteFailed)
// when the printer cannot be started.
void printSheet(const Worksheet& sheet, QPrinter& printer);

// One print job holding several sheets in turn, each starting on a new page
// (a batch printed into one PDF file). The job starts with the first sheet
// and ends with finish(); an unfinished job is ended by the destructor.
class SheetPrintJob {
public:
    explicit SheetPrintJob(QPrinter& printer);
    ~SheetPrintJob();
    SheetPrintJob(const SheetPrintJob&) = delete;
    SheetPrintJob& operator=(const SheetPrintJob&) = delete;
    // Throws excel::Error (WriteFailed) when the printer cannot start.
    void add(const Worksheet& sheet);
    void finish();
    int sheets() const { return sheets_; }

private:
    QPrinter& printer_;
    QPainter painter_;
    platform::DrawnText drawn_;  // what the job drew, for its PDF's text map
    int sheets_ = 0;
};

// The sheet as the sheet window shows it at 100%: the first screenful of
// size pixels from A1, or the whole print area (up to a sane size) when the
// sheet has one. Needs a QApplication.
QImage renderSheetImage(Worksheet& sheet, QSize screenful = QSize(1280, 800));

}  // namespace excel::window
