#pragma once
// Which records an output run fills in, and in what order. The dialog's
// records come from their own query (the grid's SQL, re-sorted in the
// document's order); the user's selection in the grid is carried over by
// record identity, never by position, so a re-sorted query or a saved query
// still outputs exactly the rows the user selected.
#include <QString>
#include <QVariant>
#include <vector>

#include "documents/Registry.h"

namespace db {
class DataSet;
}

namespace docoutput {

// " ORDER BY [f1] DESC,[f2],[f3]" for the document's sort keys; "" when
// Sort1 is empty. A later key counts only when the earlier one is set.
QString documentOrderBy(const documents::BlockSettings& block);

// The grid's selected records as identities: their row ids when the grid's
// rows carry them (tables), else their values (saved queries).
struct SelectedRecords {
    bool byRowId = true;
    std::vector<qint64> rowIds;
    std::vector<std::vector<QVariant>> values;

    int count() const { return int(byRowId ? rowIds.size() : values.size()); }
};

// Reads the identities of rows (positions in grid, ascending) without
// moving the grid's current record for good.
SelectedRecords selectedRecords(db::DataSet& grid, const std::vector<int>& rows);

// Positions in records (open) of the selected records, in selection order.
// A record that is no longer there is left out.
std::vector<int> locateRecords(db::DataSet& records, const SelectedRecords& selected);

}  // namespace docoutput
