#pragma once
// The database layer: what the program needs of an Access-style engine, built
// over SQLite. Statements arrive in the Access dialect (names in [brackets],
// text values in double quotes, DATEVALUE("..."), LIKE with % and _, True and
// False, Access DDL types); translateSql() turns them into SQLite before they
// run. Data flows: Connection (one database file, password-gated) ->
// DataSet (the rows of one SELECT, read a window at a time, never all held)
// -> Field (name, type code, size, modifiable, value). Command runs
// parameterised statements; Table appends rows to one table; Catalog answers
// what tables, views, keys and engine type a file has. Every failure is a
// db::Error carrying a code and the engine's detail; this layer never shows
// a window and never writes user-facing prose.
#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

#include "db/FieldType.h"

struct sqlite3;

namespace db {

namespace detail {
class FileSchema;
}

// ADOX column type codes accepted by Catalog::addColumn / addTable.
enum AdoxType : int {
    adSmallInt = 2,
    adInteger = 3,
    adDouble = 5,
    adCurrency = 6,
    adBoolean = 11,
    adUnsignedTinyInt = 17,
    adGUID = 72,
    adDate = 7,
    adWChar = 130,
    adVarWChar = 202,
    adLongVarWChar = 203,
};

class Error : public std::runtime_error {
public:
    enum class Code {
        NotADatabase,   // the file is missing, empty or not a database
        WrongPassword,  // password missing or not the database's
        Locked,         // the file is locked or read-only and a write was needed
        Syntax,         // the statement could not be parsed or translated
        Engine,         // any other refusal of the engine (unknown table, ...)
        Constraint,     // duplicate key, required value missing
        TypeMismatch,   // a value that the field's type cannot hold
        OutOfRange,     // a number outside the field type's range
        TooLong,        // a text longer than the field's NCHAR width
        ReadOnly,       // writing a field or data set that cannot be modified
        State,          // an operation that the data set's state does not allow
    };
    Error(Code code, const QString& message);
    Code code() const { return code_; }
    QString message() const { return message_; }

private:
    Code code_;
    QString message_;
};

// "Provider=...;Data Source=...;Persist Security Info=False;Jet OLEDB:Database Password=..."
struct ConnectionString {
    QString provider;                 // "Microsoft.Jet.OLEDB.4.0" or "Microsoft.ACE.OLEDB.12.0"
    QString dataSource;               // database file path
    std::optional<QString> password;  // present when the string names one (may be "")
    bool persistSecurityInfo = false;
    bool readOnly = false;  // "Mode=Read"

    static ConnectionString parse(const QString& text);  // throws Error(Syntax)
};

// A value (a typed password, a path) as a connection string item writes it:
// as it is, unless it holds a ";" or starts with a quote; then in quotes, so
// that it reads back exactly and can never end its item early or add items.
QString connectionStringValue(const QString& value);

// Translates one Access-dialect statement into SQLite. Exposed for tests and
// for tesmora-sql; Connection and DataSet call it themselves.
QString translateSql(const QString& accessSql);

// A saved query's text with the * and ? wildcards of its LIKE patterns
// written as % and _ (LIKE in any letter case, the pattern in either quote);
// everything else stays as written.
QString convertLikeWildcards(const QString& accessSql);

// Writes a finished file's data out to the disk (fsync); false when that
// fails. A scratch file (Connection::useAsScratchFile) goes through this,
// once its connection is closed, before it is given its name.
bool syncFile(const QString& path);

// Creates an empty database file (no tables, no password). Throws
// Error(Engine) when the file exists already or cannot be written. Only the
// program-folder generator and tesmora-sql create files; Connection never does.
void createDatabase(const QString& path);

// Password gate stored inside a database file (a salted hash, never the
// password; the file itself is not encrypted). An empty password clears it.
void setDatabasePassword(const QString& path, const QString& currentPassword,
                         const QString& newPassword);

// Marks the file's format as Catalog::engineType() reports it (5 for the
// current format, 4 and below for older ones whose data the program must
// not change). Used to prepare files; the program itself only reads it.
void setEngineType(const QString& path, const QString& password, int engineType);

class DataSet;

class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    void setConnectionString(const QString& text);
    QString connectionString() const;
    void setLoginPrompt(bool on) { loginPrompt_ = on; }  // kept for parity; never prompts
    bool loginPrompt() const { return loginPrompt_; }

    // Opens the file named by the connection string. Throws Error:
    // NotADatabase, WrongPassword, Locked. The file is never created.
    void open();
    void close();
    bool connected() const;
    // True when the file could only be opened for reading (its write
    // permission is off); writes then fail with Error(Locked).
    bool readOnly() const;
    QString path() const;

