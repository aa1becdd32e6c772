#include "view/RecordModel.h"

#include <QBrush>
#include <QColor>
#include <QGuiApplication>
#include <QPalette>

#include "db/Db.h"
#include "view/FieldTypes.h"
#include "view/TForm22.h"

namespace view {

namespace {

QColor cellColour(CellColour c) {
    switch (c) {
        case CellColour::Yellow: return QColor(Qt::yellow);
        case CellColour::Red: return QColor(Qt::red);
        case CellColour::White: break;
    }
    return QColor(Qt::white);
}

bool isNumeric(int type) {
    switch (type) {
        case db::ftSmallint: case db::ftInteger: case db::ftByte: case db::ftFloat:
        case db::ftCurrency: case db::ftAutoInc:
            return true;
        default:
            return false;
    }
}

}  // namespace

RecordModel::RecordModel(db::DataSet& dataSet, QObject* parent)
    : QAbstractTableModel(parent), dataSet_(dataSet) {
    connect(&dataSet_, &db::DataSet::opened, this, &RecordModel::reload);
    connect(&dataSet_, &db::DataSet::closed, this, &RecordModel::reload);
    connect(&dataSet_, &db::DataSet::rowChanged, this, [this](int row) {
        if (row >= 0 && row < rows_) emit dataChanged(index(row, 0), index(row, columnCount() - 1));
    });
    // The data set has already changed when it tells us; the cached count
    // is what the view sees, so it moves between begin and end.
    connect(&dataSet_, &db::DataSet::rowInserted, this, [this](int row) {
        beginInsertRows(QModelIndex(), row, row);
        rows_ = dataSet_.recordCount();
        endInsertRows();
    });
    connect(&dataSet_, &db::DataSet::rowRemoved, this, [this](int row) {
        beginRemoveRows(QModelIndex(), row, row);
        rows_ = dataSet_.recordCount();
        endRemoveRows();
    });
    reload();
}

void RecordModel::reload() {
    beginResetModel();
    fieldTypes_.clear();
    fieldNames_.clear();
    rows_ = 0;
    if (dataSet_.active()) {
        rows_ = dataSet_.recordCount();
        for (int i = 0; i < dataSet_.fieldCount(); ++i) {
            db::Field f = dataSet_.field(i);
            fieldTypes_.push_back(f.dataType());
            fieldNames_.push_back(f.name());
        }
    }
    styles_.clear();
    endResetModel();
}

void RecordModel::setColumnStyles(std::vector<ColumnStyle> styles) {
    styles_ = std::move(styles);
    if (columnCount() > 0) {
        emit dataChanged(index(0, 0), index(std::max(0, rows_ - 1), columnCount() - 1));
        emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
    }
}

const ColumnStyle* RecordModel::columnStyleAt(int column) const {
    if (column < 0 || column >= static_cast<int>(styles_.size())) return nullptr;
    return &styles_[column];
}

void RecordModel::setEditingEnabled(bool enabled) { editing_ = enabled; }

int RecordModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

int RecordModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(fieldTypes_.size());
}

QVariant RecordModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rows_) return {};
    const int col = index.column();
    const ColumnStyle* style = columnStyleAt(col);
    switch (role) {
        case Qt::DisplayRole: {
            if (style && !style->displayFormat.isEmpty()) {
                const QVariant v = dataSet_.valueAt(index.row(), col);
                if (v.isNull()) return QString();
                bool ok = false;
                const double d = v.toDouble(&ok);
                if (ok) {
                    const qsizetype point = style->displayFormat.indexOf(QLatin1Char('.'));
                    return formatWithDecimals(d, point < 0 ? 0 : int(style->displayFormat.size() - point - 1));
                }
            }
            QString t = dataSet_.textAt(index.row(), col);
            // A memo's first line stands for the whole text in a cell.
            if (fieldTypes_[col] == db::ftMemo) t = t.section(QLatin1Char('\n'), 0, 0);
            return t;
        }
        case Qt::EditRole:
            return dataSet_.textAt(index.row(), col);
        case Qt::BackgroundRole:
            return style ? QBrush(cellColour(style->background)) : QVariant();
        case Qt::ForegroundRole:
            return QBrush(Qt::black);
        case Qt::TextAlignmentRole:
            return isNumeric(fieldTypes_[col]) ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                                               : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
        default:
            return {};
    }
}

QVariant RecordModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Vertical) {
        if (role == Qt::DisplayRole) return QString();
        return {};
    }
    if (section < 0 || section >= columnCount()) return {};
    if (role == Qt::DisplayRole) return fieldNames_[section];
    if (role == Qt::BackgroundRole) {
        const ColumnStyle* style = columnStyleAt(section);
        if (style && style->titleHighlighted) return QBrush(Qt::yellow);
        return QBrush(QGuiApplication::palette().color(QPalette::Button));
    }
    return {};
}

Qt::ItemFlags RecordModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    const ColumnStyle* style = columnStyleAt(index.column());
    if (editing_ && style && !style->readOnly && fieldTypes_[index.column()] != db::ftMemo)
        f |= Qt::ItemIsEditable;
    return f;
}

bool RecordModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable)) return false;
    try {
        if (dataSet_.recNo() != index.row()) {
            if (dataSet_.state() != db::DataSet::State::Browse) dataSet_.post();
            dataSet_.moveTo(index.row());
        }
        if (dataSet_.state() == db::DataSet::State::Browse) dataSet_.edit();
        db::Field field = dataSet_.field(index.column());
        const QString text = value.toString();
        if (text.isEmpty() && field.dataType() != db::ftText)
            field.clear();
        else
            field.setAsString(text);
        emit dataChanged(index.siblingAtColumn(0), index.siblingAtColumn(columnCount() - 1));
        return true;
    } catch (const std::exception& e) {
        if (onError) onError(e);
        return false;
    }
}

namespace {

class DataSetMemoBinding : public MemoBinding {
public:
    DataSetMemoBinding(db::DataSet& ds, const QString& field) : ds_(ds), field_(field) {}
    QString text() const override {
        if (!ds_.active() || ds_.recNo() < 0) return QString();
        return ds_.fieldByName(field_).asString();
    }
    void setText(const QString& text) override {
        if (!ds_.active() || ds_.recNo() < 0) return;
        if (ds_.state() == db::DataSet::State::Browse) ds_.edit();
        ds_.fieldByName(field_).setAsString(text);
    }

private:
    db::DataSet& ds_;
    QString field_;
};

}  // namespace

std::unique_ptr<MemoBinding> bindMemoField(db::DataSet& dataSet, const QString& fieldName) {
    return std::make_unique<DataSetMemoBinding>(dataSet, fieldName);
}

}  // namespace view
