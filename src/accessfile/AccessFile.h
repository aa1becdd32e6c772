#pragma once
// Genuine Access files (Jet 3, Jet 4 ".mdb", ACE ".accdb") made on Windows:
// recognised by their header, never by their name, and carried over into a
// new database of ours. The original is only ever read.
//
// Data flows: the file is read through libmdb (mdbtools) page by page; each
// value is decoded from its stored bytes (dates from their 8-byte day count,
// currency from its scaled 64-bit integer, text from UTF-16 or the file's
// code page) and written through the database layer into a temporary file
// beside the target. Only when every table and query has been handled is the
// temporary file renamed to the target, and a report of what was carried
// over and what was not is written beside it.
//
// Entry points for every place that opens a database:
//   isGenuineAccessFile(path)        - the header check (cheap; reads 32 bytes)
//   convert(source, target, options) - the conversion; returns the Report or
//                                      throws accessfile::Error
//   proposedTargetPath(source)       - "<name>_tesmora<ext>" beside the source
// Windows use the interactive flow in accessfile/window/ConversionFlow.h,
// which asks, chooses the target, converts and shows the report.
#include <QString>
#include <QStringList>
#include <stdexcept>
#include <vector>

namespace accessfile {

enum class Format { NotAccess, Jet3, Jet4, Ace };

// What the header says: "Standard Jet DB" or "Standard ACE DB" at byte 4 and
// the version byte at 0x14. A missing or unreadable file is NotAccess.
Format detectFormat(const QString& path);
bool isGenuineAccessFile(const QString& path);
// "Jet 3", "Jet 4", "ACE"; "" for NotAccess.
QString formatName(Format format);

// "<folder>/<name>_tesmora<ext>" for "<folder>/<name><ext>".
QString proposedTargetPath(const QString& sourcePath);
// Where the report of a conversion into target is written.
QString reportPathFor(const QString& targetPath);

class Error : public std::runtime_error {
public:
    enum class Code {
        NotAccess,      // the file is not a genuine Access database
        Unreadable,     // the file cannot be opened or read at all
        Encrypted,      // pages are encrypted (a password-protected ACE file)
        Damaged,        // structures or rows that cannot be read as they claim
        Unsupported,    // a format version this reader does not know
        TargetInvalid,  // target is the source itself, exists, or has no folder
        WriteFailed,    // the new database could not be written
    };
    Error(Code code, const QString& detail);
    Code code() const { return code_; }
    // Technical detail (table, row, offset, engine message); English.
    QString detail() const { return detail_; }

private:
    Code code_;
    QString detail_;
};

// One line of the report. Carried entries name what arrived; the others name
// what stayed behind and why, so nothing is dropped silently.
struct ReportEntry {
    enum class Kind {
        TableCarried,      // object: table; count: rows
        QueryCarried,      // object: query; sql: its text as saved now
        ColumnNotCarried,  // object: "table.column"; reason: ole, complex, unknown-type; count:
                           // values
        QueryNotCarried,   // object: query; reason: its kind or why it did not translate
        TableNotCarried,   // object: table; reason: linked, reserved-name, no-columns
        ObjectNotCarried,  // object: name; reason: form, report, macro, module, relationship
        ValuesNotKept,     // object: "table.column"; reason: date-out-of-range, not-a-number
        ValuesRounded,     // object: "table.column"; reason: currency-digits, decimal-digits
        KeyChanged,        // object: "table.column"; reason: autonumber-not-key, key-not-unique,
                           // guid-autonumber
    };
    Kind kind;
    QString object;
    QString reason;  // a fixed code, listed beside each kind
    QString detail;  // technical detail: an engine message, a link's target, a column type
    qint64 count = 0;
    QString sql;  // a query's text where one was read
};

struct Report {
    QString source;
    QString target;
    QString reportFile;  // written beside target; "" when writing it failed
    Format format = Format::NotAccess;
    std::vector<ReportEntry> entries;

    int tablesCarried() const;
    qint64 rowsCarried() const;
    int queriesCarried() const;
    // Entries of every kind except the two "carried" kinds.
    int notCarried() const;
};

struct Options {
    // An existing target is replaced only when the user agreed to it (a save
    // dialog's overwrite question); otherwise it is refused.
    bool replaceExisting = false;
    // Whether to write the report file beside the target.
    bool writeReportFile = true;
    // The file is read in a child process; one that shows no progress for
    // this long is stopped and the file taken for damaged (a damaged file can
    // send the reading library round in circles).
    int stallSeconds = 60;
};

// Converts source into a new database at target. Throws Error; on failure
// nothing is left at target (an earlier file there stays as it was) and no
// temporary file remains.
Report convert(const QString& source, const QString& target, const Options& options = {});

// The report as people read it (Japanese), shown after a conversion and
// written beside the new file.
QString reportText(const Report& report);
// The report as CSV with a header line (for the command line).
QString reportCsv(const Report& report);

}  // namespace accessfile
