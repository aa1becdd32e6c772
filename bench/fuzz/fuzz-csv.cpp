// Feeds arbitrary bytes to the CSV reader: encoding detection and field
// splitting. Only excel::Error may come out.
#include <cstdint>

#include "excel/Csv.h"
#include "excel/Error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        const excel::CsvTable t =
            excel::parseCsvBytes(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
        for (const auto& row : t.rows)
            for (const QString& field : row) (void)excel::csvField(field);
    } catch (const excel::Error&) {
    }
    return 0;
}
