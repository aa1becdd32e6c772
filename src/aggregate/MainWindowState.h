#pragma once
// What the aggregation window reads of the main window when a field is
// chosen: the open user database, the SQL text of the grid's records (its
// filter and order) and the fields of the shown table that can be counted.
// The main window implements it; this library never sees the main window.
#include <QString>

#include "documents/BindableFields.h"

namespace db {
class Connection;
}

namespace aggregate {

class MainWindowState {
public:
    virtual ~MainWindowState() = default;
    virtual db::Connection& userConnection() = 0;
    virtual QString shownSql() const = 0;
    virtual void ListBindableFields(documents::FieldList& list) = 0;
};

}  // namespace aggregate
