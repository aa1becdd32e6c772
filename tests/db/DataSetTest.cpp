// The grid's data set: type codes, display text, navigation, editing,
// validation and bookmarks.
#include <QSignalSpy>

#include "DbFixture.h"

using namespace dbtest;
using db::DataSet;
using db::Error;

class DataSetTest : public DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        run(QStringLiteral(
            "CREATE TABLE T (ID COUNTER PRIMARY KEY, 名 NCHAR(8), 数 INTEGER, 小 SMALLINT, 字 "
            "BYTE, "
            "実 DOUBLE PRECISION, 金 CURRENCY, 日 TIMESTAMP, 可 BIT, 記 MEMO, 他 BLOB)"));
        for (int i = 1; i <= 5; ++i)
            run(QStringLiteral("INSERT INTO T (名, 数) VALUES (\"n%1\", %2)")
                    .arg(i)
                    .arg(60 - i * 10));
        ds = std::make_unique<DataSet>(connection);
    }
    void openSql(const QString& sql) {
        ds->setCommandText(sql);
        ds->open();
    }
    std::unique_ptr<DataSet> ds;
};

TEST_F(DataSetTest, TypeCodesSizesAndModifiability) {
    run(QStringLiteral(
        "CREATE TABLE U (a SHORT, b LONG, c FLOAT, d REAL, e DECIMAL(10,2), f DATETIME, g DATE, h "
        "TEXT(12), "
        "i VARCHAR(3), j CHAR(2), k LONGTEXT, l YESNO, m NUMERIC, n INTEGER PRIMARY KEY)"));
    openSql(QStringLiteral("SELECT * FROM T"));
    struct Want {
        int type, size;
        bool modify;
    } want[] = {{14, 0, false}, {24, 8, true}, {3, 0, true}, {2, 0, true},
                {4, 0, true},   {6, 0, true},  {8, 0, true}, {11, 0, true},
                {5, 0, true},   {16, 0, true}, {15, 0, true}};
    ASSERT_EQ(ds->fieldCount(), 11);
    for (int i = 0; i < 11; ++i) {
        EXPECT_EQ(ds->field(i).dataType(), want[i].type) << i;
        EXPECT_EQ(ds->field(i).size(), want[i].size) << i;
        EXPECT_EQ(ds->field(i).canModify(), want[i].modify) << i;
    }
    openSql(QStringLiteral("SELECT * FROM U"));
    const int types[] = {2, 3, 6, 6, 8, 11, 11, 24, 24, 24, 16, 5, 8, 3};
    for (int i = 0; i < 14; ++i) EXPECT_EQ(ds->field(i).dataType(), types[i]) << i;
    EXPECT_EQ(ds->field(7).size(), 12);
    // A key the user declared is an ordinary integer the user may set.
    EXPECT_TRUE(ds->field(13).canModify());
}

TEST_F(DataSetTest, ValuesReadAsTheGridShowsThem) {
    run(QStringLiteral(
        R"(UPDATE T SET 日 = "2024-03-05 00:00:00", 可 = True, 実 = 0.1, 金 = 12.5 WHERE ID = 1)"));
    run(QStringLiteral(R"(UPDATE T SET 日 = "2024-03-05 09:07:08", 可 = False WHERE ID = 2)"));
    openSql(QStringLiteral("SELECT * FROM T ORDER BY ID"));
    EXPECT_EQ(ds->textAt(0, 7), "2024/03/05");
    EXPECT_EQ(ds->textAt(1, 7), "2024/03/05 9:07:08");
    EXPECT_EQ(ds->textAt(0, 8), "True");
    EXPECT_EQ(ds->textAt(1, 8), "False");
    EXPECT_EQ(ds->textAt(0, 5), "0.1");
    EXPECT_EQ(ds->textAt(0, 6), "12.5");
    EXPECT_EQ(ds->textAt(2, 7), "");
    EXPECT_TRUE(ds->valueAt(2, 7).isNull());
    EXPECT_EQ(ds->valueAt(1, 7).toDateTime(), QDateTime(QDate(2024, 3, 5), QTime(9, 7, 8)));
    EXPECT_EQ(ds->valueAt(0, 8).typeId(), QMetaType::Bool);
    EXPECT_EQ(ds->valueAt(0, 2).toLongLong(), 50);
}

