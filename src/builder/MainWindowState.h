#pragma once
// What the builder's dialog needs of the main window: the open database and
// the table it shows, the connection to it, what start-up detected and the
// file filters it decided. The main window implements it; the builder reads
// it when it is shown and never reaches the main window otherwise.
#include <QString>
#include <QStringList>
#include <vector>

#include "builder/Builder.h"

class QWidget;
namespace db {
class Connection;
}

namespace builder {

class MainWindowState {
public:
    virtual ~MainWindowState() = default;

    virtual QWidget* mainWindow() = 0;
    // Full path of the open database, "" when none is open.
    virtual QString databasePath() const = 0;
    virtual QString databasePassword() const = 0;
    // True while the grid shows a table or saved query.
    virtual bool tableShown() const = 0;
    virtual QString shownTableName() const = 0;
    virtual bool oldFormatDatabase() const = 0;
    // The table box's entries in their order (tables and saved queries).
    virtual QStringList tableList() const = 0;
    virtual bool isSavedQuery(const QString& name) = 0;
    // Key fields and fields (name, type code) of the shown table.
    virtual QStringList primaryKeyFields() const = 0;
    virtual std::vector<FieldInfo> shownFields() = 0;
    virtual db::Connection& userDatabase() = 0;
    // The program folder, ending with '/'.
    virtual QString programFolder() const = 0;
    virtual QString excelProgId() const = 0;
    // Open-dialog filters: workbooks and CSV files; database files.
    virtual QString builderSourceFilter() const = 0;
    virtual QString accessFilter() const = 0;
};

}  // namespace builder
