// What the layer owes to the statements of an office database: names that
// are names, a row identity no column can take over, text compared without
// regard to letter case, values the column's type can hold, and two-digit
// years read as the desktop reads them. Files made by other SQLite tools are
// written here with the plain C API.
#include <sqlite3.h>

#include "DbFixture.h"
#include "db/Schema.h"

using namespace dbtest;
using db::Error;

namespace {

// Runs statements on a file as another SQLite tool would.
void rawExec(const QString& path, const char* sql) {
    sqlite3* h = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &h), SQLITE_OK);
    char* error = nullptr;
    const int rc = sqlite3_exec(h, sql, nullptr, nullptr, &error);
    EXPECT_EQ(rc, SQLITE_OK) << (error ? error : "");
    sqlite3_free(error);
    sqlite3_close(h);
}

QString queryPlan(db::Connection& c, const char* sql) {
    sqlite3_stmt* st = nullptr;
    const QByteArray plan = QByteArray("EXPLAIN QUERY PLAN ") + sql;
    sqlite3_prepare_v2(c.handle(), plan.constData(), -1, &st, nullptr);
    QString out;
    while (sqlite3_step(st) == SQLITE_ROW)
        out += QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 3))) + '\n';
    sqlite3_finalize(st);
    return out;
}

}  // namespace

TEST_F(DbTest, NamesThatAreNoColumnAreErrorsNeverText) {
    run(QStringLiteral("CREATE TABLE [会員] (ID COUNTER PRIMARY KEY, 氏名 NCHAR(20), 旧 INTEGER)"));
    run(QStringLiteral(R"(INSERT INTO [会員] (氏名, 旧) VALUES ("山田", 1))"));
    EXPECT_EQ(errorCode([&] { column(QStringLiteral("SELECT [存在しない] FROM [会員]")); }),
              Error::Code::Engine);
    EXPECT_EQ(errorCode([&] { column(QStringLiteral("SELECT * FROM [会員] WHERE [無い列] = 1")); }),
              Error::Code::Engine);
    // A filter of the grid on a misspelled field fails to open; it never
    // shows an empty table as if nothing matched.
    db::DataSet ds(connection);
    ds.setCommandText(QStringLiteral(R"(SELECT * FROM [会員] WHERE [指名] = "山田")"));
    EXPECT_EQ(errorCode([&] { ds.open(); }), Error::Code::Engine);
    EXPECT_FALSE(ds.active());
    run(QStringLiteral("ALTER TABLE [会員] DROP COLUMN [旧]"));
    EXPECT_EQ(errorCode([&] { column(QStringLiteral("SELECT [旧] FROM [会員]")); }),
              Error::Code::Engine);
    // Text values in double quotes are still text.
    EXPECT_EQ(column(QStringLiteral(R"(SELECT "旧" FROM [会員])")), QStringList{"旧"});
}

TEST_F(DbTest, ViewMadeByAnotherToolRunsAsThatToolWroteIt) {
    run(QStringLiteral("CREATE TABLE [会員] (ID COUNTER PRIMARY KEY, 氏名 NCHAR(20))"));
    run(QStringLiteral(R"(INSERT INTO [会員] (氏名) VALUES ("山田"))"));
    connection.close();
    rawExec(path, "CREATE VIEW \"名簿\" AS SELECT \"氏名\" FROM \"会員\" WHERE \"氏名\" <> 'x'");
    const QString text = *db::Catalog(connectionStringFor(path)).viewCommandText("名簿");
    connection.open();
    db::DataSet ds(connection);
    ds.setCommandText(text);
    ds.open();
    ASSERT_EQ(ds.recordCount(), 1);
    EXPECT_EQ(ds.field(0).name(), "氏名");
    EXPECT_EQ(ds.field(0).asString(), "山田");
    // Our own saved queries keep their text as written.
    run(QStringLiteral(R"(CREATE VIEW [山田さん] AS SELECT * FROM [会員] WHERE [氏名] = "山田")"));
    EXPECT_EQ(*db::Catalog(connectionStringFor(path)).viewCommandText("山田さん"),
              R"(SELECT * FROM [会員] WHERE [氏名] = "山田")");
}

