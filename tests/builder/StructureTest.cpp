// Tables and fields added to an open database, and records imported from
// another database.
#include <gtest/gtest.h>

#include <QFile>

#include "builder/BuilderFixture.h"
#include "builder/Builder.h"
#include "db/Db.h"

using namespace builder;
using buildertest::sqlite;

namespace {

struct OpenDatabase {
    testsupport::TempDir dir;
    QString path = dir.file(QStringLiteral("main.mdb"));
    db::Connection c;
    explicit OpenDatabase(const QString& ddl, const QString& password = {}) {
        db::createDatabase(path);
        if (!password.isEmpty()) db::setDatabasePassword(path, {}, password);
        c.setConnectionString(connectionStringFor(path, password));
        c.open();
        if (!ddl.isEmpty()) c.execute(ddl);
    }
};

QString refusal(const std::function<void()>& f) {
    try {
        f();
    } catch (const Refusal& r) {
        return r.message();
    }
    return {};
}

}  // namespace

TEST(AddTable, GuidKeyColumnPasswordAndNames) {
    OpenDatabase d(QStringLiteral("CREATE TABLE 顧客 (ID COUNTER PRIMARY KEY)"), QStringLiteral("pw;1"));
    const QStringList tables{QStringLiteral("顧客")};
    EXPECT_EQ(refusal([&] { addTable(d.c, QStringLiteral("顧客"), tables); }), QStringLiteral("テーブル名が重複してます"));
    EXPECT_EQ(refusal([&] { addTable(d.c, QStringLiteral("sqlite_x"), tables); }), QStringLiteral("sqlite_xはテーブル名に使えません"));
    EXPECT_EQ(refusal([&] { addTable(d.c, QStringLiteral("a b"), tables); }), QStringLiteral("a bで半角記号文字は使えません"));
    addTable(d.c, QStringLiteral("4月　売上"), tables);  // full-width blank
    const TableShape shape = tableShape(d.c, QStringLiteral("4月　売上"));
    EXPECT_EQ(shape.fields, QStringList{kKeyColumn});
    db::DataSet ds(d.c);
    ds.setCommandText(QStringLiteral("SELECT * FROM [4月　売上]"));
    ds.open();
    EXPECT_EQ(ds.field(0).dataType(), db::ftGuid);
}

TEST(AddField, LimitsAtTheirEdgesAndBracketedNames) {
    OpenDatabase d(QStringLiteral("CREATE TABLE t (ID COUNTER PRIMARY KEY)"));
    TableShape shape = tableShape(d.c, QStringLiteral("t"));
    shape.textWidth = 1950;
    EXPECT_NO_THROW(addField(d.c, QStringLiteral("t"), shape, QStringLiteral("Limit"), btText, 50));
    shape.textWidth = 1951;
    EXPECT_EQ(refusal([&] { addField(d.c, QStringLiteral("t"), shape, QStringLiteral("x"), btText, 50); }),
              QStringLiteral("総文字数が上限を超えてます"));
    EXPECT_NO_THROW(addField(d.c, QStringLiteral("t"), shape, QStringLiteral("メモ欄"), btMemo, 50));
    shape = tableShape(d.c, QStringLiteral("t"));
    EXPECT_EQ(shape.textWidth, 50);  // the memo does not count
    EXPECT_EQ(refusal([&] { addField(d.c, QStringLiteral("t"), shape, QStringLiteral("LIMIT"), btInteger, 0); }),
              QStringLiteral("フィールド名が重複してます"));
    EXPECT_EQ(refusal([&] { addField(d.c, QStringLiteral("t"), shape, QStringLiteral("oid"), btInteger, 0); }),
              QStringLiteral("oidはフィールド名に使えません"));
    for (const char* name : {"4月売上", "2024", "a@b"})
        EXPECT_NO_THROW(addField(d.c, QStringLiteral("t"), shape, QString::fromUtf8(name), btInteger, 0));
    shape.fieldCount = 253;
    EXPECT_NO_THROW(addField(d.c, QStringLiteral("t"), shape, QStringLiteral("f253"), btDate, 0));
    shape.fieldCount = 254;
    EXPECT_EQ(refusal([&] { addField(d.c, QStringLiteral("t"), shape, QStringLiteral("f254"), btDate, 0); }),
              QStringLiteral("フィールド数が上限です"));
    d.c.close();
    EXPECT_EQ(sqlite(d.path, QStringLiteral("SELECT name, type FROM pragma_table_info('t') WHERE name <> 'ID'")),
              (QStringList{QStringLiteral("Limit|NCHAR(50)"), QStringLiteral("メモ欄|MEMO TEXT"),
                           QStringLiteral("4月売上|INTEGER"), QStringLiteral("2024|INTEGER"),
                           QStringLiteral("a@b|INTEGER"), QStringLiteral("f253|TIMESTAMP TEXT")}));
}

