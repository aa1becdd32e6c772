// tesmora-output in-process: saving and printing a registered document,
// the serial number stored back, the print log, and failures that leave
// nothing behind.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <sstream>

#include "OutputFixtures.h"
#include "OutputTool.h"
#include "ProgramFiles.h"
#include "SheetFixtures.h"
#include "db/Db.h"
#include "documents/Registry.h"
#include "support/TempDir.h"
#include "view/ProgramFiles.h"

using namespace outputtest;

namespace {

class OutputToolTest : public ::testing::Test {
protected:
    void SetUp() override {
        programfiles::writeAll(dir.path());
        makeTemplates(dir.path());
        database = dir.file("会員.mdb");
        writeMembers(database, {{"山田", "001", 10, {}, {}},
                                {"佐藤", "002", 20, {}, {}},
                                {"田中", "003", 30, {}, {}}});
        store.setConnectionString(view::systemStoreConnectionString(dir.path() + '/'));
        documents::Registry registry(store);
        id = registry.InsertDocument("会員カード", database, kTable, dir.file("card.xlsx"), "台帳",
                                     "コード");
        registry.ReplaceBindings(id, cardBindings());
        registry.SetSerialNumber(id, 50);
        QDir(dir.path()).mkdir("out");
    }

    int run(QStringList args) {
        out.str({});
        err.str({});
        return outputtool::run(QStringList{"--program-folder", dir.path()} + args, dir.path(), out,
                               err);
    }
    QString output() const { return QString::fromStdString(out.str()); }
    QString errors() const { return QString::fromStdString(err.str()); }
    QStringList log() {
        return sqliteRows(database,
                          "SELECT 種別, ifnull(番号,''), 対象 FROM _印刷記録_ ORDER BY 日時");
    }
    int storedSerial() {
        documents::Registry registry(store);
        return registry.ReadDocument(id)->serialNumber;
    }

    testsupport::TempDir dir;
    QString database;
    db::Connection store;
    int id = -1;
    std::ostringstream out, err;
};

TEST_F(OutputToolTest, SaveWritesOneFilePerRecordAndLogsThem) {
    ASSERT_EQ(run({database, kTable, QString::number(id), "--save", dir.file("out/card"),
                   "--where", "[会費] >= 20", "--name-field", "氏名"}),
              0)
        << errors().toStdString();
    EXPECT_EQ(output(), "file\n" + dir.file("out/card_佐藤.xlsx") + "\n" +
                            dir.file("out/card_田中.xlsx") + "\n2 records, 2 files written\n");
    EXPECT_EQ(log(), QStringList({"保存||002", "保存||003"}));
    EXPECT_EQ(storedSerial(), 50);  // saving prints no number
}

TEST_F(OutputToolTest, PdfPrintsEverySheetIntoOneFileWithSerialNumbers) {
    const QString pdf = dir.file("out/all.pdf");
    ASSERT_EQ(run({database, kTable, QString::number(id), "--pdf", pdf, "--copies", "2"}), 0)
        << errors().toStdString();
    EXPECT_EQ(sheettest::pdfPageCount(pdf), 6);
    const QString text = sheettest::pdfText(pdf);
    for (const char* expected : {"山田", "佐藤", "田中", "50", "51", "52"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected;
    EXPECT_EQ(log(), QStringList({"印刷|50|001", "印刷|51|002", "印刷|52|003"}));
    EXPECT_EQ(storedSerial(), 53);
    EXPECT_TRUE(output().endsWith("3 records, 3 sheets printed, next serial 53\n"));
    EXPECT_EQ(QDir(dir.file("out")).entryList(QDir::Files | QDir::Hidden), QStringList({"all.pdf"}));
}

TEST_F(OutputToolTest, FailuresReportAndLeaveNothingBehind) {
    // Wrong usage.
    EXPECT_EQ(run({database, kTable, QString::number(id)}), 2);
    EXPECT_EQ(run({database, kTable, QString::number(id), "--pdf", "a.pdf", "--web"}), 2);
    EXPECT_EQ(run({database, kTable, "99", "--pdf", "a.pdf"}), 1);
    EXPECT_TRUE(errors().contains("no document 99"));

    // The template's sheet is gone: the first record fails, no PDF, no log,
    // the serial number unchanged.
    {
        documents::Registry registry(store);
        registry.UpdateDocument(id, {}, {}, {}, {}, "ない", {}, -1);
    }
    const QString pdf = dir.file("out/all.pdf");
    EXPECT_EQ(run({database, kTable, QString::number(id), "--pdf", pdf}), 1);
    EXPECT_TRUE(errors().contains("record 1")) << errors().toStdString();
    EXPECT_EQ(QDir(dir.file("out")).entryList(QDir::Files | QDir::Hidden), QStringList());
    EXPECT_EQ(log(), QStringList());
    EXPECT_EQ(storedSerial(), 50);
}

}  // namespace
