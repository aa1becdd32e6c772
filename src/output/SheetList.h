#pragma once
// The list in a sheet of an existing workbook: the sheet is cleared from A1
// to the end of its used range, the chosen fields' names go into row 1 and
// record k into row k + 1, one value per cell from column A rightwards, each
// written as a user would type its text.
#include <QString>
#include <vector>

#include "output/ListOutput.h"

namespace excel {
class TUGExcel;
}

namespace output {

// Writes the list into the active sheet of the workbook open in excel, then
// saves the workbook and checks that the save went through. Returns the
// number of records written. Throws on any
// failure (excel::Error from the engine, ListError); the caller then closes
// the workbook without saving, so the file keeps what it held before.
int writeListToActiveSheet(excel::TUGExcel& excel, const ListRecords& records,
                           const std::vector<ListColumn>& columns, const ProgressFn& progress = {});

// The same for the worksheet named sheet of the workbook at path, opened and
// closed here without showing it. Throws ListError(NoSheet) when the workbook
// has no such worksheet; the file is untouched on every failure.
int writeListToWorkbook(const QString& path, const QString& sheet, const QString& progId,
                        const ListRecords& records, const std::vector<ListColumn>& columns,
                        const ProgressFn& progress = {});

}  // namespace output
