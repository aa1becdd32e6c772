#pragma once
// What becomes of each column of an Access table in our database: its
// declared type in our dialect, or why it stays behind.
#include <QString>

#include "accessfile/AccessFile.h"
#include "accessfile/MdbReader.h"

namespace accessfile::detail {

struct ColumnPlan {
    bool carried = false;
    QString type;        // our dialect's column type ("NCHAR(50)", "COUNTER", ...)
    QString notCarried;  // report reason when not carried: ole, complex, unknown-type
    bool counter = false;
};

// asCounter: the auto-number column becomes the table's COUNTER key (it is
// the key, or the table has none); otherwise it stays a plain INTEGER.
ColumnPlan planColumn(const Column& column, Format format, bool asCounter);

}  // namespace accessfile::detail
