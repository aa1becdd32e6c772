#pragma once
// CSV files as one-sheet workbooks. Reading detects UTF-8 (with or without a
// BOM) or CP932 and splits fields the way a spreadsheet reads them: quoted
// fields may hold commas, doubled quotes and line breaks. Writing quotes a
// field only when it needs it (RFC 4180).
#include <QByteArray>
#include <QString>
#include <functional>
#include <vector>

#include "text/Cp932.h"

namespace excel {

class Worksheet;

struct CsvTable {
    std::vector<std::vector<QString>> rows;
    text::Encoding encoding = text::Encoding::Utf8;
};

// Largest CSV file read into a workbook.
constexpr qint64 maxCsvBytes = 256LL * 1024 * 1024;

// Calls field(row, column, text) for every field of decoded CSV text, row by
// row (both 1-based; an empty line is a row of one empty field). The text is
// a view into the input, or into a scratch buffer for a field whose quotes
// had to be undone; it is valid during the call only.
void splitCsv(QStringView text, const std::function<void(int, int, QStringView)>& field);
// Splits decoded CSV text into rows of fields.
std::vector<std::vector<QString>> parseCsv(const QString& text);
// Decodes and splits; throws Error(UnknownEncoding) for bytes that are
// neither UTF-8 nor CP932.
CsvTable parseCsvBytes(const QByteArray& bytes);
// Writes the sheet's cells as CSV text in the given encoding, atomically.
void writeCsvFile(const QString& path, Worksheet& sheet, text::Encoding encoding);
QString csvField(const QString& value);

}  // namespace excel
