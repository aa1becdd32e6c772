#pragma once
// Old binary workbooks (.xls) are read and written through LibreOffice run
// headless with a profile folder of its own, so that a LibreOffice the user
// has open is never disturbed. Where LibreOffice is not installed these
// functions throw Error(ConverterMissing) naming what is missing.
#include <QString>
#include <QTemporaryDir>
#include <memory>

namespace excel {

class Package;

// A converted workbook in a private temporary folder, removed with it.
class ConvertedFile {
public:
    explicit ConvertedFile(QString path, std::unique_ptr<QTemporaryDir> dir)
        : path_(std::move(path)), dir_(std::move(dir)) {}
    QString path() const { return path_; }

private:
    QString path_;
    std::unique_ptr<QTemporaryDir> dir_;
};

// The LibreOffice program, "" when none is installed.
QString findOfficeConverter();
std::unique_ptr<ConvertedFile> convertXlsToXlsx(const QString& xlsPath);
// Writes the package as .xls to path (atomically).
void saveXlsFromPackage(const Package& package, const QString& path);

}  // namespace excel
