#pragma once
// What start-up learns about the machine once and keeps for the whole run:
// which spreadsheet automation name and version to use, whether ".accdb"
// files can be opened, and the file-dialog filters that follow from both.
#include <QString>
#include <optional>

namespace platform {
class Services;
}

namespace view {

struct ExcelDetection {
    QString progId;      // "" when no usable engine exists
    double version = 0;  // 0 until known
    // Set when asking the engine failed; progId then stays the plain name and
    // version 0, and the caller reports the error.
    std::optional<QString> error;
};

// Asks the engine for its version; below 8 the versioned automation names 12
// down to 8 are looked up instead and the first registered one wins.
ExcelDetection detectExcel(platform::Services& services);

struct AccessDetection {
    bool aceAvailable = false;
    QString providerPrefix;  // begins every user-database connection string
    QString accessFilter;    // the open dialogs' database filter
};
AccessDetection detectAccess(platform::Services& services);

// Workbook filter of the open and save dialogs; ".xlsx" from version 12 on.
QString excelFilter(bool xlsxCapable);
inline const QString kCsvFilterPart = QStringLiteral("|CSVファイル(*.csv)|*.csv");

}  // namespace view
