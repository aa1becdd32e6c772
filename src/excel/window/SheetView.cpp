#include "excel/window/SheetView.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <algorithm>

#include "excel/Error.h"
#include "excel/Workbook.h"

namespace excel::window {

namespace {

// An almost empty sheet still fills a large window; scrolling past the end
// adds rows and columns the way an endless grid would.
constexpr int kMinRows = 200;
constexpr int kMinCols = 40;
constexpr int kGrowRows = 200;
constexpr int kGrowCols = 20;
constexpr int kMaxRows = 1048576;
constexpr int kMaxCols = 16384;

const QColor kHeaderFill(0xf3, 0xf3, 0xf3);
const QColor kHeaderSelected(0xd2, 0xd2, 0xd2);
const QColor kHeaderLine(0xc0, 0xc0, 0xc0);
const QColor kSelectionEdge(0x21, 0x73, 0x46);
const QColor kSelectionFill(0x21, 0x73, 0x46, 40);

}  // namespace

SheetView::SheetView(QWidget* parent) : QAbstractScrollArea(parent) {
    setObjectName(QStringLiteral("SheetView"));
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled, true);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent, true);
    viewport()->setMouseTracking(false);
    horizontalScrollBar()->setSingleStep(20);
    verticalScrollBar()->setSingleStep(20);
}

SheetView::~SheetView() = default;

template <typename Handler>
bool SheetView::guarded(Handler handler) {
    try {
        return handler();
    } catch (const Error& error) {
        // Drop the sheet's drawing state first: painting it again would only
        // fail again.
        failure_ = error;
        painter_.reset();
        geometry_.reset();
        // Reported after the event, never from inside a paint.
        QMetaObject::invokeMethod(
            this, [this, error] { emit failed(error); }, Qt::QueuedConnection);
        return true;
    }
}

bool SheetView::event(QEvent* event) {
    return guarded([&] { return QAbstractScrollArea::event(event); });
}

bool SheetView::viewportEvent(QEvent* event) {
    return guarded([&] { return QAbstractScrollArea::viewportEvent(event); });
}

void SheetView::setSheet(Worksheet* sheet) {
    cancelEdit();
    failure_.reset();
    sheet_ = sheet;
    selection_ = SheetSelection{};
    if (sheet_) {
        RangeRef stored;
        guarded([&] {
            stored = sheet_->storedSelection();
            return true;
        });
        selection_.anchor = stored.first;
        selection_.active = stored.first;
        if (!stored.singleCell()) selection_.active = stored.last;
        if (!selection_.anchor.valid()) selection_.anchor = selection_.active = CellRef{1, 1};
    }
    reload();
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
    emit selectionChanged();
}

void SheetView::reload() {
    int rows = geometry_ ? geometry_->rows().count() : kMinRows;
    int cols = geometry_ ? geometry_->cols().count() : kMinCols;
    painter_.reset();
    geometry_.reset();
    if (sheet_) {
        rows = std::max({rows, kMinRows, selection_.active.row, selection_.anchor.row});
        cols = std::max({cols, kMinCols, selection_.active.col, selection_.anchor.col});
        guarded([&] {
            rebuildGeometry(rows, cols);
            return true;
        });
    }
    updateScrollBars();
    viewport()->update();
}

void SheetView::rebuildGeometry(int minRows, int minCols) {
    painter_.reset();
    geometry_ = std::make_unique<SheetGeometry>(*sheet_, std::min(minRows, kMaxRows),
                                                std::min(minCols, kMaxCols));
    painter_ = std::make_unique<SheetPainter>(*sheet_, *geometry_);
}

void SheetView::cellsChanged(const RangeRef& range) {
    // The grid reaches the sheet's used range; only a write past it (which
    // then lies inside the used range) needs the grid rebuilt.
    if (geometry_ &&
        (range.last.row > geometry_->rows().count() || range.last.col > geometry_->cols().count()))
        reload();
    else
        viewport()->update();
}

void SheetView::growTo(int rows, int cols) {
    if (!geometry_) return;
    if (rows <= geometry_->rows().count() && cols <= geometry_->cols().count()) return;
    rebuildGeometry(std::max(rows, geometry_->rows().count()),
                    std::max(cols, geometry_->cols().count()));
    updateScrollBars();
}

double SheetView::scale() const {
    return logicalDpiY() / 72.0;
}

int SheetView::columnHeaderHeight() const {
    return fontMetrics().height() + 6;
}

