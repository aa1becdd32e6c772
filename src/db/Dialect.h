#pragma once
// The Access dialect, turned into SQLite text before the engine sees it.
// A statement is cut into tokens (names in brackets, text values in double
// or single quotes, #date# literals, :named parameters, words, numbers,
// punctuation), rewritten token by token, and joined again:
//   [name] -> "name";  "text" -> 'text' (a doubled quote stays one quote);
//   True/False -> 1/0;  & -> ||;  MOD -> %;  :A, :D1, :DTEMP -> ? (bound by position);
//   #2024/01/05# -> '2024-01-05 00:00:00';
//   Access column types in CREATE TABLE / ALTER TABLE ADD COLUMN -> types
//   that keep the Access word first (for the type code) and give SQLite the
//   right affinity, plus width and range checks named after the rule.
// DATEVALUE and a LIKE that folds full-width letters are SQL functions
// registered on every connection (registerFunctions).
#include <QString>

struct sqlite3;

namespace db::detail {

struct Translation {
    enum class Kind { Other, Select, CreateView, DropView, CreateTable, AlterTable, DropTable };
    QString sql;
    Kind kind = Kind::Other;
    QString objectName;  // table or view named by a CREATE/DROP/ALTER
    QString viewBody;    // CREATE VIEW: the Access text after AS, as written
};

// Throws Error(Syntax) for an unterminated quote or bracket.
Translation translate(const QString& accessSql);

// The SQLite column type for an Access type word as DDL writes it
// ("NCHAR(50)", "COUNTER", "MEMO", ...); used by DDL translation and by the
// catalogue's column types.
QString sqliteColumnType(const QString& accessType);

void registerFunctions(sqlite3* handle);

// "[name]" for statements this layer writes in the Access dialect; throws
// Error(Syntax) for a name that holds "]", which no Access name can.
QString bracketed(const QString& name);

// Case-insensitive match of % and _ patterns; ASCII and full-width Latin
// letters fold to one case. Exposed for tests.
bool likeMatch(const QString& pattern, const QString& value, QChar escape = QChar());

}  // namespace db::detail
