#include "favourites/FavouriteStore.h"

#include <QDir>
#include <QFileInfo>

#include "db/Db.h"
#include "text/Trim.h"

namespace favourites {

namespace {

const QString kSelectAll = QStringLiteral("SELECT * FROM お気に入り");

QString trimmed(const QVariant& v) {
    return text::trimBlanksAndControls(v.toString());
}

std::vector<FavouriteRow> rowsOf(db::Command& command) {
    std::vector<FavouriteRow> rows;
    QStringList names;
    auto column = [&](const char* name) {
        return int(names.indexOf(QString::fromUtf8(name)));
    };
    int id = -1, name = -1, database = -1, table = -1, password = -1, use = -1, backup = -1;
    command.query([&](const std::vector<QVariant>& values) {
        if (names.isEmpty()) {
            names = command.columnNames();
            id = column("ID");
            name = column("登録名");
            database = column("データベース");
            table = column("テーブル");
            password = column("パスワード");
            use = column("パスワード使用");
            backup = column("バックアップ");
        }
        auto at = [&](int i) { return i < 0 ? QVariant() : values[size_t(i)]; };
        FavouriteRow row;
        row.id = at(id).toInt();
        row.name = at(name).toString();
        row.database = trimmed(at(database));
        row.table = trimmed(at(table));
        row.password = trimmed(at(password));
        row.usePassword = at(use).toBool();
        row.backup = trimmed(at(backup));
        rows.push_back(row);
    });
    return rows;
}

std::optional<FavouriteRow> first(std::vector<FavouriteRow> rows) {
    if (rows.empty()) return std::nullopt;
    return rows.front();
}

QString normalised(const QString& path) {
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

}  // namespace

std::vector<FavouriteRow> FavouriteStore::all() {
    db::Command c(store_);
    c.setCommandText(kSelectAll);
    return rowsOf(c);
}

std::optional<FavouriteRow> FavouriteStore::byId(int id) {
    db::Command c(store_);
    c.setCommandText(QStringLiteral("SELECT * FROM お気に入り WHERE ID = :A"));
    c.addParameter(id, db::ParamType::Integer);
    return first(rowsOf(c));
}

std::optional<FavouriteRow> FavouriteStore::byDatabaseAndTable(const QString& database,
                                                               const QString& table) {
    db::Command c(store_);
    c.setCommandText(
        QStringLiteral("SELECT * FROM お気に入り WHERE データベース = :A AND テーブル = :B"));
    c.addParameter(database, db::ParamType::Text);
    c.addParameter(table, db::ParamType::Text);
    return first(rowsOf(c));
}

std::optional<FavouriteRow> FavouriteStore::byName(const QString& name) {
    const QString wanted = text::trimBlanksAndControls(name);
    for (const FavouriteRow& row : all())
        if (text::trimBlanksAndControls(row.name) == wanted) return row;
    return std::nullopt;
}

int FavouriteStore::insert(const QString& name, const QString& database, const QString& table,
                           const QString& backup) {
    db::Command c(store_);
    c.setCommandText(QStringLiteral(
        "INSERT INTO お気に入り(登録名,データベース,テーブル,パスワード,パスワード使用,バックアップ) "
        "VALUES(:A,:B,:C,:D,:E,:F)"));
    c.addParameter(name, db::ParamType::Text);
    c.addParameter(database, db::ParamType::Text);
    c.addParameter(table, db::ParamType::Text);
    c.addParameter(QString(), db::ParamType::Text);
    c.addParameter(false, db::ParamType::Boolean);
    c.addParameter(backup, db::ParamType::Text);
    c.execute();
    db::Command newest(store_);
    newest.setCommandText(QStringLiteral("SELECT ID FROM お気に入り ORDER BY ID DESC"));
    int id = 0;
    bool seen = false;
    newest.query([&](const std::vector<QVariant>& values) {
        if (!seen) id = values[0].toInt();
        seen = true;
    });
    return id;
}

void FavouriteStore::update(int id, const QString& name, bool usePassword, const QString& backup) {
    db::Command c(store_);
    c.setCommandText(QStringLiteral(
        "UPDATE お気に入り SET 登録名 = :A,パスワード使用 = :B,バックアップ = :C WHERE ID = :E"));
    c.addParameter(name, db::ParamType::Text);
    c.addParameter(usePassword, db::ParamType::Boolean);
    c.addParameter(backup, db::ParamType::Text);
    c.addParameter(id, db::ParamType::Integer);
    c.execute();
}

void FavouriteStore::setDatabase(int id, const QString& database) {
    db::Command c(store_);
    c.setCommandText(QStringLiteral("UPDATE お気に入り SET データベース = :A WHERE ID = :B"));
    c.addParameter(database, db::ParamType::Text);
    c.addParameter(id, db::ParamType::Integer);
    c.execute();
}

void FavouriteStore::remove(int id) {
    db::Command c(store_);
    c.setCommandText(QStringLiteral("DELETE FROM お気に入り WHERE ID = :A"));
    c.addParameter(id, db::ParamType::Integer);
    c.execute();
}

bool samePath(const QString& a, const QString& b) {
    if (a.isEmpty() || b.isEmpty()) return false;
    return normalised(a) == normalised(b);
}

BackupCheck checkBackupPath(const std::vector<FavouriteRow>& rows, const QString& backup,
                            const QString& database) {
    if (backup.isEmpty()) return {};
    if (samePath(backup, database)) return {BackupConflict::IsADatabase, QString()};
    for (const FavouriteRow& row : rows)
        if (samePath(backup, row.database)) return {BackupConflict::IsADatabase, row.name};
    // Two databases backing up into one file would each overwrite the
    // other's copy, and a restore would bring in the wrong database.
    for (const FavouriteRow& row : rows)
        if (samePath(backup, row.backup) && !samePath(row.database, database))
            return {BackupConflict::UsedByAnotherDatabase, row.name};
    return {};
}

QString backupExtension(const QString& currentBackup) {
    return QFileInfo(currentBackup).suffix().compare(QLatin1String("accdb"), Qt::CaseInsensitive) == 0
               ? QStringLiteral(".accdb")
               : QStringLiteral(".mdb");
}

QString withExtension(const QString& path, const QString& extension) {
    const QFileInfo info(path);
    const QString name = info.fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString base = dot > 0 ? name.left(dot) : name;
    const QString folder = path.left(path.size() - name.size());
    return folder + base + extension;
}

bool backupOpens(const QString& backup, const QString& password) {
    QString cs = QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") +
                 db::connectionStringValue(backup) +
                 QStringLiteral(";Persist Security Info=False;Mode=Read");
    if (!password.isEmpty())
        cs += QStringLiteral(";Jet OLEDB:Database Password=") + db::connectionStringValue(password);
    try {
        db::Connection c;
        c.setConnectionString(cs);
        c.open();
        c.tableNames();  // reads the schema: a file that only starts like one fails here
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace favourites
