// The Access dialect, checked by running every statement form the program
// sends against a real database file.
#include "DbFixture.h"
#include "db/Dialect.h"

using namespace dbtest;
using db::Error;

TEST(Dialect, TranslatesNamesValuesAndLiterals) {
    struct Case {
        const char* access;
        const char* sqlite;
    } cases[] = {
        {R"(SELECT * FROM [my table] WHERE [a"b] = "x")",
         R"(SELECT * FROM "my table" WHERE "a""b" = 'x')"},
        {R"(SELECT * FROM [T] WHERE [n] = "it's ""quoted""")",
         R"(SELECT * FROM "T" WHERE "n" = 'it''s "quoted"')"},
        {"SELECT * FROM [T] WHERE [f] = True OR [g] = false",
         R"(SELECT * FROM "T" WHERE "f" = 1 OR "g" = 0)"},
        {"INSERT INTO T (a,b) VALUES(:D1,:DTEMP)", "INSERT INTO T (a,b) VALUES(?,?)"},
        {R"(SELECT [a] & "-" FROM T)", R"(SELECT "a" || '-' FROM T)"},
        {"SELECT * FROM T WHERE d = #1/5/2024#", "SELECT * FROM T WHERE d = '2024-01-05 00:00:00'"},
        // Text inside a value is never rewritten.
        {R"(SELECT "[x] True :A & #1/2/2000#" FROM T)",
         R"(SELECT '[x] True :A & #1/2/2000#' FROM T)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(db::translateSql(QString::fromUtf8(c.access)), QString::fromUtf8(c.sqlite))
            << c.access;
}