TEST_F(DataSetTest, NavigationVisitsEveryRowOnce) {
    openSql(QStringLiteral("SELECT * FROM T WHERE 数 < 50 ORDER BY 数"));
    EXPECT_EQ(ds->recordCount(), 4);
    QStringList seen;
    for (ds->first(); !ds->eof(); ds->next())
        seen << ds->fieldByName(QStringLiteral("名")).asString();
    EXPECT_EQ(seen, QStringList({"n5", "n4", "n3", "n2"}));
    ds->last();
    EXPECT_EQ(ds->recNo(), 3);
    ds->prior();
    EXPECT_EQ(ds->field(1).asString(), "n3");
    EXPECT_FALSE(ds->findField(QStringLiteral("ない")).has_value());
    EXPECT_EQ(errorCode([&] { ds->fieldByName(QStringLiteral("ない")); }), Error::Code::Engine);
    EXPECT_EQ(ds->findField(QStringLiteral("id"))->index(), 0);

    openSql(QStringLiteral("SELECT * FROM T WHERE 数 > 1000"));
    EXPECT_EQ(ds->recordCount(), 0);
    ds->first();
    EXPECT_TRUE(ds->eof());
    EXPECT_TRUE(ds->field(1).isNull());
}

TEST_F(DataSetTest, EditPostCancelAppendRemove) {
    openSql(QStringLiteral("SELECT * FROM T ORDER BY ID"));
    QSignalSpy changed(ds.get(), &DataSet::rowChanged);
    QSignalSpy inserted(ds.get(), &DataSet::rowInserted);
    QSignalSpy removed(ds.get(), &DataSet::rowRemoved);

    ds->moveTo(1);
    ds->edit();
    ds->fieldByName(QStringLiteral("名")).setAsString(QStringLiteral("変更"));
    EXPECT_EQ(ds->textAt(1, 1), "変更");  // the grid paints the edit buffer
    ds->cancel();
    EXPECT_EQ(ds->textAt(1, 1), "n2");

    ds->edit();
    ds->fieldByName(QStringLiteral("日")).setAsString(QStringLiteral("2024/4/1 13:30"));
    ds->fieldByName(QStringLiteral("可")).setAsString(QStringLiteral("True"));
    ds->fieldByName(QStringLiteral("金")).setValue(1.23456);
    ds->post();
    EXPECT_EQ(column(QStringLiteral("SELECT 日 FROM T WHERE ID = 2")),
              QStringList({"2024/04/01 13:30:00"}));
    EXPECT_EQ(column(QStringLiteral("SELECT 金 FROM T WHERE ID = 2")), QStringList({"1.2346"}));
    EXPECT_EQ(ds->textAt(1, 8), "True");

    ds->append();
    EXPECT_EQ(ds->recordCount(), 6);
    EXPECT_EQ(ds->recNo(), 5);
    ds->fieldByName(QStringLiteral("名")).setValue(QStringLiteral("新"));
    ds->post();
    EXPECT_EQ(ds->state(), DataSet::State::Browse);
    EXPECT_EQ(ds->textAt(5, 0), "6");  // the engine's auto-number, read back
    EXPECT_EQ(column(QStringLiteral("SELECT count(*) FROM T")), QStringList({"6"}));

    ds->append();
    ds->cancel();
    EXPECT_EQ(ds->recordCount(), 6);

    ds->moveTo(0);
    ds->remove();
    EXPECT_EQ(ds->recordCount(), 5);
    EXPECT_EQ(ds->field(1).asString(), "n2");
    EXPECT_EQ(column(QStringLiteral("SELECT count(*) FROM T WHERE ID = 1")), QStringList({"0"}));
    EXPECT_GE(changed.count(), 3);
    EXPECT_EQ(inserted.count(), 2);
    EXPECT_EQ(removed.count(), 2);  // the cancelled append and the delete
}

