#include "excel/XlsConvert.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>
#include <cstdio>
#include <list>
#include <mutex>

#include "excel/Error.h"
#include "excel/Package.h"

namespace excel {

namespace {

constexpr int conversionTimeoutMs = 180000;

// Runs one conversion into outDir; returns the converted file's path.
QString runConversion(const QString& input, const QString& filter, const QString& extension,
                      const QString& outDir, const QString& profileDir) {
    const QString office = findOfficeConverter();
    if (office.isEmpty())
        throw Error(
            ErrorCode::ConverterMissing,
            QStringLiteral(
                "reading and writing .xls needs LibreOffice (soffice), which is not installed"));
    QProcess proc;
    proc.setProcessChannelMode(QProcess::MergedChannels);
    const QStringList args = {
        QStringLiteral("-env:UserInstallation=") + QUrl::fromLocalFile(profileDir).toString(),
        QStringLiteral("--headless"),
        QStringLiteral("--norestore"),
        QStringLiteral("--nolockcheck"),
        QStringLiteral("--convert-to"),
        filter,
        QStringLiteral("--outdir"),
        outDir,
        input};
    proc.start(office, args);
    if (!proc.waitForStarted(30000))
        throw Error(ErrorCode::ConverterMissing, QStringLiteral("%1 did not start").arg(office));
    if (!proc.waitForFinished(conversionTimeoutMs)) {
        proc.kill();
        proc.waitForFinished(5000);
        throw Error(ErrorCode::Unsupported,
                    QStringLiteral("converting %1 took too long").arg(input));
    }
    const QString output = QDir(outDir).filePath(QFileInfo(input).completeBaseName() + extension);
    if (proc.exitStatus() != QProcess::NormalExit || proc.exitCode() != 0 ||
        !QFileInfo::exists(output))
        throw Error(ErrorCode::NotAWorkbook,
                    QStringLiteral("LibreOffice could not convert %1: %2")
                        .arg(input, QString::fromLocal8Bit(proc.readAll()).trimmed()));
    return output;
}

}  // namespace

QString findOfficeConverter() {
    for (const char* name : {"soffice", "libreoffice"}) {
        const QString p = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (!p.isEmpty()) return p;
    }
    return {};
}

namespace {

// Conversions kept, newest first. A handful covers the templates of a run.
constexpr size_t keptConversions = 8;
std::mutex cacheMutex;
std::list<std::pair<QByteArray, std::shared_ptr<const ConvertedFile>>> cache;
int conversions = 0;

// Identifies a file by its size and content, so a copy of a template (whose
// path and time differ) finds the conversion of the template, and a file
// changed in place, even within its time stamp's resolution, does not.
QByteArray contentKey(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw Error(ErrorCode::FileNotFound, QStringLiteral("cannot read %1").arg(path));
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&f))
        throw Error(ErrorCode::FileNotFound, QStringLiteral("cannot read %1").arg(path));
    return QByteArray::number(f.size()) + ':' + hash.result();
}

std::shared_ptr<const ConvertedFile> convertNow(const QString& xlsPath) {
    auto dir = std::make_unique<QTemporaryDir>();
    if (!dir->isValid())
        throw Error(ErrorCode::WriteFailed,
                    QStringLiteral("no temporary folder for the conversion"));
    // The input is copied under a plain name: LibreOffice names its output
    // after the input, and odd characters in names must not reach it.
    const QString input = dir->filePath(QStringLiteral("book.xls"));
    if (!QFile::copy(xlsPath, input))
        throw Error(ErrorCode::FileNotFound, QStringLiteral("cannot read %1").arg(xlsPath));
    const QString out = runConversion(input, QStringLiteral("xlsx:Calc MS Excel 2007 XML"),
                                      QStringLiteral(".xlsx"), dir->filePath(QStringLiteral("out")),
                                      dir->filePath(QStringLiteral("profile")));
    // Only the converted workbook is kept.
    QFile::remove(input);
    QDir(dir->filePath(QStringLiteral("profile"))).removeRecursively();
    return std::make_shared<ConvertedFile>(out, std::move(dir));
}

}  // namespace

std::shared_ptr<const ConvertedFile> convertXlsToXlsx(const QString& xlsPath) {
    const QByteArray key = contentKey(xlsPath);
    std::lock_guard lock(cacheMutex);
    for (auto it = cache.begin(); it != cache.end(); ++it) {
        if (it->first != key) continue;
        // Still there unless someone cleaned the temporary folder.
        if (!QFileInfo::exists(it->second->path())) {
            cache.erase(it);
            break;
        }
        cache.splice(cache.begin(), cache, it);
        return cache.front().second;
    }
    auto converted = convertNow(xlsPath);
    ++conversions;
    cache.emplace_front(key, converted);
    // Books still open keep their conversion alive through their own share.
    if (cache.size() > keptConversions) cache.pop_back();
    return converted;
}

int xlsConversionCount() {
    std::lock_guard lock(cacheMutex);
    return conversions;
}

void saveXlsFromPackage(const Package& package, const QString& path) {
    QTemporaryDir dir;
    if (!dir.isValid())
        throw Error(ErrorCode::WriteFailed,
                    QStringLiteral("no temporary folder for the conversion"));
    const QString xlsx = dir.filePath(QStringLiteral("book.xlsx"));
    package.saveTo(xlsx);
    const QString out =
        runConversion(xlsx, QStringLiteral("xls:MS Excel 97"), QStringLiteral(".xls"),
                      dir.filePath(QStringLiteral("out")), dir.filePath(QStringLiteral("profile")));
    // Copied beside the target first, then renamed over it.
    const QString temp = path + QStringLiteral(".tesmora-tmp");
    QFile::remove(temp);
    if (!QFile::copy(out, temp)) {
        QFile::remove(temp);
        throw Error(ErrorCode::WriteFailed, QStringLiteral("cannot write %1").arg(path));
    }
    renameOver(temp, path);
}

}  // namespace excel
