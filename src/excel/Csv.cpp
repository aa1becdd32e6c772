#include "excel/Csv.h"

#include <QFile>
#include <QSaveFile>

#include "excel/Error.h"
#include "excel/Workbook.h"
#include "excel/WorkbookImpl.h"
#include "excel/XmlScanner.h"

namespace excel {

namespace {

// The splitter over UTF-16 text or UTF-8 bytes alike: every character that
// structures CSV is ASCII. Char is char16_t or char.
template <class Char, class Field>
void splitFields(const Char* d, qsizetype n, Field&& field) {
    if (n == 0) return;
    auto isBreak = [](Char c) { return c == Char('\r') || c == Char('\n'); };
    std::basic_string<Char> scratch;
    int row = 1, col = 1;
    qsizetype i = 0;
    for (;;) {
        const Char* value = nullptr;
        qsizetype length = 0;
        if (i < n && d[i] == Char('"')) {
            // Quoted: a doubled quote stands for one; text after the closing
            // quote is kept, as spreadsheets do with "ab"c (giving abc).
            ++i;
            qsizetype start = i;
            bool joined = false;
            scratch.clear();
            for (;;) {
                qsizetype q = start;
                while (q < n && d[q] != Char('"')) ++q;
                if (q >= n) {  // never closed: the rest of the text is the field
                    i = n;
                    if (joined)
                        scratch.append(d + start, size_t(n - start));
                    else
                        value = d + start, length = n - start;
                    break;
                }
                if (q + 1 < n && d[q + 1] == Char('"')) {
                    scratch.append(d + start, size_t(q + 1 - start));
                    joined = true;
                    start = q + 2;
                    continue;
                }
                i = q + 1;
                if (joined)
                    scratch.append(d + start, size_t(q - start));
                else
                    value = d + start, length = q - start;
                break;
            }
            qsizetype tail = i;
            while (tail < n && d[tail] != Char(',') && !isBreak(d[tail])) ++tail;
            if (tail > i) {
                if (!joined) scratch.assign(value, size_t(length));
                scratch.append(d + i, size_t(tail - i));
                joined = true;
                i = tail;
            }
            if (joined) value = scratch.data(), length = qsizetype(scratch.size());
        } else {
            const qsizetype start = i;
            while (i < n && d[i] != Char(',') && !isBreak(d[i])) ++i;
            value = d + start;
            length = i - start;
        }
        field(row, col, value, length);
        if (i >= n) return;
        if (d[i] == Char(',')) {
            ++col;
            ++i;
            continue;
        }
        if (d[i] == Char('\r') && i + 1 < n && d[i + 1] == Char('\n')) ++i;
        ++i;
        if (i >= n) return;
        ++row;
        col = 1;
    }
}

}  // namespace

void splitCsv(QStringView text, const std::function<void(int, int, QStringView)>& field) {
    splitFields(reinterpret_cast<const char16_t*>(text.utf16()), text.size(),
                [&](int row, int col, const char16_t* value, qsizetype length) {
                    field(row, col, QStringView(value, length));
                });
}

std::vector<std::vector<QString>> parseCsv(const QString& text) {
    std::vector<std::vector<QString>> rows;
    splitCsv(text, [&](int row, int, QStringView value) {
        if (size_t(row) > rows.size()) rows.emplace_back();
        rows.back().push_back(value.toString());
    });
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

namespace {

// A CSV file's bytes: mapped where the system allows, read otherwise.
class CsvBytes {
public:
    explicit CsvBytes(const QString& path) : file_(path) {
        if (!file_.open(QIODevice::ReadOnly))
            throw Error(ErrorCode::FileNotFound, QStringLiteral("cannot read %1").arg(path));
        if (file_.size() > maxCsvBytes)
            throw Error(ErrorCode::TooLarge,
                        QStringLiteral("%1 is larger than %2 bytes").arg(path).arg(maxCsvBytes));
        if (file_.size() > 0)
            if (uchar* p = file_.map(0, file_.size()))
                view_ = QByteArray::fromRawData(reinterpret_cast<const char*>(p), file_.size());
        if (view_.isNull()) {
            copy_ = file_.readAll();
            view_ = copy_;
        }
    }
    const QByteArray& bytes() const { return view_; }

private:
    QFile file_;
    QByteArray copy_;
    QByteArray view_;
};

std::optional<QString> decode(const QByteArray& bytes, text::Encoding encoding) {
    switch (encoding) {
        case text::Encoding::Utf8:
            return QString::fromUtf8(bytes);
        case text::Encoding::Utf8Bom:
            return QString::fromUtf8(QByteArrayView(bytes).sliced(3));
        case text::Encoding::Cp932:
            return text::tryFromCp932(bytes);
    }
    return std::nullopt;
}

// Puts one field into the sheet as a user types it.
void storeField(WorkbookImpl& impl, CellStore& cells, int r, int c, QStringView value) {
    if (r > 1048576)
        throw Error(ErrorCode::TooLarge, QStringLiteral("the CSV has more than 1048576 rows"));
    const bool fresh = cells.rows().empty() || cells.rows().back().row != r;
    StoredRow& row = cells.ensureRow(r);
    // Rows of a list are alike: room for as many cells as the last.
    if (fresh && cells.rows().size() > 1)
        row.cells.reserve(cells.rows()[cells.rows().size() - 2].cells.size());
    storeTypedText(impl, cells, cells.ensure(row, c, 0), value);
}

}  // namespace

// Fills a fresh sheet from a CSV file, every field typed in as a user types
// it. A UTF-8 file is split as bytes and each field decoded straight into the
// sheet's store: neither the file's text nor any field is copied on the way.
text::Encoding fillFromCsv(WorkbookImpl& impl, SheetData& sheet, const QString& path) {
    const CsvBytes file(path);
    const auto encoding = text::detectEncoding(file.bytes());
    if (!encoding)
        throw Error(ErrorCode::UnknownEncoding,
                    QStringLiteral("%1: the CSV text is neither UTF-8 nor CP932").arg(path));
    CellStore& cells = sheet.cells;
    if (*encoding == text::Encoding::Cp932) {
        const std::optional<QString> text = decode(file.bytes(), *encoding);
        if (!text)
            throw Error(ErrorCode::UnknownEncoding,
                        QStringLiteral("%1: the CSV text is neither UTF-8 nor CP932").arg(path));
        cells.texts.reserve(0, std::size_t(text->size()));
        splitFields(reinterpret_cast<const char16_t*>(text->utf16()), text->size(),
                    [&](int r, int c, const char16_t* value, qsizetype length) {
                        if (length == 0 || c > 16384) return;
                        storeField(impl, cells, r, c, QStringView(value, length));
                    });
        return *encoding;
    }
    const qsizetype skip = *encoding == text::Encoding::Utf8Bom ? 3 : 0;
    cells.texts.reserve(0, std::size_t(file.bytes().size()));
    std::vector<char16_t> field;
    splitFields(file.bytes().constData() + skip, file.bytes().size() - skip,
                [&](int r, int c, const char* value, qsizetype length) {
                    if (length == 0 || c > 16384) return;
                    field.clear();
                    xml::appendUtf8(field, std::string_view(value, size_t(length)));
                    storeField(impl, cells, r, c,
                               QStringView(field.data(), qsizetype(field.size())));
                });
    return *encoding;
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
