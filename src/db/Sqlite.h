#pragma once
// Thin RAII over the SQLite C API, private to the database layer: one owned
// prepared statement, the mapping of engine result codes to db::Error, and
// identifier quoting. Nothing outside src/db includes this.
#include <sqlite3.h>

#include <QByteArray>
#include <QString>

#include "db/Db.h"

namespace db::detail {

// Throws the db::Error that matches an engine result code, with the engine's
// own message as detail.
[[noreturn]] void throwEngineError(sqlite3* handle, int rc, const QString& context = {});
Error::Code codeForResult(int rc, const QString& message);

// Identifier quoted for SQLite ("a""b"); every statement this layer builds
// itself names tables and columns through this.
QString quoteIdentifier(const QString& name);

// One prepared statement; finalized on destruction.
class Statement {
public:
    Statement() = default;
    Statement(sqlite3* handle, const QString& sql);
    ~Statement();
    Statement(Statement&& other) noexcept;
    Statement& operator=(Statement&& other) noexcept;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    sqlite3_stmt* get() const { return stmt_; }
    explicit operator bool() const { return stmt_ != nullptr; }
    // Steps once: true when a row is ready, false when done; throws on error.
    bool step();
    void reset();
    int columnCount() const { return sqlite3_column_count(stmt_); }
    int parameterCount() const { return sqlite3_bind_parameter_count(stmt_); }
    QString columnText(int i) const;
    qint64 columnInt(int i) const { return sqlite3_column_int64(stmt_, i); }
    bool columnIsNull(int i) const { return sqlite3_column_type(stmt_, i) == SQLITE_NULL; }

    void bindNull(int pos);
    void bindInt(int pos, qint64 v);
    void bindDouble(int pos, double v);
    void bindText(int pos, const QString& v);
    void bindBlob(int pos, const QByteArray& v);
    // A storage value (null, qint64, double, QString, QByteArray).
    void bindStorage(int pos, const QVariant& v);

private:
    sqlite3* handle_ = nullptr;
    sqlite3_stmt* stmt_ = nullptr;
};

// A statement with more :named markers than values would run with NULL in
// their place and report success; it is refused instead.
void requireParameters(int needed, int given, const QString& statement);

// Runs one statement without parameters; returns the rows changed.
int exec(sqlite3* handle, const QString& sql);

}  // namespace db::detail
