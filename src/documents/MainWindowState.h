#pragma once
// What the document windows need of the main window: the open database and
// the table it shows, the two connections, what start-up detected, and the
// two registry operations that ask the user (choosing a document, choosing
// the card). The main window implements it; the document windows read it
// when they are shown and never reach the main window otherwise.
#include <QString>

#include "documents/Registry.h"

class QWidget;
namespace db {
class Connection;
}

namespace documents {

// The document chosen with SelectDocument.
struct ChosenDocument {
    int id = -1;
    QString templatePath;
    QString sheet;
    QString name;
    QString outputLogField;
    int serialNumber = 0;
};

class MainWindowState {
public:
    virtual ~MainWindowState() = default;

    virtual QWidget* mainWindow() = 0;
    // Full path of the open database, "" when none is open.
    virtual QString databasePath() const = 0;
    // Name of the table (or saved query) shown in the grid.
    virtual QString shownTableName() const = 0;
    virtual db::Connection& userDatabase() = 0;
    // Connected only while a store operation or job runs.
    virtual db::Connection& systemStore() = 0;
    // The program folder, ending with '/'.
    virtual QString programFolder() const = 0;

    virtual QString excelProgId() const = 0;
    virtual bool xlsxCapable() const = 0;
    virtual bool aceAvailable() const = 0;
    // The open dialog's filter for template workbooks.
    virtual QString excelFilter() const = 0;

    // Lets the user choose one of the shown table's documents, offering to
    // find a template file that has gone; -1 when none was chosen (the
    // reason already shown).
    virtual int SelectDocument(ChosenDocument& chosen) = 0;
    // Lets the user choose the shown table's card document.
    virtual void EditCardDocument() = 0;

    // The registry over the store, seeing the shown table's documents.
    Registry registry() { return Registry(systemStore(), {databasePath(), shownTableName()}); }
};

}  // namespace documents
