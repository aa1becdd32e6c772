// tesmora-list run in-process: its modes, its options, and every failure
// leaving the target as it was.
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <sstream>

#include "ListFixtures.h"
#include "ListTool.h"
#include "SheetFixtures.h"
#include "db/Db.h"
#include "excel/Fixtures.h"
#include "support/TempDir.h"

namespace {

class ListTool : public ::testing::Test {
protected:
    void SetUp() override {
        database = dir.file(QStringLiteral("名簿.mdb"));
        listtest::writeListDatabase(database, listtest::sampleRows());
    }
    int run(QStringList args) {
        std::ostringstream o, e;
        const int rc = listtool::run(args, o, e);
        out = QString::fromStdString(o.str());
        err = QString::fromStdString(e.str());
        return rc;
    }
    QByteArray bytes(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
    }
    void writeFile(const QString& path, const QByteArray& content) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    }

    testsupport::TempDir dir;
    QString database, out, err;
};

}  // namespace

TEST_F(ListTool, WrongUsageIsRefusedWithStatusTwo) {
    const QString csv = dir.file(QStringLiteral("a.csv"));
    const QList<QStringList> wrong = {
        {},
        {database},
        {database, listtest::kTable},
        {database, listtest::kTable, "--csv"},
        {database, listtest::kTable, "--csv", csv, "--pdf", csv},
        {database, listtest::kTable, "--csv", csv, "--limit", "3"},
        {database, listtest::kTable, "--pdf", csv, "--encoding", "utf-8"},
        {database, listtest::kTable, "--csv", csv, "--encoding", "latin1"},
        {database, listtest::kTable, "extra", "--csv", csv},
        {database, listtest::kTable, "--sheet", csv},
    };
    for (const QStringList& args : wrong) {
        EXPECT_EQ(run(args), 2) << args.join(' ').toStdString();
        EXPECT_TRUE(err.contains(QStringLiteral("usage:"))) << args.join(' ').toStdString();
    }
    EXPECT_FALSE(QFile::exists(csv));
}

TEST_F(ListTool, CsvWithChosenFieldsConditionAndOrder) {
    const QString csv = dir.file(QStringLiteral("会費.csv"));
    ASSERT_EQ(run({database, listtest::kTable, "--csv", csv, "--fields", "会費,氏名", "--where",
                   "[会費] > 100", "--order", "会費 DESC"}),
              0)
        << err.toStdString();
    EXPECT_EQ(out, QStringLiteral("target,records\r\n%1,2\r\n").arg(csv));
    const QJsonArray rows = listtest::readCsvWithPython(csv, QStringLiteral("cp932"));
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(listtest::texts(rows[0]), QStringList({"会費", "氏名"}));
    EXPECT_EQ(listtest::texts(rows[1]), QStringList({"3000", "田中 次郎"}));
    EXPECT_EQ(listtest::texts(rows[2]), QStringList({"1500", "山田 太郎"}));

    ASSERT_EQ(run({database, "名簿", "--csv", csv, "--encoding", "utf-8", "--fields", "氏名"}), 0);
    EXPECT_TRUE(bytes(csv).startsWith("\xEF\xBB\xBF\xE6\xB0\x8F\xE5\x90\x8D\r\n"));
}

TEST_F(ListTool, FailuresLeaveTheTargetAsItWas) {
    const QString csv = dir.file(QStringLiteral("list.csv"));
    writeFile(csv, "before\r\n");
    {
        db::Connection c;
        c.setConnectionString(
            QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"%1\"").arg(database));
        c.open();
        c.execute(QStringLiteral("UPDATE [名簿] SET [備考] = \"♪🎵\" WHERE [ID] = 2"));
    }
    const QList<std::pair<QStringList, QString>> failing = {
        {{dir.file("none.mdb"), listtest::kTable, "--csv", csv}, "no database file"},
        {{database, "会員", "--csv", csv}, "no table or saved query named \"会員\""},
        {{database, listtest::kTable, "--csv", csv, "--fields", "氏名,年齢"},
         "no field named \"年齢\""},
        {{database, listtest::kTable, "--csv", csv, "--order", "年齢"}, "no field named \"年齢\""},
        {{database, listtest::kTable, "--csv", csv, "--where", "[氏名] = "}, ""},
        {{database, listtest::kTable, "--csv", csv}, "record 2, field 備考"},
        {{database, listtest::kTable, "--pdf", dir.file("no/folder/list.pdf")}, "cannot create"},
    };
    for (const auto& [args, message] : failing) {
        EXPECT_EQ(run(args), 1) << args.join(' ').toStdString();
        EXPECT_TRUE(err.startsWith(QStringLiteral("tesmora-list: "))) << err.toStdString();
        EXPECT_TRUE(err.contains(message)) << err.toStdString();
        EXPECT_TRUE(out.isEmpty());
    }
    EXPECT_EQ(bytes(csv), QByteArray("before\r\n"));
    // The same list without the field that cannot be encoded goes through.
    EXPECT_EQ(run({database, listtest::kTable, "--csv", csv, "--fields", "ID,氏名"}), 0);
}

TEST_F(ListTool, PdfAndSheetModes) {
    const QString pdf = dir.file(QStringLiteral("名簿.pdf"));
    ASSERT_EQ(run({database, listtest::kTable, "--pdf", pdf, "--order", "ID DESC"}), 0)
        << err.toStdString();
    EXPECT_EQ(out, QStringLiteral("target,records,pages\r\n%1,5,1\r\n").arg(pdf));
    const QString text = sheettest::pdfText(pdf);
    EXPECT_TRUE(text.contains(QStringLiteral("(1頁)")));
    EXPECT_LT(text.indexOf(QStringLiteral("田中 次郎")), text.indexOf(QStringLiteral("山田 太郎")));

    const QString book = dir.file(QStringLiteral("名簿.xlsx"));
    QString pyOut;
    ASSERT_EQ(
        exceltest::runProgram(QStringLiteral("/usr/bin/python3"),
                              {QStringLiteral("-c"),
                               QStringLiteral("import sys, openpyxl\nwb = openpyxl.Workbook()\n"
                                              "wb.active.title = '一覧'\nwb.save(sys.argv[1])\n"),
                               book},
                              &pyOut),
        0)
        << pyOut.toStdString();
    const QByteArray before = bytes(book);
    EXPECT_EQ(run({database, listtest::kTable, "--sheet", book, "一覧表"}), 1);
    EXPECT_TRUE(err.contains(QStringLiteral("no worksheet named \"一覧表\"")));
    EXPECT_EQ(bytes(book), before);
    ASSERT_EQ(run({database, listtest::kTable, "--sheet", book, "一覧", "--fields", "氏名",
                   "--where", "[有効] = True"}),
              0)
        << err.toStdString();
    EXPECT_EQ(out, QStringLiteral("target,records\r\n%1,2\r\n").arg(book));
    const QJsonObject got = exceltest::readBack(
        book, QStringLiteral("ws = wb['一覧']\nprint(json.dumps({'a': [ws['A1'].value, "
                             "ws['A2'].value, ws['A3'].value, ws['A4'].value]}))\n"));
    EXPECT_EQ(listtest::texts(got[QStringLiteral("a")]),
              QStringList({"氏名", "山田 太郎", "高橋 ①", "-"}));
}
