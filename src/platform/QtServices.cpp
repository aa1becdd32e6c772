#include "platform/QtServices.h"

#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QDesktopServices>
#include <QDialog>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QWindow>
#include <memory>

namespace platform {

QtServices::QtServices(bool workbookEngine) : workbookEngine_(workbookEngine) {
    registeredClasses_.insert(QStringLiteral(".accdb"));
    if (workbookEngine_) registeredClasses_.insert(QStringLiteral("Excel.Application"));
}

Answer QtServices::message(QWidget* parent, const QString& text, const QString& caption,
                           Buttons buttons) {
    QMessageBox box(parent);
    box.setWindowTitle(caption);
    box.setText(text);
    QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    QPushButton* cancel = nullptr;
    if (buttons == Buttons::OkCancel)
        cancel = box.addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole);
    box.setDefaultButton(ok);
    if (cancel) box.setEscapeButton(cancel);
    box.exec();
    if (buttons == Buttons::Ok) return Answer::Ok;
    return box.clickedButton() == ok ? Answer::Ok : Answer::Cancel;
}

namespace {

// One dialog object for open and save so that both treat the filter, the
// preset name and the folder alike.
QFileDialog* makeFileDialog(QWidget* parent, const FileDialogRequest& request) {
    auto* dialog = new QFileDialog(parent, request.title);
    dialog->setAttribute(Qt::WA_DeleteOnClose, false);
    if (!request.filter.isEmpty()) dialog->setNameFilter(toQtFilter(request.filter));
    QString folder = request.initialFolder;
    if (folder.isEmpty() && !request.fileName.isEmpty())
        folder = QFileInfo(request.fileName).absolutePath();
    if (!folder.isEmpty()) dialog->setDirectory(folder);
    if (!request.fileName.isEmpty()) dialog->selectFile(QFileInfo(request.fileName).fileName());
    if (!request.defaultSuffix.isEmpty()) dialog->setDefaultSuffix(request.defaultSuffix);
    return dialog;
}

}  // namespace

QStringList QtServices::openFiles(QWidget* parent, const FileDialogRequest& request) {
    std::unique_ptr<QFileDialog> dialog(makeFileDialog(parent, request));
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(request.multiSelect ? QFileDialog::ExistingFiles
                                            : QFileDialog::ExistingFile);
    if (dialog->exec() != QDialog::Accepted) return {};
    return dialog->selectedFiles();
}

QString QtServices::saveFile(QWidget* parent, const FileDialogRequest& request) {
    std::unique_ptr<QFileDialog> dialog(makeFileDialog(parent, request));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    // The windows ask their own overwrite questions where they need one.
    dialog->setOption(QFileDialog::DontConfirmOverwrite, true);
    if (dialog->exec() != QDialog::Accepted) return {};
    const QStringList files = dialog->selectedFiles();
    return files.isEmpty() ? QString() : files.first();
}

QString QtServices::chooseFolder(QWidget* parent, const QString& caption) {
    return QFileDialog::getExistingDirectory(parent, caption);
}

bool QtServices::clipboardHasText() {
    return !QGuiApplication::clipboard()->text().isEmpty();
}

QString QtServices::clipboardText() {
    return QGuiApplication::clipboard()->text();
}

void QtServices::setClipboardText(const QString& text) {
    QGuiApplication::clipboard()->setText(text);
}

bool QtServices::openExternally(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}

void QtServices::setBusy(bool busy) {
    if (busy)
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    else
        QApplication::restoreOverrideCursor();
}

bool QtServices::choosePrinter(QWidget* parent, QPrinter& printer) {
    QPrintDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

int QtServices::execDialog(QDialog* dialog) {
    return dialog->exec();
}

int QtServices::showFloating(QDialog* dialog, QWindow* above) {
    dialog->setAttribute(Qt::WA_ShowWithoutActivating, true);
    dialog->setModal(false);
    QEventLoop loop;
    bool finished = false;
    int result = QDialog::Rejected;
    QMetaObject::Connection done =
        QObject::connect(dialog, &QDialog::finished, &loop, [&](int code) {
            finished = true;
            result = code;
            loop.quit();
        });
    // Stacked on the given window (and so above the modal dialog that showed
    // it), the dialog is neither hidden by it nor blocked.
    dialog->winId();
    if (above && above != dialog->windowHandle()) dialog->windowHandle()->setTransientParent(above);
    dialog->show();
    if (!finished) loop.exec();
    QObject::disconnect(done);
    dialog->setAttribute(Qt::WA_ShowWithoutActivating, false);
    return result;
}

void QtServices::showError(QWidget* parent, const std::exception& error) {
    QMessageBox::critical(parent, QApplication::applicationName(), QString::fromUtf8(error.what()));
}

QString QtServices::workbookEngineVersion() {
    return workbookEngine_ ? QStringLiteral("16.0") : QStringLiteral("0");
}

bool QtServices::isClassRegistered(const QString& key) {
    return registeredClasses_.contains(key);
}

}  // namespace platform