int SheetView::rowHeaderWidth() const {
    int rows = geometry_ ? geometry_->rows().count() : kMinRows;
    return std::max(36, fontMetrics().horizontalAdvance(QString::number(rows)) + 12);
}

void SheetView::updateScrollBars() {
    if (!geometry_) {
        horizontalScrollBar()->setRange(0, 0);
        verticalScrollBar()->setRange(0, 0);
        return;
    }
    double s = scale();
    int width = viewport()->width() - rowHeaderWidth();
    int height = viewport()->height() - columnHeaderHeight();
    horizontalScrollBar()->setRange(0, std::max(0, int(geometry_->cols().total() * s) - width));
    verticalScrollBar()->setRange(0, std::max(0, int(geometry_->rows().total() * s) - height));
    horizontalScrollBar()->setPageStep(std::max(width, 1));
    verticalScrollBar()->setPageStep(std::max(height, 1));
}

void SheetView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void SheetView::scrollContentsBy(int, int) {
    // Reaching the end of the grid extends it, as an endless sheet would.
    if (geometry_ && verticalScrollBar()->value() == verticalScrollBar()->maximum() &&
        verticalScrollBar()->maximum() > 0)
        growTo(geometry_->rows().count() + kGrowRows, 0);
    if (geometry_ && horizontalScrollBar()->value() == horizontalScrollBar()->maximum() &&
        horizontalScrollBar()->maximum() > 0)
        growTo(0, geometry_->cols().count() + kGrowCols);
    if (editor_) editor_->setGeometry(cellViewportRect(editCell_));
    viewport()->update();
}

QRectF SheetView::sheetToViewport(const QRectF& points) const {
    double s = scale();
    return QRectF(rowHeaderWidth() + points.x() * s - horizontalScrollBar()->value(),
                  columnHeaderHeight() + points.y() * s - verticalScrollBar()->value(),
                  points.width() * s, points.height() * s);
}

RangeRef SheetView::mergedOrCell(const CellRef& cell) const {
    if (sheet_) {
        if (auto merge = sheet_->mergeAt(cell.row, cell.col)) return *merge;
    }
    return RangeRef{cell, cell};
}

QRect SheetView::cellViewportRect(const CellRef& cell) const {
    if (!geometry_) return {};
    return sheetToViewport(geometry_->rangeRect(mergedOrCell(cell))).toAlignedRect();
}

QRect SheetView::shapeViewportRect(const QString& name) const {
    if (!geometry_) return {};
    for (const Picture& picture : sheet_->pictures())
        if (picture.name == name)
            return sheetToViewport(geometry_->anchorRect(picture.anchor)).toAlignedRect();
    return {};
}

CellRef SheetView::cellAt(const QPoint& pos) const {
    if (!geometry_ || pos.x() < rowHeaderWidth() || pos.y() < columnHeaderHeight()) return {};
    double s = scale();
    double x = (pos.x() - rowHeaderWidth() + horizontalScrollBar()->value()) / s;
    double y = (pos.y() - columnHeaderHeight() + verticalScrollBar()->value()) / s;
    return CellRef{geometry_->rows().indexAt(y) + 1, geometry_->cols().indexAt(x) + 1};
}

QString SheetView::shapeAt(const QPoint& pos) const {
    if (!geometry_ || pos.x() < rowHeaderWidth() || pos.y() < columnHeaderHeight()) return {};
    std::vector<Picture> pictures = sheet_->pictures();
    // Later shapes lie on top of earlier ones.
    for (auto it = pictures.rbegin(); it != pictures.rend(); ++it) {
        if (sheetToViewport(geometry_->anchorRect(it->anchor)).contains(pos)) return it->name;
    }
    return {};
}

void SheetView::paintEvent(QPaintEvent*) {
    QPainter p(viewport());
    p.fillRect(viewport()->rect(), palette().color(QPalette::Window));
    if (!geometry_) return;
    double s = scale();
    int hx = rowHeaderWidth(), hy = columnHeaderHeight();
    double sx = horizontalScrollBar()->value(), sy = verticalScrollBar()->value();
    const AxisLayout& rows = geometry_->rows();
    const AxisLayout& cols = geometry_->cols();
    Span rowSpan{rows.indexAt(sy / s), rows.indexAt((sy + viewport()->height() - hy) / s)};
    Span colSpan{cols.indexAt(sx / s), cols.indexAt((sx + viewport()->width() - hx) / s)};
    QPointF origin(hx + cols.start(colSpan.first) * s - sx,
                   hy + rows.start(rowSpan.first) * s - sy);

    {
        SavedState cells(p);
        p.setClipRect(QRect(hx, hy, viewport()->width() - hx, viewport()->height() - hy));
        PaintOptions options;
        options.gridLines = true;
        options.shapeOutlines = true;
        painter_->paintBlock(p, rowSpan, colSpan, origin, s, options);
        paintSelection(p);
    }
    paintHeaders(p);
}