TEST_F(DataSetTest, TypedWritesAreValidatedAsTheEngineWould) {
    openSql(QStringLiteral("SELECT * FROM T"));
    ds->edit();
    struct Case {
        const char* field;
        QVariant value;
        Error::Code code;
    } cases[] = {
        {"字", 256, Error::Code::OutOfRange},
        {"字", -1, Error::Code::OutOfRange},
        {"小", 32768, Error::Code::OutOfRange},
        {"小", QStringLiteral("-32769"), Error::Code::OutOfRange},
        {"数", QStringLiteral("12a"), Error::Code::TypeMismatch},
        {"数", 3000000000LL, Error::Code::OutOfRange},
        {"名", QStringLiteral("123456789"), Error::Code::TooLong},
        {"日", QStringLiteral("2024/02/30"), Error::Code::TypeMismatch},
        {"可", QStringLiteral("maybe"), Error::Code::TypeMismatch},
        {"実", QStringLiteral("1,5"), Error::Code::TypeMismatch},
        {"ID", 9, Error::Code::ReadOnly},
    };
    for (const auto& c : cases)
        EXPECT_EQ(errorCode([&] { ds->fieldByName(QString::fromUtf8(c.field)).setValue(c.value); }),
                  c.code)
            << c.field;
    // The limits themselves are accepted; eight characters fill NCHAR(8).
    ds->fieldByName(QStringLiteral("字")).setValue(255);
    ds->fieldByName(QStringLiteral("小")).setAsString(QStringLiteral("-32768"));
    ds->fieldByName(QStringLiteral("名")).setValue(QStringLiteral("１２３４５６７８"));
    ds->fieldByName(QStringLiteral("実")).setAsString(QString());  // empty text is NULL for numbers
    ds->post();
    EXPECT_TRUE(ds->field(5).isNull());
    EXPECT_EQ(ds->field(1).asString(), "１２３４５６７８");
    // Writing outside edit state is refused.
    EXPECT_EQ(errorCode([&] { ds->field(1).setValue(QStringLiteral("x")); }), Error::Code::State);
}

TEST_F(DataSetTest, BeforePostRunsForEveryPostAndFailuresKeepTheEdit) {
    openSql(QStringLiteral("SELECT * FROM T ORDER BY ID"));
    int calls = 0;
    ds->beforePost = [&](DataSet& d) {
        ++calls;
        auto f = d.fieldByName(QStringLiteral("名"));
        f.setValue(f.asString().trimmed());
    };
    ds->edit();
    ds->fieldByName(QStringLiteral("名")).setValue(QStringLiteral("  x  "));
    ds->next();  // leaving the record posts it
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(column(QStringLiteral("SELECT 名 FROM T WHERE ID = 1")), QStringList({"x"}));

    // A duplicate key fails the post; the record stays in insert state.
    run(QStringLiteral("CREATE TABLE K (k INTEGER, v NCHAR(5), PRIMARY KEY (k))"));
    run(QStringLiteral("INSERT INTO K VALUES (-1, \"a\")"));
    DataSet k(connection);
    k.setCommandText(QStringLiteral("SELECT * FROM K"));
    k.open();
    k.append();
    k.field(0).setValue(-1);
    EXPECT_EQ(errorCode([&] { k.post(); }), Error::Code::Constraint);
    EXPECT_EQ(k.state(), DataSet::State::Insert);
    k.field(0).setValue(-2);
    k.post();
    EXPECT_EQ(column(QStringLiteral("SELECT k FROM K ORDER BY k")), QStringList({"-2", "-1"}));
}

