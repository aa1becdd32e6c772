#include "documents/TemplateEditing.h"

#include <QDialog>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QUrl>
#include <cstdio>

#include "documents/MainWindowState.h"
#include "documents/TForm14.h"
#include "excel/TUGExcel.h"
#include "excel/window/Waits.h"
#include "platform/BusyWindow.h"
#include "platform/Services.h"

namespace documents {

namespace {

const QString kStopped = QStringLiteral("雛形編集の中止");

// Runs program until it ends, the main window disabled meanwhile and the
// rest of the program painting. False when it could not be started.
bool runAndWait(const QString& program, const QStringList& arguments, QWidget* mainWindow) {
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start();
    if (!process.waitForStarted(30000)) return false;
    platform::DisabledWindow disabled(mainWindow);
    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    if (process.state() != QProcess::NotRunning) loop.exec();
    return true;
}

void editInSheetWindow(MainWindowState& main, const QString& path, const QString& sheet) {
    excel::TUGExcel excel(main.excelProgId());
    excel.OpenBook(path, true);
    excel.SelectSheet(sheet);  // a sheet that has gone is not worth a message
    excel::window::waitUntilClosed(excel, main.mainWindow());
    excel.CloseBook(false);
}

}  // namespace

QString calcEditorProgram() {
    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (soffice.isEmpty()) return {};
    // The headless build has only the "svp" plug-in; a desktop build has at
    // least one that draws windows.
    const QDir program = QFileInfo(QFileInfo(soffice).canonicalFilePath()).dir();
    const QStringList plugins = program.entryList({QStringLiteral("libvclplug_*.so")}, QDir::Files);
    for (const QString& p : plugins)
        if (!p.startsWith(QLatin1String("libvclplug_svp"))) return soffice;
    return {};
}

QStringList calcEditorArguments(const QString& path, const QString& profileFolder) {
    return {QStringLiteral("-env:UserInstallation=") +
                QUrl::fromLocalFile(profileFolder).toString(QUrl::FullyEncoded),
            QStringLiteral("--nologo"), QStringLiteral("--norestore"), QStringLiteral("--calc"),
            QFileInfo(path).absoluteFilePath()};
}

bool copyTemplate(const QString& from, const QString& to) {
    if (sameFile(from, to) || !QFileInfo(from).isFile()) return false;
    QTemporaryFile temp(QFileInfo(to).absolutePath() + QStringLiteral("/.tesmora-XXXXXX"));
    if (!temp.open()) return false;
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly)) return false;
    while (!source.atEnd()) {
        const QByteArray chunk = source.read(1 << 20);
        if (chunk.isEmpty() || temp.write(chunk) != chunk.size()) return false;
    }
    if (!temp.flush()) return false;
    temp.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                        QFileDevice::ReadGroup | QFileDevice::ReadOther);
    // rename() replaces the old file in one step: a failed copy leaves it.
    if (std::rename(QFile::encodeName(temp.fileName()).constData(),
                    QFile::encodeName(QFileInfo(to).absoluteFilePath()).constData()) != 0)
        return false;
    temp.setAutoRemove(false);
    return true;
}

void EditTemplate(MainWindowState& main, platform::Services& services, TForm14& dialog,
                  const QString& editorProgram) {
    ChosenDocument chosen;
    const int id = main.SelectDocument(chosen);
    if (id == -1) return;
    dialog.TemplatePath = chosen.templatePath;
    dialog.DocumentName = chosen.name;
    if (services.execDialog(&dialog) != QDialog::Accepted) return;
    QString path = chosen.templatePath;
    if (dialog.itemIndex() == 1) {
        if (!copyTemplate(chosen.templatePath, dialog.TemplatePath)) {
            services.message(main.mainWindow(), QStringLiteral("複製が作成できません"), kStopped);
            return;
        }
        main.registry().DuplicateDocument(id, dialog.TemplatePath, dialog.DocumentName);
        path = dialog.TemplatePath;
    }

    if (!editorProgram.isEmpty()) {
        // A profile of its own makes a new LibreOffice process that ends
        // when its window closes, instead of handing the file to a running
        // instance and returning at once.
        QTemporaryDir profile(QDir::tempPath() + QStringLiteral("/tesmora-calc-XXXXXX"));
        if (profile.isValid() &&
            runAndWait(editorProgram, calcEditorArguments(path, profile.path()),
                       main.mainWindow()))
            return;
    }
    editInSheetWindow(main, path, chosen.sheet);
}

}  // namespace documents