TEST_F(DbTest, ColumnsNamedAfterTheRowIdentityAreRefused) {
    for (const char* ddl : {"CREATE TABLE T (rowid INTEGER, a NCHAR(5))",
                            "CREATE TABLE T (a NCHAR(5), [OID] NCHAR(5))",
                            "CREATE TABLE T (ID COUNTER PRIMARY KEY, _RowID_ TIMESTAMP)"}) {
        try {
            run(QString::fromUtf8(ddl));
            ADD_FAILURE() << ddl;
        } catch (const Error& e) {
            EXPECT_EQ(e.code(), Error::Code::Syntax) << ddl;
            EXPECT_TRUE(e.message().contains("rowid", Qt::CaseInsensitive) ||
                        e.message().contains("oid", Qt::CaseInsensitive))
                << e.message().toStdString();
        }
    }
    run(QStringLiteral("CREATE TABLE T (a NCHAR(5))"));
    EXPECT_EQ(errorCode([&] { run(QStringLiteral("ALTER TABLE T ADD COLUMN rowid INTEGER")); }),
              Error::Code::Syntax);
    EXPECT_EQ(errorCode([&] { run(QStringLiteral("ALTER TABLE T ADD oid NCHAR(3)")); }),
              Error::Code::Syntax);
    EXPECT_EQ(errorCode([&] { run(QStringLiteral("ALTER TABLE T RENAME COLUMN a TO _rowid_")); }),
              Error::Code::Syntax);
    EXPECT_TRUE(connection.tableNames().contains("T"));
}

TEST_F(DbTest, FileWhoseColumnShadowsTheRowIdStillEditsTheRightRow) {
    connection.close();
    // Every row carries the same value in its column named rowid.
    rawExec(path,
            "CREATE TABLE t (rowid INTEGER, name TEXT);"
            "INSERT INTO t VALUES (1, 'a'), (1, 'b'), (1, 'c');"
            "CREATE TABLE all3 (rowid INTEGER, oid INTEGER, _rowid_ INTEGER, v TEXT);"
            "INSERT INTO all3 VALUES (1, 1, 1, 'x'), (1, 1, 1, 'y');");
    connection.open();
    db::DataSet ds(connection);
    ds.setCommandText(QStringLiteral("SELECT * FROM [t]"));
    ds.open();
    ASSERT_TRUE(ds.canModify());
    ds.moveTo(1);
    ds.remove();
    ds.moveTo(0);
    ds.edit();
    ds.fieldByName("name").setAsString("A");
    ds.post();
    EXPECT_EQ(column(QStringLiteral("SELECT [name] FROM [t] ORDER BY [name]")),
              QStringList({"A", "c"}));
    const auto mark = ds.bookmark();
    ds.last();
    EXPECT_TRUE(ds.gotoBookmark(mark));
    EXPECT_EQ(ds.fieldByName("name").asString(), "A");

    // No name reaches the identity: the rows are shown and never changed.
    ds.setCommandText(QStringLiteral("SELECT * FROM [all3]"));
    ds.open();
    EXPECT_EQ(ds.recordCount(), 2);
    EXPECT_EQ(ds.textAt(1, 3), "y");
    EXPECT_FALSE(ds.canModify());
    EXPECT_EQ(errorCode([&] { ds.remove(); }), Error::Code::ReadOnly);
}

class TextComparison : public DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        run(QStringLiteral("CREATE TABLE [語] (ID COUNTER PRIMARY KEY, 名 NCHAR(10), 注 MEMO)"));
        for (const char* w : {"abc", "ABC", "Zeta", "beta", "ａｂｃ", "ＡＢＣ", "Ｚ", "ｙ"})
            run(QStringLiteral(R"(INSERT INTO [語] (名, 注) VALUES ("%1", "%1"))")
                    .arg(QString::fromUtf8(w)));
    }
    QStringList names(const QString& where) {
        return column(QStringLiteral("SELECT [名] FROM [語] WHERE %1 ORDER BY [ID]").arg(where));
    }
};

