#include "documents/BindableFields.h"

#include "db/Db.h"
#include "db/Dialect.h"

namespace documents {

bool isBindableType(int typeCode) {
    switch (typeCode) {
        case db::ftSmallint:
        case db::ftInteger:
        case db::ftByte:
        case db::ftBoolean:
        case db::ftFloat:
        case db::ftCurrency:
        case db::ftDateTime:
        case db::ftAutoInc:
        case db::ftMemo:
        case db::ftText:
            return true;
        default:
            return false;
    }
}

void ListBindableFields(db::Connection& userDatabase, const QString& table, FieldList& list) {
    if (!userDatabase.connected()) return;
    list.clear();
    // No row is needed, only the columns: a large table opens at once.
    db::DataSet columns(userDatabase);
    columns.setCommandText(
        QStringLiteral("SELECT * FROM %1 WHERE 1 = 0").arg(db::detail::bracketed(table)));
    columns.open();
    for (int i = 0; i < columns.fieldCount(); ++i) {
        db::Field f = columns.field(i);
        if (isBindableType(f.dataType())) list.push_back({f.name(), f.dataType()});
    }
    columns.close();
}

int indexOfField(const FieldList& list, const QString& name) {
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i].name == name) return int(i);
    return -1;
}

}  // namespace documents
