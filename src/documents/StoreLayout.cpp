#include "documents/StoreLayout.h"

#include <sqlite3.h>

#include <QSet>

#include "db/Db.h"

namespace documents {

namespace {

// Paths and picture lists have no useful upper length, so they are memos;
// names are text up to 255 characters.
const char* const kRegistrations =
    "CREATE TABLE 登録データ (ID COUNTER PRIMARY KEY, 登録名 NCHAR(255), データベース MEMO, "
    "テーブル NCHAR(255), エクセル MEMO, シート NCHAR(255), 印刷記録 NCHAR(255), "
    "通し番号 INTEGER DEFAULT 1, 優先 BIT DEFAULT 0, XSection INTEGER DEFAULT 1, "
    "XIncrement INTEGER DEFAULT 1, YSection INTEGER DEFAULT 1, YIncrement INTEGER DEFAULT 1, "
    "XStart INTEGER DEFAULT 0, YStart INTEGER DEFAULT 0, Sort1 NCHAR(255) DEFAULT \"\", "
    "Sort2 NCHAR(255) DEFAULT \"\", Sort3 NCHAR(255) DEFAULT \"\")";
const char* const kBindings =
    "CREATE TABLE 出力データ (IID COUNTER PRIMARY KEY, リンク INTEGER, セル MEMO, "
    "フィールド NCHAR(255))";
const char* const kFavourites =
    "CREATE TABLE お気に入り (ID COUNTER PRIMARY KEY, 登録名 NCHAR(255), データベース MEMO, "
    "テーブル NCHAR(255), パスワード NCHAR(255), パスワード使用 BIT DEFAULT 0, "
    "バックアップ MEMO)";

int pragmaValue(sqlite3* h, const char* sql) {
    sqlite3_stmt* st = nullptr;
    int value = 0;
    if (sqlite3_prepare_v2(h, sql, -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
        value = sqlite3_column_int(st, 0);
    sqlite3_finalize(st);
    return value;
}

// Layout 2: the three tables. A file made before the layout was versioned
// has all three already; a new file has none. Any that is missing is made.
void createMissingTables(db::Connection& store) {
    QSet<QString> present;
    for (const QString& name : store.tableNames()) present.insert(name.toLower());
    const std::pair<const char*, const char*> tables[] = {
        {"登録データ", kRegistrations}, {"出力データ", kBindings}, {"お気に入り", kFavourites}};
    for (const auto& [name, ddl] : tables)
        if (!present.contains(QString::fromUtf8(name))) store.execute(QString::fromUtf8(ddl));
}

}  // namespace

int storeLayoutVersion(db::Connection& store) {
    return pragmaValue(store.handle(), "PRAGMA user_version");
}

bool upgradeStoreLayout(db::Connection& store) {
    const int version = storeLayoutVersion(store);
    if (version >= kStoreLayoutVersion) return false;
    db::Transaction t(store);
    // Each later layout adds its own step here (ALTER TABLE ... ADD COLUMN
    // and the like) after the earlier ones, never rewriting them.
    if (version < 2) createMissingTables(store);
    const QByteArray mark = QStringLiteral("PRAGMA user_version = %1").arg(kStoreLayoutVersion).toUtf8();
    char* error = nullptr;
    if (sqlite3_exec(store.handle(), mark.constData(), nullptr, nullptr, &error) != SQLITE_OK) {
        const QString detail = QString::fromUtf8(error ? error : "");
        sqlite3_free(error);
        throw db::Error(db::Error::Code::Engine, detail);
    }
    t.commit();
    return true;
}

}  // namespace documents
