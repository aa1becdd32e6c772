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
//   right affinity, plus width, range and type checks named after the rule,
//   and text columns that compare without regard to letter case.
// DATEVALUE, a LIKE that folds full-width letters and the text collation are
// registered on every connection (registerFunctions).
//
// With the file's schema at hand the translation also does what Access does
// with the column types: a text value written into a number or date column
// by INSERT or UPDATE is converted (or refused with TypeMismatch), and text
// columns that the file itself compares case-sensitively (files made by
// other tools) are compared through the folding collation.
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "db/Types.h"

struct sqlite3;

namespace db::detail {

// The collation every text and memo column our DDL creates carries: letters
// of ASCII, full-width Latin and Latin-1 compare without regard to case,
// everything else by code point. Files keep its name in their schema, so
// other SQLite tools need it for sorting those columns (they still read them).
inline constexpr char kTextCollation[] = "TESMORA_NOCASE";

// Names SQLite gives every row's own identity; a column of that name would
// take it over.
bool isRowIdentityName(const QString& name);

// What translation needs to know of the file it runs against. Names compare
// as SQLite compares them (ASCII letters without regard to case).
class Schema {
public:
    virtual ~Schema() = default;
    // A text column (of any table) whose declared collation does not fold
    // case; comparing it needs the collation spelled out.
    virtual bool comparesCaseSensitively(const QString& column) const = 0;
    // Declared type of a column; nullopt when the table or column is unknown.
    virtual std::optional<ColumnType> columnType(const QString& table,
                                                 const QString& column) const = 0;
    // Column names of a table in declaration order; empty when unknown.
    virtual QStringList columnNames(const QString& table) const = 0;
};

// Where one :named marker of an INSERT or UPDATE writes to.
struct ParameterTarget {
    QString column;   // "" when the marker writes no known column
    ColumnType type;  // ftUnknown when unknown
};

struct Translation {
    enum class Kind { Other, Select, CreateView, DropView, CreateTable, AlterTable, DropTable };
    QString sql;
    Kind kind = Kind::Other;
    QString objectName;  // table or view named by a CREATE/DROP/ALTER
    QString viewBody;    // CREATE VIEW: the Access text after AS, as written
    // One entry per :named marker, in order (only with a schema).
    std::vector<ParameterTarget> parameterTargets;
};

// Throws Error(Syntax) for an unterminated quote or bracket or a column
// named after the row identity; Error(TypeMismatch / OutOfRange / TooLong)
// for a value written into a column that cannot hold it.
Translation translate(const QString& accessSql, const Schema* schema = nullptr);

// A saved query's Access text with the * and ? of every LIKE pattern written
// as % and _ (LIKE in any letter case, the pattern in either quote); the
// rest of the text is kept as written.
QString convertLikeWildcards(const QString& accessSql);

// What a bound parameter of `type` stores when it is written into a column
// of `target`: converted as the column's type requires (text into numbers
// and dates), or refused with the data set's errors.
QVariant parameterForTarget(const QVariant& value, ParamType type, const ParameterTarget& target);

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

// The text collation's order: negative, 0 or positive. Exposed for tests.
int compareText(const QString& a, const QString& b);

}  // namespace db::detail
