#include "view/RecordGrid.h"

#include <QComboBox>

#include <algorithm>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>

#include "db/Db.h"
#include "view/GridRules.h"
#include "view/RecordModel.h"

namespace view {

RecordGrid::RecordGrid(QWidget* parent) : QTableView(parent), mode_(GridMode::Selection) {
    setObjectName(QStringLiteral("DBGrid1"));
    // Fixed row heights keep scrolling a million rows cheap: the header never
    // measures rows it does not paint.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    verticalHeader()->setFixedWidth(12);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsClickable(true);
    setItemDelegate(new PickListDelegate(this));
    setWordWrap(false);
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, &RecordGrid::titleClicked);
    setMode(GridMode::Selection);
}

void RecordGrid::setRecordModel(RecordModel* model) {
    model_ = model;
    setModel(model);
}

void RecordGrid::setMode(GridMode mode) {
    mode_ = mode;
    if (mode == GridMode::Edit) {
        setSelectionBehavior(QAbstractItemView::SelectItems);
        setSelectionMode(QAbstractItemView::SingleSelection);
        setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                        QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
    } else {
        setSelectionBehavior(QAbstractItemView::SelectRows);
        setSelectionMode(QAbstractItemView::ExtendedSelection);
        setEditTriggers(QAbstractItemView::NoEditTriggers);
    }
    if (model_) model_->setEditingEnabled(mode == GridMode::Edit);
}

QList<int> RecordGrid::selectedRowNumbers() const {
    QList<int> rows;
    if (!selectionModel()) return rows;
    // Ranges, not indexes: selecting a million rows must not list a million
    // cells.
    for (const QItemSelectionRange& r : selectionModel()->selection())
        for (int row = r.top(); row <= r.bottom(); ++row) rows << row;
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

int RecordGrid::currentField() const {
    const QModelIndex i = currentIndex();
    return i.isValid() ? i.column() : -1;
}

bool RecordGrid::postPending() {
    if (!model_) return true;
    // Text still in the cell editor belongs to the record too.
    if (state() == EditingState) {
        if (QWidget* editor = indexWidget(currentIndex())) {
            commitData(editor);
            closeEditor(editor, QAbstractItemDelegate::NoHint);
        }
    }
    db::DataSet& ds = model_->dataSet();
    if (!ds.active() || ds.state() == db::DataSet::State::Browse) return true;
    try {
        ds.post();
        return true;
    } catch (const std::exception& e) {
        if (model_->onError) model_->onError(e);
        return false;
    }
}

void RecordGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    if (!model_) return;
    db::DataSet& ds = model_->dataSet();
    if (current.isValid() && ds.active() && current.row() != ds.recNo()) {
        // Leaving a record stores it, as a data-bound grid does.
        postPending();
        if (ds.state() == db::DataSet::State::Browse) ds.moveTo(current.row());
    }
    if (current.isValid() && (!previous.isValid() || current.column() != previous.column()))
        emit columnEntered(current.column());
}

void RecordGrid::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && state() != EditingState &&
        currentIndex().isValid()) {
        emit enterPressedOnCell(currentIndex().column());
    }
    QTableView::keyPressEvent(event);
}

void RecordGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    QTableView::mouseDoubleClickEvent(event);
    if (currentIndex().isValid()) emit cellDoubleClicked(currentIndex().column());
}

void RecordGrid::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::RightButton) {
        QTableView::mousePressEvent(event);
        return;
    }
    // A right button asks about the record under the pointer: it becomes the
    // current record, but the rows the user selected for output stay selected.
    const QModelIndex at = indexAt(event->position().toPoint());
    if (at.isValid() && selectionModel())
        selectionModel()->setCurrentIndex(at, QItemSelectionModel::NoUpdate);
    event->accept();
}

void RecordGrid::mouseReleaseEvent(QMouseEvent* event) {
    QTableView::mouseReleaseEvent(event);
    if (event->button() == Qt::RightButton) emit rightButtonReleased();
}

QWidget* PickListDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                        const QModelIndex& index) const {
    auto* model = qobject_cast<const RecordModel*>(index.model());
    const ColumnStyle* style = model ? model->columnStyleAt(index.column()) : nullptr;
    if (!style || style->pickList.isEmpty()) return QStyledItemDelegate::createEditor(parent, option, index);
    auto* box = new QComboBox(parent);
    box->addItems(style->pickList);
    return box;
}

void PickListDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    if (auto* box = qobject_cast<QComboBox*>(editor)) {
        const int i = box->findText(index.data(Qt::EditRole).toString(), Qt::MatchFixedString);
        box->setCurrentIndex(std::max(0, i));
        return;
    }
    QStyledItemDelegate::setEditorData(editor, index);
}

void PickListDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                    const QModelIndex& index) const {
    if (auto* box = qobject_cast<QComboBox*>(editor)) {
        model->setData(index, box->currentText(), Qt::EditRole);
        return;
    }
    QStyledItemDelegate::setModelData(editor, model, index);
}

}  // namespace view
