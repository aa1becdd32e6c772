#pragma once
// The list as a CSV file: a header line with the chosen fields' names, then
// one line per record, fields joined by "," and every line ended by CR LF.
// A value is written as its text, unchanged, except that a value holding a
// comma, a double quote or a line break is quoted (doubled quotes inside),
// so that every record reads back as one line of the same fields.
#include <QString>
#include <vector>

#include "output/ListOutput.h"

namespace output {

enum class CsvEncoding {
    Cp932,        // what the program writes: Shift-JIS, no byte-order mark
    Utf8WithBom,  // for tools that expect UTF-8 and recognise it by its mark
};

// The chosen file name with the extension ".csv", replacing any other.
QString csvFileName(const QString& chosen);

// One CSV field: the text itself, or quoted when it holds a comma, a double
// quote, CR or LF.
QString csvField(const QString& value);

// Writes the list to path, replacing a file of that name only once the whole
// file is written (a failure leaves the old file, or none, in place). Returns
// the number of records written. Throws ListError: CannotCreate,
// Unencodable (before the target is touched), WriteFailed.
int writeCsvList(const QString& path, const ListRecords& records,
                 const std::vector<ListColumn>& columns, CsvEncoding encoding = CsvEncoding::Cp932,
                 const ProgressFn& progress = {});

}  // namespace output