    // Runs one Access-dialect statement that returns no rows; returns the
    // number of rows changed.
    int execute(const QString& accessSql);

    // Names of the user tables and saved queries (types "TABLE" and "VIEW"),
    // in catalogue order.
    QStringList tableNames() const;

    // The underlying handle; valid while connected.
    sqlite3* handle() const;

    // For a file being built that is thrown away unless the whole job
    // succeeds: the journal stays in memory and nothing is synced, so bulk
    // writes are not held up by the disk. Whoever finishes such a file syncs
    // it before giving it its name.
    void useAsScratchFile();

    // Begin/commit/rollback; used by Transaction.
    void begin();
    void commit();
    void rollback();

private:
    // Open data sets hold statements on the handle; closing the connection
    // closes them first.
    friend class DataSet;
    friend class Command;
    friend class RowReader;
    friend class RowWriter;
    void attach(DataSet* ds);
    void detach(DataSet* ds);
    // The file's schema as translation needs it, read again when it changed.
    const detail::FileSchema& schema() const;

    QString connectionString_;
    bool loginPrompt_ = false;
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Scoped transaction: rolls back unless commit() was called.
class Transaction {
public:
    explicit Transaction(Connection& c);
    ~Transaction();
    void commit();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

private:
    Connection& connection_;
    bool done_ = false;
};

enum class ParamType { Integer, Boolean, Text, DateTime, Float };

class DataSet;

// One column of a data set's current record.
class Field {
public:
    QString name() const;
    int dataType() const;    // FieldType code
    int size() const;        // NCHAR width for ftText, else 0
    bool canModify() const;  // false for views, auto-numbers, computed columns
    int index() const;

    bool isNull() const;
    QVariant value() const;    // typed: qint64, double, bool, QDateTime, QString
    QString asString() const;  // as the grid shows it (see valueText)
    // Write into the current record's edit buffer; the data set must be in
    // edit or insert state. Validated as the type requires; throws Error.
    void setValue(const QVariant& v);
    void setAsString(const QString& text);
    void clear();  // NULL

private:
    friend class DataSet;
    Field(DataSet* ds, int index) : ds_(ds), index_(index) {}
    DataSet* ds_;
    int index_;
};

// Display text of a stored value: dates as the locale's short date (time
// added when not midnight), booleans "True"/"False", numbers as typed, NULL
// as "".
QString valueText(const QVariant& v, int fieldType);

// The rows of one SELECT. Only a window of rows is held; values are fetched
// by position on demand, so a table of a million rows opens with its exact
// count and first rows quickly. Rows of a single-table select keep their
// rowid so that edits, deletes and bookmarks find them again.
class DataSet : public QObject {
    Q_OBJECT
public:
    enum class State { Inactive, Browse, Edit, Insert };
    using Bookmark = qint64;  // the row's rowid

    explicit DataSet(Connection& connection, QObject* parent = nullptr);
    ~DataSet() override;

    void setCommandText(const QString& accessSql);
    QString commandText() const;
    // Values for the statement's named parameters (":A", ...), bound by
    // position in the order added; kept across open/close.
    void clearParameters();
    void addParameter(const QVariant& value, ParamType type);
    void open();   // throws Error; stays closed on failure
    void close();  // discards a pending edit
    bool active() const;
    State state() const;

    // Navigation over the current record.
    void first();
    void next();
    void prior();
    void last();
    bool eof() const;  // past the last row (or no rows)
    bool bof() const;
    int recordCount() const;  // exact
    int recNo() const;        // 0-based position of the current record, -1 when none
    void moveTo(int row);

    int fieldCount() const;
    Field field(int index);
    Field fieldByName(const QString& name);               // throws Error(Engine) when absent
    std::optional<Field> findField(const QString& name);  // names compared ignoring case

    // Random access for views that paint rows without moving the current
    // record. The current record in edit/insert state shows its edit buffer.
    QVariant valueAt(int row, int column) const;
    QString textAt(int row, int column) const;

    void edit();    // current record into edit state
    void append();  // new empty record at the end, insert state
    void post();    // runs beforePost, then writes; throws Error and stays in edit state on failure
    void cancel();
    void remove();  // deletes the current record

    bool canModify() const;  // single-table select with row identity
    Bookmark bookmark() const;
    bool gotoBookmark(Bookmark b);  // false when the row is no longer in the result

