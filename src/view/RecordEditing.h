#pragma once
// The rules of editing records in the grid: what a new record holds before
// the user types over it (a default per field type, and for key columns the
// first placeholder value the table does not hold yet), and which clipboard
// texts a field of each type accepts.
#include <QDateTime>
#include <QString>
#include <QVariant>
#include <vector>

#include "db/Db.h"

namespace view {

// The value a new record gets in a field outside the key: 0, False, 0.0, the
// current date and time, or an empty text by type; a null QVariant (the field
// stays empty) for any other type, memo included.
QVariant newRecordDefault(int fieldType, const QDateTime& now);

// Placeholder values for a key column of a new record: the candidates in the
// order they are tried, and the value used when every candidate is taken.
struct PlaceholderKeys {
    bool search = false;  // false: take fallback at once (no query)
    std::vector<QVariant> candidates;
    QVariant fallback;  // null: the field stays empty
    db::ParamType parameterType = db::ParamType::Text;
};
PlaceholderKeys placeholderKeys(int fieldType);

// The statement asking whether a value is taken in a column; both names in
// brackets, so a field called Limit or 氏名 (年) works. Throws db::Error for
// a name that cannot be bracketed.
QString placeholderQuery(const QString& table, const QString& field);

// Whether pasted text fits a field of this type: whole numbers within the
// type's range, TRUE or FALSE in any case, numbers and dates as the locale
// writes them, any text for a text field; nothing for any other type.
bool pasteFits(int fieldType, const QString& text);

}  // namespace view
