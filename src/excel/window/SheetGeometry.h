#pragma once
#include <QRectF>

#include "excel/Model.h"
#include "excel/window/AxisLayout.h"

namespace excel {
class Worksheet;
}

namespace excel::window {

// Column widths are stored in characters of the workbook's default font;
// this is that font's widest digit in pixels at 96 dpi (11-point body font),
// which turns them into the pixel widths a spreadsheet shows.
constexpr double kDigitWidthPx = 7.0;
constexpr double kPointsPerPixel = 0.75;  // 72 / 96
constexpr double kEmuPerPoint = 12700.0;

// Pixels of a column stored as `characters` wide, rounded as a spreadsheet
// rounds them (the stored width already holds the cell padding).
double columnWidthPixels(double characters);

// Positions of the rows and columns of one sheet, in points, covering the
// used range, its pictures and at least minRows x minCols so that an almost
// empty sheet still fills a window. Rows and columns here are 0-based: index
// i is sheet row/column i + 1.
class SheetGeometry {
public:
    SheetGeometry(const Worksheet& sheet, int minRows, int minCols);

    const AxisLayout& rows() const { return rows_; }
    const AxisLayout& cols() const { return cols_; }
    // Rectangle of a 1-based cell or range, in points from A1's top-left.
    QRectF cellRect(int row, int col) const;
    QRectF rangeRect(const RangeRef& range) const;
    // Where a drawing object lies, in points from A1's top-left.
    QRectF anchorRect(const Anchor& anchor) const;

private:
    QPointF pointOf(const AnchorPoint& p) const;

    AxisLayout rows_;
    AxisLayout cols_;
};

}  // namespace excel::window