TEST_F(DataSetTest, BookmarksFindTheSameRecordAfterRequery) {
    openSql(QStringLiteral("SELECT * FROM T ORDER BY 数"));
    ds->moveTo(1);
    const auto mark = ds->bookmark();
    const QString name = ds->field(1).asString();
    ds->close();
    openSql(QStringLiteral("SELECT * FROM T ORDER BY 名 DESC"));
    ASSERT_TRUE(ds->gotoBookmark(mark));
    EXPECT_EQ(ds->field(1).asString(), name);
    openSql(QStringLiteral("SELECT * FROM T WHERE 数 > 100"));
    EXPECT_FALSE(ds->gotoBookmark(mark));

    // Every row's bookmark finds its own row again, in rowid order and in any
    // other order, also after rows were added and deleted.
    for (const char* sql : {"SELECT * FROM T", "SELECT * FROM T ORDER BY 数 DESC"}) {
        openSql(QString::fromUtf8(sql));
        ds->append();
        ds->post();
        ds->moveTo(2);
        ds->remove();
        std::vector<std::pair<DataSet::Bookmark, QString>> marks;
        for (ds->first(); !ds->eof(); ds->next())
            marks.emplace_back(ds->bookmark(), ds->field(0).asString());
        std::reverse(marks.begin(), marks.end());
        for (const auto& [b, id] : marks) {
            ASSERT_TRUE(ds->gotoBookmark(b)) << sql;
            EXPECT_EQ(ds->field(0).asString(), id) << sql;
        }
    }
}

TEST_F(DataSetTest, ViewsJoinsAndGroupsAreReadOnlyButReadable) {
    run(QStringLiteral("CREATE VIEW V AS SELECT ID, 名, 数 FROM T WHERE 数 >= 30"));
    openSql(QStringLiteral("SELECT * FROM [V]"));
    EXPECT_EQ(ds->recordCount(), 3);
    EXPECT_FALSE(ds->canModify());
    EXPECT_FALSE(ds->field(1).canModify());
    EXPECT_EQ(ds->field(1).dataType(), db::ftText);  // the base column's type shows through
    EXPECT_EQ(errorCode([&] { ds->edit(); }), Error::Code::ReadOnly);
    EXPECT_EQ(errorCode([&] { ds->append(); }), Error::Code::ReadOnly);

    openSql(QStringLiteral(
        "SELECT 数 MOD 20 AS g, count(*) AS n FROM T GROUP BY 数 MOD 20 ORDER BY g"));
    EXPECT_EQ(ds->recordCount(), 2);
    EXPECT_EQ(ds->textAt(0, 1), "2");  // 20 and 40
    EXPECT_EQ(ds->textAt(1, 1), "3");  // 10, 30 and 50
    ds->last();
    EXPECT_EQ(ds->field(0).asString(), "10");
}

TEST_F(DataSetTest, ParametersAndManyRowsByPosition) {
    run(QStringLiteral("CREATE TABLE B (v INTEGER)"));
    run(
        QStringLiteral("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < "
                       "1000) INSERT INTO B SELECT x FROM c"));
    ds->setCommandText(QStringLiteral("SELECT v, v * 2 AS w FROM B WHERE v > :A"));
    ds->addParameter(100, db::ParamType::Integer);
    ds->open();
    EXPECT_EQ(ds->recordCount(), 900);
    // Read far apart and backwards: blocks are fetched on demand.
    EXPECT_EQ(ds->textAt(899, 0), "1000");
    EXPECT_EQ(ds->textAt(0, 1), "202");
    EXPECT_EQ(ds->textAt(500, 0), "601");

    // A marker without its value is refused, never run as NULL.
    DataSet missing(connection);
    missing.setCommandText(QStringLiteral("SELECT * FROM B WHERE v > :A AND v < :B"));
    missing.addParameter(1, db::ParamType::Integer);
    EXPECT_EQ(errorCode([&] { missing.open(); }), Error::Code::Engine);
    EXPECT_FALSE(missing.active());
    EXPECT_EQ(errorCode([&] { run(QStringLiteral("DELETE FROM B WHERE v = :A")); }),
              Error::Code::Engine);
    db::Command cmd(connection);
    cmd.setCommandText(QStringLiteral("DELETE FROM B WHERE v = :A"));
    EXPECT_EQ(errorCode([&] { cmd.execute(); }), Error::Code::Engine);
    EXPECT_EQ(column(QStringLiteral("SELECT count(*) FROM B")), QStringList({"1000"}));
}

