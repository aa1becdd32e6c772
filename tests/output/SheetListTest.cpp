// The list written into a sheet of an existing workbook, read back with
// openpyxl.
#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>

#include "ListFixtures.h"
#include "db/Db.h"
#include "excel/Fixtures.h"
#include "output/SheetList.h"
#include "support/TempDir.h"

using listtest::texts;
using output::ListError;

namespace {

// A workbook written by openpyxl: a cover sheet (active) and 一覧 holding an
// older, longer list.
QString makeWorkbook(const QString& path) {
    const QString program = QStringLiteral(
        "import sys, openpyxl\n"
        "wb = openpyxl.Workbook()\n"
        "cover = wb.active\n"
        "cover.title = '表紙'\n"
        "cover['A1'] = '会員名簿'\n"
        "old = wb.create_sheet('一覧')\n"
        "for r in range(1, 31):\n"
        "    for c in range(1, 11):\n"
        "        old.cell(row=r, column=c, value=f'古{r}-{c}')\n"
        "wb.save(sys.argv[1])\n");
    QString out;
    EXPECT_EQ(exceltest::runProgram(QStringLiteral("/usr/bin/python3"),
                                    {QStringLiteral("-c"), program, path}, &out),
              0)
        << out.toStdString();
    return path;
}

QByteArray digest(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

class SheetList : public ::testing::Test {
protected:
    void SetUp() override {
        database = dir.file(QStringLiteral("名簿.mdb"));
        listtest::writeListDatabase(database, listtest::sampleRows());
        connection.setConnectionString(
            QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"%1\"").arg(database));
        connection.open();
        ds.setCommandText(QStringLiteral("SELECT * FROM [名簿] ORDER BY [ID] DESC"));
        ds.open();
        columns = output::allColumns(ds);
        columns.erase(columns.begin() + 7);  // no memo
        book = makeWorkbook(dir.file(QStringLiteral("名簿.xlsx")));
    }
    output::ListRecords records() { return {connection, ds.commandText(), ds.recordCount()}; }

    testsupport::TempDir dir;
    QString database, book;
    db::Connection connection;
    db::DataSet ds{connection};
    std::vector<output::ListColumn> columns;
};

}  // namespace

TEST_F(SheetList, ClearsTheOldListAndWritesNamesThenRecordsAsTyped) {
    EXPECT_EQ(output::writeListToWorkbook(book, QStringLiteral("一覧"),
                                          QStringLiteral("Excel.Application"), records(), columns),
              5);
    const QJsonObject got = exceltest::readBack(
        book, QStringLiteral("ws = wb['一覧']\n"
                             "rows = [[None if v is None else str(v) for v in r] for r in "
                             "ws.iter_rows(min_row=1, max_row=30, max_col=10, values_only=True)]\n"
                             "print(json.dumps({'rows': rows, 'types': "
                             "[type(ws['A2'].value).__name__, type(ws['D6'].value).__name__],"
                             " 'cover': wb['表紙']['A1'].value}))\n"));
    const QJsonArray rows = got[QStringLiteral("rows")].toArray();
    EXPECT_EQ(texts(rows[0]), QStringList({"ID", "氏名", "住所", "郵便番号", "入会日", "会費",
                                           "有効", "-", "-", "-"}));
    // Newest first, as the records were ordered; a postcode keeps its zero.
    EXPECT_EQ(rows[1].toArray()[0].toString(), QStringLiteral("5"));
    EXPECT_EQ(rows[1].toArray()[1].toString(), QStringLiteral("田中 次郎"));
    EXPECT_EQ(rows[5].toArray()[3].toString(), QStringLiteral("0600001"));
    EXPECT_EQ(texts(got[QStringLiteral("types")]), QStringList({"int", "str"}));
    // Everything of the older list beyond the new one is gone.
    for (int r = 6; r < 30; ++r)
        for (const QJsonValue& v : rows[r].toArray()) EXPECT_TRUE(v.isNull()) << r;
    EXPECT_TRUE(rows[1].toArray()[8].isNull());
    EXPECT_EQ(got[QStringLiteral("cover")].toString(), QStringLiteral("会員名簿"));
}

TEST_F(SheetList, MissingSheetLeavesTheWorkbookUntouched) {
    const QByteArray before = digest(book);
    try {
        output::writeListToWorkbook(book, QStringLiteral("一覧表"),
                                    QStringLiteral("Excel.Application"), records(), columns);
        FAIL() << "no error";
    } catch (const ListError& e) {
        EXPECT_EQ(e.code(), ListError::Code::NoSheet);
    }
    EXPECT_EQ(digest(book), before);
}
