// Adding tables and fields to the open database, and appending another
// database's records to one of its tables.
#include <QFileInfo>

#include "builder/Builder.h"
#include "db/Db.h"
#include "db/Dialect.h"

namespace builder {

namespace {

const QString kAddTableCaption = QStringLiteral("テーブル追加の中止");
const QString kAddFieldCaption = QStringLiteral("フィールド追加の中止");
const QString kImportCaption = QStringLiteral("データ追加の中止");

// Opens a data set over the table without reading its rows: only the
// columns' names, types and sizes are wanted.
template <typename Visit>
void visitColumns(db::Connection& connection, const QString& table, Visit visit) {
    db::DataSet ds(connection);
    ds.setCommandText(
        QStringLiteral("SELECT * FROM %1 WHERE 1 = 0").arg(db::detail::bracketed(table)));
    ds.open();
    for (int i = 0; i < ds.fieldCount(); ++i) visit(ds.field(i));
    ds.close();
}

bool importableType(int t) {
    return t == db::ftBoolean || t == db::ftByte || t == db::ftSmallint || t == db::ftInteger ||
           t == db::ftFloat || t == db::ftCurrency || t == db::ftText || t == db::ftDateTime;
}

bool compatible(int source, int destination) {
    return source == destination ||
           (destination == db::ftInteger && (source == db::ftByte || source == db::ftSmallint)) ||
           (source == db::ftCurrency && destination == db::ftFloat);
}

}  // namespace

TableShape tableShape(db::Connection& connection, const QString& table) {
    TableShape shape;
    visitColumns(connection, table, [&](const db::Field& f) {
        shape.fields << f.name();
        ++shape.fieldCount;
        if (f.dataType() == db::ftText) shape.textWidth += f.size();
    });
    return shape;
}

void addTable(db::Connection& connection, const QString& name, const QStringList& existing) {
    const QString problem = nameProblem(name, NameKind::Table, existing);
    if (!problem.isEmpty()) throw Refusal(problem, kAddTableCaption);
    // A saved query of the same name is not in the table list the user sees,
    // but the engine would refuse the table all the same.
    for (const QString& other : connection.tableNames())
        if (other.compare(name, Qt::CaseInsensitive) == 0)
            throw Refusal(QStringLiteral("テーブル名が重複してます"), kAddTableCaption);
    db::Catalog(connection.connectionString()).addTable(name, kKeyColumn, db::adGUID);
}

void addField(db::Connection& connection, const QString& table, const TableShape& shape,
              const QString& name, int typeCode, int width) {
    if (typeCode != btText) width = 0;
    if (shape.fieldCount >= kMaxFields)
        throw Refusal(QStringLiteral("フィールド数が上限です"), kAddFieldCaption);
    if (shape.textWidth + width > kCreateTextLimit)
        throw Refusal(QStringLiteral("総文字数が上限を超えてます"), kAddFieldCaption);
    const QString problem = nameProblem(name, NameKind::Field, shape.fields);
    if (!problem.isEmpty()) throw Refusal(problem, kAddFieldCaption);
    if (typeCode < btLogical || typeCode > btMemo || (typeCode == btText && (width < 1 || width > kMaxWidth)))
        throw Refusal(QStringLiteral("データ型が不良です"), kAddFieldCaption);
    connection.execute(QStringLiteral("ALTER TABLE %1 ADD COLUMN %2%3")
                           .arg(db::detail::bracketed(table), db::detail::bracketed(name),
                                columnTypeText(typeCode, width)));
}

std::vector<FieldInfo> fieldsOf(db::Connection& connection, const QString& table) {
    std::vector<FieldInfo> fields;
    visitColumns(connection, table,
                 [&](const db::Field& f) { fields.push_back({f.name(), f.dataType()}); });
    return fields;
}

ImportPlan classifyFields(const std::vector<FieldInfo>& source,
                          const std::vector<FieldInfo>& destination) {
    ImportPlan plan;
    for (const FieldInfo& s : source) {
        if (!importableType(s.type)) {
            plan.refused << QStringLiteral("S:") + s.name;
            continue;
        }
        const auto d = std::find_if(destination.begin(), destination.end(), [&](const FieldInfo& f) {
            return f.name.compare(s.name, Qt::CaseInsensitive) == 0;
        });
        if (d == destination.end())
            plan.refused << QStringLiteral("N:") + s.name;
        else if (compatible(s.type, d->type))
            plan.importable.push_back(s);
        else
            plan.refused << QStringLiteral("T:") + s.name;
    }
    return plan;
}

bool sameDatabase(const QString& a, const QString& b) {
    const QString ca = QFileInfo(a).canonicalFilePath(), cb = QFileInfo(b).canonicalFilePath();
    if (ca.isEmpty() || cb.isEmpty()) return QFileInfo(a).absoluteFilePath() == QFileInfo(b).absoluteFilePath();
    return ca == cb;
}

int importRecords(db::Connection& source, const QString& sourceTable,
                  db::Connection& destination, const QString& destinationTable,
                  const ImportPlan& plan) {
    if (plan.importable.empty())
        throw Refusal(QStringLiteral("取り込めるデータがありません"), kImportCaption);
    QStringList names, bracketedNames;
    for (const FieldInfo& f : plan.importable) {
        names << f.name;
        bracketedNames << db::detail::bracketed(f.name);
    }
    db::RowReader read(source, QStringLiteral("SELECT %1 FROM %2")
                                   .arg(bracketedNames.join(','),
                                        db::detail::bracketed(sourceTable)));
    db::RowWriter write(destination, destinationTable, names);
    int record = 0;
    // One transaction: a refused record leaves the table as it was, so the
    // user can mend the source and run the import again without duplicates.
    db::Transaction transaction(destination);
    while (read.next()) {
        ++record;
        try {
            for (int i = 0; i < read.columnCount(); ++i) write.copy(i, read, i);
            write.write();
        } catch (const db::Error& e) {
            throw Refusal(QStringLiteral("%1件目のレコードが追加できません（%2）。データは追加されていません")
                              .arg(record)
                              .arg(e.message()),
                          kImportCaption);
        }
    }
    transaction.commit();
    return record;
}

}  // namespace builder
