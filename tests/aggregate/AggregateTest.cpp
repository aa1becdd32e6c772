#include <gtest/gtest.h>

#include <QProcess>
#include <sstream>

#include "ListTool.h"
#include "aggregate/FieldTally.h"
#include "db/Db.h"
#include "db/FieldType.h"
#include "support/TempDir.h"
#include "text/Cp932.h"

using aggregate::FieldTally;

namespace {

void makeDatabase(const QString& path, const QStringList& statements) {
    db::createDatabase(path);
    db::Connection c;
    c.setConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path);
    c.open();
    for (const QString& s : statements) c.execute(s);
}

// First row of a query as the sqlite3 shell prints it, columns joined by "|".
QString sqlite(const QString& path, const QString& sql) {
    QProcess p;
    p.start("sqlite3", {"-batch", path, sql});
    EXPECT_TRUE(p.waitForFinished(20000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

const QStringList kRecords = {
    "CREATE TABLE [T] ([ID] COUNTER PRIMARY KEY, [数] INTEGER, [実数] DOUBLE, [名前] NCHAR(20), "
    "[日付] TIMESTAMP, [可否] BIT, [金額] CURRENCY, [小] SMALLINT, [メモ] MEMO)",
    "INSERT INTO [T] ([数],[実数],[名前],[日付],[可否],[金額],[小],[メモ]) VALUES "
    "(1, 0.1, \"abc\", DATEVALUE(\"2024/04/01\"), True, 1.25, 7, \"m\")",
    "INSERT INTO [T] ([数],[実数],[名前],[日付],[可否],[金額],[小]) VALUES "
    "(2, 0.2, \"ABC\", DATEVALUE(\"2024/04/01\"), False, 2.5, 7)",
    "INSERT INTO [T] ([名前],[可否]) VALUES (\"Abc\", False)",
    "INSERT INTO [T] ([数],[名前]) VALUES (40, \"xyz\")",
};

class Aggregate : public ::testing::Test {
protected:
    void SetUp() override {
        path = dir.file("集計.mdb");
        makeDatabase(path, kRecords);
        connection.setConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path);
        connection.open();
    }
    FieldTally tally(const QString& field, int type,
                     const QString& sql = "SELECT * FROM [T] ORDER BY [ID]") {
        return aggregate::aggregateField(connection, sql, field, type);
    }
    testsupport::TempDir dir;
    QString path;
    db::Connection connection;
};

}  // namespace

TEST(Notation, FixedAndGeneralAsTheWindowWritesThem) {
    EXPECT_EQ(aggregate::fixedNotation(3, 12, 0), "3");
    EXPECT_EQ(aggregate::fixedNotation(1.5, 12, 3), "1.500");
    EXPECT_EQ(aggregate::fixedNotation(-2.0 / 3, 12, 3), "-0.667");
    EXPECT_EQ(aggregate::fixedNotation(0.0625, 12, 3), "0.063");  // half away from zero
    EXPECT_EQ(aggregate::fixedNotation(0.0004, 12, 3), "0.000");
    EXPECT_EQ(aggregate::fixedNotation(-0.0004, 12, 3), "0.000");
    EXPECT_EQ(aggregate::fixedNotation(9.9996, 12, 3), "10.000");
    EXPECT_EQ(aggregate::fixedNotation(123456789012.0, 12, 0), "123456789012");
    // Twelve significant digits: the decimals beyond them are zeros.
    EXPECT_EQ(aggregate::fixedNotation(123456789012.5, 12, 3), "123456789013.000");
    EXPECT_EQ(aggregate::fixedNotation(1234567890123.0, 12, 0), "1.23456789012E+12");
    EXPECT_EQ(aggregate::fixedNotation(999999999999.6, 12, 0), "1.00000000000E+12");

    EXPECT_EQ(aggregate::generalNotation(0.1 + 0.2), "0.3");
    EXPECT_EQ(aggregate::generalNotation(0.15), "0.15");
    EXPECT_EQ(aggregate::generalNotation(-42), "-42");
    EXPECT_EQ(aggregate::generalNotation(123456789012345.0), "123456789012345");
    EXPECT_EQ(aggregate::generalNotation(1e20), "1E20");
    EXPECT_EQ(aggregate::generalNotation(1.5e-7), "1.5E-7");
    EXPECT_EQ(aggregate::generalNotation(0.00012), "0.00012");
}

TEST(Notation, LinesAreCutAtACharacterBoundary) {
    // 4 + 1 bytes, then two-byte characters: 247 of them fill 499 bytes and
    // the 248th would pass 500.
    const QString line = "1 : a" + QString(300, QChar(0x6F22));
    const QString cut = aggregate::cutToCp932Bytes(line, 500);
    EXPECT_EQ(text::cp932Length(cut), 499);
    EXPECT_EQ(cut.size(), 5 + 247);
    EXPECT_EQ(aggregate::cutToCp932Bytes("short", 500), "short");
}

TEST(Tally, CountsOfAMillionAndMoreSortAsNumbers) {
    FieldTally t(db::ftText);
    for (int i = 0; i < 200000; ++i) t.add(QString("b"));
    for (int i = 0; i < 1000000; ++i) t.add(QString("a"));
    for (int i = 0; i < 1000000; ++i) t.add(QString("C"));
    t.add(QString("d"));
    EXPECT_EQ(t.occurrenceLines(),
              QStringList({"1000000 : C", "1000000 : a", "200000 : b", "1 : d"}));
}

TEST(Tally, TheListStopsAtAThousandDistinctValues) {
    FieldTally t(db::ftInteger);
    for (int i = 0; i < 1000; ++i) t.add(qint64(i));
    t.add(qint64(5));
    EXPECT_EQ(t.occurrenceLines().size(), 1000);
    EXPECT_EQ(t.occurrenceLines().first(), "2 : 5");
    t.add(qint64(1000));
    EXPECT_TRUE(t.occurrenceLines().isEmpty());
    for (int i = 1001; i < 3000; ++i) t.add(qint64(i));
    // Collected values still count; later new ones are not recorded.
    t.add(qint64(0));
    EXPECT_EQ(int(t.values().size()), aggregate::kCollectLimit);
    EXPECT_EQ(t.values()[0].count, 2);
    EXPECT_EQ(t.selected(), 3002);
    EXPECT_EQ(t.valid(), 3002);
}

TEST_F(Aggregate, IntegerFieldMatchesTheShell) {
    const FieldTally t = tally("数", db::ftInteger);
    EXPECT_EQ(t.selectedLine(), "選択レコード数＝ " + sqlite(path, "SELECT count(*) FROM T"));
    EXPECT_EQ(t.validLine(), "有効レコード数＝ " + sqlite(path, "SELECT count(数) FROM T"));
    EXPECT_EQ(t.sumLine(), "合計＝ " + sqlite(path, "SELECT sum(数) FROM T"));
    EXPECT_EQ(t.meanLine(), "平均＝ " + sqlite(path, "SELECT printf('%.3f', avg(数)) FROM T"));
    EXPECT_EQ(t.meanLine(), "平均＝ 14.333");
    EXPECT_EQ(t.occurrenceLines(), QStringList({"1 : 40", "1 : 2", "1 : 1", "1 : "}));
}

TEST_F(Aggregate, FloatTextDateAndYesNoFields) {
    const FieldTally f = tally("実数", db::ftFloat);
    EXPECT_EQ(f.validLine(), "有効レコード数＝ " + sqlite(path, "SELECT count(実数) FROM T"));
    EXPECT_EQ(f.sumLine(), "合計＝ 0.3");
    EXPECT_EQ(f.meanLine(), "平均＝ 0.15");

    // Text: every record counts as valid; letter case aside, the first form
    // met is the one shown.
    const FieldTally s = tally("名前", db::ftText);
    EXPECT_EQ(s.validLine(), "有効レコード数＝ 4");
    EXPECT_EQ(s.sumLine(), "");
    EXPECT_EQ(s.occurrenceLines(), QStringList({"3 : abc", "1 : xyz"}));
    EXPECT_EQ(sqlite(path, "SELECT count(*) FROM T GROUP BY lower(名前) ORDER BY 1 DESC")
                  .split('\n'),
              QStringList({"3", "1"}));
    const FieldTally backwards = tally("名前", db::ftText, "SELECT * FROM [T] ORDER BY [ID] DESC");
    EXPECT_EQ(backwards.occurrenceLines().first(), "3 : Abc");

    const FieldTally d = tally("日付", db::ftDateTime);
    EXPECT_EQ(d.validLine(), "有効レコード数＝ " + sqlite(path, "SELECT count(日付) FROM T"));
    EXPECT_EQ(d.occurrenceLines(), QStringList({"2 : 2024/04/01", "2 : "}));

    const FieldTally b = tally("可否", db::ftBoolean);
    EXPECT_EQ(b.validLine(), "有効レコード数＝ " + sqlite(path, "SELECT count(可否) FROM T"));
    EXPECT_EQ(b.occurrenceLines(), QStringList({"2 : False", "1 : True", "1 : "}));
}

TEST_F(Aggregate, CurrencySmallIntegerAndMemoHaveNoSumOrMean) {
    const FieldTally c = tally("金額", db::ftCurrency);
    EXPECT_EQ(c.validLine(), "有効レコード数＝ " + sqlite(path, "SELECT count(金額) FROM T"));
    EXPECT_EQ(c.sumLine(), "");
    EXPECT_EQ(c.meanLine(), "");
    EXPECT_EQ(c.occurrenceLines(), QStringList({"2 : ", "1 : 2.5", "1 : 1.25"}));
    const FieldTally s = tally("小", db::ftSmallint);
    EXPECT_EQ(s.validLine(), "有効レコード数＝ 2");
    EXPECT_EQ(s.sumLine(), "");
    const FieldTally m = tally("メモ", db::ftMemo);
    EXPECT_EQ(m.validLine(), "有効レコード数＝ 0");
    EXPECT_EQ(m.meanLine(), "");
}

TEST_F(Aggregate, NoValidNumberCannotGiveAMean) {
    const FieldTally t = tally("数", db::ftInteger, "SELECT * FROM [T] WHERE [数] IS NULL");
    EXPECT_EQ(t.selectedLine(), "選択レコード数＝ 1");
    EXPECT_EQ(t.sumLine(), "合計＝ 0");
    EXPECT_EQ(t.meanLine(), "平均＝ （計算不能）");
}

TEST_F(Aggregate, ListToolPrintsTheWindowLines) {
    std::ostringstream out, err;
    const int status = listtool::run({path, "t", "--aggregate", "数", "--where", "[数] < 10"},
                                     out, err);
    EXPECT_EQ(status, 0) << err.str();
    EXPECT_EQ(QString::fromStdString(out.str()),
              "選択レコード数＝ 2\n有効レコード数＝ 2\n合計＝ 3\n平均＝ 1.500\n1 : 2\n1 : 1\n");

    std::ostringstream out2, err2;
    EXPECT_EQ(listtool::run({path, "T", "--aggregate", "無い"}, out2, err2), 1);
    EXPECT_NE(err2.str().find("no field"), std::string::npos);
    EXPECT_TRUE(out2.str().empty());
}
