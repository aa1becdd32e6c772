#include "view/Detection.h"

#include <stdexcept>

#include "platform/Services.h"
#include "view/Catalogue.h"

namespace view {

ExcelDetection detectExcel(platform::Services& services) {
    ExcelDetection result;
    result.progId = QStringLiteral("Excel.Application");
    try {
        const QString versionText = services.workbookEngineVersion();
        bool ok = false;
        const double version = versionText.trimmed().toDouble(&ok);
        if (!ok)
            throw std::runtime_error("workbook engine version is not a number: " +
                                     versionText.toStdString());
        result.version = version;
    } catch (const std::exception& e) {
        result.error = QString::fromUtf8(e.what());
        return result;
    }
    if (result.version >= 8) return result;
    for (int number = 12; number >= 8; --number) {
        const QString key = QStringLiteral("Excel.Application.%1").arg(number);
        if (services.isClassRegistered(key)) {
            result.progId = key;
            result.version = number;
            return result;
        }
    }
    result.progId.clear();
    return result;
}

AccessDetection detectAccess(platform::Services& services) {
    AccessDetection result;
    result.aceAvailable = services.isClassRegistered(QStringLiteral(".accdb"));
    if (result.aceAvailable) {
        result.providerPrefix = kAceProvider;
        result.accessFilter = QStringLiteral("Accessファイル(*.mdb,*.accdb)|*.mdb;*.accdb");
    } else {
        result.providerPrefix = kJetProvider;
        result.accessFilter = QStringLiteral("Accessファイル(*.mdb)|*.mdb");
    }
    return result;
}

QString excelFilter(bool xlsxCapable) {
    return xlsxCapable ? QStringLiteral("Excelファイル(*.xls,*.xlsx)|*.xls;*.xlsx")
                       : QStringLiteral("Excelファイル(*.xls)|*.xls");
}

}  // namespace view
