#pragma once
// Saved queries as an Access file keeps them: not as SQL text but as rows of
// MSysQueries (one row per table, column, join, condition, ordering, ...).
// A select query is rebuilt from those rows into our SQL dialect; other kinds
// (action, crosstab, union, pass-through, data definition) are only named, so
// the report can list them with what text they have.
#include <QString>
#include <QStringList>
#include <vector>

namespace accessfile::detail {

// One MSysQueries row.
struct QueryRow {
    int attribute = 0;
    int flag = 0;
    QString expression;
    QString name1;
    QString name2;
};

struct QueryDefinition {
    enum class Kind {
        Select,
        MakeTable,
        Append,
        Update,
        Delete,
        Crosstab,
        DataDefinition,
        PassThrough,
        Union,
        Unknown
    };
    Kind kind = Kind::Unknown;
    QString sql;      // the select in our dialect; for other kinds any text they carry
    QString problem;  // why a select cannot become a saved query ("" when it can)
};

// Rebuilds one query from its rows (in the order the file stores them).
// kindFromCatalogue is used when the rows do not name the kind themselves.
QueryDefinition buildQuery(const std::vector<QueryRow>& rows, int catalogueFlags);

// English name of a kind, for reports ("update", "crosstab", ...).
QString kindName(QueryDefinition::Kind kind);

// Access functions that our engine knows under another name are renamed:
// UCase, LCase, Len, Mid, Nz (two arguments), Date(), Year, Month, Day.
// Text in quotes, brackets and #dates# is left alone.
QString engineFunctions(const QString& expression);

}  // namespace accessfile::detail
