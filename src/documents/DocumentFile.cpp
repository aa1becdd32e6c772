#include "documents/DocumentFile.h"

#include <QBuffer>
#include <QFileInfo>
#include <QIODevice>
#include <QSaveFile>
#include <limits>
#include <optional>

#include "db/Db.h"
#include "text/Cp932.h"
#include "text/Trim.h"

namespace documents {

namespace {

const QByteArray kLineEnd("\r\n");
constexpr int kRecordValues = 17;
constexpr int kBindingFieldLength = 500;

// A line break inside a value would end its line early.
bool holdsLineBreak(const QString& s) {
    return s.contains(QLatin1Char('\r')) || s.contains(QLatin1Char('\n'));
}

QByteArray encodeLine(const QString& line, const QString& documentName) {
    const std::optional<QByteArray> bytes = text::tryToCp932(line);
    if (!bytes)
        throw ExportError(ExportError::Kind::Unencodable, documentName,
                          QStringLiteral("a value of \"%1\" holds a character CP932 cannot hold")
                              .arg(documentName));
    return *bytes + kLineEnd;
}

// The seventeen values of a record line, decoded; nullopt when the line has
// fewer than sixteen separators. The last value is the rest of the line.
std::optional<QStringList> splitRecordLine(const QString& line) {
    QStringList values;
    qsizetype from = 0;
    for (int k = 1; k < kRecordValues; ++k) {
        const qsizetype slash = line.indexOf(QLatin1Char('/'), from);
        if (slash < 0) return std::nullopt;
        values << decodeRecordValue(line.mid(from, slash - from));
        from = slash + 1;
    }
    values << decodeRecordValue(line.mid(from));
    return values;
}

// A decimal integer within [low, high], blanks around it allowed.
std::optional<int> decimalIn(const QString& value, qint64 low, qint64 high) {
    const QString t = value.trimmed();
    if (t.isEmpty() || t.size() > 11) return std::nullopt;
    for (qsizetype i = 0; i < t.size(); ++i) {
        const QChar c = t[i];
        if (c.isDigit() && c.unicode() < 128) continue;
        if (i == 0 && c == QLatin1Char('-') && t.size() > 1) continue;
        return std::nullopt;
    }
    bool ok = false;
    const qint64 n = t.toLongLong(&ok, 10);
    if (!ok || n < low || n > high) return std::nullopt;
    return int(n);
}

QString extensionOf(const QString& path) {
    // Backslash paths of files written on Windows count as paths too.
    QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    name = name.mid(name.lastIndexOf(QLatin1Char('\\')) + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot);
}

// The lines of a document file, decoded, with their 1-based numbers.
struct FileLines {
    std::vector<QString> lines;
    bool decoded = false;
};

FileLines readAllLines(QIODevice& file) {
    std::vector<QByteArray> raw;
    QByteArray all;
    while (!file.atEnd()) {
        raw.push_back(ReadFileLine(file));
        all += raw.back();
        all += '\n';
    }
    FileLines out;
    const std::optional<text::Encoding> encoding = text::detectEncoding(all);
    if (!encoding) return out;
    out.decoded = true;
    for (size_t i = 0; i < raw.size(); ++i) {
        QByteArray bytes = raw[i];
        if (i == 0 && *encoding == text::Encoding::Utf8Bom) bytes = bytes.mid(3);
        out.lines.push_back(*encoding == text::Encoding::Cp932 ? text::fromCp932(bytes)
                                                               : QString::fromUtf8(bytes));
    }
    return out;
}

// One document as read from the file, before it is registered.
struct ImportedDocument {
    DocumentRecord record;
    LinkList bindings;
};

}  // namespace

ExportError::ExportError(Kind kind, const QString& documentName, const QString& detail)
    : std::runtime_error(detail.toStdString()), kind_(kind), documentName_(documentName) {}

QString encodeRecordValue(const QString& value) {
    const QString trimmed = text::trimBlanksAndControls(value);
    QString out;
    out.reserve(trimmed.size());
    for (const QChar c : trimmed) {
        switch (c.unicode()) {
            case '%':
                out += QLatin1String("%25");
                break;
            case '/':
                out += QLatin1String("%2F");
                break;
            case '\r':
                out += QLatin1String("%0D");
                break;
            case '\n':
                out += QLatin1String("%0A");
                break;
            default:
                out += c;
        }
    }
    return out;
}

QString decodeRecordValue(const QString& value) {
    if (!value.contains(QLatin1Char('%'))) return value;
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] == QLatin1Char('%') && i + 2 < value.size()) {
            const QStringView code = QStringView(value).mid(i + 1, 2);
            QChar decoded;
            if (code == QLatin1String("25"))
                decoded = QLatin1Char('%');
            else if (code == QLatin1String("2F"))
                decoded = QLatin1Char('/');
            else if (code == QLatin1String("0D"))
                decoded = QLatin1Char('\r');
            else if (code == QLatin1String("0A"))
                decoded = QLatin1Char('\n');
            if (!decoded.isNull()) {
                out += decoded;
                i += 2;
                continue;
            }
        }
        out += value[i];
    }
    return out;
}

