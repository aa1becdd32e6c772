// File names of a save run, the print log's rows and history, and finding
// the user's selection again in a re-sorted query.
#include <gtest/gtest.h>

#include <QDir>

#include "OutputFixtures.h"
#include "db/Db.h"
#include "output/document/DocumentRun.h"
#include "output/document/FileNames.h"
#include "output/document/PrintLog.h"
#include "output/document/RecordSelection.h"
#include "support/TempDir.h"

using namespace outputtest;

namespace {

TEST(OutputNames, SuffixesAreSafeUniqueAndNeverTheTemplate) {
    EXPECT_EQ(docoutput::safeNameText("A/B (1)"), "A_B _1_");
    EXPECT_EQ(docoutput::safeNameText(".,()[];:\\'\"/山"), "____________山");

    docoutput::OutputNames names("/out/card", ".xls", false, "/tpl/card.xls");
    EXPECT_EQ(names.FileNameSuffix("山田"), "山田");
    EXPECT_EQ(names.FileNameSuffix("山田"), "山田__2");
    EXPECT_EQ(names.FileNameSuffix("田中"), "田中");
    EXPECT_EQ(names.FileNameSuffix("山田__3"), "山田__3");
    EXPECT_EQ(names.FileNameSuffix("山田"), "山田__4");  // never a name already written
    EXPECT_EQ(names.pathFor("山田__2"), "/out/card_山田__2.xls");
    names.clear();
    EXPECT_EQ(names.FileNameSuffix("山田"), "山田");

    // A base that would make a file of the template's own name.
    docoutput::OutputNames overTemplate("/tpl/card", ".xls", false, "/tpl/card_原本.xls");
    EXPECT_EQ(overTemplate.FileNameSuffix("原本"), "原本__2");

    // Many equal values stay linear and distinct.
    docoutput::OutputNames many("/out/c", ".xlsx", false, {});
    QSet<QString> seen;
    for (int i = 0; i < 5000; ++i) seen.insert(many.FileNameSuffix("同じ"));
    EXPECT_EQ(seen.size(), 5000);
}

TEST(OutputNames, LongValuesAreShortenedToFitTheFileSystem) {
    docoutput::OutputNames names("/out/card", ".xlsx", true, {});
    const QString longValue(300, QChar(0x5c71));  // 山 x 300, 900 bytes
    const QString first = names.FileNameSuffix(longValue);
    const QString second = names.FileNameSuffix(longValue);
    for (const QString& s : {first, second}) {
        const QString file = QStringLiteral("card_") + s + QStringLiteral(".html");
        EXPECT_LE(file.toUtf8().size(), docoutput::kMaxFileNameBytes);
    }
    EXPECT_NE(first, second);
    EXPECT_TRUE(second.endsWith("__2"));
}

TEST(Hyperlinks, WebAddressesPathsAndSharesBecomeLinks) {
    EXPECT_EQ(docoutput::hyperlinkTarget("\\\\srv\\docs\\a.pdf"), "smb://srv/docs/a.pdf");
    EXPECT_EQ(docoutput::hyperlinkTarget("C:\\docs\\a.pdf"), "C:\\docs\\a.pdf");
    EXPECT_EQ(docoutput::hyperlinkTarget("/home/a/b.pdf"), "/home/a/b.pdf");
    EXPECT_EQ(docoutput::hyperlinkTarget("https://example.com/"), "https://example.com/");
    EXPECT_EQ(docoutput::hyperlinkTarget("見積書"), "");
    EXPECT_EQ(docoutput::hyperlinkTarget("docs/a.pdf"), "");
    EXPECT_EQ(docoutput::modeForBase(""), docoutput::Mode::Print);
    EXPECT_EQ(docoutput::modeForBase("@@@@"), docoutput::Mode::Preview);
    EXPECT_FALSE(docoutput::acceptedExtension(".xlsm"));
    EXPECT_FALSE(docoutput::acceptedExtension(".XLS"));
}

class PrintLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        database = dir.file("会員.mdb");
        writeMembers(database, plainMembers(4));
        connection.setConnectionString(
            QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"%1\"").arg(database));
        connection.open();
    }
    testsupport::TempDir dir;
    QString database;
    db::Connection connection;
};

