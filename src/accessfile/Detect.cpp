#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "accessfile/AccessFile.h"
#include "accessfile/Header.h"

namespace accessfile {

Error::Error(Code code, const QString& detail)
    : std::runtime_error(detail.toStdString()), code_(code), detail_(detail) {}

namespace detail {

HeaderInfo readHeader(const QByteArray& head) {
    HeaderInfo info;
    // Byte 0..3 hold the page-0 signature 00 01 00 00; the engine's name
    // follows at byte 4 and its version at 0x14.
    if (head.size() < 0x15) return info;
    static const QByteArray jet("\x00\x01\x00\x00Standard Jet DB\x00", 20);
    static const QByteArray ace("\x00\x01\x00\x00Standard ACE DB\x00", 20);
    const QByteArray start = head.left(20);
    if (start != jet && start != ace) return info;
    info.version = static_cast<unsigned char>(head[0x14]);
    if (start == ace) {
        info.format = Format::Ace;
    } else if (info.version == 0) {
        info.format = Format::Jet3;
    } else {
        // Jet 4 files carry 1; an ".mdb" written by a newer engine keeps the
        // Jet name with a higher number and is read as the newer format.
        info.format = info.version == 1 ? Format::Jet4 : Format::Ace;
    }
    info.pageSize = info.format == Format::Jet3 ? 2048 : 4096;
    return info;
}

}  // namespace detail

Format detectFormat(const QString& path) {
    QFile f(path);
    if (!QFileInfo(path).isFile() || !f.open(QIODevice::ReadOnly)) return Format::NotAccess;
    return detail::readHeader(f.read(32)).format;
}

bool isGenuineAccessFile(const QString& path) {
    return detectFormat(path) != Format::NotAccess;
}

QString formatName(Format format) {
    switch (format) {
        case Format::Jet3:
            return QStringLiteral("Jet 3");
        case Format::Jet4:
            return QStringLiteral("Jet 4");
        case Format::Ace:
            return QStringLiteral("ACE");
        case Format::NotAccess:
            break;
    }
    return {};
}

QString proposedTargetPath(const QString& sourcePath) {
    const QFileInfo info(sourcePath);
    const QString suffix = info.suffix();
    QString name = info.completeBaseName() + QStringLiteral("_tesmora");
    if (!suffix.isEmpty()) name += QLatin1Char('.') + suffix;
    return info.dir().filePath(name);
}

QString reportPathFor(const QString& targetPath) {
    const QFileInfo info(targetPath);
    return info.dir().filePath(info.completeBaseName() + QStringLiteral("_変換報告.txt"));
}

}  // namespace accessfile
