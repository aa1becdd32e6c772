// Bulk writing: every row arrives, NULL stays NULL, the column rules hold
// whether the engine or the writer checks them, and an engine error in a
// batch surfaces instead of being lost with its row.
#include <sqlite3.h>

#include "DbFixture.h"

namespace {

using dbtest::DbTest;
using dbtest::errorCode;

class RowWriterTest : public DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        run(QStringLiteral("CREATE TABLE t (id COUNTER PRIMARY KEY, s NCHAR(3), i INTEGER, "
                           "b BIT, d DATETIME, f DOUBLE, m MEMO)"));
    }
    const QStringList columns{"s", "i", "b", "d", "f", "m"};

    // Every row as the engine stores it, values joined by "|".
    QStringList stored(const QString& select) {
        QStringList out;
        sqlite3_stmt* st = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(connection.handle(), select.toUtf8().constData(), -1, &st,
                                     nullptr),
                  SQLITE_OK);
        while (sqlite3_step(st) == SQLITE_ROW) {
            QStringList row;
            for (int c = 0; c < sqlite3_column_count(st); ++c)
                row << (sqlite3_column_type(st, c) == SQLITE_NULL
                            ? QStringLiteral("NULL")
                            : QString::fromUtf8(
                                  reinterpret_cast<const char*>(sqlite3_column_text(st, c))));
            out << row.join(QLatin1Char('|'));
        }
        sqlite3_finalize(st);
        return out;
    }
    int count() { return column(QStringLiteral("SELECT COUNT(*) FROM t")).first().toInt(); }
};

TEST_F(RowWriterTest, BatchedWritesEveryRowInOrderAndKeepsNulls) {
    // Not a multiple of any batch size, so the last rows take the one-row path.
    const int rows = 2 * 1632 + 38;
    for (auto mode : {db::RowWriter::Mode::Batched, db::RowWriter::Mode::BatchedIntoNewTable}) {
        run(QStringLiteral("DELETE FROM t"));
        db::Transaction transaction(connection);
        db::RowWriter w(connection, QStringLiteral("t"), columns, mode);
        for (int r = 0; r < rows; ++r) {
            if (r % 5 == 0) {
                for (int c = 0; c < 6; ++c) w.setNull(c);
            } else {
                w.setText(0, QString::number(r % 1000));
                w.setInteger(1, r);
                w.setBoolean(2, r % 2 == 1);
                w.setDateTime(3, QDate(2024, 3, 5).addDays(r), QTime(9, 30, 0, r % 2 ? 0 : 250));
                w.setDouble(4, r / 4.0);
                w.setText(5, QStringLiteral("メモ%1").arg(r));
            }
            w.write();
        }
        w.finish();
        transaction.commit();
        ASSERT_EQ(count(), rows);
        const QStringList all = stored(QStringLiteral("SELECT s, i, b, d, f, m FROM t ORDER BY id"));
        EXPECT_EQ(all[0], QStringLiteral("NULL|NULL|NULL|NULL|NULL|NULL"));
        EXPECT_EQ(all[1], QStringLiteral("1|1|1|2024-03-06 09:30:00|0.25|メモ1"));
        EXPECT_EQ(all[2], QStringLiteral("2|2|0|2024-03-07 09:30:00.250|0.5|メモ2"));
        EXPECT_EQ(all[rows - 1].section(QLatin1Char('|'), 1, 1), QString::number(rows - 1));
    }
}

