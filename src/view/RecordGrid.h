#pragma once
// DBGrid1: the table view of the main window. It keeps the data set's current
// record on the view's current row (posting a pending edit when the user
// leaves a record, as a data-bound grid does), switches between selecting
// whole rows and editing cells, and reports the user's gestures as signals
// for the main window's handlers.
#include <QStyledItemDelegate>
#include <QTableView>

namespace db {
class DataSet;
}

namespace view {

class RecordModel;
enum class GridMode;

class RecordGrid : public QTableView {
    Q_OBJECT
public:
    explicit RecordGrid(QWidget* parent = nullptr);

    void setRecordModel(RecordModel* model);
    RecordModel* recordModel() const { return model_; }

    // Selection mode: whole rows, several at once (click, Shift, Ctrl), no
    // typing. Edit mode: one cell at a time, typing allowed.
    void setMode(GridMode mode);
    GridMode mode() const { return mode_; }

    // Selected rows in ascending order (selection mode).
    QList<int> selectedRowNumbers() const;

    // Field index of the current cell; -1 when there is none.
    int currentField() const;

    // Posts the data set's pending edit, if any. Errors reach onError and
    // leave the record in edit state; returns false then.
    bool postPending();

signals:
    void titleClicked(int column);
    void columnEntered(int column);
    void cellDoubleClicked(int column);
    void enterPressedOnCell(int column);
    void rightButtonReleased();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    RecordModel* model_ = nullptr;
    GridMode mode_;
};

// Editor with a fixed pick list (True/False) for the columns that have one.
class PickListDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
};

}  // namespace view
