#pragma once
// An OOXML package (a zip archive of parts) held open for reading, with the
// parts that were changed kept in memory. Saving writes a new archive next to
// the target and renames it over the target, so a crash never leaves a half
// written file; parts that were not changed are copied in their compressed
// form, without inflating and deflating them again.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <memory>
#include <vector>

struct zip;

namespace excel {

class Package {
public:
    // Largest part the engine inflates; a bigger declared or actual size is
    // refused, so a crafted archive cannot exhaust memory.
    static constexpr qint64 maxPartSize = 256LL * 1024 * 1024;
    // Sources up to this size are held in memory so that saving copies
    // their untouched parts straight from it.
    static constexpr qint64 maxRawCopySource = 64LL * 1024 * 1024;

    // Opens an archive; throws Error (FileNotFound, NotAWorkbook).
    static std::unique_ptr<Package> open(const QString& path);
    // A package with no source archive; parts are added with write().
    static std::unique_ptr<Package> create();
    ~Package();

    bool has(const QString& part) const;
    // The part's bytes (the changed ones when it was written). Throws
    // NotAWorkbook when absent or unreadable, TooLarge past maxPartSize.
    QByteArray read(const QString& part) const;
    // The part's size when inflated as its archive declares it; 0 when
    // unknown. Only a hint for sizing buffers.
    qint64 declaredSize(const QString& part) const;
    // True when reading the part touches nothing but memory, so it may be
    // read on another thread while this one reads other parts.
    bool readableAlongside(const QString& part) const;
    // The same bytes handed to sink in pieces, in order, so that a large part
    // is never held whole. Same checks and errors as read(); a checksum
    // failure is reported after the last piece.
    void readChunks(const QString& part,
                    const std::function<void(const char* data, qsizetype size)>& sink) const;
    void write(const QString& part, QByteArray data);
    void remove(const QString& part);
    QStringList parts() const;
    bool changed() const { return changed_; }

    // Writes the package to path atomically. Throws WriteFailed.
    void saveTo(const QString& path) const;

    // Where an untouched part's compressed bytes lie in the source file, read
    // from its central directory, so saving can copy them without libzip.
    struct RawEntry {
        qint64 dataOffset = -1;  // -1: not known, copy through libzip
        quint32 crc = 0;
        quint32 compressedSize = 0;
        quint32 size = 0;
        quint16 method = 0;
        quint16 flags = 0;
        quint16 time = 0;
        quint16 date = 0;
    };
    struct Entry {
        QString name;
        qint64 sourceIndex = -1;  // index in the source archive, -1 for new parts
        RawEntry raw;
        bool replaced = false;
        bool removed = false;
        QByteArray data;  // the new bytes when replaced
    };

private:
    Package() = default;
    Entry* find(const QString& part);
    const Entry* find(const QString& part) const;

    struct ZipCloser {
        void operator()(zip* z) const;
    };
    std::unique_ptr<zip, ZipCloser> source_;
    QString sourcePath_;
    bool indexFromMemory();
    QByteArray inflateRaw(const Entry& e) const;
    bool saveFast(const QString& path) const;
    static void putEntryFields(QByteArray& b, quint16 flags, const RawEntry& raw,
                               const QByteArray& name);
    void saveThroughLibzip(const QString& path) const;

    // The whole source file, kept for copying raw parts; empty when the
    // file is too large to hold or its directory is one we do not parse.
    QByteArray sourceBytes_;
    std::vector<Entry> entries_;
    std::map<QString, size_t> index_;
    bool changed_ = false;
};

// Resolves a relationship target against the folder of the part that owns
// the relationships ("xl/worksheets/sheet1.xml" + "../drawings/d1.xml" gives
// "xl/drawings/d1.xml"; "/xl/x.xml" is absolute).
QString resolvePartPath(const QString& ownerPart, const QString& target);
// The relationships part of a part ("xl/workbook.xml" ->
// "xl/_rels/workbook.xml.rels").
QString relsPartOf(const QString& part);
// The target to store in ownerPart's relationships for reaching part.
QString relativeTarget(const QString& ownerPart, const QString& part);

// Renames a finished temporary file over target. A file being replaced hands
// its permission bits (and, where the user may, its group) to the new one, so
// a workbook shared through a group keeps being shared after a save. On
// failure temp is removed and Error(WriteFailed) thrown; target is untouched.
void renameOver(const QString& temp, const QString& target);

}  // namespace excel