TEST_F(RowWriterTest, WriterChecksRefuseWhatTheEngineRefuses) {
    struct Case {
        int column;
        QVariant value;
        db::ParamType type;
    };
    const Case cases[] = {
        {0, QStringLiteral("abcd"), db::ParamType::Text},           // wider than NCHAR(3)
        {0, QStringLiteral("ab\U0001F600"), db::ParamType::Text},   // three characters fit
        {3, QDateTime(QDate(10000, 1, 1), QTime(0, 0)), db::ParamType::DateTime},
        {3, QDateTime(QDate(2024, 2, 29), QTime(23, 59, 59)), db::ParamType::DateTime},
        {1, qint64(2147483648LL), db::ParamType::Integer},
        {4, QStringLiteral("1e3"), db::ParamType::Text},
        {2, QStringLiteral("maybe"), db::ParamType::Text},
    };
    for (const Case& c : cases) {
        auto outcome = [&](db::RowWriter::Mode mode) -> std::optional<db::Error::Code> {
            try {
                db::Transaction transaction(connection);
                db::RowWriter w(connection, QStringLiteral("t"), columns, mode);
                w.setValue(c.column, c.value, c.type);
                w.write();
                w.finish();
            } catch (const db::Error& e) {
                return e.code();
            }
            return std::nullopt;
        };
        const auto byEngine = outcome(db::RowWriter::Mode::RowByRow);
        const auto byWriter = outcome(db::RowWriter::Mode::BatchedIntoNewTable);
        EXPECT_EQ(byEngine, byWriter) << c.value.toString().toStdString();
    }
    EXPECT_EQ(count(), 0);  // every attempt was rolled back
    // The engine checks again once the writer is done.
    EXPECT_EQ(errorCode([&] { run(QStringLiteral("INSERT INTO t (s) VALUES (\"abcd\")")); }),
              db::Error::Code::TooLong);
}

TEST_F(RowWriterTest, AnEngineErrorInABatchSurfacesAndTheRowsRollBack) {
    run(QStringLiteral("CREATE TABLE u (k INTEGER UNIQUE, v NCHAR(10))"));
    {
        db::Transaction transaction(connection);
        db::RowWriter w(connection, QStringLiteral("u"), {QStringLiteral("k"), QStringLiteral("v")},
                        db::RowWriter::Mode::Batched);
        EXPECT_EQ(errorCode([&] {
                      // Past the first batch, so that the second thread meets the error.
                      for (int r = 0; r < 20000; ++r) {
                          w.setInteger(0, r == 4000 ? 7 : r);
                          w.setText(1, QStringLiteral("x"));
                          w.write();
                      }
                      w.finish();
                  }),
                  db::Error::Code::Constraint);
    }
    EXPECT_EQ(column(QStringLiteral("SELECT COUNT(*) FROM u")).first(), QStringLiteral("0"));
}

TEST_F(RowWriterTest, CopyKeepsStoredValuesAndConvertsOthersAsACommandWould) {
    // A table made by another tool: no checks, so odd values are possible.
    ASSERT_EQ(sqlite3_exec(connection.handle(),
                           "CREATE TABLE src (s NCHAR(10), i INTEGER, b BIT, d DATETIME, f DOUBLE, m MEMO);"
                           "INSERT INTO src VALUES (NULL, NULL, NULL, NULL, NULL, NULL);"
                           "INSERT INTO src VALUES ('ab', ' 12', 5, '2024/3/5 9:30', 2, 'x');"
                           "INSERT INTO src VALUES ('cd', 7, 0, '2024-03-05 00:00:00.000', 1.5, 'y');"
                           "INSERT INTO src VALUES ('ef', 8, 1, '2024-03-05 09:30:00.125', 3, 'z');",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    {
        db::RowReader r(connection, QStringLiteral("SELECT s, i, b, d, f, m FROM src"));
        db::RowWriter w(connection, QStringLiteral("t"), columns);
        while (r.next()) {
            for (int c = 0; c < r.columnCount(); ++c) w.copy(c, r, c);
            w.write();
        }
    }
    EXPECT_EQ(stored(QStringLiteral("SELECT s, i, b, d, f, m FROM t ORDER BY id")),
              (QStringList{"NULL|NULL|NULL|NULL|NULL|NULL",
                           "ab|12|1|2024-03-05 09:30:00|2.0|x",
                           "cd|7|0|2024-03-05 00:00:00|1.5|y",
                           "ef|8|1|2024-03-05 09:30:00.125|3.0|z"}));
    // A text too wide for its column is refused as the engine refuses it.
    ASSERT_EQ(sqlite3_exec(connection.handle(), "INSERT INTO src (s) VALUES ('abcd');", nullptr,
                           nullptr, nullptr),
              SQLITE_OK);
    db::RowReader r(connection, QStringLiteral("SELECT s FROM src WHERE s = \"abcd\""));
    db::RowWriter w(connection, QStringLiteral("t"), {QStringLiteral("s")});
    ASSERT_TRUE(r.next());
    w.copy(0, r, 0);
    EXPECT_EQ(errorCode([&] { w.write(); }), db::Error::Code::TooLong);
}

}  // namespace
