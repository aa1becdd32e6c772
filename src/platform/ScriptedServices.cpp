#include "platform/ScriptedServices.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <stdexcept>

namespace platform {

ScriptedServices::~ScriptedServices() {
    // Answers nobody asked for mean the window skipped a step the test expected.
    if (!answers_.empty()) ADD_FAILURE() << answers_.size() << " queued question answer(s) unused";
    if (!opens_.empty()) ADD_FAILURE() << opens_.size() << " queued open-dialog answer(s) unused";
    if (!saves_.empty()) ADD_FAILURE() << saves_.size() << " queued save-dialog answer(s) unused";
    if (!folders_.empty()) ADD_FAILURE() << folders_.size() << " queued folder answer(s) unused";
    if (!printers_.empty()) ADD_FAILURE() << printers_.size() << " queued printer answer(s) unused";
    if (!dialogs_.empty()) ADD_FAILURE() << dialogs_.size() << " queued dialog script(s) unused";
}

void ScriptedServices::answerNextQuestion(Answer answer) {
    answers_.push_back(answer);
}
void ScriptedServices::answerNextOpen(const QStringList& files) {
    opens_.push_back(files);
}
void ScriptedServices::answerNextSave(const QString& file) {
    saves_.push_back(file);
}
void ScriptedServices::answerNextFolder(const QString& folder) {
    folders_.push_back(folder);
}
void ScriptedServices::answerNextPrinter(bool accepted) {
    printers_.push_back(accepted);
}
void ScriptedServices::answerNextDialog(DialogScript script) {
    dialogs_.push_back(std::move(script));
}

QStringList ScriptedServices::messageTexts() const {
    QStringList texts;
    for (const Message& m : messages) texts << m.text;
    return texts;
}

void ScriptedServices::clearRecords() {
    messages.clear();
    errors.clear();
    fileRequests.clear();
    openedUrls.clear();
    dialogsShown.clear();
    floatingShown.clear();
}

Answer ScriptedServices::message(QWidget*, const QString& text, const QString& caption,
                                 Buttons buttons) {
    Answer answer = Answer::Ok;
    if (buttons == Buttons::OkCancel) {
        if (answers_.empty()) {
            ADD_FAILURE() << "unexpected question: " << text.toStdString() << " ["
                          << caption.toStdString() << "]";
            answer = Answer::Cancel;
        } else {
            answer = answers_.front();
            answers_.pop_front();
        }
    }
    messages.push_back({text, caption, buttons, answer});
    return answer;
}

namespace {

// The next queued answer; a dialog nobody queued an answer for fails the
// test and is answered as cancelled.
template <class T>
T takeNext(std::deque<T>& queue, const std::string& what, T cancelled) {
    if (queue.empty()) {
        ADD_FAILURE() << "unexpected " << what;
        return cancelled;
    }
    T answer = std::move(queue.front());
    queue.pop_front();
    return answer;
}

}  // namespace

QStringList ScriptedServices::openFiles(QWidget*, const FileDialogRequest& request) {
    fileRequests.push_back(request);
    return takeNext(opens_, "open dialog: " + request.filter.toStdString(), QStringList());
}

QString ScriptedServices::saveFile(QWidget*, const FileDialogRequest& request) {
    fileRequests.push_back(request);
    return takeNext(saves_, "save dialog: " + request.filter.toStdString(), QString());
}

QString ScriptedServices::chooseFolder(QWidget*, const QString& caption) {
    return takeNext(folders_, "folder dialog: " + caption.toStdString(), QString());
}

bool ScriptedServices::clipboardHasText() {
    return !clipboard.isEmpty();
}
QString ScriptedServices::clipboardText() {
    return clipboard;
}
void ScriptedServices::setClipboardText(const QString& text) {
    clipboard = text;
}

bool ScriptedServices::openExternally(const QUrl& url) {
    openedUrls.push_back(url);
    return openSucceeds;
}

void ScriptedServices::setBusy(bool busy) {
    busyDepth += busy ? 1 : -1;
    if (busy) ++busyCalls;
    if (busyDepth < 0) ADD_FAILURE() << "busy cursor released more often than set";
}

bool ScriptedServices::choosePrinter(QWidget*, QPrinter&) {
    return takeNext(printers_, "printer dialog", false);
}

int ScriptedServices::execDialog(QDialog* dialog) {
    return playDialog(dialog);
}

int ScriptedServices::showFloating(QDialog* dialog, QWindow*) {
    floatingShown << dialog->objectName();
    return playDialog(dialog);
}

int ScriptedServices::playDialog(QDialog* dialog) {
    dialogsShown << dialog->objectName();
    if (dialogs_.empty()) {
        ADD_FAILURE() << "unexpected dialog: " << dialog->objectName().toStdString();
        return QDialog::Rejected;
    }
    DialogScript script = std::move(dialogs_.front());
    dialogs_.pop_front();
    // Shown without a modal loop: the dialog's show-time code runs as it would
    // for the user, then the script plays the user's part.
    dialog->setResult(QDialog::Rejected);
    dialog->show();
    script(*dialog);
    if (dialog->isVisible()) {
        ADD_FAILURE() << "dialog " << dialog->objectName().toStdString()
                      << " was left open by its script";
        dialog->reject();
    }
    return dialog->result();
}

void ScriptedServices::showError(QWidget*, const std::exception& error) {
    errors << QString::fromUtf8(error.what());
}

QString ScriptedServices::workbookEngineVersion() {
    if (!workbookEngineAvailable) throw std::runtime_error("no workbook engine is available");
    return engineVersionText;
}

bool ScriptedServices::isClassRegistered(const QString& key) {
    return registeredClasses.contains(key);
}

}  // namespace platform
