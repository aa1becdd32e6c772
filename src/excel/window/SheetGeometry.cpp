#include "excel/window/SheetGeometry.h"

#include <algorithm>
#include <cmath>

#include "excel/Workbook.h"

namespace excel::window {

namespace {
constexpr int kMaxRows = 1048576;
constexpr int kMaxCols = 16384;
constexpr double kUnpaddedDefaultLimit = 9.0;
}  // namespace

double columnWidthPixels(double characters) {
    if (characters <= 0) return 0;
    return std::trunc((256.0 * characters + std::trunc(128.0 / kDigitWidthPx)) / 256.0 *
                      kDigitWidthPx);
}

SheetGeometry::SheetGeometry(const Worksheet& sheet, int minRows, int minCols) {
    RangeRef used = sheet.usedRange();
    int lastRow = std::max(used.last.row, minRows);
    int lastCol = std::max(used.last.col, minCols);
    for (const RangeRef& merge : sheet.merges()) {
        lastRow = std::max(lastRow, merge.last.row);
        lastCol = std::max(lastCol, merge.last.col);
    }
    for (const Picture& picture : sheet.pictures()) {
        const Anchor& a = picture.anchor;
        if (a.kind == Anchor::Kind::TwoCell) {
            lastRow = std::max(lastRow, a.to.cell.row);
            lastCol = std::max(lastCol, a.to.cell.col);
        } else if (a.kind == Anchor::Kind::OneCell) {
            // The extent may reach past the anchor cell; a few spare rows and
            // columns keep it on the sheet.
            lastRow = std::max(lastRow, a.from.cell.row + 20);
            lastCol = std::max(lastCol, a.from.cell.col + 10);
        }
    }
    lastRow = std::clamp(lastRow, 1, kMaxRows);
    lastCol = std::clamp(lastCol, 1, kMaxCols);

    std::vector<double> heights(lastRow);
    for (int r = 0; r < lastRow; ++r) heights[r] = sheet.rowHeight(r + 1);
    // A sheet without a stored default width reports the familiar 8.43
    // characters without the cell padding; a spreadsheet shows that as 64
    // pixels. Stored widths (and stored defaults above it) carry the padding.
    double defaultWidth = sheet.defaultColumnWidth();
    double defaultPixels =
        defaultWidth <= kUnpaddedDefaultLimit ? 64.0 : columnWidthPixels(defaultWidth);
    std::vector<double> widths(lastCol);
    for (int c = 0; c < lastCol; ++c) {
        double characters = sheet.columnWidth(c + 1);
        double pixels = characters == defaultWidth ? defaultPixels : columnWidthPixels(characters);
        widths[c] = pixels * kPointsPerPixel;
    }
    rows_ = AxisLayout(std::move(heights));
    cols_ = AxisLayout(std::move(widths));
}

QRectF SheetGeometry::cellRect(int row, int col) const {
    return rangeRect(RangeRef{{row, col}, {row, col}});
}

QRectF SheetGeometry::rangeRect(const RangeRef& range) const {
    auto clampRow = [&](int r) { return std::clamp(r - 1, 0, rows_.count() - 1); };
    auto clampCol = [&](int c) { return std::clamp(c - 1, 0, cols_.count() - 1); };
    double x0 = cols_.start(clampCol(range.first.col));
    double y0 = rows_.start(clampRow(range.first.row));
    double x1 = cols_.end(clampCol(range.last.col));
    double y1 = rows_.end(clampRow(range.last.row));
    return QRectF(QPointF(x0, y0), QPointF(x1, y1));
}

QPointF SheetGeometry::pointOf(const AnchorPoint& p) const {
    QRectF cell = cellRect(std::max(p.cell.row, 1), std::max(p.cell.col, 1));
    // An offset larger than its cell is kept as it is: the shape simply
    // starts further right or lower, as it would in the file's own reader.
    return cell.topLeft() + QPointF(p.colOffset / kEmuPerPoint, p.rowOffset / kEmuPerPoint);
}

QRectF SheetGeometry::anchorRect(const Anchor& anchor) const {
    switch (anchor.kind) {
        case Anchor::Kind::TwoCell:
            return QRectF(pointOf(anchor.from), pointOf(anchor.to)).normalized();
        case Anchor::Kind::OneCell:
            return QRectF(pointOf(anchor.from),
                          QSizeF(anchor.width / kEmuPerPoint, anchor.height / kEmuPerPoint));
        case Anchor::Kind::Absolute:
            return QRectF(anchor.x / kEmuPerPoint, anchor.y / kEmuPerPoint,
                          anchor.width / kEmuPerPoint, anchor.height / kEmuPerPoint);
    }
    return {};
}

}  // namespace excel::window