QString recordLine(const DocumentRecord& d) {
    const BlockSettings& b = d.block;
    const QStringList values = {
        d.name,
        d.databasePath,
        d.table,
        d.templatePath,
        d.sheet,
        d.card ? QStringLiteral("True") : QStringLiteral("False"),
        QString::number(d.serialNumber),
        d.outputLogField,
        QString::number(b.XSection),
        QString::number(b.YSection),
        QString::number(b.XIncrement),
        QString::number(b.YIncrement),
        QString::number(b.XStart),
        QString::number(b.YStart),
        b.Sort1,
        b.Sort2,
        b.Sort3,
    };
    QStringList encoded;
    for (const QString& v : values) encoded << encodeRecordValue(v);
    return encoded.join(QLatin1Char('/'));
}

void ExportDocument(QIODevice& file, Registry& registry, int id) {
    const std::optional<DocumentRecord> d = registry.ReadDocument(id);
    if (!d)
        throw ExportError(ExportError::Kind::NoDocument, QString(),
                          QStringLiteral("there is no document %1").arg(id));
    LinkList links;
    registry.ReadBindings(id, links);

    QByteArray block = encodeLine(kDocumentMarker, d->name);
    block += encodeLine(recordLine(*d), d->name);
    for (const FLinkData& link : links) {
        const QString cell = text::trimBlanksAndControls(link.Cell);
        const QString field = text::trimBlanksAndControls(link.BoundField);
        if (holdsLineBreak(cell) || holdsLineBreak(field))
            throw ExportError(
                ExportError::Kind::LineBreak, d->name,
                QStringLiteral("a binding of \"%1\" holds a line break").arg(d->name));
        block += encodeLine(cell + QLatin1Char('/') + field, d->name);
    }
    WriteFileText(file, block);
}

