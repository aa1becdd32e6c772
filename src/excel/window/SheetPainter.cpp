#include "excel/window/SheetPainter.h"

#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "excel/Workbook.h"
#include "platform/PdfTextMap.h"

namespace excel::window {

namespace {

// How far a long text may run into empty neighbours. Looking further would
// cost a lookup per cell and paint for text nobody can read in one glance.
constexpr int kOverflowScan = 30;
constexpr double kCellPaddingPt = 1.5;  // two pixels at 96 dpi
constexpr double kIndentPt = 9.0;       // one indent level: about three digits

const QColor kGridColour(0xd4, 0xd4, 0xd4);
const QColor kShapeOutline(0x80, 0x80, 0x80);

bool familyLike(const QString& family, std::initializer_list<const char16_t*> words) {
    for (const char16_t* w : words)
        if (family.contains(QString::fromUtf16(w), Qt::CaseInsensitive)) return true;
    return false;
}

QString installedFamily(const QString& family) {
    if (familyLike(family, {u"明朝", u"Mincho", u"Serif", u"Times", u"Century"}))
        return QStringLiteral("Noto Serif CJK JP");
    if (familyLike(family, {u"ゴシック", u"Gothic", u"メイリオ", u"Meiryo", u"游", u"Yu ", u"HG",
                            u"ＭＳ", u"MS "}))
        return QStringLiteral("Noto Sans CJK JP");
    if (familyLike(family, {u"Arial", u"Helvetica", u"Calibri", u"Segoe", u"Tahoma", u"Verdana"}))
        return QStringLiteral("Liberation Sans");
    if (familyLike(family, {u"Courier", u"Consolas"})) return QStringLiteral("Liberation Mono");
    return family;
}

QColor colourOr(const QColor& colour, const QColor& fallback) {
    return colour.isValid() ? colour : fallback;
}

bool isNumeric(const CellValue& v) {
    return v.type == CellType::Number;
}

// Pen width in points and dash pattern of a border line.
struct BorderPen {
    double width;
    Qt::PenStyle style;
    bool doubled;
};

BorderPen borderPen(BorderStyle style) {
    switch (style) {
        case BorderStyle::None:
            return {0, Qt::NoPen, false};
        case BorderStyle::Hair:
            return {0.5, Qt::DotLine, false};
        case BorderStyle::Thin:
            return {0.75, Qt::SolidLine, false};
        case BorderStyle::Dotted:
            return {0.75, Qt::DotLine, false};
        case BorderStyle::Dashed:
            return {0.75, Qt::DashLine, false};
        case BorderStyle::DashDot:
            return {0.75, Qt::DashDotLine, false};
        case BorderStyle::DashDotDot:
            return {0.75, Qt::DashDotDotLine, false};
        case BorderStyle::Medium:
            return {1.5, Qt::SolidLine, false};
        case BorderStyle::MediumDashed:
            return {1.5, Qt::DashLine, false};
        case BorderStyle::MediumDashDot:
        case BorderStyle::SlantDashDot:
            return {1.5, Qt::DashDotLine, false};
        case BorderStyle::MediumDashDotDot:
            return {1.5, Qt::DashDotDotLine, false};
        case BorderStyle::Thick:
            return {2.25, Qt::SolidLine, false};
        case BorderStyle::Double:
            return {0.75, Qt::SolidLine, true};
    }
    return {0, Qt::NoPen, false};
}

}  // namespace

SavedState::SavedState(QPainter& painter) : painter_(painter) {
    painter_.save();
}
SavedState::~SavedState() {
    painter_.restore();
}

QFont cellFont(const Font& font, double scale, double deviceDpi) {
    QFont f;
    f.setFamilies({installedFamily(font.family), QStringLiteral("Noto Sans CJK JP")});
    // A point size on this device becomes size * dpi / 72 units; the cell
    // geometry is scaled by `scale` units per point, so the font follows it.
    double size = (font.size > 0 ? font.size : 11.0) * scale * 72.0 / deviceDpi;
    f.setPointSizeF(std::max(size, 0.5));
    f.setBold(font.bold);
    f.setItalic(font.italic);
    f.setUnderline(font.underline);
    f.setStrikeOut(font.strike);
    // Print and screen must break lines at the same places.
    f.setHintingPreference(QFont::PreferNoHinting);
    return platform::printableFont(f);
}

struct SheetPainter::Block {
    Span rows;
    Span cols;
    QPointF origin;      // device position of the block's top-left
    QPointF sheetStart;  // sheet points of the block's top-left
    double scale = 1;
    double dpi = 96;
    QRectF clip;                   // device rectangle of the block
    std::vector<RangeRef> merges;  // those that touch the block or its overflow reach