TEST_F(PrintLogTest, RowsWithinOneInstantAndLongTextsAllArrive) {
    EXPECT_TRUE(docoutput::printHistory(connection, "文書", "x").isEmpty());  // no table yet
    EXPECT_TRUE(docoutput::ensurePrintLog(connection));
    EXPECT_FALSE(docoutput::ensurePrintLog(connection));
    EXPECT_EQ(sqliteRows(database, "SELECT sql FROM sqlite_master WHERE name = '_印刷記録_'")
                  .join(' ')
                  .contains("PRIMARY KEY"),
              true);
    {
        docoutput::PrintLog log(connection);
        for (int i = 0; i < 300; ++i) log.append(docoutput::kKindPrint, "文書", i, "ABC");
    }
    // A second log object (a later run) continues after the rows already there.
    docoutput::PrintLog later(connection);
    const QString longName(60, QChar(0x540d));
    const QString longTarget = QStringLiteral("  ") + QString(70, QLatin1Char('T')) + " ";
    later.append(docoutput::kKindSave, longName, std::nullopt, longTarget);
    later.flush();
    EXPECT_EQ(sqliteRows(database, "SELECT COUNT(*), COUNT(DISTINCT 日時) FROM _印刷記録_"),
              QStringList({"301|301"}));
    EXPECT_EQ(sqliteRows(database, "SELECT length(名前), length(対象), 番号 IS NULL FROM "
                                   "_印刷記録_ WHERE 番号 IS NULL"),
              QStringList({"50|50|1"}));

    // History: newest first, trimmed and cut the same way as stored.
    const QStringList history = docoutput::printHistory(connection, "文書", " ABC ");
    ASSERT_EQ(history.size(), 300);
    EXPECT_TRUE(history.first().endsWith(" : 印刷<299>")) << history.first().toStdString();
    EXPECT_TRUE(history.last().endsWith(" : 印刷<0>"));
    const QStringList saved = docoutput::printHistory(connection, longName + "余分", longTarget);
    ASSERT_EQ(saved.size(), 1);
    EXPECT_TRUE(saved[0].endsWith(" : 保存<>"));
}

TEST_F(PrintLogTest, TheSelectionIsFoundAgainByIdentityInAReSortedQuery) {
    connection.execute("CREATE VIEW [会員一覧] AS SELECT 氏名, コード FROM [会員]");
    for (const QString& source : {QStringLiteral("[会員]"), QStringLiteral("[会員一覧]")}) {
        db::DataSet grid(connection);
        grid.setCommandText("SELECT * FROM " + source + " ORDER BY [コード]");
        grid.open();
        const docoutput::SelectedRecords selected = docoutput::selectedRecords(grid, {1, 3});
        EXPECT_EQ(selected.count(), 2);
        db::DataSet records(connection);
        records.setCommandText("SELECT * FROM " + source + " ORDER BY [コード] DESC");
        records.open();
        const std::vector<int> rows = docoutput::locateRecords(records, selected);
        ASSERT_EQ(rows.size(), 2u);
        EXPECT_EQ(records.textAt(rows[0], records.fieldByName("氏名").index()), "会員2");
        EXPECT_EQ(records.textAt(rows[1], records.fieldByName("氏名").index()), "会員4");
    }
    documents::BlockSettings block;
    EXPECT_EQ(docoutput::documentOrderBy(block), "");
    block.Sort1 = "-氏名";
    block.Sort2 = "+コード";
    block.Sort3 = "";
    EXPECT_EQ(docoutput::documentOrderBy(block), " ORDER BY [氏名] DESC,[コード]");
}

}  // namespace
