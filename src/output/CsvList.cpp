#include "output/CsvList.h"

#include <QFileInfo>
#include <QSaveFile>
#include <memory>

#include "db/Db.h"
#include "text/Cp932Stream.h"

namespace output {

namespace {

// Bytes gathered before they go to the file.
constexpr qsizetype kFlushBytes = 1 << 18;

bool needsQuotes(const QString& value) {
    for (QChar c : value) {
        const char16_t u = c.unicode();
        if (u == u',' || u == u'"' || u == u'\n' || u == u'\r') return true;
    }
    return false;
}

void appendField(QString& line, const QString& value) {
    if (!needsQuotes(value)) {
        line += value;
        return;
    }
    line += QLatin1Char('"');
    for (QChar c : value) {
        if (c == QLatin1Char('"')) line += QLatin1Char('"');
        line += c;
    }
    line += QLatin1Char('"');
}

// Turns lines into the file's bytes; for CP932 reports which field of the
// line holds a character it cannot encode.
class LineEncoder {
public:
    explicit LineEncoder(CsvEncoding encoding) : encoding_(encoding) {
        if (encoding_ == CsvEncoding::Cp932) cp932_ = std::make_unique<text::Cp932Stream>();
    }

    // fields: the line's values, to name the failing one.
    void append(const QString& line, const QStringList& fields, int record,
                const std::vector<ListColumn>& columns, QByteArray& out) {
        if (!cp932_) {
            out += line.toUtf8();
            return;
        }
        if (!cp932_->append(line, out)) return;
        QByteArray scratch;
        for (qsizetype i = 0; i < fields.size(); ++i) {
            const auto failed = cp932_->append(fields[i], scratch);
            if (!failed) continue;
            const QString& text = fields[i];
            char32_t ch = text.at(*failed).unicode();
            if (text.at(*failed).isHighSurrogate() && *failed + 1 < text.size())
                ch = QChar::surrogateToUcs4(text.at(*failed), text.at(*failed + 1));
            ListError e(ListError::Code::Unencodable,
                        QStringLiteral("record %1, field %2: character U+%3 has no Shift-JIS form")
                            .arg(record)
                            .arg(columns[size_t(i)].name)
                            .arg(uint(ch), 4, 16, QLatin1Char('0')));
            e.record = record;
            e.field = columns[size_t(i)].name;
            e.character = ch;
            throw e;
        }
    }

private:
    CsvEncoding encoding_;
    std::unique_ptr<text::Cp932Stream> cp932_;
};

}  // namespace

QString csvFileName(const QString& chosen) {
    const QFileInfo info(chosen);
    const QString name = info.fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString base = dot > 0 ? chosen.left(chosen.size() - (name.size() - dot)) : chosen;
    return base + QStringLiteral(".csv");
}

QString csvField(const QString& value) {
    QString out;
    appendField(out, value);
    return out;
}

int writeCsvList(const QString& path, const ListRecords& records,
                 const std::vector<ListColumn>& columns, CsvEncoding encoding,
                 const ProgressFn& progress) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw ListError(ListError::Code::CannotCreate,
                        QStringLiteral("cannot create %1: %2").arg(path, file.errorString()));
    auto flush = [&](QByteArray& bytes) {
        if (file.write(bytes) != bytes.size())
            throw ListError(ListError::Code::WriteFailed,
                            QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
        bytes.clear();
    };

    LineEncoder encoder(encoding);
    QByteArray bytes;
    bytes.reserve(kFlushBytes + 4096);
    if (encoding == CsvEncoding::Utf8WithBom) bytes += "\xEF\xBB\xBF";
    const QLatin1String lineEnd("\r\n");

    QString line;
    QStringList fields;
    auto emitLine = [&](int record) {
        line.clear();
        for (qsizetype i = 0; i < fields.size(); ++i) {
            if (i > 0) line += QLatin1Char(',');
            appendField(line, fields[i]);
        }
        line += lineEnd;
        encoder.append(line, fields, record, columns, bytes);
        if (bytes.size() >= kFlushBytes) flush(bytes);
    };

    for (const ListColumn& c : columns) fields << c.name;
    emitLine(0);

    Progress percent(progress, records.total);
    int written = 0;
    forEachRecord(records, [&](int k, const std::vector<QVariant>& values) {
        fields.clear();
        for (const ListColumn& c : columns) fields << valueText(values[size_t(c.field)], c);
        emitLine(k);
        written = k;
        percent.done(k);
    });
    flush(bytes);
    if (!file.commit())
        throw ListError(ListError::Code::WriteFailed,
                        QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
    return written;
}

}  // namespace output
