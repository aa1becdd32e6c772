#pragma once
// The list on paper: a ruled table whose columns are as wide as the grid
// shows them, scaled from screen to printer. Columns that do not fit beside
// each other on a page form groups; each group is printed over all records
// in turn, pages numbered on across the groups. Every page carries its
// number, the names row and as many record rows as fit; the whole list is
// one print job, so a PDF printer writes every page into one file.
#include <QString>
#include <vector>

#include "output/ListOutput.h"

class QPainter;
class QPagedPaintDevice;

namespace platform {
class DrawnText;
}

namespace output {

struct PrintedColumn {
    int field = 0;  // index in the record set
    QString name;
    int type = 0;  // field-type code
    int x = 0;     // left edge within its group, printer pixels
    int width = 0;
};

struct ColumnGroup {
    std::vector<PrintedColumn> columns;
    int right = 0;  // the group's right edge: where its last column ends
};

struct PrintedListLayout {
    int scale = 1;         // printer dots per screen dot, whole, at least 1
    int margin = 2;        // text offset inside a row and from the page corner
    int rowHeight = 20;    // one line of the page
    int linesPerPage = 3;  // the page's height in lines; two hold no records
    int pageWidth = 0;
    int pageHeight = 0;
    std::vector<ColumnGroup> groups;

    int recordRowsPerPage() const { return linesPerPage - 2; }
    // Pages the list takes for this many records.
    int pageCount(int records) const;
};

// The layout for a page of pageWidth x pageHeight printer pixels. The scale
// is printerDpi / screenDpi rounded down, but never below 1; a page too low
// for a single record row still gets one. A column wider than the page stands
// alone in its group (its text runs to the page edge), so no group is empty.
PrintedListLayout layoutPrintedList(int printerDpi, int screenDpi, int pageWidth, int pageHeight,
                                    const std::vector<ListColumn>& columns);

// The page number in the corner: " (n頁)" on the first page of a group,
// "  (n頁)" on the pages that continue it.
QString pageHeaderText(int page, bool firstOfGroup);

struct PrintedListResult {
    int pages = 0;
    int records = 0;
};

// Draws the list onto painter, which is active on device, starting with the
// device's current page and calling device.newPage() between pages.
// Every text drawn is noted in drawn when it is given.
PrintedListResult paintPrintedList(QPainter& painter, QPagedPaintDevice& device,
                                   const PrintedListLayout& layout, const ListRecords& records,
                                   const ProgressFn& progress = {},
                                   platform::DrawnText* drawn = nullptr);

// Prints the list as one job on a printer (or a PDF writer). screenDpi: the
// screen's logical resolution the grid widths were measured in. Throws
// ListError(PrintFailed) when the printer cannot be started or the job not
// finished. A printer writing a PDF file has the file's text map put right
// (platform/PdfTextMap.h); a caller writing a PDF through a writer of its own
// passes drawn and puts the file right itself once it is complete.
PrintedListResult printList(QPagedPaintDevice& printer, int screenDpi,
                            const std::vector<ListColumn>& columns, const ListRecords& records,
                            const ProgressFn& progress = {},
                            platform::DrawnText* drawn = nullptr);

}  // namespace output
