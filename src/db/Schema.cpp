#include "db/Schema.h"

#include "db/Bookkeeping.h"
#include "db/Sqlite.h"

namespace db::detail {

QString nameKey(const QString& name) {
    QString key = name;
    for (QChar& c : key)
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) c = QChar(c.unicode() + 32);
    return key;
}

void FileSchema::refresh(sqlite3* handle) {
    if (!versionStatement_)
        versionStatement_ = Statement(handle, QStringLiteral("PRAGMA schema_version"));
    const int version = versionStatement_.step() ? int(versionStatement_.columnInt(0)) : 0;
    versionStatement_.reset();
    if (version == version_) return;
    tables_.clear();
    caseSensitive_.clear();
    QStringList names;
    Statement list(handle, QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'"));
    while (list.step()) names << list.columnText(0);
    for (const QString& table : names) {
        if (isSystemTableName(table)) continue;
        std::vector<Column> columns;
        try {
            Statement info(handle, QStringLiteral("SELECT name FROM pragma_table_info(?)"));
            info.bindText(1, table);
            const QByteArray t = table.toUtf8();
            while (info.step()) {
                const QString name = info.columnText(0);
                const QByteArray c = name.toUtf8();
                const char* declared = nullptr;
                const char* collation = nullptr;
                int autoIncrement = 0;
                if (sqlite3_table_column_metadata(handle, "main", t.constData(), c.constData(),
                                                  &declared, &collation, nullptr, nullptr,
                                                  &autoIncrement) != SQLITE_OK)
                    continue;
                const QString declaredType = QString::fromUtf8(declared ? declared : "");
                const ColumnType type = columnTypeFromDeclared(declaredType, autoIncrement != 0);
                columns.push_back({name, type});
                // A text column the file compares case-sensitively itself: one
                // made by another tool, or with a collation of its own.
                const bool text =
                    type.code == ftText || type.code == ftMemo || declaredType.trimmed().isEmpty();
                if (text && qstricmp(collation ? collation : "", kTextCollation) != 0)
                    caseSensitive_.insert(nameKey(name));
            }
        } catch (const Error&) {
            // A table the engine cannot describe (a virtual table without its
            // module): its statements run untranslated.
        }
        tables_.insert(nameKey(table), std::move(columns));
    }
    version_ = version;
}

bool FileSchema::comparesCaseSensitively(const QString& column) const {
    return !caseSensitive_.isEmpty() && caseSensitive_.contains(nameKey(column));
}

std::optional<ColumnType> FileSchema::columnType(const QString& table,
                                                 const QString& column) const {
    auto it = tables_.constFind(nameKey(table));
    if (it == tables_.constEnd()) return std::nullopt;
    const QString key = nameKey(column);
    for (const Column& c : *it)
        if (nameKey(c.name) == key) return c.type;
    return std::nullopt;
}

QStringList FileSchema::columnNames(const QString& table) const {
    QStringList out;
    auto it = tables_.constFind(nameKey(table));
    if (it != tables_.constEnd())
        for (const Column& c : *it) out << c.name;
    return out;
}

}  // namespace db::detail
