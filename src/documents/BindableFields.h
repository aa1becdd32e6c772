#pragma once
// The fields of the shown table that a document can bind, fill or read
// back: the registration window's field list, the output window's file-name
// field, the card view and aggregation all use this one list.
#include <QString>
#include <vector>

namespace db {
class Connection;
}

namespace documents {

struct BindableField {
    QString name;
    int typeCode = 0;  // db::FieldType
};
using FieldList = std::vector<BindableField>;

// True for the field types a document can bind: small integer, integer,
// byte, yes/no, float, currency, date-time, auto-number, memo and text.
bool isBindableType(int typeCode);

// Fills list with the bindable fields of table (or saved query) in column
// order. Does nothing when the user database is not connected. Throws
// db::Error when the table cannot be read.
void ListBindableFields(db::Connection& userDatabase, const QString& table, FieldList& list);

// Index of name in list, -1 when absent (names compared exactly).
int indexOfField(const FieldList& list, const QString& name);

}  // namespace documents
