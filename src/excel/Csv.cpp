#include "excel/Csv.h"

#include <QFile>
#include <QSaveFile>

#include "excel/Error.h"
#include "excel/Workbook.h"

namespace excel {

std::vector<std::vector<QString>> parseCsv(const QString& text) {
    std::vector<std::vector<QString>> rows;
    std::vector<QString> row;
    QString field;
    bool quoted = false, fieldStarted = false, afterQuote = false;
    auto endField = [&] {
        row.push_back(field);
        field.clear();
        fieldStarted = afterQuote = false;
    };
    auto endRow = [&] {
        endField();
        rows.push_back(std::move(row));
        row.clear();
    };
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < n && text[i + 1] == QLatin1Char('"')) {
                    field += c;
                    ++i;
                } else {
                    quoted = false;
                    afterQuote = true;
                }
            } else {
                field += c;
            }
            continue;
        }
        if (c == QLatin1Char('"') && !fieldStarted) {
            quoted = fieldStarted = true;
        } else if (c == QLatin1Char(',')) {
            endField();
        } else if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            if (c == QLatin1Char('\r') && i + 1 < n && text[i + 1] == QLatin1Char('\n')) ++i;
            endRow();
        } else {
            // Text after a closing quote is kept, as spreadsheets do with
            // "ab"c (giving abc).
            (void)afterQuote;
            field += c;
            fieldStarted = true;
        }
    }
    if (fieldStarted || !field.isEmpty() || !row.empty()) endRow();
    return rows;
}

CsvTable parseCsvBytes(const QByteArray& bytes) {
    const auto encoding = text::detectEncoding(bytes);
    const auto decoded = text::decodeDetected(bytes);
    if (!encoding || !decoded)
        throw Error(ErrorCode::UnknownEncoding,
                    QStringLiteral("the CSV text is neither UTF-8 nor CP932"));
    CsvTable t;
    t.encoding = *encoding;
    t.rows = parseCsv(*decoded);
    return t;
}

CsvTable readCsvFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw Error(ErrorCode::FileNotFound, QStringLiteral("cannot read %1").arg(path));
    if (f.size() > maxCsvBytes)
        throw Error(ErrorCode::TooLarge,
                    QStringLiteral("%1 is larger than %2 bytes").arg(path).arg(maxCsvBytes));
    try {
        return parseCsvBytes(f.readAll());
    } catch (const Error& e) {
        throw Error(e.code(), QStringLiteral("%1: %2").arg(path, QString::fromUtf8(e.what())));
    }
}

QString csvField(const QString& value) {
    if (!value.contains(QLatin1Char(',')) && !value.contains(QLatin1Char('"')) &&
        !value.contains(QLatin1Char('\n')) && !value.contains(QLatin1Char('\r')))
        return value;
    QString quoted = value;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

void writeCsvFile(const QString& path, Worksheet& sheet, text::Encoding encoding) {
    const RangeRef used = sheet.usedRange();
    QString out;
    for (int r = 1; r <= used.last.row; ++r) {
        for (int c = 1; c <= used.last.col; ++c) {
            if (c > 1) out += QLatin1Char(',');
            out += csvField(sheet.valueText(r, c));
        }
        out += QLatin1String("\r\n");
    }
    QByteArray bytes;
    if (encoding == text::Encoding::Cp932) {
        try {
            bytes = text::toCp932(out);
        } catch (const text::EncodingError& e) {
            throw Error(ErrorCode::WriteFailed,
                        QStringLiteral("%1: %2").arg(path, QString::fromUtf8(e.what())));
        }
    } else {
        if (encoding == text::Encoding::Utf8Bom) bytes = "\xEF\xBB\xBF";
        bytes += out.toUtf8();
    }
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit())
        throw Error(ErrorCode::WriteFailed, QStringLiteral("cannot write %1").arg(path));
}

}  // namespace excel
