#pragma once
// The scrolling sheet area of the sheet window: paints the visible cells with
// the shared painter under column letters and row numbers, keeps the user's
// selection (cells, a range, or drawing objects) and edits cell values in
// place. Changes go straight into the worksheet; the window decides about
// saving.
#include <QAbstractScrollArea>
#include <QLineEdit>
#include <QPointer>
#include <memory>
#include <optional>

#include "excel/Error.h"
#include "excel/window/SheetGeometry.h"
#include "excel/window/SheetPainter.h"
#include "excel/window/SheetSelection.h"

namespace excel {
class Worksheet;
}  // namespace excel

namespace excel::window {

class SheetView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit SheetView(QWidget* parent = nullptr);
    ~SheetView() override;

    // Shows sheet (which must outlive the view or be replaced first); the
    // selection starts at the sheet's stored selection.
    void setSheet(Worksheet* sheet);
    Worksheet* sheet() const { return sheet_; }
    // Re-reads sizes, merges and pictures after the sheet changed underneath.
    void reload();

    // Repaints after values in range changed; a value written beyond the
    // grid grows it.
    void cellsChanged(const RangeRef& range);
    // Makes the grid reach at least rows x cols (1-based counts).
    void growTo(int rows, int cols);
    // False after the sheet could not be read; the view then shows it empty
    // and failure() tells why.
    bool readable() const { return !failure_.has_value(); }
    const std::optional<Error>& failure() const { return failure_; }

    const SheetSelection& selection() const { return selection_; }
    void selectRange(const CellRef& anchor, const CellRef& active);
    void selectShapes(const QStringList& names);

    bool isEditing() const { return editor_ != nullptr; }
    // The open in-place editor, or null.
    QLineEdit* cellEditor() const { return editor_; }
    // Opens the in-place editor on the active cell with text in it.
    void beginEdit(const QString& text);
    // Writes the editor's text (when changed) and closes it; false when the
    // engine refused the value (the editor then stays open).
    bool commitEdit();
    void cancelEdit();
    // Empties every cell of the selected range.
    void clearSelection();

    // Device units per point at the current zoom.
    double scale() const;
    // The cell under a viewport position (1-based), or an invalid CellRef
    // over the headers.
    CellRef cellAt(const QPoint& viewportPos) const;
    // Name of the topmost drawing object under a viewport position, or "".
    QString shapeAt(const QPoint& viewportPos) const;
    // Where a cell (or its merged area) lies in the viewport.
    QRect cellViewportRect(const CellRef& cell) const;
    // Where a drawing object lies in the viewport; empty for an unknown name.
    QRect shapeViewportRect(const QString& name) const;

    int rowHeaderWidth() const;
    int columnHeaderHeight() const;

signals:
    void selectionChanged();
    // A value was written by the user (typing, clearing).
    void edited();
    // The engine refused a write; the window shows it.
    void failed(const excel::Error& error);

protected:
    // Both keep an engine error (a sheet part found malformed on first use)
    // from escaping into the event loop: it is reported once through failed().
    bool event(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void rebuildGeometry(int minRows, int minCols);
    void updateScrollBars();
    void moveActive(int dRows, int dCols, bool extend);
    void ensureVisible(const CellRef& cell);
    void paintSelection(QPainter& p);
    void paintHeaders(QPainter& p);
    QRectF sheetToViewport(const QRectF& points) const;
    RangeRef mergedOrCell(const CellRef& cell) const;
    void finishEditing(int dRows, int dCols);
    template <typename Handler>
    bool guarded(Handler handler);
    QString editText(const CellRef& cell) const;

    Worksheet* sheet_ = nullptr;
    std::unique_ptr<SheetGeometry> geometry_;
    std::unique_ptr<SheetPainter> painter_;
    SheetSelection selection_;
    QPointer<QLineEdit> editor_;
    CellRef editCell_;
    QString editOriginal_;
    bool dragging_ = false;
    std::optional<Error> failure_;
};

}  // namespace excel::window
