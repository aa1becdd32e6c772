// The CSV file of a list, read back byte by byte and with Python's csv module.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>

#include "ListFixtures.h"
#include "db/Db.h"
#include "excel/Fixtures.h"
#include "output/CsvList.h"
#include "support/TempDir.h"
#include "text/Cp932.h"

using output::CsvEncoding;
using output::ListError;

namespace {

class CsvList : public ::testing::Test {
protected:
    void SetUp() override {
        database = dir.file(QStringLiteral("名簿.mdb"));
        listtest::writeListDatabase(database, rows);
        connection.setConnectionString(
            QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"%1\"").arg(database));
        connection.open();
        fields.setCommandText(QStringLiteral("SELECT * FROM [名簿] ORDER BY [ID]"));
        fields.open();
        all = output::allColumns(fields);
    }
    output::ListRecords records() {
        return {connection, fields.commandText(), fields.recordCount()};
    }
    std::vector<output::ListColumn> pick(std::initializer_list<int> indexes) {
        std::vector<output::ListColumn> out;
        for (int i : indexes) out.push_back(all[size_t(i)]);
        return out;
    }
    QByteArray bytes(const QString& path) {
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
        return f.readAll();
    }

    std::vector<listtest::Row> rows = listtest::sampleRows();
    testsupport::TempDir dir;
    QString database;
    db::Connection connection;
    db::DataSet fields{connection};
    std::vector<output::ListColumn> all;
};

}  // namespace

TEST_F(CsvList, QuotesOnlyTheValuesThatNeedItAndLeavesEveryOtherLineAsItIs) {
    const QString path = dir.file(QStringLiteral("list.csv"));
    std::vector<int> percents;
    EXPECT_EQ(output::writeCsvList(path, records(), all, CsvEncoding::Cp932,
                                   [&](int p) { percents.push_back(p); }),
              5);
    const QByteArray file = bytes(path);
    // Shift-JIS without a byte-order mark, CR LF after every line.
    const QByteArray expected = text::toCp932(QStringLiteral(
        "ID,氏名,住所,郵便番号,入会日,会費,有効,備考\r\n"
        "1,山田 太郎,東京都千代田区,0600001,2024/04/01,1500,True,\r\n"
        "2,\"佐藤, 花子\",\"大阪府\"\"北区\"\"\",5300001,2024/03/05 "
        "9:30:00,12.5,False,\"一行目\r\n二行目\"\r\n"
        "3,鈴木 一郎,,,,,,備考のみ\r\n"
        "4,高橋 ①,札幌市～中央区,0640941,1999/12/31,0,True,\r\n"
        "5,田中 次郎,名古屋市,4600001,2024/01/15,3000,False,　全角空白で始まる\r\n"));
    EXPECT_EQ(file, expected);
    EXPECT_EQ(percents, (std::vector<int>{20, 40, 60, 80, 100}));

    // Every record reads back as one row of the same eight values.
    const QJsonArray read = listtest::readCsvWithPython(path, QStringLiteral("cp932"));
    ASSERT_EQ(read.size(), 6);
    EXPECT_EQ(read[2].toArray()[1].toString(), QStringLiteral("佐藤, 花子"));
    EXPECT_EQ(read[2].toArray()[2].toString(), QStringLiteral("大阪府\"北区\""));
    EXPECT_EQ(read[2].toArray()[7].toString(), QStringLiteral("一行目\r\n二行目"));
    for (const QJsonValue& row : read) EXPECT_EQ(row.toArray().size(), 8);
}

TEST_F(CsvList, ChosenFieldsOnlyAndTheSameBytesEveryTime) {
    const QString first = dir.file(QStringLiteral("a.csv"));
    const QString second = dir.file(QStringLiteral("b.csv"));
    output::writeCsvList(first, records(), pick({1, 2}));
    output::writeCsvList(second, records(), pick({1, 2}));
    EXPECT_EQ(bytes(first), bytes(second));
    const QJsonArray read = listtest::readCsvWithPython(first, QStringLiteral("cp932"));
    ASSERT_EQ(read.size(), 6);
    EXPECT_EQ(listtest::texts(read[0]), QStringList({"氏名", "住所"}));
    for (const QJsonValue& row : read) EXPECT_EQ(row.toArray().size(), 2);
    EXPECT_TRUE(bytes(first).startsWith(text::toCp932(QStringLiteral("氏名,住所\r\n山田 太郎,"))));
}

TEST_F(CsvList, UnencodableCharacterIsReportedAndTheOldFileStays) {
    const QString path = dir.file(QStringLiteral("list.csv"));
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old contents\r\n");
    old.close();
    connection.execute(QStringLiteral("UPDATE [名簿] SET [住所] = \"横浜市😀\" WHERE [ID] = 4"));
    try {
        output::writeCsvList(path, records(), all);
        FAIL() << "no error";
    } catch (const ListError& e) {
        EXPECT_EQ(e.code(), ListError::Code::Unencodable);
        EXPECT_EQ(e.record, 4);
        EXPECT_EQ(e.field, QStringLiteral("住所"));
        EXPECT_EQ(e.character, char32_t(0x1F600));
    }
    EXPECT_EQ(bytes(path), QByteArray("old contents\r\n"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2)
        << "a temporary file was left";

    // UTF-8 holds it; the mark tells other tools the encoding.
    EXPECT_EQ(output::writeCsvList(path, records(), pick({0, 2}), CsvEncoding::Utf8WithBom), 5);
    EXPECT_TRUE(bytes(path).startsWith("\xEF\xBB\xBFID,"));
    const QJsonArray read = listtest::readCsvWithPython(path, QStringLiteral("utf-8-sig"));
    EXPECT_EQ(read[4].toArray()[1].toString(), QStringLiteral("横浜市😀"));
}

TEST_F(CsvList, FileThatCannotBeCreatedIsRefused) {
    try {
        output::writeCsvList(dir.file(QStringLiteral("no/such/folder/list.csv")), records(), all);
        FAIL() << "no error";
    } catch (const ListError& e) {
        EXPECT_EQ(e.code(), ListError::Code::CannotCreate);
    }
}

TEST(CsvFileName, AlwaysEndsInCsv) {
    const std::pair<const char*, const char*> cases[] = {
        {"/tmp/名簿.txt", "/tmp/名簿.csv"},
        {"/tmp/名簿", "/tmp/名簿.csv"},
        {"/tmp/a.b/名簿", "/tmp/a.b/名簿.csv"},
        {"/tmp/名簿.CSV", "/tmp/名簿.csv"},
        {"/tmp/名簿.2024.xlsx", "/tmp/名簿.2024.csv"}};
    for (const auto& [in, out] : cases)
        EXPECT_EQ(output::csvFileName(QString::fromUtf8(in)), QString::fromUtf8(out)) << in;
}
