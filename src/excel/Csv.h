#pragma once
// CSV files as one-sheet workbooks. Reading detects UTF-8 (with or without a
// BOM) or CP932 and splits fields the way a spreadsheet reads them: quoted
// fields may hold commas, doubled quotes and line breaks. Writing quotes a
// field only when it needs it (RFC 4180).
#include <QByteArray>
#include <QString>
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

// Splits decoded CSV text into rows of fields.
std::vector<std::vector<QString>> parseCsv(const QString& text);
// Decodes and splits; throws Error(UnknownEncoding) for bytes that are
// neither UTF-8 nor CP932.
CsvTable parseCsvBytes(const QByteArray& bytes);
CsvTable readCsvFile(const QString& path);
// Writes the sheet's cells as CSV text in the given encoding, atomically.
void writeCsvFile(const QString& path, Worksheet& sheet, text::Encoding encoding);
QString csvField(const QString& value);

}  // namespace excel