    // Run before every post, whoever posts.
    std::function<void(DataSet&)> beforePost;

signals:
    void opened();
    void closed();
    void rowChanged(int row);   // values of one row changed (post, cancel, edit buffer)
    void rowInserted(int row);  // append added a row
    void rowRemoved(int row);
    void currentChanged(int row);
    void stateChanged();

private:
    friend class Field;
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// A statement with named parameters (":A", ":B", ":D1", ":DTEMP"), bound by
// position in the order they were added.
class Command {
public:
    explicit Command(Connection& connection);
    ~Command();
    void setCommandText(const QString& accessSql);
    void clearParameters();
    void addParameter(const QVariant& value, ParamType type);
    int execute();  // rows changed
    // Runs a select and calls row() for each result row; values typed.
    void query(const std::function<void(const std::vector<QVariant>& row)>& row);
    // Names and type codes of the columns of the last query().
    QStringList columnNames() const;
    std::vector<int> columnTypes() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The rows of one SELECT read straight from the engine, for copying into a
// RowWriter without turning every value into a QVariant and back.
class RowReader {
public:
    RowReader(Connection& connection, const QString& accessSelect);  // throws Error
    ~RowReader();
    RowReader(const RowReader&) = delete;
    RowReader& operator=(const RowReader&) = delete;
    int columnCount() const;
    int columnType(int column) const;  // FieldType code of the result column
    bool next();                       // false when no row is left; throws Error
    QVariant value(int column) const;  // typed, as Command::query hands it out

private:
    friend class RowWriter;
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Appends many rows to one table: the bulk path of database creation and
// data import. Values are passed in the form the file stores them, without
// the statement translation and per-value conversions a Command repeats for
// every row. The checks stay: a value the column cannot hold throws the
// Error a Command would (TypeMismatch, OutOfRange, TooLong), a value of
// another kind than the column's is converted exactly as a Command
// parameter of that kind would be, and the table's own constraints apply.
class RowWriter {
public:
    enum class Mode {
        // Each write() inserts its row at once, so an error belongs to it.
        RowByRow,
        // Rows are written many per statement on a second thread while the
        // caller prepares the next ones; an error surfaces at a later write()
        // or at finish(), without telling which row. Use it inside a
        // transaction that is rolled back on any error.
        Batched,
        // Batched, into a table this program has just created with its own
        // column types: the writer holds every value to the rules those
        // columns declare (accepting only values of the column's own kind)
        // and the engine does not evaluate them a second time.
        BatchedIntoNewTable,
    };
    // Columns by name, in the order values are given; throws Error(Engine)
    // for an unknown table or column.
    RowWriter(Connection& connection, const QString& table, const QStringList& columns,
              Mode mode = Mode::RowByRow);
    // Rows not yet written by finish() are dropped.
    ~RowWriter();
    RowWriter(const RowWriter&) = delete;
    RowWriter& operator=(const RowWriter&) = delete;

    int columnType(int column) const;  // FieldType code
    void setNull(int column);
    void setBoolean(int column, bool value);
    void setInteger(int column, qint64 value);
    void setDouble(int column, double value);
    void setDateTime(int column, const QDate& date, const QTime& time);
    void setText(int column, QStringView text);
    // Any value, converted as a Command parameter of `type` would be.
    void setValue(int column, const QVariant& value, ParamType type);
    // The current row's value of a reader's column, kept as stored when the
    // column holds it in its own form, converted as a Command would otherwise.
    void copy(int column, const RowReader& reader, int readerColumn);
    // Ends the row; every column not set since the last write is NULL.
    void write();
    // Writes every row still held (Batched); throws the first error.
    void finish();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Appends rows to one table, field by field.
class Table {
public:
    Table(Connection& connection, const QString& name);
    ~Table();
    void open();
    void append();
    Field fieldByName(const QString& name);
    void post();
    void close();

private:
    std::unique_ptr<DataSet> ds_;
    QString name_;
};

struct CatalogEntry {
    QString name;
    QString type;  // "TABLE", "VIEW", "SYSTEM TABLE"
};

// Catalogue of one database file, reached through its own connection string
// (as a catalogue object is). Each call opens and closes the file.
class Catalog {
public:
    explicit Catalog(const QString& connectionString);
    std::vector<CatalogEntry> tables() const;
    // Saved query text as it was written (Access dialect); for a view made
    // by another tool, "SELECT * FROM [name]". nullopt when no view has that
    // name.
    std::optional<QString> viewCommandText(const QString& name) const;
    QStringList viewNames() const;
    QStringList primaryKeyColumns(const QString& table) const;
    // New table with one column; ADOX type codes (adGUID = 72, ...).
    void addTable(const QString& table, const QString& column, int adoxType, int size = 0);
    void addColumn(const QString& table, const QString& column, int adoxType, int size = 0);
    // "Jet OLEDB:Engine Type": 5 for our files.
    int engineType() const;

private:
    QString connectionString_;
};

}  // namespace db