void SheetView::paintSelection(QPainter& p) {
    SavedState saved(p);
    if (selection_.hasShapes()) {
        p.setPen(QPen(kSelectionEdge, 2));
        p.setBrush(Qt::NoBrush);
        for (const Picture& picture : sheet_->pictures()) {
            if (!selection_.shapes.contains(picture.name)) continue;
            QRectF area = sheetToViewport(geometry_->anchorRect(picture.anchor));
            p.drawRect(area);
            for (QPointF corner :
                 {area.topLeft(), area.topRight(), area.bottomLeft(), area.bottomRight()})
                p.fillRect(QRectF(corner - QPointF(3, 3), QSizeF(6, 6)), kSelectionEdge);
        }
        return;
    }
    RangeRef range = expandToMerges(selection_.range(), sheet_->merges());
    QRectF all = sheetToViewport(geometry_->rangeRect(range));
    QRectF active = sheetToViewport(geometry_->rangeRect(mergedOrCell(selection_.active)));
    if (!(range == mergedOrCell(selection_.active))) {
        QPainterPath shade;
        shade.addRect(all);
        QPainterPath hole;
        hole.addRect(active);
        p.fillPath(shade.subtracted(hole), kSelectionFill);
    }
    p.setPen(QPen(kSelectionEdge, 2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(all.adjusted(0, 0, -1, -1));
}

void SheetView::paintHeaders(QPainter& p) {
    double s = scale();
    int hx = rowHeaderWidth(), hy = columnHeaderHeight();
    double sx = horizontalScrollBar()->value(), sy = verticalScrollBar()->value();
    const AxisLayout& rows = geometry_->rows();
    const AxisLayout& cols = geometry_->cols();
    RangeRef range = selection_.range();
    bool cells = !selection_.hasShapes();
    SavedState saved(p);
    p.setFont(font());
    p.fillRect(QRect(0, 0, viewport()->width(), hy), kHeaderFill);
    p.fillRect(QRect(0, 0, hx, viewport()->height()), kHeaderFill);

    p.setClipRect(QRect(hx, 0, viewport()->width() - hx, hy));
    for (int c = cols.indexAt(sx / s); c < cols.count(); ++c) {
        QRectF cell(hx + cols.start(c) * s - sx, 0, cols.size(c) * s, hy);
        if (cell.left() > viewport()->width()) break;
        if (cell.width() <= 0) continue;
        if (cells && c + 1 >= range.first.col && c + 1 <= range.last.col)
            p.fillRect(cell, kHeaderSelected);
        p.setPen(kHeaderLine);
        p.drawLine(cell.topRight(), cell.bottomRight());
        p.setPen(Qt::black);
        p.drawText(cell, Qt::AlignCenter, columnLetters(c + 1));
    }
    p.setClipRect(QRect(0, hy, hx, viewport()->height() - hy));
    for (int r = rows.indexAt(sy / s); r < rows.count(); ++r) {
        QRectF cell(0, hy + rows.start(r) * s - sy, hx, rows.size(r) * s);
        if (cell.top() > viewport()->height()) break;
        if (cell.height() <= 0) continue;
        if (cells && r + 1 >= range.first.row && r + 1 <= range.last.row)
            p.fillRect(cell, kHeaderSelected);
        p.setPen(kHeaderLine);
        p.drawLine(cell.bottomLeft(), cell.bottomRight());
        p.setPen(Qt::black);
        p.drawText(cell, Qt::AlignCenter, QString::number(r + 1));
    }
    p.setClipping(false);
    p.setPen(kHeaderLine);
    p.drawLine(QPointF(0, hy - 0.5), QPointF(viewport()->width(), hy - 0.5));
    p.drawLine(QPointF(hx - 0.5, 0), QPointF(hx - 0.5, viewport()->height()));
}

void SheetView::selectRange(const CellRef& anchor, const CellRef& active) {
    if (!anchor.valid() || !active.valid()) return;
    selection_.shapes.clear();
    selection_.anchor = anchor;
    selection_.active = active;
    growTo(active.row + 1, active.col + 1);
    ensureVisible(active);
    viewport()->update();
    emit selectionChanged();
}

void SheetView::selectShapes(const QStringList& names) {
    selection_.shapes = names;
    viewport()->update();
    emit selectionChanged();
}

void SheetView::ensureVisible(const CellRef& cell) {
    if (!geometry_) return;
    double s = scale();
    QRectF area = geometry_->rangeRect(RangeRef{cell, cell});
    int width = viewport()->width() - rowHeaderWidth();
    int height = viewport()->height() - columnHeaderHeight();
    QScrollBar* h = horizontalScrollBar();
    QScrollBar* v = verticalScrollBar();
    if (area.left() * s < h->value())
        h->setValue(int(area.left() * s));
    else if (area.right() * s > h->value() + width)
        h->setValue(int(area.right() * s) - width);
    if (area.top() * s < v->value())
        v->setValue(int(area.top() * s));
    else if (area.bottom() * s > v->value() + height)
        v->setValue(int(area.bottom() * s) - height);
}

void SheetView::moveActive(int dRows, int dCols, bool extend) {
    if (!geometry_) return;
    // Leaving a merged area steps over all of it.
    RangeRef from = mergedOrCell(selection_.active);
    CellRef next = selection_.active;
    if (dRows > 0) next.row = from.last.row + dRows;
    if (dRows < 0) next.row = from.first.row + dRows;
    if (dCols > 0) next.col = from.last.col + dCols;
    if (dCols < 0) next.col = from.first.col + dCols;
    next.row = std::clamp(next.row, 1, kMaxRows);
    next.col = std::clamp(next.col, 1, kMaxCols);
    selectRange(extend ? selection_.anchor : next, next);
}

QString SheetView::editText(const CellRef& cell) const {
    CellValue value = sheet_->value(cell.row, cell.col);
    if (!value.formula.isEmpty()) return QLatin1Char('=') + value.formula;
    return sheet_->valueText(cell.row, cell.col);
}

void SheetView::beginEdit(const QString& text) {
    if (!sheet_ || selection_.hasShapes()) return;
    cancelEdit();
    editCell_ = mergedOrCell(selection_.active).first;
    editOriginal_ = editText(editCell_);
    auto* editor = new QLineEdit(viewport());
    editor->setObjectName(QStringLiteral("CellEditor"));
    editor->setFrame(false);
    CellStyle style = sheet_->style(editCell_.row, editCell_.col);
    editor->setFont(cellFont(style.font, scale(), logicalDpiY()));
    editor->setText(text);
    editor->setGeometry(cellViewportRect(editCell_));
    editor->installEventFilter(this);
    editor->show();
    editor->setFocus();
    editor_ = editor;
}

bool SheetView::commitEdit() {
    if (!editor_) return true;
    QString text = editor_->text();
    if (text != editOriginal_) {
        try {
            sheet_->setCellText(editCell_.row, editCell_.col, text);
        } catch (const Error& e) {
            emit failed(e);
            return false;
        }
    }
    bool changed = text != editOriginal_;
    cancelEdit();
    if (changed) emit edited();
    return true;
}

void SheetView::cancelEdit() {
    if (!editor_) return;
    QLineEdit* editor = editor_;
    editor_ = nullptr;
    editor->removeEventFilter(this);
    editor->hide();
    editor->deleteLater();
    setFocus();
    viewport()->update();
}

void SheetView::finishEditing(int dRows, int dCols) {
    if (commitEdit()) moveActive(dRows, dCols, false);
}

void SheetView::clearSelection() {
    if (!sheet_ || selection_.hasShapes()) return;
    try {
        sheet_->setRangeText(selection_.range(), QString());
    } catch (const Error& e) {
        emit failed(e);
        return;
    }
    viewport()->update();
    emit edited();
}

bool SheetView::eventFilter(QObject* watched, QEvent* event) {
    if (watched != editor_ || event->type() != QEvent::KeyPress)
        return QAbstractScrollArea::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    bool back = key->modifiers() & Qt::ShiftModifier;
    switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            finishEditing(back ? -1 : 1, 0);
            return true;
        case Qt::Key_Tab:
            finishEditing(0, back ? -1 : 1);
            return true;
        case Qt::Key_Backtab:
            finishEditing(0, -1);
            return true;
        case Qt::Key_Escape:
            cancelEdit();
            return true;
        default:
            return false;
    }
}

void SheetView::mousePressEvent(QMouseEvent* event) {
    if (!geometry_ || failure_ || event->button() != Qt::LeftButton) return;
    if (editor_ && !commitEdit()) return;
    setFocus();
    QPoint pos = event->position().toPoint();
    QString shape = shapeAt(pos);
    bool adding = event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier);
    if (!shape.isEmpty()) {
        QStringList names = adding ? selection_.shapes : QStringList();
        if (names.contains(shape))
            names.removeAll(shape);
        else
            names.append(shape);
        if (names.isEmpty())
            selectRange(selection_.anchor, selection_.active);
        else
            selectShapes(names);
        return;
    }
    CellRef cell = cellAt(pos);
    if (!cell.valid()) return;
    bool extend = (event->modifiers() & Qt::ShiftModifier) && !selection_.hasShapes();
    selectRange(extend ? selection_.anchor : cell, cell);
    dragging_ = true;
}

