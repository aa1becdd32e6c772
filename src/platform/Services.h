#pragma once
// Platform services: everything a window asks of the desktop (message boxes,
// file and folder dialogs, the clipboard, opening links, the busy cursor,
// printer choice, running a modal dialog, the application-wide error message)
// goes through this one interface. Windows receive it in their constructor.
// QtServices is the real desktop; tests use ScriptedServices, which records
// every message and answers dialogs from a queue.
#include <QString>
#include <QStringList>
#include <QUrl>
#include <exception>

class QWidget;
class QDialog;
class QPrinter;
class QWindow;

namespace platform {

enum class Buttons { Ok, OkCancel };
enum class Answer { Ok, Cancel };

// A file dialog as the windows describe it. The filter is written the way the
// forms write it: pairs of "description|patterns" joined by "|", for example
// "Excelファイル(*.xls,*.xlsx)|*.xls;*.xlsx|CSVファイル(*.csv)|*.csv".
struct FileDialogRequest {
    QString title;
    QString filter;
    QString initialFolder;
    QString fileName;       // preset file name (save dialogs, or a suggestion)
    QString defaultSuffix;  // without dot; added when the user types none
    bool multiSelect = false;
};

class Services {
public:
    virtual ~Services() = default;

    // Shows text under caption. OK-only boxes always answer Ok.
    virtual Answer message(QWidget* parent, const QString& text, const QString& caption,
                           Buttons buttons = Buttons::Ok) = 0;

    // The chosen files; empty when the user cancelled.
    virtual QStringList openFiles(QWidget* parent, const FileDialogRequest& request) = 0;
    // The chosen file; "" when the user cancelled.
    virtual QString saveFile(QWidget* parent, const FileDialogRequest& request) = 0;
    // The chosen folder; "" when the user cancelled.
    virtual QString chooseFolder(QWidget* parent, const QString& caption) = 0;

    virtual bool clipboardHasText() = 0;
    virtual QString clipboardText() = 0;
    virtual void setClipboardText(const QString& text) = 0;

    // Hands a web address or a file/network location to the desktop.
    virtual bool openExternally(const QUrl& url) = 0;

    // Busy cursor on or off; calls nest (see BusyCursor).
    virtual void setBusy(bool busy) = 0;

    // Lets the user pick a printer and its settings into printer; false when
    // cancelled.
    virtual bool choosePrinter(QWidget* parent, QPrinter& printer) = 0;

    // Runs one of our own dialogs modally and returns its result code
    // (QDialog::Accepted or QDialog::Rejected).
    virtual int execDialog(QDialog* dialog) = 0;
    // Shows one of our own dialogs without blocking any other window and
    // returns its result code once the user has closed it: the dialogs that
    // float above a shown sheet while the user keeps working in the sheet.
    // above, when given, is the window the dialog stays stacked on; the
    // dialog is never activated on showing, so the sheet keeps the focus.
    virtual int showFloating(QDialog* dialog, QWindow* above) = 0;

    // The application-wide message for an error nobody foresaw (engine or
    // file-format errors): shows what() and ends the current action.
    virtual void showError(QWidget* parent, const std::exception& error) = 0;

    // Start-up detection. The version text of the workbook engine that stands
    // in for the spreadsheet application: "16.0" when it is built in, "0" when
    // it is not; throws std::runtime_error when asking fails.
    virtual QString workbookEngineVersion() = 0;
    // Whether the desktop knows a document class or automation name
    // (".accdb", "Excel.Application.11").
    virtual bool isClassRegistered(const QString& key) = 0;
};

// Busy cursor for the lifetime of the object.
class BusyCursor {
public:
    explicit BusyCursor(Services& services) : services_(services) { services_.setBusy(true); }
    ~BusyCursor() { services_.setBusy(false); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

private:
    Services& services_;
};

// Runs one user action; an error nobody foresaw ends the action where it
// stands and reaches the user through showError. Returns false then.
template <class Action>
bool runGuarded(Services& services, QWidget* parent, Action&& action) {
    try {
        action();
        return true;
    } catch (const std::exception& e) {
        services.showError(parent, e);
        return false;
    }
}

// Splits a form-style filter ("desc|*.a;*.b|desc2|*.c") into Qt's form
// ("desc (*.a *.b);;desc2 (*.c)").
QString toQtFilter(const QString& formFilter);

}  // namespace platform
