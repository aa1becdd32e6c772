#pragma once
// The database builder: turns a user's list (one sheet or CSV file whose
// header row names the fields) or a stack of filled-in forms (one workbook
// per record) into a new database, adds tables and fields to an open
// database, and appends the records of another database's table.
//
// Data flows: a source is read into a list of FieldDefinition rows (header
// cells become text fields of 50; the user changes name, type and width);
// the rows are checked by the same name rules the windows and tesmora-build
// use; creation copies the template database into a temporary file beside
// the target, adds one bracketed column per row, inserts every record inside
// one transaction and renames the file to the target only when all of it
// worked. Names from users' files are untrusted: every statement brackets
// them. A refusal the user must read is a builder::Refusal carrying the
// message and its caption; engine and file-format failures arrive as
// db::Error or excel::Error.
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <optional>
#include <stdexcept>
#include <vector>

namespace excel {
class Worksheet;
}
namespace db {
class Connection;
class RowWriter;
}

namespace builder {

// The six types a user chooses from, in the order the type choice shows them.
enum BuilderFieldType : int {
    btLogical = 0,
    btInteger = 1,
    btReal = 2,
    btText = 3,
    btDate = 4,
    btMemo = 5,
};

inline constexpr int kDefaultWidth = 50;
inline constexpr int kMaxWidth = 255;
inline constexpr int kMaxFields = 254;
// Creation refuses a total of text widths of this or more.
inline constexpr int kCreateTextLimit = 2000;
// The right-most column a list header may reach (IU); IV and beyond are refused.
inline constexpr int kMaxHeaderColumn = 255;
inline const QString kBaseTable = QStringLiteral("ベーステーブル");
inline const QString kKeyColumn = QStringLiteral("SYS_Q_ID");

QString typeCaption(int code);                         // "論理" ... "メモ"; "" when out of range
std::optional<int> typeFromCaption(const QString& s);  // inverse of typeCaption
QString columnTypeText(int code, int width);           // " BIT", " NCHAR(50)", ...
QString typeLabel(int code, int width);                // "文字50", "整数"

struct FieldDefinition {
    QString CellAddress;  // A1 address without "$"
    QString FieldName;
    QString TypeLabel;
    int TypeCode = btText;
    int Width = kDefaultWidth;  // 0 for every type but text

    static FieldDefinition text(const QString& address, const QString& name);
    void setType(int code, int width);  // keeps TypeLabel and Width consistent
};

// Sum of the widths of the text fields (memo fields do not count).
int totalTextWidth(const std::vector<FieldDefinition>& fields);

// A message for the user with its caption (an OK-only message box).
class Refusal : public std::runtime_error {
public:
    Refusal(const QString& message, const QString& caption);
    QString message() const { return message_; }
    QString caption() const { return caption_; }

private:
    QString message_;
    QString caption_;
};

// ---- names ---------------------------------------------------------------

const QStringList& reservedNames();  // upper case
// The 25 half-width symbols a name may not hold, in the order they are checked.
const QString& forbiddenSymbols();

enum class NameKind { Field, Table };
// The first rule a name breaks, as its message ("" when it is fine): empty,
// reserved (also the engine's row-identity names for fields and its own or
// our bookkeeping tables' names for tables), a forbidden symbol or a control
// character, or the same name (in any letter case) among `others`.
QString nameProblem(const QString& name, NameKind kind, const QStringList& others);
// The field list's names except row `exclude` (-1: none).
QStringList otherNames(const std::vector<FieldDefinition>& fields, int exclude);

// ---- list and per-file sources -------------------------------------------

// Reads the field names of a list source from the header cell `address`
// rightwards up to the first empty cell or column IU. Throws Refusal with
// `caption` for a bad address, an empty first cell or a merged cell after
// the first.
std::vector<FieldDefinition> readHeaderFields(const excel::Worksheet& sheet,
                                              const QString& address,
                                              const QString& caption = QStringLiteral("開くの中止"));

// The parameter value of one cell's text for a field: a null QVariant for a
// yes/no, integer, real or date text that does not convert.
QVariant convertCellText(const QString& text, int typeCode, int width);
// Binds the value convertCellText gives as column `column` of a row being
// written (the bulk path of creation, without a QVariant per cell).
void putCellText(db::RowWriter& row, int column, QStringView text, int typeCode, int width);
// The longest start of text whose CP932 form fits in maxBytes; a character
// that would be cut in half is left out whole.
QString truncateToCp932Bytes(const QString& text, int maxBytes);

// ---- creation ------------------------------------------------------------

struct CreateRequest {
    QString templatePath;  // DBTemplate.mdb
    QString targetPath;    // ends in ".mdb"
    std::vector<FieldDefinition> fields;
    // Called with 0..100 while records are written.
    std::function<void(int)> progress;
};

// Checks the list before anything is written: empty list, text total,
// every name (the failing row is reported through failedRow when given).
// Throws Refusal with the caption "作成の中止".
void checkFieldList(const std::vector<FieldDefinition>& fields, int* failedRow = nullptr);

// "NAME" -> "NAME.mdb"; "x.csv" -> "x.mdb".
QString targetPathFor(const QString& chosen);

// Creates the database from the rows below the header of a list source.
// Returns the number of records written. Throws Refusal ("同名ファイルがあります",
// "データベースが作成できません"), db::Error or excel::Error; on any failure
// nothing is left at the target and no temporary file remains.
int createFromList(const CreateRequest& request, const excel::Worksheet& sheet);

// One record per file, read from each field's cell on the sheet named
// `sheetName`. A file without that sheet adds no record; missingSheet is
// called with its path. Returns the number of records written.
int createPerFile(const CreateRequest& request, const QStringList& files,
                  const QString& sheetName,
                  const std::function<void(const QString&)>& missingSheet);

// The warning for a per-file source file without the sheet.
QString missingSheetMessage(const QString& path);

// ---- tables and fields of an open database -------------------------------

struct TableShape {
    QStringList fields;
    int fieldCount = 0;
    int textWidth = 0;  // sizes of the text fields
};
TableShape tableShape(db::Connection& connection, const QString& table);

// Adds a table holding one GUID column SYS_Q_ID. `existing` is the table
// list (compared without regard to case). Throws Refusal ("テーブル追加の中止").
void addTable(db::Connection& connection, const QString& name, const QStringList& existing);

// Adds a field to `table`. Throws Refusal ("フィールド追加の中止").
void addField(db::Connection& connection, const QString& table, const TableShape& shape,
              const QString& name, int typeCode, int width);

// ---- data import ---------------------------------------------------------

struct FieldInfo {
    QString name;
    int type = 0;  // db::FieldType code
};

struct ImportPlan {
    std::vector<FieldInfo> importable;  // source order
    QStringList refused;                // "S:name", "N:name", "T:name"
};

// Sorts the source fields into importable and refused ones.
ImportPlan classifyFields(const std::vector<FieldInfo>& source,
                          const std::vector<FieldInfo>& destination);
std::vector<FieldInfo> fieldsOf(db::Connection& connection, const QString& table);

// True when both paths name the same file (canonical paths), or the same
// text when either file is missing.
bool sameDatabase(const QString& a, const QString& b);

// Appends every record of sourceTable to destinationTable in one
// transaction; NULL stays NULL. A refused record rolls back everything and
// throws Refusal naming the record (1-based). Returns the number of records.
int importRecords(db::Connection& source, const QString& sourceTable,
                  db::Connection& destination, const QString& destinationTable,
                  const ImportPlan& plan);

// Connection string of a database file for the builder's own connections.
QString connectionStringFor(const QString& path, const QString& password = {});

}  // namespace builder