TEST_F(DataSetTest, ClosingTheConnectionClosesItsDataSets) {
    openSql(QStringLiteral("SELECT * FROM T"));
    connection.close();
    EXPECT_FALSE(ds->active());
    EXPECT_EQ(ds->recordCount(), 0);
}

TEST_F(DataSetTest, TableObjectAppendsRows) {
    db::Table t(connection, QStringLiteral("T"));
    t.open();
    t.append();
    t.fieldByName(QStringLiteral("名")).setValue(QStringLiteral("表"));
    t.fieldByName(QStringLiteral("日")).setValue(QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5)));
    t.post();
    t.close();
    EXPECT_EQ(column(QStringLiteral("SELECT 日 FROM T WHERE 名 = \"表\"")),
              QStringList({"2024/01/02 3:04:05"}));
    db::Table missing(connection, QStringLiteral("無い"));
    EXPECT_EQ(errorCode([&] { missing.open(); }), Error::Code::Engine);
}

TEST_F(DataSetTest, FieldKeptPastACloseIsAnErrorNotACrash) {
    openSql(QStringLiteral("SELECT * FROM T"));
    db::Field last = ds->field(10);
    openSql(QStringLiteral("SELECT ID FROM T"));
    EXPECT_EQ(errorCode([&] { last.name(); }), Error::Code::State);
    ds->close();
    EXPECT_EQ(errorCode([&] { last.asString(); }), Error::Code::State);
    EXPECT_EQ(errorCode([&] { ds->textAt(0, 0); }), Error::Code::State);
}

// A sorted saved query read by position: on in order, then back and far
// ahead, every row is the one the sort puts there.
TEST_F(DataSetTest, SortedViewReadsOnInOrderAndAfterJumps) {
    run(QStringLiteral("CREATE TABLE B (v INTEGER, t NCHAR(10))"));
    run(QStringLiteral("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < "
                       "1000) INSERT INTO B SELECT x, 'r' || x FROM c"));
    run(QStringLiteral("CREATE VIEW 逆順 AS SELECT v, t FROM B ORDER BY v DESC"));
    openSql(QStringLiteral("SELECT * FROM [逆順]"));
    ASSERT_EQ(ds->recordCount(), 1000);
    int expected = 1000;
    for (ds->first(); !ds->eof(); ds->next()) {
        ASSERT_EQ(ds->field(0).asString(), QString::number(expected));
        ASSERT_EQ(ds->field(1).asString(), QStringLiteral("r%1").arg(expected));
        --expected;
    }
    EXPECT_EQ(expected, 0);
    EXPECT_EQ(ds->textAt(3, 0), "997");
    EXPECT_EQ(ds->textAt(999, 1), "r1");
    EXPECT_EQ(ds->textAt(400, 0), "600");
    EXPECT_EQ(ds->textAt(399, 0), "601");
    EXPECT_EQ(ds->textAt(1000, 0), "");

    // The count leaves a sort out only where the sort cannot change it.
    run(QStringLiteral("CREATE VIEW 上位 AS SELECT v FROM B ORDER BY v DESC LIMIT 10"));
    openSql(QStringLiteral("SELECT * FROM [上位]"));
    EXPECT_EQ(ds->recordCount(), 10);
    EXPECT_EQ(ds->textAt(9, 0), "991");
    openSql(QStringLiteral("SELECT v FROM B UNION SELECT v + 2000 FROM B ORDER BY 1 DESC"));
    EXPECT_EQ(ds->recordCount(), 2000);
    EXPECT_EQ(ds->textAt(0, 0), "3000");
    openSql(QStringLiteral("SELECT v FROM B WHERE v < 100 ORDER BY v DESC LIMIT 5 OFFSET 3"));
    EXPECT_EQ(ds->recordCount(), 5);
    EXPECT_EQ(ds->textAt(0, 0), "96");
}
