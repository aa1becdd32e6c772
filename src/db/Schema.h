#pragma once
// The schema of one open file as the translation needs it (column types and
// collations by table), read from the file and read again only when the
// file's schema version moves. Private to the database layer.
#include <QHash>
#include <QSet>
#include <vector>

#include "db/Dialect.h"
#include "db/Sqlite.h"

namespace db::detail {

// How SQLite compares names: ASCII letters without regard to case, every
// other character as it is.
QString nameKey(const QString& name);

class FileSchema : public Schema {
public:
    // Reads the schema again when the file's schema version moved since the
    // last read (a statement of this or another connection changed it).
    void refresh(sqlite3* handle);
    int version() const { return version_; }

    bool comparesCaseSensitively(const QString& column) const override;
    std::optional<ColumnType> columnType(const QString& table,
                                         const QString& column) const override;
    QStringList columnNames(const QString& table) const override;

private:
    struct Column {
        QString name;
        ColumnType type;
    };
    int version_ = -1;
    Statement versionStatement_;  // kept: it runs before every statement
    QHash<QString, std::vector<Column>> tables_;
    QSet<QString> caseSensitive_;
};

}  // namespace db::detail
