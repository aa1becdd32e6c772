// The catalogue calls of opening a database and of the builder.
#include <QProcess>

#include "DbFixture.h"

using namespace dbtest;
using db::Error;

TEST_F(DbTest, CatalogueListsTablesViewsAndSystemTablesInCreationOrder) {
    run(QStringLiteral("CREATE TABLE 登録 (ID COUNTER PRIMARY KEY, 名 NCHAR(10))"));
    run(QStringLiteral("CREATE VIEW 一覧 AS SELECT * FROM 登録"));
    run(QStringLiteral("CREATE TABLE _印刷記録_ (日時 TIMESTAMP, PRIMARY KEY (日時))"));
    db::Catalog catalog(connectionStringFor(path));
    std::vector<std::pair<QString, QString>> got;
    for (const auto& e : catalog.tables()) got.emplace_back(e.name, e.type);
    std::vector<std::pair<QString, QString>> want = {{"登録", "TABLE"},
                                                     {"sqlite_sequence", "SYSTEM TABLE"},
                                                     {"一覧", "VIEW"},
                                                     {"tesmora_catalog", "SYSTEM TABLE"},
                                                     {"_印刷記録_", "TABLE"}};
    EXPECT_EQ(got, want);
    EXPECT_EQ(connection.tableNames(), QStringList({"登録", "一覧", "_印刷記録_"}));
    EXPECT_EQ(catalog.viewNames(), QStringList({"一覧"}));
    EXPECT_EQ(catalog.primaryKeyColumns(QStringLiteral("登録")), QStringList({"ID"}));
    EXPECT_EQ(catalog.primaryKeyColumns(QStringLiteral("_印刷記録_")), QStringList({"日時"}));
    EXPECT_EQ(catalog.primaryKeyColumns(QStringLiteral("一覧")), QStringList());
    EXPECT_EQ(errorCode([&] { catalog.primaryKeyColumns(QStringLiteral("無い")); }),
              Error::Code::Engine);
    EXPECT_EQ(catalog.engineType(), 5);
}

TEST_F(DbTest, CatalogueAddsGuidTableAndColumns) {
    connection.close();
    db::Catalog catalog(connectionStringFor(path));
    catalog.addTable(QStringLiteral("新表"), QStringLiteral("SYS_Q_ID"), db::adGUID);
    catalog.addColumn(QStringLiteral("新表"), QStringLiteral("氏名"), db::adWChar, 30);
    catalog.addColumn(QStringLiteral("新表"), QStringLiteral("数"), db::adInteger);
    EXPECT_EQ(
        errorCode([&] { catalog.addColumn(QStringLiteral("新表"), QStringLiteral("x"), 9999); }),
        Error::Code::TypeMismatch);
    EXPECT_EQ(errorCode([&] {
                  catalog.addTable(QStringLiteral("a]b"), QStringLiteral("c"), db::adGUID);
              }),
              Error::Code::Syntax);
    connection.open();
    db::DataSet ds(connection);
    ds.setCommandText(QStringLiteral("SELECT * FROM [新表]"));
    ds.open();
    ASSERT_EQ(ds.fieldCount(), 3);
    EXPECT_EQ(ds.field(0).dataType(), db::ftGuid);
    EXPECT_EQ(ds.field(1).dataType(), db::ftText);
    EXPECT_EQ(ds.field(1).size(), 30);
    EXPECT_EQ(ds.field(2).dataType(), db::ftInteger);
}

TEST_F(DbTest, CatalogueNeedsThePasswordToo) {
    run(QStringLiteral("CREATE TABLE T (a INTEGER)"));
    connection.close();
    db::setDatabasePassword(path, QString(), QStringLiteral("pw"));
    EXPECT_EQ(errorCode([&] { db::Catalog(connectionStringFor(path)).tables(); }),
              Error::Code::WrongPassword);
    // The catalogue's own form: "Data Source=path;" then the password item.
    QString cs = QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + path +
                 QStringLiteral(";Jet OLEDB:Database Password=pw");
    EXPECT_EQ(db::Catalog(cs).tables().size(), 2u);
}

TEST_F(DbTest, EngineTypeMarksAnOldFormatFile) {
    connection.close();
    db::setEngineType(path, QString(), 4);
    EXPECT_EQ(db::Catalog(connectionStringFor(path)).engineType(), 4);
    // The marker is bookkeeping, never one of the user's tables.
    connection.open();
    EXPECT_EQ(connection.tableNames(), QStringList());
}

// A view written with the sqlite3 shell is in SQLite's dialect: its quoted
// names are columns, and the grid must show their values, not the names.
TEST_F(DbTest, ViewMadeByTheSqliteShellRunsAsWritten) {
    run(QStringLiteral("CREATE TABLE 会員 (ID COUNTER PRIMARY KEY, 氏名 NCHAR(10))"));
    run(QStringLiteral("INSERT INTO 会員 (氏名) VALUES (\"山田\")"));
    connection.close();
    QProcess shell;
    shell.start(QStringLiteral("sqlite3"),
                {path, QStringLiteral("CREATE VIEW v AS SELECT \"氏名\" FROM \"会員\"")});
    ASSERT_TRUE(shell.waitForFinished(10000));
    ASSERT_EQ(shell.exitCode(), 0) << shell.readAllStandardError().toStdString();
    connection.open();
    const std::optional<QString> text =
        db::Catalog(connectionStringFor(path)).viewCommandText(QStringLiteral("v"));
    ASSERT_TRUE(text);
    db::DataSet ds(connection);
    ds.setCommandText(*text);
    ds.open();
    ASSERT_EQ(ds.recordCount(), 1);
    EXPECT_EQ(ds.field(0).name(), "氏名");
    EXPECT_EQ(ds.field(0).asString(), "山田");
}
