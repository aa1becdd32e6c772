#include "ListFixtures.h"

#include <gtest/gtest.h>

#include <QJsonDocument>

#include "db/Db.h"
#include "excel/Fixtures.h"

namespace listtest {

void writeListDatabase(const QString& path, const std::vector<Row>& rows) {
    db::createDatabase(path);
    db::Connection c;
    c.setConnectionString(
        QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"%1\"").arg(path));
    c.open();
    c.execute(
        QStringLiteral("CREATE TABLE [名簿] (ID COUNTER PRIMARY KEY, 氏名 NCHAR(20), "
                       "住所 NCHAR(40), 郵便番号 NCHAR(8), 入会日 TIMESTAMP, 会費 CURRENCY, "
                       "有効 BIT, 備考 MEMO)"));
    db::Command insert(c);
    insert.setCommandText(
        QStringLiteral("INSERT INTO [名簿] (氏名, 住所, 郵便番号, 入会日, 会費, 有効, 備考) "
                       "VALUES (:A, :B, :C, :D, :E, :F, :G)"));
    db::Transaction t(c);
    for (const Row& r : rows) {
        insert.clearParameters();
        auto orNull = [](const QString& s) { return s.isEmpty() ? QVariant() : QVariant(s); };
        insert.addParameter(r.value(1), db::ParamType::Text);
        insert.addParameter(r.value(2), db::ParamType::Text);
        insert.addParameter(r.value(3), db::ParamType::Text);
        insert.addParameter(orNull(r.value(4)), db::ParamType::DateTime);
        insert.addParameter(orNull(r.value(5)), db::ParamType::Float);
        insert.addParameter(orNull(r.value(6)), db::ParamType::Boolean);
        insert.addParameter(orNull(r.value(7)), db::ParamType::Text);
        insert.execute();
    }
    t.commit();
}

std::vector<Row> sampleRows() {
    return {
        {"1", "山田 太郎", "東京都千代田区", "0600001", "2024/04/01", "1500", "True", ""},
        {"2", "佐藤, 花子", "大阪府\"北区\"", "5300001", "2024/03/05 9:30:00", "12.5", "False",
         "一行目\r\n二行目"},
        {"3", "鈴木 一郎", "", "", "", "", "", "備考のみ"},
        {"4", "高橋 ①", "札幌市～中央区", "0640941", "1999/12/31", "0", "True", ""},
        {"5", "田中 次郎", "名古屋市", "4600001", "2024/01/15", "3000", "False",
         "　全角空白で始まる"},
    };
}

std::vector<Row> plainRows(int n) {
    std::vector<Row> rows;
    for (int i = 1; i <= n; ++i)
        rows.push_back({QString::number(i), QStringLiteral("会員%1").arg(i),
                        QStringLiteral("住所%1").arg(i), QStringLiteral("0600001"),
                        QStringLiteral("2024/04/01"), QString::number(i * 100), "True", ""});
    return rows;
}

QJsonArray readCsvWithPython(const QString& path, const QString& encoding) {
    const QString program = QStringLiteral(
        "import sys, csv, json\n"
        "with open(sys.argv[1], encoding=sys.argv[2], newline='') as f:\n"
        "    print(json.dumps(list(csv.reader(f))))\n");
    QString out;
    const int rc = exceltest::runProgram(QStringLiteral("/usr/bin/python3"),
                                         {QStringLiteral("-c"), program, path, encoding}, &out);
    EXPECT_EQ(rc, 0) << out.toStdString();
    return QJsonDocument::fromJson(out.toUtf8()).array();
}

QStringList texts(const QJsonValue& array) {
    QStringList out;
    for (const QJsonValue& v : array.toArray())
        out << (v.isNull() ? QStringLiteral("-") : v.toString());
    return out;
}

}  // namespace listtest
