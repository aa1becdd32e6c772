// tesmora-sheet pdf and png: what a user gets from the command line.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QImage>

#include "SheetFixtures.h"
#include "excel/Fixtures.h"
#include "support/TempDir.h"

namespace {

int sheetTool(const QStringList& args, QString* out = nullptr) {
    return exceltest::runProgram(QStringLiteral(TESMORA_SHEET_TOOL), args, out);
}

}  // namespace

TEST(SheetTool, PdfPrintsWithThePageSetupAndPngShowsThePrintArea) {
    testsupport::TempDir dir;
    QString pages = sheettest::copySheet(QStringLiteral("pages.xlsx"), dir.path());
    QString pdf = dir.file(QStringLiteral("一覧.pdf"));
    QString out;
    ASSERT_EQ(sheetTool({QStringLiteral("pdf"), pages, QStringLiteral("一覧"), pdf}, &out), 0)
        << out.toStdString();
    EXPECT_EQ(sheettest::pdfPageCount(pdf), 4);
    EXPECT_TRUE(sheettest::pdfText(pdf, 4).contains(QStringLiteral("品目150")));

    QString shown = sheettest::copySheet(QStringLiteral("shown.xlsx"), dir.path());
    QString png = dir.file(QStringLiteral("shown.png"));
    ASSERT_EQ(sheetTool({QStringLiteral("png"), shown, QStringLiteral("帳票"), png}, &out), 0)
        << out.toStdString();
    QImage image(png);
    ASSERT_FALSE(image.isNull());
    // The print area A1:G16 with its headers, not a whole screen.
    EXPECT_GT(image.width(), 500);
    EXPECT_LT(image.width(), 1280);
    EXPECT_LT(image.height(), 800);
}

TEST(SheetTool, FailuresLeaveNoFileBehind) {
    testsupport::TempDir dir;
    QString shown = sheettest::copySheet(QStringLiteral("shown.xlsx"), dir.path());
    QString pdf = dir.file(QStringLiteral("out.pdf"));
    EXPECT_EQ(sheetTool({QStringLiteral("pdf"), shown, QStringLiteral("sheet1"), pdf}), 1);
    EXPECT_FALSE(QFileInfo::exists(pdf));
    QString bad = sheettest::copySheet(QStringLiteral("badstyles.xlsx"), dir.path());
    EXPECT_EQ(sheetTool({QStringLiteral("pdf"), bad, QStringLiteral("帳票"), pdf}), 1);
    EXPECT_FALSE(QFileInfo::exists(pdf));
    EXPECT_EQ(sheetTool({QStringLiteral("png"), shown}), 2);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);  // the two copies
}
