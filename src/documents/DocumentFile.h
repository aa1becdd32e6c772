#pragma once
// Document files (".tmdt"): document definitions carried to another machine
// or kept aside. Text in CP932 with CR LF line ends; per document a marker
// line "@@@@", a record line of seventeen values separated by "/", and one
// line per binding ("cell/field", split at the first "/").
//
// Paths hold "/" on this system, so record values are escaped: "%" is
// written "%25", "/" "%2F", CR "%0D" and LF "%0A", and exactly these four are
// decoded on reading. Files written by the Windows version (backslash paths,
// no escapes) read as before. Binding lines are written as they are.
//
// Writing builds the whole file in memory first, so a value that cannot be
// written is reported before anything reaches the disk; the file then
// replaces its old self in one rename. Reading checks a document's record
// line and bindings whole before the document is registered, and registers
// each document in one store transaction: it is imported whole or not at all.
#include <QByteArray>
#include <QString>
#include <stdexcept>
#include <vector>

#include "documents/Registry.h"

class QIODevice;

namespace documents {

inline const QString kDocumentFileExtension = QStringLiteral(".tmdt");
inline const QString kDocumentFileFilter = QStringLiteral("Tesmora文書(*.tmdt)|*.tmdt");
inline const QString kDocumentMarker = QStringLiteral("@@@@");

// Why a document could not be written into a file.
class ExportError : public std::runtime_error {
public:
    enum class Kind {
        NoDocument,    // no document has that ID
        Unencodable,   // a value holds a character CP932 cannot hold
        LineBreak,     // a binding holds a line break, which its line cannot carry
        CannotCreate,  // the file could not be written
    };
    ExportError(Kind kind, const QString& documentName, const QString& detail);
    Kind kind() const { return kind_; }
    QString documentName() const { return documentName_; }

private:
    Kind kind_;
    QString documentName_;
};

// The record value as written: trimmed of blanks and control characters at
// both ends, then escaped.
QString encodeRecordValue(const QString& value);
// Undoes the four escapes, and nothing else.
QString decodeRecordValue(const QString& value);
// The record line of a document (without its line end).
QString recordLine(const DocumentRecord& document);

// Appends the block of document id (marker, record line, bindings, each with
// CR LF) to file. Throws ExportError before writing anything of the block
// when the document is missing or cannot be written.
void ExportDocument(QIODevice& file, Registry& registry, int id);
// Writes the blocks of ids, in order, into path (its old content replaced
// only when the whole file is written). Throws ExportError.
void ExportDocuments(Registry& registry, const std::vector<int>& ids, const QString& path);

// The next line of file without its end (CR LF, LF or a lone CR), of any
// length; empty at the end of the file.
QByteArray ReadFileLine(QIODevice& file);
// Writes text's bytes unchanged.
void WriteFileText(QIODevice& file, const QByteArray& text);

struct ImportOptions {
    bool aceAvailable = true;  // ".accdb" databases can be opened here
    bool xlsxCapable = true;   // ".xlsx" templates can be opened here
};

struct ImportResult {
    enum class Stop {
        None,              // the whole file was read
        NotADocumentFile,  // no "@@@@" first, or text in no known encoding
        DatabaseVersion,   // a document of an ".accdb" database, which this machine cannot open
        ExcelVersion,      // a document of an ".xlsx" template, which this machine cannot open
        BadRecord,         // a record or binding line that is not as written by an export
    };
    Stop stop = Stop::None;
    int line = 0;          // 1-based line where it stopped
    QString detail;        // what was wrong there, for the technical reader
    std::vector<int> ids;  // documents registered, in file order

    // 1 when the whole file was read, 0 when it stopped.
    int complete() const { return stop == Stop::None ? 1 : 0; }
};

// Registers every document of file. Stops at the first document that cannot
// be imported; the documents before it stay registered. A store error is
// thrown (db::Error) after the failing document was rolled back.
ImportResult ImportDocuments(QIODevice& file, Registry& registry, const ImportOptions& options);

// path with its extension (the part from the last "." of the file name)
// replaced by extension, or extension appended when there is none.
QString changeFileExt(const QString& path, const QString& extension);

}  // namespace documents
