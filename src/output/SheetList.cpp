#include "output/SheetList.h"

#include "db/Db.h"
#include "excel/TUGExcel.h"

namespace output {

namespace {

void saveChecked(excel::TUGExcel& excel) {
    if (!excel.Book)
        throw excel::Error(excel::ErrorCode::NoWorkbook, QStringLiteral("no workbook is open"));
    // Saving is what the user waits for; a save that fails must say so
    // instead of the book being closed as if all went well.
    excel.Book->save();
    if (excel.Book->modified())
        throw ListError(
            ListError::Code::WriteFailed,
            QStringLiteral("%1 still has unsaved changes after saving").arg(excel.FileName));
}

}  // namespace

int writeListToActiveSheet(excel::TUGExcel& excel, const ListRecords& records,
                           const std::vector<ListColumn>& columns, const ProgressFn& progress) {
    excel.SelectSheet(excel.SheetName());
    excel.SetCell(QStringLiteral("A1:") + excel.UsedRangeEnd(2) + excel.UsedRangeEnd(3), QString());

    QString cell = QStringLiteral("A1");
    for (const ListColumn& c : columns) {
        excel.SetCell(cell, c.name);
        cell = excel.NeighbourCell(cell, 2);
    }

    Progress percent(progress, records.total);
    int written = 0;
    forEachRecord(records, [&](int k, const std::vector<QVariant>& values) {
        QString at = QStringLiteral("A") + QString::number(k + 1);
        for (const ListColumn& c : columns) {
            excel.SetCell(at, valueText(values[size_t(c.field)], c));
            at = excel.NeighbourCell(at, 2);
        }
        percent.done(k);
        written = k;
    });
    saveChecked(excel);
    return written;
}

int writeListToWorkbook(const QString& path, const QString& sheet, const QString& progId,
                        const ListRecords& records, const std::vector<ListColumn>& columns,
                        const ProgressFn& progress) {
    excel::TUGExcel excel(progId);
    excel.OpenBook(path, false);
    // Whatever fails from here on, the book is closed without saving.
    struct CloseUnsaved {
        excel::TUGExcel& e;
        ~CloseUnsaved() { e.CloseBook(false); }
    } close{excel};
    if (!excel.SelectSheet(sheet))
        throw ListError(ListError::Code::NoSheet,
                        QStringLiteral("%1 has no worksheet named \"%2\"").arg(path, sheet));
    return writeListToActiveSheet(excel, records, columns, progress);
}

}  // namespace output
