// Feeds arbitrary bytes to the workbook reader as an .xlsx file and reads
// everything a painter would. Any outcome but excel::Error or success (a
// crash, a leak, an overflow) is a finding.
#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <cstdint>

#include "excel/Workbook.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const QString path =
        QDir::temp().filePath(QStringLiteral("tesmora-fuzz-%1.xlsx").arg(getpid()));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 0;
        f.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    try {
        auto book = excel::Workbook::open(path);
        for (int i = 0; i < book->sheetCount(); ++i) {
            excel::Worksheet& ws = book->sheet(i);
            ws.forEachCell([&](const excel::CellRef& ref, const excel::CellValue&) {
                (void)ws.displayText(ref.row, ref.col);
                (void)ws.valueText(ref.row, ref.col);
                (void)ws.style(ref.row, ref.col);
            });
            (void)ws.usedRange();
            (void)ws.columnWidth(1);
            (void)ws.rowHeight(1);
            for (const excel::Picture& p : ws.pictures()) (void)ws.imageBytes(p);
            (void)ws.hyperlinks();
            (void)ws.pageSetup();
            ws.setCellText(1, 1, QStringLiteral("2024/01/02"));
        }
    } catch (const excel::Error&) {
    }
    return 0;
}
