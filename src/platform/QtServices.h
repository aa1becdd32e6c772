#pragma once
// The real desktop behind platform::Services: Qt message boxes and file
// dialogs, the system clipboard, the desktop's URL handler and printers.
#include <QSet>

#include "platform/Services.h"

namespace platform {

class QtServices : public Services {
public:
    // workbookEngine: whether the program was built with its workbook engine,
    // which is what start-up asks for when it looks for a spreadsheet
    // application. ".accdb" files are always handled by the database layer.
    explicit QtServices(bool workbookEngine);

    Answer message(QWidget* parent, const QString& text, const QString& caption,
                   Buttons buttons = Buttons::Ok) override;
    QStringList openFiles(QWidget* parent, const FileDialogRequest& request) override;
    QString saveFile(QWidget* parent, const FileDialogRequest& request) override;
    QString chooseFolder(QWidget* parent, const QString& caption) override;
    bool clipboardHasText() override;
    QString clipboardText() override;
    void setClipboardText(const QString& text) override;
    bool openExternally(const QUrl& url) override;
    void setBusy(bool busy) override;
    bool choosePrinter(QWidget* parent, QPrinter& printer) override;
    int execDialog(QDialog* dialog) override;
    int showFloating(QDialog* dialog, QWindow* above) override;
    void showError(QWidget* parent, const std::exception& error) override;
    QString workbookEngineVersion() override;
    bool isClassRegistered(const QString& key) override;

private:
    bool workbookEngine_;
    QSet<QString> registeredClasses_;
};

}  // namespace platform
