#pragma once
// Sorting and filtering are done by the database: every choice made in the
// field-settings dialog ends up in the SQL text of the grid's data set. This
// file holds those text rules, written in the Access dialect that db::
// translates: names in [brackets], text values in double quotes, dates
// through DATEVALUE("...").
#include <QString>
#include <QStringList>

#include <optional>

#include "view/FieldDescriptor.h"

namespace view {

// Filter conditions as stored in TFieldDescriptor::FilterCondition.
enum FilterCondition : int {
    fcNone = 0,
    fcLess = 1,
    fcLessOrEqual = 2,
    fcEqual = 3,
    fcGreaterOrEqual = 4,
    fcGreater = 5,
    fcNotEqual = 6,
    fcInRange = 7,
    fcOutOfRange = 8,
    fcContains = 9,
};

inline bool isRangeCondition(int c) { return c == fcInRange || c == fcOutOfRange; }

// The condition list's texts for a field type, in code order (index = code;
// for booleans index 1 stands for "equals").
QStringList conditionTexts(int fieldType);
// The dialog's type label ("文字型", ...); "" for types without one.
QString typeLabel(int fieldType);
// Whether a click on the column title opens the field-settings dialog.
bool opensFieldSettings(int fieldType);
// Whether the dialog offers the column's distinct values as suggestions.
bool offersSuggestions(int fieldType);

// "SELECT * FROM [name]": the unfiltered view of a table.
QString tableSelectSql(const QString& table);

// A value inside double quotes, a double quote in it written twice so that
// it stays part of the value.
QString quotedSqlText(const QString& value);

// The WHERE text of every descriptor's filter joined by " AND "; "" when no
// column is filtered.
QString filterConditionSql(const FieldDescriptorList& descriptors);

// What the grid shows: the table or saved query, narrowed by every filter
// and ordered by orderByClause (or, for a saved query without a sort of our
// own, by the query's own ORDER BY).
struct ShownObject {
    QString name;      // table or saved-query name
    bool isQuery = false;
    QString querySql;  // the saved query's SQL; "" for a table
};
QString buildFilteredSql(const FieldDescriptorList& descriptors, const ShownObject& shown,
                         const QString& orderByClause);

// sql with its own ORDER BY (the statement's, never one inside a value, a
// name or a subquery) replaced by orderBy (" ORDER BY ..."); sql unchanged
// when orderBy is empty.
QString reorderedSql(const QString& sql, const QString& orderBy);

enum class SortDirection { None, Ascending, Descending };

// The sort clause after the user's choice for one field: a primary sort
// replaces the clause, a secondary one appends to it, no direction keeps it.
QString applySortChoice(const QString& orderByClause, const QString& field,
                        SortDirection direction, bool secondary);

// How a title click gathers suggestions for the dialog.
struct SuggestionPlan {
    bool openDialog = true;      // false: the click is ignored
    std::optional<QString> sql;  // the DISTINCT query; none: no suggestions
};
SuggestionPlan planSuggestions(int fieldType, const QString& field, const ShownObject& shown);

// Suggestions are offered only up to this many distinct values (included).
constexpr int kMaxSuggestions = 500;

}  // namespace view
