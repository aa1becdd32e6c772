#include "OutputFixtures.h"

#include <gtest/gtest.h>

#include <QProcess>

#include "db/Db.h"
#include "excel/Fixtures.h"

namespace outputtest {

void writeMembers(const QString& path, const std::vector<Member>& members) {
    db::createDatabase(path);
    db::Connection c;
    c.setConnectionString(
        QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"%1\"").arg(path));
    c.open();
    c.execute(QStringLiteral("CREATE TABLE [会員] (ID COUNTER PRIMARY KEY, 氏名 NCHAR(20), "
                             "コード NCHAR(10), 会費 CURRENCY, 写真 NCHAR(200), "
                             "リンク NCHAR(200), 備考 MEMO)"));
    db::Command insert(c);
    insert.setCommandText(QStringLiteral(
        "INSERT INTO [会員] (氏名, コード, 会費, 写真, リンク) VALUES (:A, :B, :C, :D, :E)"));
    db::Transaction t(c);
    for (const Member& m : members) {
        insert.clearParameters();
        insert.addParameter(m.name, db::ParamType::Text);
        insert.addParameter(m.code, db::ParamType::Text);
        insert.addParameter(m.fee, db::ParamType::Float);
        insert.addParameter(m.photo, db::ParamType::Text);
        insert.addParameter(m.link, db::ParamType::Text);
        insert.execute();
    }
    t.commit();
}

std::vector<Member> plainMembers(int n) {
    std::vector<Member> members;
    for (int i = 1; i <= n; ++i)
        members.push_back({QStringLiteral("会員%1").arg(i),
                           QString::number(i).rightJustified(4, QLatin1Char('0')), i * 100.0,
                           QString(), QString()});
    return members;
}

void makeTemplates(const QString& dir) {
    QString out;
    const int rc = exceltest::runProgram(
        QStringLiteral("/usr/bin/python3"),
        {QStringLiteral(TESMORA_SOURCE_TESTS "/output/document/make_templates.py"), dir}, &out,
        120000);
    ASSERT_EQ(rc, 0) << "templates could not be made: " << out.toStdString();
}

documents::LinkList cardBindings() {
    return {{QStringLiteral("B2"), QStringLiteral("氏名"), {}},
            {QStringLiteral("B3"), QStringLiteral("コード"), {}},
            {QStringLiteral("B4"), QStringLiteral("!日付"), {}},
            {QStringLiteral("B5"), QStringLiteral("!通し番号"), {}},
            {QStringLiteral("B6"), QStringLiteral("%リンク"), {}},
            {QStringLiteral("B8"), QStringLiteral("会費"), {}},
            {QStringLiteral("#1"), QStringLiteral("写真"), {}}};
}

documents::LinkList blockBindings() {
    return {{QStringLiteral("A1"), QStringLiteral("氏名"), {}},
            {QStringLiteral("B1"), QStringLiteral("コード"), {}},
            {QStringLiteral("#1,2,3,4,5,6"), QStringLiteral("写真"), {}}};
}

documents::BlockSettings blocks2x3() {
    documents::BlockSettings b;
    b.XSection = 2;
    b.YSection = 3;
    b.XIncrement = 4;
    b.YIncrement = 10;
    return b;
}

QStringList sqliteRows(const QString& database, const QString& sql) {
    QProcess p;
    p.start(QStringLiteral("sqlite3"), {QStringLiteral("-batch"), database, sql});
    EXPECT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    QStringList rows = QString::fromUtf8(p.readAllStandardOutput()).split('\n');
    if (!rows.isEmpty() && rows.last().isEmpty()) rows.removeLast();
    return rows;
}

QJsonObject openpyxl(const QString& file, const QString& script) {
    return exceltest::readBack(file, script);
}

}  // namespace outputtest
