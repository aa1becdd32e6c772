#pragma once
// Column types: how a declared type becomes a field-type code and size, how
// a stored value reads back typed, and how a written value is validated and
// turned into what the file stores (dates as ISO text, booleans 0/1,
// currency rounded to four decimals).
#include <sqlite3.h>

#include "db/Db.h"

namespace db {

struct ColumnType {
    int code = ftUnknown;
    int size = 0;  // NCHAR width for ftText, else 0
};

// From the declared type as the file keeps it ("NCHAR(50)", "MEMO TEXT",
// "COUNTER" rewritten to "INTEGER" is told apart by autoIncrement).
ColumnType columnTypeFromDeclared(const QString& declared, bool autoIncrement);

// One column of a prepared statement's result: its name, where it comes from
// (empty for an expression) and its type.
struct ResultColumn {
    QString name;
    QString originTable;
    QString originColumn;
    bool autoIncrement = false;
    ColumnType type;
};
ResultColumn describeColumn(sqlite3* handle, sqlite3_stmt* stmt, int column);

// Stored text of a date-time: "YYYY-MM-DD HH:MM:SS", with ".zzz" only when
// the milliseconds are not zero (so two rows written within one second can
// still carry distinct times).
QString storageDateTime(const QDateTime& dt);
std::optional<QDateTime> parseStorageDateTime(const QString& text);
// The same layout as ASCII into out (room for 23 bytes) for years 1-9999;
// returns its length, 0 for a date or time out of that range.
int storageDateTimeAscii(const QDate& date, const QTime& time, char* out);
// True when p holds exactly what storageDateTime writes for some valid value.
bool isStorageDateTimeAscii(const char* p, int n);

// Typed value of a result column: qint64, double, bool, QDateTime, QString,
// QByteArray, or a null QVariant.
QVariant readColumn(sqlite3_stmt* stmt, int column, int fieldType);

// What the file stores for a value written into a column of this type.
// Throws Error(TypeMismatch / OutOfRange / TooLong) with `fieldName` in the
// message when the value does not fit, as the engine would refuse it.
QVariant toStorage(const QVariant& value, const ColumnType& type, const QString& fieldName);
// The same for a value typed as text; "" is NULL except for text fields.
QVariant textToStorage(const QString& text, const ColumnType& type, const QString& fieldName);
// A storage value read back typed (inverse of toStorage).
QVariant fromStorage(const QVariant& stored, int fieldType);

// Storage value of a command parameter of the given type.
QVariant parameterToStorage(const QVariant& value, ParamType type);

}  // namespace db
