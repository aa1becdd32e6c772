// The generated program-folder files: what start-up, the builder and the
// store operations rely on.
#include "DbFixture.h"
#include "ProgramFiles.h"
#include "documents/StoreLayout.h"

using namespace dbtest;

namespace {
QStringList fieldNames(db::DataSet& ds) {
    QStringList out;
    for (int i = 0; i < ds.fieldCount(); ++i) out << ds.field(i).name();
    return out;
}
}  // namespace

TEST(ProgramFiles, StoreHasItsTablesBehindThePassword) {
    testsupport::TempDir dir;
    programfiles::writeAll(dir.path());
    const QString store = dir.file(QStringLiteral("SystemData.mdb"));
    EXPECT_TRUE(QFile::exists(dir.file(QStringLiteral("System.dt"))));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).filter(QStringLiteral(".part")),
              QStringList());

    db::Connection open;
    open.setConnectionString(connectionStringFor(store));
    EXPECT_EQ(errorCode([&] { open.open(); }), db::Error::Code::WrongPassword);

    db::Connection c;
    c.setConnectionString(
        connectionStringFor(store, QString::fromLatin1(programfiles::kStorePassword)));
    c.open();
    EXPECT_EQ(c.tableNames(), QStringList({"登録データ", "出力データ", "お気に入り"}));

    // InsertDocument's statement leaves block and sort columns to the defaults.
    db::Command insert(c);
    insert.setCommandText(QStringLiteral(
        "INSERT INTO "
        "登録データ(登録名,データベース,テーブル,エクセル,シート,印刷記録,通し番号,優先) "
        "VALUES(:A,:B,:C,:D,:E,:F,:G,:H)"));
    const QString longPath =
        QStringLiteral("/home/user/") + QString(300, QLatin1Char('d')) + QStringLiteral("/db.mdb");
    for (const QVariant& v :
         {QVariant(QStringLiteral("請求書")), QVariant(longPath), QVariant(QStringLiteral("顧客")),
          QVariant(QStringLiteral("/t/請求書.xlsx")), QVariant(QStringLiteral("Sheet1")),
          QVariant(QString())})
        insert.addParameter(v, db::ParamType::Text);
    insert.addParameter(1, db::ParamType::Integer);
    insert.addParameter(false, db::ParamType::Boolean);
    insert.execute();

    db::DataSet ds(c);
    ds.setCommandText(
        QStringLiteral("SELECT * FROM 登録データ WHERE データベース = :A AND テーブル = :B"));
    ds.addParameter(longPath, db::ParamType::Text);
    ds.addParameter(QStringLiteral("顧客"), db::ParamType::Text);
    ds.open();
    ASSERT_EQ(ds.recordCount(), 1);
    EXPECT_EQ(fieldNames(ds),
              QStringList({"ID", "登録名", "データベース", "テーブル", "エクセル", "シート",
                           "印刷記録", "通し番号", "優先", "XSection", "XIncrement", "YSection",
                           "YIncrement", "XStart", "YStart", "Sort1", "Sort2", "Sort3"}));
    EXPECT_EQ(ds.fieldByName(QStringLiteral("ID")).dataType(), db::ftAutoInc);
    EXPECT_EQ(ds.fieldByName(QStringLiteral("優先")).asString(), "False");
    EXPECT_EQ(ds.fieldByName(QStringLiteral("XSection")).asString(), "1");
    EXPECT_EQ(ds.fieldByName(QStringLiteral("YStart")).asString(), "0");
    EXPECT_EQ(ds.fieldByName(QStringLiteral("Sort1")).asString(), "");
    EXPECT_FALSE(ds.fieldByName(QStringLiteral("Sort1")).isNull());
    ds.close();

    ds.setCommandText(QStringLiteral("SELECT * FROM お気に入り"));
    ds.clearParameters();
    ds.open();
    EXPECT_EQ(fieldNames(ds), QStringList({"ID", "登録名", "データベース", "テーブル", "パスワード",
                                           "パスワード使用", "バックアップ"}));
    EXPECT_EQ(ds.fieldByName(QStringLiteral("パスワード使用")).dataType(), db::ftBoolean);
    ds.setCommandText(QStringLiteral("SELECT * FROM 出力データ"));
    ds.open();
    EXPECT_EQ(fieldNames(ds), QStringList({"IID", "リンク", "セル", "フィールド"}));
    EXPECT_EQ(ds.fieldByName(QStringLiteral("セル")).dataType(), db::ftMemo);
}