TEST_F(TextComparison, EveryComparisonFoldsLetterCaseAsLikeDoes) {
    EXPECT_EQ(names(R"([名] = "abc")"), QStringList({"abc", "ABC"}));
    EXPECT_EQ(names(R"([名] LIKE "abc")"), names(R"([名] = "abc")"));
    EXPECT_EQ(names(R"([注] = "ＡＢＣ")"), QStringList({"ａｂｃ", "ＡＢＣ"}));
    EXPECT_EQ(names(R"([注] LIKE "ａｂｃ")"), names(R"([注] = "ＡＢＣ")"));
    EXPECT_EQ(names(R"([名] <> "ABC" AND [名] < "c")"), QStringList({"beta"}));
    EXPECT_EQ(names(R"([名] > "yy" AND [名] < "ｚ")"),
              QStringList({"Zeta", "ａｂｃ", "ＡＢＣ", "ｙ"}));
    EXPECT_EQ(names(R"([名] BETWEEN "ABC" AND "BETA")"), QStringList({"abc", "ABC", "beta"}));
    EXPECT_EQ(names(R"([名] IN ("ZETA", "ｚ"))"), QStringList({"Zeta", "Ｚ"}));
    EXPECT_EQ(column(QStringLiteral("SELECT [名] FROM [語] WHERE [ID] <= 4 ORDER BY [名], [ID]")),
              QStringList({"abc", "ABC", "beta", "Zeta"}));
    EXPECT_EQ(column(QStringLiteral("SELECT count(*) FROM (SELECT DISTINCT [名] FROM [語])")),
              QStringList{"6"});
    EXPECT_EQ(column(QStringLiteral(
                  "SELECT count(*) FROM [語] GROUP BY [注] ORDER BY count(*) DESC, min([ID])")),
              QStringList({"2", "2", "1", "1", "1", "1"}));
}

TEST_F(TextComparison, AnIndexFollowsTheSameOrderAndKeepsSortingFast) {
    run(QStringLiteral("CREATE INDEX 名順 ON [語] ([名])"));
    const QString plan = queryPlan(connection, "SELECT * FROM \"語\" ORDER BY \"名\"");
    EXPECT_TRUE(plan.contains("名順")) << plan.toStdString();
    EXPECT_FALSE(plan.contains("TEMP B-TREE")) << plan.toStdString();
    EXPECT_TRUE(
        queryPlan(connection, "SELECT * FROM \"語\" WHERE \"名\" = 'ABC'").contains("名順"));
    EXPECT_EQ(names(R"([名] = "ABC")"), QStringList({"abc", "ABC"}));
}

TEST(TextCollation, OrdersFoldedLettersAndEverythingElseByCodePoint) {
    using db::detail::compareText;
    EXPECT_EQ(compareText("abc", "ABC"), 0);
    EXPECT_EQ(compareText("ａｂｃ", "ＡＢＣ"), 0);
    EXPECT_EQ(compareText("été", "ÉTÉ"), 0);
    EXPECT_LT(compareText("b", "Z"), 0);
    EXPECT_LT(compareText("ab", "ABC"), 0);
    EXPECT_GT(compareText("abd", "ABC"), 0);
    // Width and kana stay apart, as LIKE keeps them apart.
    EXPECT_NE(compareText("a", "ａ"), 0);
    EXPECT_NE(compareText("やまだ", "ヤマダ"), 0);
    EXPECT_LT(compareText("あ", "い"), 0);
}

TEST_F(DbTest, FilesMadeElsewhereAreComparedWithoutCaseByTheTranslation) {
    connection.close();
    rawExec(path,
            "CREATE TABLE f (name TEXT, note, n INTEGER);"
            "INSERT INTO f VALUES ('abc', 'x', 1), ('ABC', 'X', 2), ('beta', 'y', 3), "
            "('Zeta', 'Y', 4);"
            "CREATE INDEX f_n ON f (n);");
    connection.open();
    auto names = [&](const char* where) {
        return column(QStringLiteral("SELECT [name] FROM [f] WHERE %1 ORDER BY [n]")
                          .arg(QString::fromUtf8(where)));
    };
    EXPECT_EQ(names(R"([name] = "ABC")"), QStringList({"abc", "ABC"}));
    EXPECT_EQ(names(R"(f.[name] IN ("BETA") OR [note] = "y")"), QStringList({"beta", "Zeta"}));
    EXPECT_EQ(names(R"([name] < "c")"), QStringList({"abc", "ABC", "beta"}));
    EXPECT_EQ(column(QStringLiteral("SELECT [name] FROM [f] ORDER BY [name] DESC, [n]")),
              QStringList({"Zeta", "beta", "abc", "ABC"}));
    EXPECT_EQ(column(QStringLiteral("SELECT count(*) FROM [f] GROUP BY [note]")),
              QStringList({"2", "2"}));
    // Numbers are compared as before, so their indexes still serve.
    EXPECT_EQ(names("[n] = 2"), QStringList{"ABC"});
    db::detail::FileSchema schema;
    schema.refresh(connection.handle());
    const QString translated =
        db::detail::translate(QStringLiteral(R"(SELECT * FROM [f] WHERE [n] = 2 AND [name] = "a")"),
                              &schema)
            .sql;
    EXPECT_TRUE(translated.contains(R"("name" COLLATE TESMORA_NOCASE)"))
        << translated.toStdString();
    EXPECT_FALSE(translated.contains(R"("n" COLLATE)")) << translated.toStdString();
    EXPECT_TRUE(queryPlan(connection, "SELECT * FROM f WHERE n = 2").contains("f_n"));
    // The file itself is not changed by reading it.
    db::Command c(connection);
    c.setCommandText(QStringLiteral("SELECT sql FROM sqlite_master WHERE name = 'f'"));
    c.query([](const std::vector<QVariant>& row) {
        EXPECT_FALSE(row[0].toString().contains("COLLATE"));
    });
}

