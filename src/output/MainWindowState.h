#pragma once
// What the output windows read of the main window when they are shown: the
// open database, the SQL text of the grid's records, the grid's column
// widths and what start-up found out about workbooks. The main window
// implements it; this library never sees the main window itself.
#include <QString>

namespace db {
class Connection;
}

namespace output {

class MainWindowState {
public:
    virtual ~MainWindowState() = default;
    // The connection of the open user database.
    virtual db::Connection& userConnection() = 0;
    // The SQL text whose records the grid shows (its filter and order).
    virtual QString shownSql() const = 0;
    // Width on screen, in pixels, of the grid column at this position.
    virtual int gridColumnWidth(int column) const = 0;
    // The ProgID with which workbooks are opened, and the open-dialog filter
    // for workbooks that start-up decided.
    virtual QString excelProgId() const = 0;
    virtual QString excelFilter() const = 0;
};

}  // namespace output
