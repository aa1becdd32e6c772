#include "app/StartupChecks.h"

#include <unistd.h>

#include <QFile>
#include <QFileInfo>

#include "view/ProgramFiles.h"

namespace app {

bool FolderAccess::exists(const QString& path) {
    return QFileInfo(path).isFile();
}

bool FolderAccess::copyReplacing(const QString& from, const QString& to) {
    QFileInfo target(to);
    if (target.exists() || target.isSymLink()) {
        if (target.isDir() || !QFile::remove(to)) return false;
    }
    return QFile::copy(from, to);
}

bool FolderAccess::remove(const QString& path) {
    return QFile::remove(path);
}

void FolderAccess::clearReadOnly(const QString& path) {
    QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::WriteOwner);
}

bool FolderAccess::isReadOnly(const QString& path) {
    if (!(QFile::permissions(path) & QFileDevice::WriteOwner)) return true;
    // Permission bits do not stop the administrator; the system's own answer
    // covers immutable files and read-only mounts as well.
    return ::access(QFile::encodeName(path).constData(), W_OK) != 0;
}

namespace {

// Clears the read-only flag and reports whether the file stays protected.
bool staysProtected(const QString& path, FolderAccess& access) {
    access.clearReadOnly(path);
    return access.isReadOnly(path);
}

}  // namespace

std::optional<QString> checkProgramFolder(const QString& folder, FolderAccess& access) {
    using namespace view;
    if (!access.exists(folder + kSystemMarkerFile))
        return kSystemMarkerFile + QStringLiteral("がありません");
    // The copy only proves that the folder can be written; it goes again at once.
    if (!access.copyReplacing(folder + kSystemMarkerFile, folder + kWriteTestFile))
        return QStringLiteral("フォルダが書込み禁止です");
    access.remove(folder + kWriteTestFile);
    for (const QString& database : {kTemplateDatabase, kSystemStore}) {
        if (!access.exists(folder + database)) return database + QStringLiteral("がありません");
        if (staysProtected(folder + database, access))
            return database + QStringLiteral("がプロテクトされてます");
    }
    return std::nullopt;
}

}  // namespace app