class TypedWrites : public DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        run(QStringLiteral(
            "CREATE TABLE [記録] (ID COUNTER PRIMARY KEY, 日 TIMESTAMP, 数 INTEGER, 字 BYTE, "
            "実 DOUBLE PRECISION, 可 BIT, 名 NCHAR(4))"));
    }
    Error::Code refusal(const QString& sql) {
        return errorCode([&] { run(sql); });
    }
};

TEST_F(TypedWrites, StatementsRefuseWhatTheColumnCannotHold) {
    EXPECT_EQ(refusal(R"(INSERT INTO [記録] (日) VALUES ("yesterday"))"),
              Error::Code::TypeMismatch);
    EXPECT_EQ(refusal(R"(INSERT INTO [記録] (数) VALUES ("many"))"), Error::Code::TypeMismatch);
    EXPECT_EQ(refusal(R"(INSERT INTO [記録] (実) VALUES ("much"))"), Error::Code::TypeMismatch);
    EXPECT_EQ(refusal(R"(INSERT INTO [記録] (可) VALUES ("perhaps"))"), Error::Code::TypeMismatch);
    EXPECT_EQ(refusal(R"(INSERT INTO [記録] (字) VALUES (300))"), Error::Code::OutOfRange);
    EXPECT_EQ(refusal(R"(INSERT INTO [記録] (数) VALUES (3000000000))"), Error::Code::OutOfRange);
    EXPECT_EQ(refusal(R"(INSERT INTO [記録] (名) VALUES ("abcde"))"), Error::Code::TooLong);
    run(QStringLiteral(R"(INSERT INTO [記録] (日, 数) VALUES (DATEVALUE("2024/1/5"), 1))"));
    EXPECT_EQ(refusal(R"(UPDATE [記録] SET 日 = "yesterday" WHERE ID = 1)"),
              Error::Code::TypeMismatch);
    // Computed values meet the column's checks.
    EXPECT_EQ(refusal(R"(UPDATE [記録] SET 日 = "2024-01-0" & "x")"), Error::Code::TypeMismatch);
    EXPECT_EQ(refusal(R"(UPDATE [記録] SET 日 = "2024-02-30 00:00:00" & "")"),
              Error::Code::TypeMismatch);
    EXPECT_EQ(refusal(R"(UPDATE [記録] SET 数 = "many" & "")"), Error::Code::TypeMismatch);
    // Parameters written into a column are converted as the column requires.
    db::Command insert(connection);
    insert.setCommandText(QStringLiteral("INSERT INTO [記録] (日, 数, 可) VALUES (:A, :B, :C)"));
    insert.addParameter(QStringLiteral("yesterday"), db::ParamType::Text);
    insert.addParameter(1, db::ParamType::Integer);
    insert.addParameter(true, db::ParamType::Boolean);
    EXPECT_EQ(errorCode([&] { insert.execute(); }), Error::Code::TypeMismatch);
    insert.clearParameters();
    insert.addParameter(QStringLiteral("2024/03/05"), db::ParamType::Text);
    insert.addParameter(QStringLiteral("many"), db::ParamType::Text);
    insert.addParameter(true, db::ParamType::Boolean);
    EXPECT_EQ(errorCode([&] { insert.execute(); }), Error::Code::TypeMismatch);
    EXPECT_EQ(column(QStringLiteral("SELECT count(*) FROM [記録]")), QStringList{"1"});
}