TEST(ProgramFiles, TemplateHoldsTheBaseTableWithItsKey) {
    testsupport::TempDir dir;
    programfiles::writeAll(dir.path());
    db::Catalog catalog(connectionStringFor(dir.file(QStringLiteral("DBTemplate.mdb"))));
    EXPECT_EQ(catalog.primaryKeyColumns(QStringLiteral("ベーステーブル")),
              QStringList({"SYS_Q_ID"}));
    // Writing again replaces the files cleanly.
    programfiles::writeAll(dir.path());
    db::Connection c;
    c.setConnectionString(connectionStringFor(dir.file(QStringLiteral("DBTemplate.mdb"))));
    c.open();
    EXPECT_EQ(c.tableNames(), QStringList({"ベーステーブル"}));
}

namespace {

db::Connection* openStore(db::Connection& c, const QString& path) {
    c.setConnectionString(
        connectionStringFor(path, QString::fromLatin1(programfiles::kStorePassword)));
    c.open();
    return &c;
}

QStringList favourites(const QString& store) {
    db::Connection c;
    openStore(c, store);
    db::Command q(c);
    q.setCommandText(QStringLiteral("SELECT 登録名 FROM お気に入り ORDER BY ID"));
    QStringList out;
    q.query([&](const std::vector<QVariant>& row) { out << row[0].toString(); });
    return out;
}

}  // namespace

// The generator runs on every build: files already in the folder (above all
// the store with the user's favourites) stay as they are.
TEST(ProgramFiles, WritesOnlyWhatIsMissing) {
    testsupport::TempDir dir;
    programfiles::writeAll(dir.path());
    const QString store = dir.file(QStringLiteral("SystemData.mdb"));
    {
        db::Connection c;
        openStore(c, store)->execute(
            QStringLiteral("INSERT INTO お気に入り (登録名) VALUES (\"会員名簿\")"));
    }
    QFile::remove(dir.file(QStringLiteral("DBTemplate.mdb")));
    programfiles::writeAll(dir.path());
    EXPECT_EQ(favourites(store), QStringList({"会員名簿"}));
    EXPECT_TRUE(QFile::exists(dir.file(QStringLiteral("DBTemplate.mdb"))));
}

// A store of an earlier layout (here one that has only its registrations)
// gains what the current layout adds; its rows stay, and a current store is
// not touched again.
TEST(ProgramFiles, OlderStoreIsUpgradedInPlace) {
    testsupport::TempDir dir;
    const QString store = dir.file(QStringLiteral("SystemData.mdb"));
    db::createDatabase(store);
    {
        db::Connection c;
        c.setConnectionString(connectionStringFor(store));
        c.open();
        c.execute(QStringLiteral("CREATE TABLE 登録データ (ID COUNTER PRIMARY KEY, 登録名 NCHAR(255))"));
        c.execute(QStringLiteral("INSERT INTO 登録データ (登録名) VALUES (\"請求書\")"));
    }
    db::setDatabasePassword(store, QString(), QString::fromLatin1(programfiles::kStorePassword));
    programfiles::writeAll(dir.path());  // the store is there: not replaced

    db::Connection c;
    openStore(c, store);
    EXPECT_EQ(documents::storeLayoutVersion(c), 1);
    EXPECT_TRUE(documents::upgradeStoreLayout(c));
    EXPECT_EQ(documents::storeLayoutVersion(c), documents::kStoreLayoutVersion);
    EXPECT_EQ(c.tableNames(), QStringList({"登録データ", "出力データ", "お気に入り"}));
    db::Command q(c);
    q.setCommandText(QStringLiteral("SELECT 登録名 FROM 登録データ"));
    QStringList names;
    q.query([&](const std::vector<QVariant>& row) { names << row[0].toString(); });
    EXPECT_EQ(names, QStringList({"請求書"}));
    EXPECT_FALSE(documents::upgradeStoreLayout(c));
}