void ExportDocuments(Registry& registry, const std::vector<int>& ids, const QString& path) {
    QByteArray content;
    {
        QBuffer buffer(&content);
        buffer.open(QIODevice::WriteOnly);
        StoreSession job(registry.store());
        for (int id : ids) ExportDocument(buffer, registry, id);
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.commit())
        throw ExportError(ExportError::Kind::CannotCreate, QString(),
                          QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
}

QByteArray ReadFileLine(QIODevice& file) {
    QByteArray line;
    for (;;) {
        // Small peeks: a line is usually short, and each peek copies what it sees.
        const QByteArray chunk = file.peek(512);
        if (chunk.isEmpty()) return line;
        qsizetype end = -1;
        for (qsizetype i = 0; i < chunk.size(); ++i)
            if (chunk[i] == '\r' || chunk[i] == '\n') {
                end = i;
                break;
            }
        if (end < 0) {
            line += file.read(chunk.size());
            continue;
        }
        line += file.read(end);
        char c = 0;
        file.getChar(&c);
        char next = 0;
        if (c == '\r' && file.peek(&next, 1) == 1 && next == '\n') file.getChar(&next);
        return line;
    }
}

void WriteFileText(QIODevice& file, const QByteArray& text) {
    if (file.write(text) != text.size())
        throw ExportError(ExportError::Kind::CannotCreate, QString(),
                          QStringLiteral("cannot write: %1").arg(file.errorString()));
}

ImportResult ImportDocuments(QIODevice& file, Registry& registry, const ImportOptions& options) {
    ImportResult result;
    const FileLines read = readAllLines(file);
    const std::vector<QString>& lines = read.lines;
    auto stop = [&](ImportResult::Stop why, size_t index, const QString& detail) {
        result.stop = why;
        result.line = int(index) + 1;
        result.detail = detail;
        return result;
    };
    if (!read.decoded || lines.empty() || lines[0] != kDocumentMarker)
        return stop(ImportResult::Stop::NotADocumentFile, 0,
                    QStringLiteral("the file does not start with a document marker"));

    StoreSession job(registry.store());
    // i is the line after a marker: the record line of the next document.
    for (size_t i = 1; i <= lines.size();) {
        const size_t recordIndex = i;
        const std::optional<QStringList> v =
            splitRecordLine(i < lines.size() ? lines[i] : QString());
        if (!v)
            return stop(ImportResult::Stop::BadRecord, recordIndex,
                        QStringLiteral("the record line does not hold 17 values"));
        if (!options.aceAvailable && extensionOf((*v)[1]) == QLatin1String(".accdb"))
            return stop(ImportResult::Stop::DatabaseVersion, recordIndex,
                        QStringLiteral("the database is an .accdb file"));
        if (!options.xlsxCapable && extensionOf((*v)[3]) == QLatin1String(".xlsx"))
            return stop(ImportResult::Stop::ExcelVersion, recordIndex,
                        QStringLiteral("the template is an .xlsx file"));

        ImportedDocument d;
        DocumentRecord& r = d.record;
        r.name = (*v)[0];
        r.databasePath = (*v)[1];
        r.table = (*v)[2];
        r.templatePath = (*v)[3];
        r.sheet = (*v)[4];
        r.outputLogField = (*v)[7];
        struct Number {
            int position;
            const char* name;
            qint64 low;
            qint64 high;
            int* target;
        };
        const Number numbers[] = {
            {7, "serial number", 1, std::numeric_limits<qint32>::max(), &r.serialNumber},
            {9, "XSection", 1, limits::kMaxXSection, &r.block.XSection},
            {10, "YSection", 1, limits::kMaxYSection, &r.block.YSection},
            {11, "XIncrement", 1, limits::kMaxIncrement, &r.block.XIncrement},
            {12, "YIncrement", 1, limits::kMaxIncrement, &r.block.YIncrement},
            {13, "XStart", 0, limits::kMaxXStart, &r.block.XStart},
            {14, "YStart", 0, limits::kMaxYStart, &r.block.YStart},
        };
        for (const Number& n : numbers) {
            const std::optional<int> value = decimalIn((*v)[n.position - 1], n.low, n.high);
            if (!value)
                return stop(ImportResult::Stop::BadRecord, recordIndex,
                            QStringLiteral("value %1 (%2) is not a decimal integer from %3 to %4")
                                .arg(n.position)
                                .arg(QLatin1String(n.name))
                                .arg(n.low)
                                .arg(n.high));
            *n.target = *value;
        }
        r.block.Sort1 = (*v)[14];
        r.block.Sort2 = (*v)[15];
        r.block.Sort3 = (*v)[16];

        // Bindings up to the next marker or the end; blank lines carry nothing.
        for (++i; i < lines.size() && lines[i] != kDocumentMarker; ++i) {
            const QString& line = lines[i];
            if (line.isEmpty()) continue;
            const qsizetype slash = line.indexOf(QLatin1Char('/'));
            if (slash < 0)
                return stop(ImportResult::Stop::BadRecord, i,
                            QStringLiteral("the binding line holds no \"/\""));
            d.bindings.push_back(
                {line.left(slash), line.mid(slash + 1, kBindingFieldLength), std::nullopt});
        }
        const bool another = i < lines.size();
        ++i;  // past the next marker

        db::Transaction transaction(registry.store());
        const int id = registry.InsertDocument(r.name, r.databasePath, r.table, r.templatePath,
                                               r.sheet, r.outputLogField);
        registry.WriteBlockSettings(id, r.block);
        registry.SetSerialNumber(id, r.serialNumber);
        registry.InsertBindings(id, d.bindings);
        transaction.commit();
        result.ids.push_back(id);
        if (!another) break;
    }
    return result;
}

QString changeFileExt(const QString& path, const QString& extension) {
    const qsizetype nameStart = path.lastIndexOf(QLatin1Char('/')) + 1;
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    if (dot < nameStart) return path + extension;
    return path.left(dot) + extension;
}

}  // namespace documents