TEST_F(TypedWrites, TextThatTheColumnCanHoldIsConvertedAndFiltersRight) {
    run(QStringLiteral(
        R"(INSERT INTO [記録] (日, 数, 実, 可) VALUES ("2024/3/5", "12", "1.5", "True"))"));
    run(QStringLiteral(R"(INSERT INTO [記録] (日, 数) VALUES ("2024/12/1 9:30", 2.5))"));
    db::Command insert(connection);
    insert.setCommandText(QStringLiteral("INSERT INTO [記録] (日, 数) VALUES (:A, :B)"));
    insert.addParameter(QStringLiteral("2023/1/2"), db::ParamType::Text);
    insert.addParameter(QStringLiteral(""), db::ParamType::Text);
    insert.execute();
    EXPECT_EQ(column(QStringLiteral("SELECT [日] FROM [記録] ORDER BY [日]")),
              QStringList({"2023/01/02", "2024/03/05", "2024/12/01 9:30:00"}));
    EXPECT_EQ(column(QStringLiteral(
                  R"(SELECT [数] FROM [記録] WHERE [日] >= DATEVALUE("2024/1/1") ORDER BY [ID])")),
              QStringList({"12", "2"}));
    EXPECT_EQ(column(QStringLiteral("SELECT [可] FROM [記録] WHERE [ID] = 1")),
              QStringList{"True"});
    EXPECT_EQ(column(QStringLiteral("SELECT count(*) FROM [記録] WHERE [数] IS NULL")),
              QStringList{"1"});
}

TEST_F(DbTest, RowsThatBreakTheTypeAreStillReadAsTheyAre) {
    connection.close();
    // An older file: the columns carry no checks, and bad values got in.
    rawExec(path,
            "CREATE TABLE old (d TIMESTAMP TEXT, n INTEGER);"
            "INSERT INTO old VALUES ('yesterday', 'many'), ('2024-01-05 00:00:00', 3);");
    connection.open();
    db::DataSet ds(connection);
    ds.setCommandText(QStringLiteral("SELECT * FROM [old]"));
    ds.open();
    EXPECT_EQ(ds.textAt(0, 0), "yesterday");
    EXPECT_EQ(ds.textAt(0, 1), "many");
    EXPECT_EQ(ds.textAt(1, 0), "2024/01/05");
    // The statement path converts or refuses what is written now.
    EXPECT_EQ(errorCode([&] { run(QStringLiteral(R"(UPDATE [old] SET n = "lots")")); }),
              Error::Code::TypeMismatch);
    run(QStringLiteral(R"(UPDATE [old] SET d = "2024/2/1" WHERE n = 3)"));
    EXPECT_EQ(ds.textAt(0, 0), "yesterday");
    EXPECT_EQ(column(QStringLiteral("SELECT [d] FROM [old] WHERE [n] = 3")),
              QStringList{"2024/02/01"});
}

TEST_F(DbTest, TwoDigitYearsFallIn1930To2029) {
    run(QStringLiteral("CREATE TABLE D (ID COUNTER PRIMARY KEY, 日 TIMESTAMP)"));
    struct Case {
        const char* typed;
        const char* shown;
    } cases[] = {{"24/1/5", "2024/01/05"},  {"00/2/29", "2000/02/29"},  {"29/12/31", "2029/12/31"},
                 {"30/1/1", "1930/01/01"},  {"99/12/31", "1999/12/31"}, {"0024/1/5", "0024/01/05"},
                 {"1924/1/5", "1924/01/05"}};
    for (const Case& c : cases) {
        EXPECT_EQ(column(QStringLiteral(R"(SELECT DATEVALUE("%1"))").arg(c.typed)).value(0),
                  QString::fromUtf8(c.shown).replace('/', '-') + " 00:00:00")
            << c.typed;
        db::DataSet ds(connection);
        ds.setCommandText(QStringLiteral("SELECT * FROM D"));
        ds.open();
        ds.append();
        ds.field(1).setAsString(QString::fromUtf8(c.typed));
        ds.post();
        ds.last();
        EXPECT_EQ(ds.field(1).asString(), QString::fromUtf8(c.shown)) << c.typed;
    }
    EXPECT_EQ(column(QStringLiteral("SELECT #1/5/24#")), QStringList{"2024-01-05 00:00:00"});
}