TEST(Import, ClassifiesKeepsNullsAndRollsBackARefusedRecord) {
    OpenDatabase dest(QStringLiteral(
        "CREATE TABLE 台帳 (ID COUNTER PRIMARY KEY, NAME NCHAR(4), 数 INTEGER, 小 SMALLINT, 額 DOUBLE, "
        "日 TIMESTAMP, 可 BIT, 備考 NCHAR(10))"));
    testsupport::TempDir other;
    const QString srcPath = other.file(QStringLiteral("src.mdb"));
    db::createDatabase(srcPath);
    db::Connection src;
    src.setConnectionString(connectionStringFor(srcPath));
    src.open();
    src.execute(QStringLiteral(
        "CREATE TABLE 元 (ID COUNTER PRIMARY KEY, name NCHAR(20), 数 BYTE, 小 INTEGER, 額 CURRENCY, "
        "日 TIMESTAMP, 可 BIT, 備考 MEMO, 無い INTEGER)"));
    src.execute(QStringLiteral("INSERT INTO 元 (name, 数, 額, 日, 可) VALUES (\"ab\", 7, 1.25, #2024/03/05#, True)"));
    src.execute(QStringLiteral("INSERT INTO 元 (name) VALUES (Null)"));

    const ImportPlan plan = classifyFields(fieldsOf(src, QStringLiteral("元")), fieldsOf(dest.c, QStringLiteral("台帳")));
    QStringList importable;
    for (const FieldInfo& f : plan.importable) importable << f.name;
    EXPECT_EQ(importable, (QStringList{QStringLiteral("name"), QStringLiteral("数"), QStringLiteral("額"),
                                       QStringLiteral("日"), QStringLiteral("可")}));
    EXPECT_EQ(plan.refused, (QStringList{QStringLiteral("S:ID"), QStringLiteral("T:小"), QStringLiteral("S:備考"),
                                         QStringLiteral("N:無い")}));

    EXPECT_EQ(importRecords(src, QStringLiteral("元"), dest.c, QStringLiteral("台帳"), plan), 2);
    EXPECT_EQ(sqlite(dest.path, QStringLiteral("SELECT NAME, 数, 額, 日, 可 FROM 台帳 ORDER BY ID")),
              (QStringList{QStringLiteral("ab|7|1.25|2024-03-05 00:00:00|1"),
                           QStringLiteral("<NULL>|<NULL>|<NULL>|<NULL>|<NULL>")}));

    // A name too long for the destination's four characters, in the third record.
    src.execute(QStringLiteral("INSERT INTO 元 (name) VALUES (\"長すぎる名前\")"));
    const QString message = refusal([&] { importRecords(src, QStringLiteral("元"), dest.c, QStringLiteral("台帳"), plan); });
    EXPECT_TRUE(message.startsWith(QStringLiteral("3件目のレコード"))) << message.toStdString();
    EXPECT_EQ(sqlite(dest.path, QStringLiteral("SELECT count(*) FROM 台帳")), QStringList{QStringLiteral("2")});

    EXPECT_TRUE(sameDatabase(dest.path, dest.dir.path() + QStringLiteral("/./main.mdb")));
    QFile::link(dest.path, dest.dir.file(QStringLiteral("link.mdb")));
    EXPECT_TRUE(sameDatabase(dest.path, dest.dir.file(QStringLiteral("link.mdb"))));
    EXPECT_FALSE(sameDatabase(dest.path, srcPath));
}
