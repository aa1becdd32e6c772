#pragma once
// The grid's model over a db::DataSet. It holds no rows: the view asks for
// the cells it paints and the data set fetches them by position, so a table
// of a million rows costs no more than the screenful shown. Edits go into the
// data set's edit buffer; the grid posts when the user leaves the record.
#include <QAbstractTableModel>

#include <functional>
#include <vector>

#include "view/FieldDescriptor.h"
#include "view/GridRules.h"

namespace db {
class DataSet;
}

namespace view {

class RecordModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit RecordModel(db::DataSet& dataSet, QObject* parent = nullptr);

    // Column looks and rules, one per field in field order (see columnStyle).
    void setColumnStyles(std::vector<ColumnStyle> styles);
    const ColumnStyle* columnStyleAt(int column) const;
    // Whether cells may be typed into at all (edit mode, not a read-only query).
    void setEditingEnabled(bool enabled);

    // Receives the data set's refusals of an edit (wrong type, too long...).
    std::function<void(const std::exception&)> onError;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    db::DataSet& dataSet() const { return dataSet_; }

private:
    void reload();

    db::DataSet& dataSet_;
    std::vector<ColumnStyle> styles_;
    std::vector<int> fieldTypes_;
    std::vector<QString> fieldNames_;
    int rows_ = 0;
    bool editing_ = false;
};

// The memo field of the data set's current record, for the memo editor.
class MemoBinding;
std::unique_ptr<MemoBinding> bindMemoField(db::DataSet& dataSet, const QString& fieldName);

}  // namespace view
