#include "db/Bookkeeping.h"
#include "db/Db.h"
#include "db/Dialect.h"
#include "db/Sqlite.h"

namespace db {

using namespace detail;

namespace {

// The catalogue reaches the file through its own connection, opened and
// closed for every call.
struct OpenCatalog {
    Connection connection;
    explicit OpenCatalog(const QString& connectionString) {
        connection.setConnectionString(connectionString);
        connection.open();
    }
    sqlite3* handle() const { return connection.handle(); }
};

QString accessTypeFor(int adoxType, int size) {
    switch (adoxType) {
        case adSmallInt:
            return QStringLiteral("SMALLINT");
        case adInteger:
            return QStringLiteral("INTEGER");
        case adDouble:
            return QStringLiteral("DOUBLE");
        case adCurrency:
            return QStringLiteral("CURRENCY");
        case adBoolean:
            return QStringLiteral("BIT");
        case adUnsignedTinyInt:
            return QStringLiteral("BYTE");
        case adGUID:
            return QStringLiteral("GUID");
        case adDate:
            return QStringLiteral("DATETIME");
        case adWChar:
            return QStringLiteral("NCHAR(%1)").arg(size > 0 ? size : 255);
        case adVarWChar:
            return QStringLiteral("VARCHAR(%1)").arg(size > 0 ? size : 255);
        case adLongVarWChar:
            return QStringLiteral("MEMO");
        default:
            throw Error(Error::Code::TypeMismatch,
                        QStringLiteral("column type %1 is not supported").arg(adoxType));
    }
}

}  // namespace

Catalog::Catalog(const QString& connectionString) : connectionString_(connectionString) {}

std::vector<CatalogEntry> Catalog::tables() const {
    OpenCatalog c(connectionString_);
    std::vector<CatalogEntry> out;
    Statement st(
        c.handle(),
        QStringLiteral(
            "SELECT name, type FROM sqlite_master WHERE type IN ('table','view') ORDER BY rowid"));
    while (st.step()) {
        CatalogEntry e;
        e.name = st.columnText(0);
        const bool view = st.columnText(1) == QLatin1String("view");
        e.type = view                        ? QStringLiteral("VIEW")
                 : isSystemTableName(e.name) ? QStringLiteral("SYSTEM TABLE")
                                             : QStringLiteral("TABLE");
        out.push_back(e);
    }
    return out;
}

QStringList Catalog::viewNames() const {
    QStringList out;
    for (const CatalogEntry& e : tables())
        if (e.type == QLatin1String("VIEW")) out << e.name;
    return out;
}

std::optional<QString> Catalog::viewCommandText(const QString& name) const {
    OpenCatalog c(connectionString_);
    Statement st(
        c.handle(),
        QStringLiteral("SELECT name, sql FROM sqlite_master WHERE type='view' AND name=?"));
    st.bindText(1, name);
    if (!st.step()) return std::nullopt;
    const QString stored = st.columnText(0);
    if (auto text = readEntry(c.handle(), QStringLiteral("view"), stored)) return text;
    // A view made by another tool is written in SQLite's own dialect, which
    // read as ours would change its meaning ("name" is a column there, a
    // text here): it is run by its name, as the engine keeps it.
    return QStringLiteral("SELECT * FROM ") + QLatin1Char('[') + stored + QLatin1Char(']');
}

QStringList Catalog::primaryKeyColumns(const QString& table) const {
    OpenCatalog c(connectionString_);
    Statement exists(
        c.handle(),
        QStringLiteral("SELECT 1 FROM sqlite_master WHERE type IN ('table','view') AND name=?"));
    exists.bindText(1, table);
    if (!exists.step())
        throw Error(Error::Code::Engine, QStringLiteral("no table named '%1'").arg(table));
    Statement st(c.handle(),
                 QStringLiteral("SELECT name FROM pragma_table_info(?) WHERE pk > 0 ORDER BY pk"));
    st.bindText(1, table);
    QStringList out;
    while (st.step()) out << st.columnText(0);
    return out;
}

void Catalog::addTable(const QString& table, const QString& column, int adoxType, int size) {
    OpenCatalog c(connectionString_);
    c.connection.execute(
        QStringLiteral("CREATE TABLE %1 (%2 %3)")
            .arg(bracketed(table), bracketed(column), accessTypeFor(adoxType, size)));
}

void Catalog::addColumn(const QString& table, const QString& column, int adoxType, int size) {
    OpenCatalog c(connectionString_);
    c.connection.execute(
        QStringLiteral("ALTER TABLE %1 ADD COLUMN %2 %3")
            .arg(bracketed(table), bracketed(column), accessTypeFor(adoxType, size)));
}

int Catalog::engineType() const {
    OpenCatalog c(connectionString_);
    // Files carry the current format unless marked otherwise (tests mark an
    // old-format file this way).
    if (auto v = readEntry(c.handle(), QStringLiteral("engine"))) {
        bool ok = false;
        int type = v->toInt(&ok);
        if (ok) return type;
    }
    return 5;
}

}  // namespace db
