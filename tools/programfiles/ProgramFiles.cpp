#include "ProgramFiles.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <functional>
#include <stdexcept>

#include "db/Db.h"

namespace programfiles {

namespace {

// Builds a database under a temporary name, then renames it over `path`, so
// an interrupted build never leaves a half-made store behind.
void buildDatabase(const QString& path, const std::function<void(db::Connection&)>& fill,
                   const QString& password = {}) {
    const QString temp = path + QStringLiteral(".part");
    QFile::remove(temp);
    try {
        db::createDatabase(temp);
        {
            db::Connection c;
            c.setConnectionString(
                QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"%1\"").arg(temp));
            c.open();
            db::Transaction t(c);
            fill(c);
            t.commit();
        }
        if (!password.isEmpty()) db::setDatabasePassword(temp, QString(), password);
    } catch (...) {
        QFile::remove(temp);
        throw;
    }
    QFile::remove(path);
    if (!QFile::rename(temp, path)) {
        QFile::remove(temp);
        throw std::runtime_error(("cannot write " + path).toStdString());
    }
}

}  // namespace

void writeSystemMarker(const QString& path) {
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        throw std::runtime_error(("cannot write " + path).toStdString());
    f.write("Tesmora program folder\n");
    if (!f.commit()) throw std::runtime_error(("cannot write " + path).toStdString());
}

void writeTemplateDatabase(const QString& path) {
    buildDatabase(path, [](db::Connection& c) {
        c.execute(QStringLiteral("CREATE TABLE ベーステーブル (SYS_Q_ID COUNTER PRIMARY KEY)"));
    });
}

void writeSystemStore(const QString& path) {
    buildDatabase(
        path,
        [](db::Connection& c) {
            // Paths and picture lists have no useful upper length, so they are
            // memos; names are text up to 255 characters.
            c.execute(QStringLiteral(
                "CREATE TABLE 登録データ (ID COUNTER PRIMARY KEY, 登録名 NCHAR(255), データベース "
                "MEMO, "
                "テーブル NCHAR(255), エクセル MEMO, シート NCHAR(255), 印刷記録 NCHAR(255), "
                "通し番号 INTEGER DEFAULT 1, "
                "優先 BIT DEFAULT 0, XSection INTEGER DEFAULT 1, XIncrement INTEGER DEFAULT 1, "
                "YSection INTEGER DEFAULT 1, YIncrement INTEGER DEFAULT 1, XStart INTEGER DEFAULT "
                "0, "
                "YStart INTEGER DEFAULT 0, Sort1 NCHAR(255) DEFAULT \"\", Sort2 NCHAR(255) DEFAULT "
                "\"\", "
                "Sort3 NCHAR(255) DEFAULT \"\")"));
            c.execute(
                QStringLiteral("CREATE TABLE 出力データ (IID COUNTER PRIMARY KEY, リンク INTEGER, "
                               "セル MEMO, フィールド NCHAR(255))"));
            c.execute(
                QStringLiteral("CREATE TABLE お気に入り (ID COUNTER PRIMARY KEY, 登録名 "
                               "NCHAR(255), データベース MEMO, "
                               "テーブル NCHAR(255), パスワード NCHAR(255), パスワード使用 BIT "
                               "DEFAULT 0, バックアップ MEMO)"));
        },
        QString::fromLatin1(kStorePassword));
}

void writeAll(const QString& folder) {
    QDir dir(folder);
    if (!dir.exists() && !dir.mkpath(QStringLiteral(".")))
        throw std::runtime_error(("cannot create " + folder).toStdString());
    writeSystemMarker(dir.filePath(QStringLiteral("System.dt")));
    writeTemplateDatabase(dir.filePath(QStringLiteral("DBTemplate.mdb")));
    writeSystemStore(dir.filePath(QStringLiteral("SystemData.mdb")));
}

}  // namespace programfiles
