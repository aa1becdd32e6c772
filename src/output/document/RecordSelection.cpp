#include "output/document/RecordSelection.h"

#include <QHash>
#include <deque>

#include "db/Db.h"
#include "documents/Bindings.h"

namespace docoutput {

namespace {

QString sortTerm(const QString& key) {
    const documents::SortKey k = documents::parseSortKey(key);
    QString term = QLatin1Char('[') + k.field.left(200) + QLatin1Char(']');
    if (k.descending) term += QStringLiteral(" DESC");
    return term;
}

// One row's values as one hashable text; the type tag keeps 1 and "1" apart.
QString rowKey(const std::vector<QVariant>& values) {
    QString key;
    for (const QVariant& v : values) {
        key += QString::number(v.isNull() ? -1 : v.typeId());
        key += QChar(0x1f);
        key += v.toString();
        key += QChar(0x1e);
    }
    return key;
}

std::vector<QVariant> rowValues(db::DataSet& ds, int row) {
    std::vector<QVariant> values;
    const int n = ds.fieldCount();
    values.reserve(size_t(n));
    for (int c = 0; c < n; ++c) values.push_back(ds.valueAt(row, c));
    return values;
}

}  // namespace

QString documentOrderBy(const documents::BlockSettings& block) {
    if (block.Sort1.isEmpty()) return {};
    QString sql = QStringLiteral(" ORDER BY ") + sortTerm(block.Sort1);
    if (!block.Sort2.isEmpty()) {
        sql += QLatin1Char(',') + sortTerm(block.Sort2);
        if (!block.Sort3.isEmpty()) sql += QLatin1Char(',') + sortTerm(block.Sort3);
    }
    return sql;
}

SelectedRecords selectedRecords(db::DataSet& grid, const std::vector<int>& rows) {
    SelectedRecords selected;
    selected.byRowId = grid.canModify();
    if (selected.byRowId) {
        const int current = grid.recNo();
        for (int row : rows) {
            grid.moveTo(row);
            selected.rowIds.push_back(grid.bookmark());
        }
        if (current >= 0) grid.moveTo(current);
    } else {
        for (int row : rows) selected.values.push_back(rowValues(grid, row));
    }
    return selected;
}

std::vector<int> locateRecords(db::DataSet& records, const SelectedRecords& selected) {
    std::vector<int> positions;
    if (selected.byRowId) {
        for (qint64 id : selected.rowIds)
            if (records.gotoBookmark(id)) positions.push_back(records.recNo());
        return positions;
    }
    // Equal rows of a saved query are interchangeable; each selected copy
    // takes the next unused one.
    QHash<QString, std::deque<int>> byValues;
    const int n = records.recordCount();
    for (int row = 0; row < n; ++row) byValues[rowKey(rowValues(records, row))].push_back(row);
    for (const auto& values : selected.values) {
        auto it = byValues.find(rowKey(values));
        if (it == byValues.end() || it->empty()) continue;
        positions.push_back(it->front());
        it->pop_front();
    }
    return positions;
}

}  // namespace docoutput
