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
// The workbook as a package. A conversion takes seconds, so its result is
// kept for the rest of the process and handed out again for a file of the
// same content (an output run opens its template once per sheet); a changed
// file is converted anew.
std::shared_ptr<const ConvertedFile> convertXlsToXlsx(const QString& xlsPath);
// How many conversions from .xls have run in this process.
int xlsConversionCount();
// Writes the package as .xls to path (atomically).
void saveXlsFromPackage(const Package& package, const QString& path);

}  // namespace excel
