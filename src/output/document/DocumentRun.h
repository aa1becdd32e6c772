#pragma once
// One output run: the chosen records fill a document's template, one block
// of cells per record, one sheet per block grid, and every filled sheet is
// saved as a workbook (or a Web page), printed, or left open for a preview.
//
// Data flows: the records (an open data set and the positions to output)
// -> the bindings, resolved once against the record set's fields -> the
// workbook engine (TUGExcel) per sheet: copy the template, open, write each
// record's block, clear unused blocks, then save, print or keep open ->
// the print log, one row per record of a sheet that was written.
//
// A run is all or nothing per sheet: when anything fails, the open workbook
// is closed unsaved, the unfinished file and the work copy are deleted, the
// serial number goes back to where the unwritten sheet began, no log row is
// written for it, and RunFailure names the record. Sheets finished before
// stay written.
#include <QString>
#include <QStringList>
#include <functional>
#include <stdexcept>
#include <vector>

#include "documents/BindableFields.h"
#include "documents/Registry.h"

namespace db {
class DataSet;
}
namespace excel {
class TUGExcel;
}

namespace docoutput {

class PrintLog;
class OutputNames;

enum class Mode { Save, Print, Preview };

// The mode a base name stands for: "" print, "@@@@" preview, else save.
Mode modeForBase(const QString& base);
inline const QString kPreviewBase = QStringLiteral("@@@@");

// The template extensions a save run accepts, compared exactly.
bool acceptedExtension(const QString& extension);

// What a hyperlink binding makes of a field's text: the link's target, or
// "" when the text is written as plain text. Web addresses and absolute
// paths are taken as they are; a network path \\server\share\... becomes
// smb://server/share/...
QString hyperlinkTarget(const QString& text);

struct RunSettings {
    Mode mode = Mode::Save;
    QString base;       // save: the chosen path without its extension
    QString extension;  // save: the template's extension (".xls" or ".xlsx")
    bool web = false;   // save as Web pages
    QString templatePath;
    QString templateSheet;
    QString documentName;  // 登録名, written to the print log
    QString logField;      // the field the print log records; "" = no log
    QString nameField;     // the field whose value names each saved file
    documents::BlockSettings block;
    documents::FieldList eligibleFields;
    // The work copy for printing and preview (the program folder's "@Work"
    // with the template's extension).
    QString workFile;
    QString today;  // the date written by "!日付" bindings
    int copies = 1;
};

// Why a run stopped: the record (counted from 1) being written, the text
// that names it (its file-name or log value), and the technical cause.
class RunFailure : public std::runtime_error {
public:
    RunFailure(int record, QString label, QString detail);
    int record;
    QString label;
    QString detail;
};

class DocumentRun {
public:
    // bindings: in registered order; their PictureNumbers are filled for
    // the run and emptied again when it ends. records must be open.
    DocumentRun(excel::TUGExcel& excel, db::DataSet& records, documents::LinkList& bindings,
                const RunSettings& settings);
    ~DocumentRun();
    DocumentRun(const DocumentRun&) = delete;
    DocumentRun& operator=(const DocumentRun&) = delete;

    // The serial number printed for the next record that has a "!通し番号"
    // binding; advanced by the run, read back afterwards.
    int SerialNumber = 1;
    // Appends the rows of the print log; null, or no log field, logs nothing.
    PrintLog* log = nullptr;
    // Called before each record with its number (from 1) and the total.
    std::function<void(int record, int total)> progress;
    // Called with each file written in save mode (the workbook or page).
    std::function<void(const QString& path)> fileWritten;

    // Outputs the records at these positions of the data set, in this order.
    // In preview mode only the first sheet is filled and left open in excel.
    // Throws RunFailure.
    void run(const std::vector<int>& rows);

    int sheetsWritten() const { return sheets_; }

private:
    struct Binding;
    struct PendingLog {
        int serial = -1;  // -1: none printed
        QString target;
    };

    void beginSheet(int record);
    void writeBlock(int f, int e);
    void clearUnusedBlocks(int f, int e);
    void finishSheet();
    void abandonSheet();
    QString fieldText(int column) const;
    QString recordLabel() const;

    excel::TUGExcel& excel_;
    db::DataSet& records_;
    documents::LinkList& links_;
    RunSettings settings_;
    std::vector<Binding> bindings_;
    std::unique_ptr<OutputNames> names_;
    int row_ = -1;        // the current record's position
    int maxRow_ = 1;      // the lowest row written on the sheet
    int xStart_ = 0;
    int yStart_ = 0;
    QString output_;      // the file the sheet becomes
    QString workingCopy_; // the copy opened for it
    int serialAtSheet_ = 1;
    std::vector<PendingLog> pending_;
    int sheets_ = 0;
    int nameColumn_ = -1;
    int logColumn_ = -1;
};

}  // namespace docoutput