    QRectF toDevice(const QRectF& points) const {
        return QRectF(origin + (points.topLeft() - sheetStart) * scale, points.size() * scale);
    }
    const RangeRef* mergeAt(int row, int col) const {  // 1-based
        for (const RangeRef& m : merges)
            if (m.contains(row, col)) return &m;
        return nullptr;
    }
};

SheetPainter::SheetPainter(const Worksheet& sheet, const SheetGeometry& geometry)
    : sheet_(sheet), geometry_(geometry) {}

void SheetPainter::paintBlock(QPainter& painter, Span rows, Span cols, QPointF origin, double scale,
                              const PaintOptions& options) {
    rows.last = std::min(rows.last, geometry_.rows().count() - 1);
    cols.last = std::min(cols.last, geometry_.cols().count() - 1);
    if (rows.count() == 0 || cols.count() == 0) return;

    Block b;
    b.rows = rows;
    b.cols = cols;
    b.origin = origin;
    b.scale = scale;
    b.dpi = painter.device() ? painter.device()->logicalDpiY() : 96;
    b.sheetStart = QPointF(geometry_.cols().start(cols.first), geometry_.rows().start(rows.first));
    b.clip = QRectF(origin, QSizeF(geometry_.cols().length(cols.first, cols.last) * scale,
                                   geometry_.rows().length(rows.first, rows.last) * scale));
    RangeRef reach{{rows.first, std::max(cols.first + 1 - kOverflowScan, 1)},
                   {rows.last + 2, cols.last + 1 + kOverflowScan}};
    for (const RangeRef& m : sheet_.merges()) {
        if (m.last.row >= reach.first.row && m.first.row <= reach.last.row &&
            m.last.col >= reach.first.col && m.first.col <= reach.last.col)
            b.merges.push_back(m);
    }

    SavedState saved(painter);
    painter.setClipRect(b.clip, Qt::IntersectClip);
    painter.fillRect(b.clip, Qt::white);
    if (options.gridLines) paintGrid(painter, b);
    paintFills(painter, b);
    paintTexts(painter, b);
    paintBorders(painter, b);
    paintPictures(painter, b, options);
}

void SheetPainter::paintGrid(QPainter& p, const Block& b) {
    SavedState saved(p);
    p.setPen(QPen(kGridColour, 0));
    const AxisLayout& rows = geometry_.rows();
    const AxisLayout& cols = geometry_.cols();
    double left = b.clip.left(), right = b.clip.right();
    double top = b.clip.top(), bottom = b.clip.bottom();
    for (int c = b.cols.first; c <= b.cols.last; ++c) {
        if (cols.size(c) <= 0) continue;
        double x = b.origin.x() + (cols.end(c) - b.sheetStart.x()) * b.scale;
        p.drawLine(QPointF(x, top), QPointF(x, bottom));
    }
    for (int r = b.rows.first; r <= b.rows.last; ++r) {
        if (rows.size(r) <= 0) continue;
        double y = b.origin.y() + (rows.end(r) - b.sheetStart.y()) * b.scale;
        p.drawLine(QPointF(left, y), QPointF(right, y));
    }
    // A merged area reads as one cell: no grid lines across it.
    for (const RangeRef& m : b.merges) {
        QRectF area = b.toDevice(geometry_.rangeRect(m)).adjusted(0, 0, -1, -1);
        p.fillRect(area, Qt::white);
    }
}

void SheetPainter::paintFills(QPainter& p, const Block& b) {
    for (int r = b.rows.first; r <= b.rows.last; ++r) {
        if (geometry_.rows().size(r) <= 0) continue;
        for (int c = b.cols.first; c <= b.cols.last; ++c) {
            const RangeRef* merge = b.mergeAt(r + 1, c + 1);
            // A merged area takes the fill of its top-left cell.
            if (merge && !(merge->first.row == r + 1 && merge->first.col == c + 1)) continue;
            QColor fill = sheet_.style(r + 1, c + 1).fill;
            if (!fill.isValid()) continue;
            QRectF area = merge ? geometry_.rangeRect(*merge) : geometry_.cellRect(r + 1, c + 1);
            p.fillRect(b.toDevice(area), fill);
        }
    }
    // Merged areas whose top-left lies above or left of the block.
    for (const RangeRef& m : b.merges) {
        if (b.rows.contains(m.first.row - 1) && b.cols.contains(m.first.col - 1)) continue;
        QColor fill = sheet_.style(m.first.row, m.first.col).fill;
        if (fill.isValid()) p.fillRect(b.toDevice(geometry_.rangeRect(m)), fill);
    }
}

void SheetPainter::paintTexts(QPainter& p, const Block& b) {
    int firstCol = std::max(b.cols.first - kOverflowScan, 0);
    int lastCol = std::min(b.cols.last + kOverflowScan, geometry_.cols().count() - 1);
    for (int r = b.rows.first; r <= b.rows.last; ++r) {
        if (geometry_.rows().size(r) <= 0) continue;
        for (int c = firstCol; c <= lastCol; ++c) {
            if (b.mergeAt(r + 1, c + 1)) continue;
            paintCellText(p, b, r + 1, c + 1, geometry_.cellRect(r + 1, c + 1), false);
        }
    }
    for (const RangeRef& m : b.merges)
        paintCellText(p, b, m.first.row, m.first.col, geometry_.rangeRect(m), true);
}

void SheetPainter::paintCellText(QPainter& p, const Block& b, int row, int col,
                                 const QRectF& cellRect, bool merged) {
    CellValue value = sheet_.value(row, col);
    if (value.type == CellType::Empty) return;
    QString text = sheet_.displayText(row, col);
    if (text.isEmpty()) return;
    CellStyle style = sheet_.style(row, col);

    QFont font = cellFont(style.font, b.scale, b.dpi);
    QFontMetricsF metrics(font, p.device());
    double pad = kCellPaddingPt * b.scale;
    double indent = style.indent * kIndentPt * b.scale;
    QRectF device = b.toDevice(cellRect);
    QRectF textRect = device.adjusted(pad, 0, -pad, -pad / 2);

    Qt::Alignment h;
    switch (style.hAlign) {
        case HAlign::General:
            h = isNumeric(value) ? Qt::AlignRight
                : (value.type == CellType::Boolean || value.type == CellType::Error)
                    ? Qt::AlignHCenter
                    : Qt::AlignLeft;
            break;
        case HAlign::Right:
            h = Qt::AlignRight;
            break;
        case HAlign::Center:
        case HAlign::CenterContinuous:
        case HAlign::Distributed:
            h = Qt::AlignHCenter;
            break;
        case HAlign::Justify:
            h = Qt::AlignJustify;
            break;
        default:
            h = Qt::AlignLeft;
            break;
    }
    Qt::Alignment v = style.vAlign == VAlign::Top      ? Qt::AlignTop
                      : style.vAlign == VAlign::Bottom ? Qt::AlignBottom
                                                       : Qt::AlignVCenter;
    if (h == Qt::AlignLeft) textRect.adjust(indent, 0, 0, 0);
    if (h == Qt::AlignRight) textRect.adjust(0, 0, -indent, 0);

    bool wrap = style.wrap || style.hAlign == HAlign::Justify || style.vAlign == VAlign::Justify;
    QRectF clip = device;
    if (!wrap) {
        double needed = metrics.horizontalAdvance(text);
        if (needed > textRect.width() && style.shrinkToFit) {
            font.setPointSizeF(std::max(font.pointSizeF() * textRect.width() / needed, 0.5));
            metrics = QFontMetricsF(font, p.device());
        } else if (needed > textRect.width() && isNumeric(value)) {
            // A number is never cut: it shows as "#" marks when too wide.
            double hash = std::max(metrics.horizontalAdvance(QLatin1Char('#')), 0.1);
            text =
                QString(std::max(1, static_cast<int>(textRect.width() / hash)), QLatin1Char('#'));
        } else if (needed > textRect.width() && !merged) {
            // Text runs on into empty neighbours on the side it is aligned away from.
            double missing = needed - textRect.width();
            bool right = h != Qt::AlignRight, left = h != Qt::AlignLeft;
            double share = (left && right) ? missing / 2 : missing;
            auto empty = [&](int c) {
                return c >= 1 && c <= geometry_.cols().count() && !b.mergeAt(row, c) &&
                       sheet_.value(row, c).type == CellType::Empty;
            };
            double grownRight = 0, grownLeft = 0;
            for (int c = col + 1; right && grownRight < share && empty(c); ++c)
                grownRight += geometry_.cols().size(c - 1) * b.scale;
            for (int c = col - 1; left && grownLeft < share && empty(c); --c)
                grownLeft += geometry_.cols().size(c - 1) * b.scale;
            clip.adjust(-grownLeft, 0, grownRight, 0);
            textRect.adjust(-grownLeft, 0, grownRight, 0);
        }
    }
    QRectF visible = clip.intersected(b.clip);
    if (visible.isEmpty()) return;

    SavedState saved(p);
    p.setClipRect(visible, Qt::IntersectClip);
    p.setFont(font);
    p.setPen(colourOr(style.font.color, Qt::black));
    int flags = static_cast<int>(h | v);
    if (wrap)
        flags |= Qt::TextWordWrap;
    else
        flags |= Qt::TextSingleLine | Qt::TextDontClip;
    if (!wrap && h == Qt::AlignJustify) flags = (flags & ~Qt::AlignJustify) | Qt::AlignLeft;
    p.drawText(textRect, flags, text);
    if (drawn_) drawn_->add(text, font);
}

void SheetPainter::paintBorders(QPainter& p, const Block& b) {
    SavedState saved(p);
    int firstRow = std::max(b.rows.first - 1, 0);
    int lastRow = std::min(b.rows.last + 1, geometry_.rows().count() - 1);
    int firstCol = std::max(b.cols.first - 1, 0);
    int lastCol = std::min(b.cols.last + 1, geometry_.cols().count() - 1);
    auto drawEdge = [&](const BorderLine& line, QPointF from, QPointF to, bool horizontal) {
        BorderPen pen = borderPen(line.style);
        if (pen.style == Qt::NoPen) return;
        QPen qpen(colourOr(line.color, Qt::black), std::max(pen.width * b.scale, 1.0), pen.style);
        qpen.setCapStyle(Qt::FlatCap);
        p.setPen(qpen);
        if (!pen.doubled) {
            p.drawLine(from, to);
            return;
        }
        QPointF shift = horizontal ? QPointF(0, 0.75 * b.scale) : QPointF(0.75 * b.scale, 0);
        p.drawLine(from - shift, to - shift);
        p.drawLine(from + shift, to + shift);
    };
    for (int r = firstRow; r <= lastRow; ++r) {
        if (geometry_.rows().size(r) <= 0) continue;
        for (int c = firstCol; c <= lastCol; ++c) {
            if (geometry_.cols().size(c) <= 0) continue;
            Borders borders = sheet_.style(r + 1, c + 1).borders;
            const RangeRef* m = b.mergeAt(r + 1, c + 1);
            QRectF cell = b.toDevice(geometry_.cellRect(r + 1, c + 1));
            // Inside a merged area only its outline is drawn.
            if (!m || m->first.row == r + 1)
                drawEdge(borders.top, cell.topLeft(), cell.topRight(), true);
            if (!m || m->last.row == r + 1)
                drawEdge(borders.bottom, cell.bottomLeft(), cell.bottomRight(), true);
            if (!m || m->first.col == c + 1)
                drawEdge(borders.left, cell.topLeft(), cell.bottomLeft(), false);
            if (!m || m->last.col == c + 1)
                drawEdge(borders.right, cell.topRight(), cell.bottomRight(), false);
        }
    }
}

QImage SheetPainter::pictureImage(const Picture& picture) {
    if (picture.imagePart.isEmpty()) return {};
    auto it = images_.find(picture.imagePart);
    if (it == images_.end())
        it = images_.insert(picture.imagePart, QImage::fromData(sheet_.imageBytes(picture)));
    return *it;
}

void SheetPainter::paintPictures(QPainter& p, const Block& b, const PaintOptions& options) {
    SavedState saved(p);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    for (const Picture& picture : sheet_.pictures()) {
        QRectF area = b.toDevice(geometry_.anchorRect(picture.anchor));
        if (!area.intersects(b.clip)) continue;
        QImage image = picture.isPicture ? pictureImage(picture) : QImage();
        if (!image.isNull()) {
            p.drawImage(area, image);
        } else if (options.shapeOutlines) {
            p.setPen(QPen(kShapeOutline, 0, Qt::DashLine));
            p.setBrush(Qt::NoBrush);
            p.drawRect(area);
        }
    }
}

}  // namespace excel::window