void SheetView::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_ || !(event->buttons() & Qt::LeftButton)) return;
    QPoint pos = event->position().toPoint();
    pos.setX(std::max(pos.x(), rowHeaderWidth()));
    pos.setY(std::max(pos.y(), columnHeaderHeight()));
    CellRef cell = cellAt(pos);
    if (cell.valid() && !(cell == selection_.active)) selectRange(selection_.anchor, cell);
}

void SheetView::mouseReleaseEvent(QMouseEvent*) {
    dragging_ = false;
}

void SheetView::mouseDoubleClickEvent(QMouseEvent* event) {
    QPoint pos = event->position().toPoint();
    CellRef cell = cellAt(pos);
    if (!shapeAt(pos).isEmpty() || !cell.valid()) return;
    dragging_ = false;
    if (!(cell == selection_.active)) selectRange(cell, cell);
    beginEdit(editText(mergedOrCell(selection_.active).first));
}

void SheetView::keyPressEvent(QKeyEvent* event) {
    if (!sheet_ || failure_) return QAbstractScrollArea::keyPressEvent(event);
    bool shift = event->modifiers() & Qt::ShiftModifier;
    bool ctrl = event->modifiers() & Qt::ControlModifier;
    int pageRows = std::max(1, int(viewport()->height() / (15 * scale())));
    switch (event->key()) {
        case Qt::Key_Up:
            return moveActive(-1, 0, shift);
        case Qt::Key_Down:
            return moveActive(1, 0, shift);
        case Qt::Key_Left:
            return moveActive(0, -1, shift);
        case Qt::Key_Right:
            return moveActive(0, 1, shift);
        case Qt::Key_PageUp:
            return moveActive(-pageRows, 0, shift);
        case Qt::Key_PageDown:
            return moveActive(pageRows, 0, shift);
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return moveActive(shift ? -1 : 1, 0, false);
        case Qt::Key_Tab:
            return moveActive(0, 1, false);
        case Qt::Key_Backtab:
            return moveActive(0, -1, false);
        case Qt::Key_Home:
            return selectRange(ctrl ? CellRef{1, 1} : CellRef{selection_.active.row, 1},
                               ctrl ? CellRef{1, 1} : CellRef{selection_.active.row, 1});
        case Qt::Key_F2:
            return beginEdit(editText(mergedOrCell(selection_.active).first));
        case Qt::Key_Delete:
            return clearSelection();
        case Qt::Key_Escape:
            if (selection_.hasShapes()) selectRange(selection_.anchor, selection_.active);
            return;
        default:
            break;
    }
    QString text = event->text();
    if (!ctrl && !(event->modifiers() & Qt::AltModifier) && !text.isEmpty() && text.at(0).isPrint())
        return beginEdit(text);
    QAbstractScrollArea::keyPressEvent(event);
}

void SheetView::inputMethodEvent(QInputMethodEvent* event) {
    // Japanese input arrives as committed text: it starts an edit just as a
    // typed letter does.
    if (!editor_ && !event->commitString().isEmpty()) {
        beginEdit(event->commitString());
        return;
    }
    if (!editor_ && !event->preeditString().isEmpty()) beginEdit(QString());
    if (editor_) {
        QInputMethodEvent forwarded(event->preeditString(), event->attributes());
        forwarded.setCommitString(event->commitString(), event->replacementStart(),
                                  event->replacementLength());
        QCoreApplication::sendEvent(editor_, &forwarded);
        return;
    }
    QAbstractScrollArea::inputMethodEvent(event);
}

}  // namespace excel::window
