#pragma once
// The test double of platform::Services. It records every message box (text,
// caption, buttons), every file-dialog request and every link handed to the
// desktop, and answers questions and dialogs from queues that the test fills
// beforehand. A dialog or OK/Cancel question with no queued answer, or an
// answer left unused when the double is destroyed, fails the running test:
// a window that asks more or less than the test expects is a fault.
#include <QSet>
#include <deque>
#include <functional>
#include <vector>

#include "platform/Services.h"

namespace platform {

class ScriptedServices : public Services {
public:
    struct Message {
        QString text;
        QString caption;
        Buttons buttons;
        Answer answer;
    };
    // Receives one of the program's own dialogs while it is shown; fills its
    // controls (found by object name) and clicks its buttons. The dialog's
    // result when the callback returns is what execDialog answers.
    using DialogScript = std::function<void(QDialog& dialog)>;

    ScriptedServices() = default;
    ~ScriptedServices() override;

    // Queues, consumed in order.
    void answerNextQuestion(Answer answer);         // OK/Cancel boxes only
    void answerNextOpen(const QStringList& files);  // {} = cancelled
    void answerNextSave(const QString& file);       // "" = cancelled
    void answerNextFolder(const QString& folder);   // "" = cancelled
    void answerNextPrinter(bool accepted);
    // Answers the next dialog, run modally (execDialog) or floating above a
    // sheet (showFloating); one queue, in the order the window shows them.
    void answerNextDialog(DialogScript script);

    // What happened.
    std::vector<Message> messages;
    std::vector<FileDialogRequest> fileRequests;
    std::vector<QUrl> openedUrls;
    QStringList errors;         // what() of every showError
    QStringList dialogsShown;   // object names of the dialogs run by either
    QStringList floatingShown;  // those of them shown floating
    int busyDepth = 0;
    int busyCalls = 0;

    // The texts of all messages so far, for compact assertions.
    QStringList messageTexts() const;
    // Forgets recorded messages and errors (between steps of one test).
    void clearRecords();

    // Start-up detection as the test wants the machine to look.
    bool workbookEngineAvailable = true;
    QString engineVersionText = QStringLiteral("16.0");
    QSet<QString> registeredClasses{QStringLiteral(".accdb"), QStringLiteral("Excel.Application")};
    // Whether openExternally reports success.
    bool openSucceeds = true;

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

    QString clipboard;

private:
    int playDialog(QDialog* dialog);

    std::deque<Answer> answers_;
    std::deque<QStringList> opens_;
    std::deque<QString> saves_;
    std::deque<QString> folders_;
    std::deque<bool> printers_;
    std::deque<DialogScript> dialogs_;
};

}  // namespace platform