TEST(Dialect, UnterminatedQuoteOrBracketIsASyntaxError) {
    EXPECT_EQ(
        errorCode([] { db::translateSql(QStringLiteral(R"(SELECT * FROM T WHERE a = "abc)")); }),
        Error::Code::Syntax);
    EXPECT_EQ(errorCode([] { db::translateSql(QStringLiteral("SELECT * FROM [T")); }),
              Error::Code::Syntax);
}

TEST(Dialect, LikeFoldsAsciiAndFullWidthLettersOnly) {
    using db::detail::likeMatch;
    EXPECT_TRUE(likeMatch(QStringLiteral("%abc%"), QStringLiteral("xxABCxx")));
    EXPECT_TRUE(likeMatch(QStringLiteral("%ａｂｃ%"), QStringLiteral("ＡＢＣ")));
    EXPECT_TRUE(likeMatch(QStringLiteral("山_"), QStringLiteral("山田")));
    EXPECT_FALSE(likeMatch(QStringLiteral("山_"), QStringLiteral("山田太")));
    EXPECT_TRUE(likeMatch(QStringLiteral("a%b%c"), QStringLiteral("aXXbYYbZc")));
    EXPECT_FALSE(likeMatch(QStringLiteral("a%b%c"), QStringLiteral("aXXbYYbZ")));
    // Kana are not letters with case: hiragana never matches katakana.
    EXPECT_FALSE(likeMatch(QStringLiteral("やまだ"), QStringLiteral("ヤマダ")));
    EXPECT_TRUE(likeMatch(QStringLiteral("100!%"), QStringLiteral("100%"), QLatin1Char('!')));
    EXPECT_FALSE(likeMatch(QStringLiteral("100!%"), QStringLiteral("1000"), QLatin1Char('!')));
}

class DialectDb : public DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        run(QStringLiteral(
            "CREATE TABLE [名簿] (ID COUNTER PRIMARY KEY, 氏名 NCHAR(20), 年齢 INTEGER, 区分 BYTE, "
            "点 SMALLINT, 率 DOUBLE PRECISION, 額 CURRENCY, 日付 TIMESTAMP, 済 BIT, 備考 MEMO)"));
        run(QStringLiteral(
            R"(INSERT INTO [名簿] (氏名,年齢,日付,済,備考) VALUES ("山田",30,DATEVALUE("2024/01/05"),True,"00123"))"));
        run(QStringLiteral(
            R"(INSERT INTO [名簿] (氏名,年齢,日付,済) VALUES ("Smith",41,DATEVALUE("2024/02/10"),False))"));
        run(QStringLiteral(
            R"(INSERT INTO [名簿] (氏名,年齢,日付,済) VALUES ("ｓｍｉｔｈ",52,DATEVALUE("2024/03/15"),False))"));
    }
};

TEST_F(DialectDb, FilterStatementsOfTheGrid) {
    struct Case {
        const char* where;
        QStringList names;
    } cases[] = {
        {"[年齢] >= 10 AND [年齢] <= 41", {"山田", "Smith"}},
        {"([年齢] < 31 OR [年齢] > 50)", {"山田", "ｓｍｉｔｈ"}},
        {R"([氏名] = "山田")", {"山田"}},
        {R"([氏名] LIKE "%SMITH%")", {"Smith"}},
        {R"([氏名] LIKE "%ｓＭｉ%")", {"ｓｍｉｔｈ"}},
        {R"([氏名] LIKE "%ＳＭＩ%")", {"ｓｍｉｔｈ"}},
        {R"([年齢] LIKE "%4%")", {"Smith"}},
        {R"([日付] >= DATEVALUE("2024/02/10"))", {"Smith", "ｓｍｉｔｈ"}},
        {R"([日付] < DATEVALUE("2024/2/10"))", {"山田"}},
        {"[済] = True", {"山田"}},
        {"[済] = False", {"Smith", "ｓｍｉｔｈ"}},
    };
    for (const auto& c : cases) {
        QString sql = QStringLiteral("SELECT [氏名] FROM [名簿] WHERE ") +
                      QString::fromUtf8(c.where) + QStringLiteral(" ORDER BY [ID]");
        EXPECT_EQ(column(sql), c.names) << c.where;
    }
    EXPECT_EQ(column(QStringLiteral("SELECT [氏名] FROM [名簿] ORDER BY [年齢] DESC,[氏名]")),
              QStringList({"ｓｍｉｔｈ", "Smith", "山田"}));
    EXPECT_EQ(column(QStringLiteral("SELECT DISTINCT [済] FROM [名簿] ORDER BY [済]")),
              QStringList({"False", "True"}));
}

TEST_F(DialectDb, QuoteInsideAValueNeitherBreaksNorInjects) {
    // What a filter value typed as  x" OR "1"="1  becomes once its quotes are doubled.
    EXPECT_TRUE(
        column(QStringLiteral(R"(SELECT [氏名] FROM [名簿] WHERE [氏名] = "x"" OR ""1""=""1")"))
            .isEmpty());
    run(QStringLiteral(R"(INSERT INTO [名簿] (氏名) VALUES ("a""b'c"))"));
    EXPECT_EQ(column(QStringLiteral(R"(SELECT [氏名] FROM [名簿] WHERE [氏名] = "a""b'c")")),
              QStringList({"a\"b'c"}));
    // An unbalanced value is refused, never run with the rest as SQL.
    EXPECT_EQ(errorCode([&] {
                  column(QStringLiteral(R"(SELECT * FROM [名簿] WHERE [氏名] = "x" OR "1"="1)"));
              }),
              Error::Code::Syntax);
}

TEST_F(DialectDb, DeclaredTypesKeepTheirValues) {
    // MEMO, TIMESTAMP and CURRENCY would take numeric affinity by their word
    // alone; leading zeros and dates must come back as written.
    EXPECT_EQ(column(QStringLiteral("SELECT [備考] FROM [名簿] WHERE [ID] = 1")),
              QStringList({"00123"}));
    EXPECT_EQ(column(QStringLiteral("SELECT [日付] FROM [名簿] WHERE [ID] = 1")),
              QStringList({"2024/01/05"}));
    db::Command raw(connection);
    raw.setCommandText(QStringLiteral("SELECT typeof([日付]), [日付] FROM [名簿] WHERE [ID] = 1"));
    raw.query([](const std::vector<QVariant>& row) {
        EXPECT_EQ(row[0].toString(), "text");
        EXPECT_EQ(row[1].toDateTime(), QDateTime(QDate(2024, 1, 5), QTime(0, 0)));
    });
}

TEST_F(DialectDb, WidthAndRangeChecksApplyToPlainStatements) {
    EXPECT_EQ(
        errorCode([&] {
            run(QStringLiteral(R"(INSERT INTO [名簿] (氏名) VALUES ("123456789012345678901"))"));
        }),
        Error::Code::TooLong);
    EXPECT_EQ(errorCode([&] { run(QStringLiteral("UPDATE [名簿] SET [区分] = 256")); }),
              Error::Code::OutOfRange);
    EXPECT_EQ(errorCode([&] { run(QStringLiteral("UPDATE [名簿] SET [点] = -32769")); }),
              Error::Code::OutOfRange);
    run(QStringLiteral("UPDATE [名簿] SET [区分] = 255, [点] = -32768 WHERE [ID] = 1"));
    EXPECT_EQ(column(QStringLiteral("SELECT [区分] FROM [名簿] WHERE [ID] = 1")),
              QStringList({"255"}));
}

TEST_F(DialectDb, BuilderStatementsAddFillAndDropColumns) {
    run(QStringLiteral("CREATE TABLE ベーステーブル (SYS_Q_ID COUNTER PRIMARY KEY)"));
    run(QStringLiteral("ALTER TABLE ベーステーブル ADD COLUMN 氏名 NCHAR(50)"));
    run(QStringLiteral("ALTER TABLE ベーステーブル ADD COLUMN 生年 TIMESTAMP"));
    run(QStringLiteral("ALTER TABLE ベーステーブル ADD COLUMN Q_Q_Q_Q INTEGER"));
    db::Command insert(connection);
    insert.setCommandText(
        QStringLiteral("INSERT INTO ベーステーブル (氏名,生年,Q_Q_Q_Q) VALUES(:D1,:D2,:DTEMP)"));
    insert.addParameter(QStringLiteral("佐藤"), db::ParamType::Text);
    insert.addParameter(QDateTime(QDate(1990, 4, 1), QTime(0, 0)), db::ParamType::DateTime);
    insert.addParameter(7, db::ParamType::Integer);
    EXPECT_EQ(insert.execute(), 1);
    db::Command clear(connection);
    clear.setCommandText(
        QStringLiteral("UPDATE ベーステーブル SET 氏名 = NULL WHERE Q_Q_Q_Q = :D"));
    clear.addParameter(8, db::ParamType::Integer);
    EXPECT_EQ(clear.execute(), 0);
    run(QStringLiteral("ALTER TABLE ベーステーブル DROP COLUMN Q_Q_Q_Q"));
    EXPECT_EQ(column(QStringLiteral("SELECT 生年 FROM ベーステーブル")),
              QStringList({"1990/04/01"}));
    EXPECT_EQ(errorCode([&] { column(QStringLiteral("SELECT Q_Q_Q_Q FROM ベーステーブル")); }),
              Error::Code::Engine);
    // The dropped column's width check went with it; the other one stays.
    EXPECT_EQ(errorCode([&] {
                  run(QStringLiteral(R"(UPDATE ベーステーブル SET 氏名 = ")") +
                      QString(51, QLatin1Char('x')) + "\"");
              }),
              Error::Code::TooLong);
}

TEST_F(DialectDb, PrintLogTableWithTimestampKey) {
    run(
        QStringLiteral("CREATE TABLE _印刷記録_ (日時 TIMESTAMP,種別 NCHAR(4),名前 NCHAR(50),番号 "
                       "INTEGER,対象 NCHAR(50),PRIMARY KEY (日時))"));
    db::Command insert(connection);
    insert.setCommandText(QStringLiteral(
        "INSERT INTO _印刷記録_ (日時,種別,名前,番号,対象) VALUES (:A,:B,:C,:D,:E)"));
    const QDateTime t(QDate(2024, 5, 1), QTime(10, 0, 0, 0));
    for (int ms : {0, 250}) {
        insert.clearParameters();
        insert.addParameter(t.addMSecs(ms), db::ParamType::DateTime);
        insert.addParameter(QStringLiteral("印刷"), db::ParamType::Text);
        insert.addParameter(QStringLiteral("請求書"), db::ParamType::Text);
        insert.addParameter(ms, db::ParamType::Integer);
        insert.addParameter(QStringLiteral("A-1"), db::ParamType::Text);
        insert.execute();
    }
    // Two rows within one second keep distinct keys; the same instant is a duplicate.
    EXPECT_EQ(column(QStringLiteral(
                  "SELECT 番号 FROM _印刷記録_ WHERE 名前 = \"請求書\" ORDER BY 日時 DESC")),
              QStringList({"250", "0"}));
    EXPECT_EQ(errorCode([&] { insert.execute(); }), Error::Code::Constraint);
}

TEST_F(DialectDb, SavedQueryWithAccessWildcardsRunsByName) {
    run(QStringLiteral(
        R"(CREATE VIEW [山の人] AS SELECT [氏名] FROM [名簿] WHERE [氏名] Like "山*";)"));
    run(QStringLiteral(
        R"(CREATE VIEW [s人] AS SELECT [氏名] FROM [名簿] WHERE [氏名] Like "s?ith" ORDER BY [ID])"));
    EXPECT_EQ(column(QStringLiteral("SELECT * FROM [山の人]")), QStringList({"山田"}));
    EXPECT_EQ(column(QStringLiteral("SELECT * FROM [s人]")), QStringList({"Smith"}));
    db::Catalog catalog(connectionStringFor(path));
    EXPECT_EQ(catalog.viewCommandText(QStringLiteral("山の人")).value_or(QString()),
              QStringLiteral(R"(SELECT [氏名] FROM [名簿] WHERE [氏名] Like "山*")"));
    run(QStringLiteral("DROP VIEW [山の人]"));
    EXPECT_FALSE(catalog.viewCommandText(QStringLiteral("山の人")).has_value());
}

TEST_F(DialectDb, EngineRefusalsCarryTheEngineMessage) {
    try {
        run(QStringLiteral("SELECT * FROM [ありません]"));
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.code(), Error::Code::Engine);
        EXPECT_TRUE(e.message().contains(QStringLiteral("ありません")))
            << e.message().toStdString();
    }
    EXPECT_EQ(errorCode([&] { run(QStringLiteral("SELEC * FROM [名簿]")); }), Error::Code::Syntax);
    EXPECT_EQ(errorCode([&] { run(QStringLiteral(R"(SELECT DATEVALUE("not a date"))")); }),
              Error::Code::Engine);
    EXPECT_EQ(errorCode([&] { run(QStringLiteral("DELETE FROM [名簿]; DROP TABLE [名簿]")); }),
              Error::Code::Syntax);
    EXPECT_EQ(column(QStringLiteral("SELECT count(*) FROM [名簿]")), QStringList({"3"}));
}

// Stored dates are compared and sorted as text, so the layout must not drift:
// zero-padded fields at every width, milliseconds only when present.
TEST(StorageDateTime, LaysOutEveryFieldPaddedAndReadsBack) {
    const QDateTime cases[] = {
        QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5)),
        QDateTime(QDate(1, 1, 1), QTime(0, 0)),
        QDateTime(QDate(999, 12, 31), QTime(23, 59, 59, 7)),
        QDateTime(QDate(9999, 12, 31), QTime(23, 59, 59, 999)),
        QDateTime(QDate(1899, 12, 30), QTime(12, 0, 0, 50)),
    };
    for (const QDateTime& dt : cases) {
        QString expected = dt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        if (dt.time().msec() != 0)
            expected += QStringLiteral(".%1").arg(dt.time().msec(), 3, 10, QLatin1Char('0'));
        EXPECT_EQ(db::storageDateTime(dt), expected);
        EXPECT_EQ(db::parseStorageDateTime(db::storageDateTime(dt)), dt);
    }
    EXPECT_EQ(db::storageDateTime(QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5))),
              QStringLiteral("2024-01-02 03:04:05"));
    EXPECT_EQ(db::storageDateTime(QDateTime(QDate(999, 2, 3), QTime(4, 5, 6, 7))),
              QStringLiteral("0999-02-03 04:05:06.007"));
}
