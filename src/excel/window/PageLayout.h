#pragma once
// Splitting a sheet into printed pages the way a spreadsheet does: the print
// area is scaled (a fixed percentage, or the largest one that fits a number of
// pages across and down), cut into pages across and down at the last whole
// row and column that fit, with title rows and columns repeated on the pages
// that scroll past them. Everything is in points; nothing here draws.
#include <QMarginsF>
#include <QRectF>
#include <QSizeF>
#include <optional>
#include <vector>

#include "excel/window/AxisLayout.h"

namespace excel::window {

// 0-based inclusive index range.
struct Span {
    int first = 0;
    int last = -1;
    int count() const { return last < first ? 0 : last - first + 1; }
    bool contains(int index) const { return index >= first && index <= last; }
    friend bool operator==(const Span&, const Span&) = default;
};

struct PageRequest {
    QSizeF paper{595.28, 841.89};           // points, as the paper stands (orientation applied)
    QMarginsF margins{50.4, 54, 50.4, 54};  // points
    Span rows;                              // the print area
    Span cols;
    std::optional<Span> titleRows;  // repeated at the top of later pages
    std::optional<Span> titleCols;  // repeated at the left of later pages
    int scalePercent = 100;         // used when fitToPage is off; 10 to 400
    bool fitToPage = false;
    int fitWidth = 1;           // pages across; 0 = as many as needed
    int fitHeight = 1;          // pages down; 0 = as many as needed
    bool overThenDown = false;  // page order; the default runs down first
    bool centerHorizontally = false;
    bool centerVertically = false;
};

struct PrintedPage {
    Span rows;
    Span cols;
    std::optional<Span> titleRows;  // set on the pages that repeat them
    std::optional<Span> titleCols;
};

struct PageLayout {
    double scale = 1.0;  // sheet points to paper points
    QRectF printable;    // on the paper, in points
    std::vector<PrintedPage> pages;
    int pagesAcross = 0;
    int pagesDown = 0;
};

// Cuts [span] of one axis into pieces no longer than room (in sheet points)
// at the given scale; a piece after the title span loses the titles' length.
// Every piece holds at least one index, so an oversized row is clipped rather
// than looping forever.
std::vector<Span> splitAxis(const AxisLayout& axis, Span span, double room,
                            std::optional<Span> titles);

PageLayout layoutPages(const AxisLayout& rows, const AxisLayout& cols, const PageRequest& request);

}  // namespace excel::window
