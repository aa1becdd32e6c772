#pragma once
// What the favourites window reads of the main window, and the two steps of
// a restore that only the main window can take (leaving its database before
// the copy, opening it again after). The main window implements it.
#include <QString>

class QWidget;
namespace db {
class Connection;
}

namespace favourites {

class MainWindowState {
public:
    virtual ~MainWindowState() = default;
    // Full path of the open database, "" when none is open.
    virtual QString databasePath() const = 0;
    // The password the open database was opened with.
    virtual QString databasePassword() const = 0;
    // The backup file of the open database (set when it came from a favourite).
    virtual QString backupPath() const = 0;
    virtual QString shownTableName() const = 0;
    // Whether the grid shows a table.
    virtual bool tableShown() const = 0;
    virtual db::Connection& systemStore() = 0;
    // The file dialogs' filter for databases.
    virtual QString databaseFilter() const = 0;

    // Forgets the shown table and closes the database; returns the name of
    // the table that was shown.
    virtual QString closeForRestore() = 0;
    // Opens the database again and shows table (the first table when it is
    // gone); a database that does not open leaves the window closed.
    virtual void reopenAfterRestore(const QString& table) = 0;
};

}  // namespace favourites
