// The Web page of a sheet: structure, styles, links and pictures.
#include <gtest/gtest.h>

#include <QFile>

#include "Fixtures.h"
#include "excel/HtmlWriter.h"
#include "excel/Workbook.h"
#include "support/TempDir.h"

using namespace excel;
using exceltest::fixture;

TEST(HtmlTest, SheetBecomesATableWithSpansStylesLinksAndPictures) {
    testsupport::TempDir dir;
    auto book = Workbook::open(fixture(QStringLiteral("form.xlsx")));
    const QString page = dir.file(QStringLiteral("page.html"));
    writeWebPage(*book, page);
    QFile f(page);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(f.readAll());
    EXPECT_TRUE(html.contains(QStringLiteral("<meta charset=\"utf-8\">")));
    EXPECT_TRUE(html.contains(QStringLiteral("rowspan=\"2\" colspan=\"3\"")));
    EXPECT_TRUE(html.contains(QStringLiteral("御見積書")));
    EXPECT_TRUE(html.contains(QStringLiteral("font-weight:bold")));
    EXPECT_TRUE(html.contains(QStringLiteral("background:#ffff00")));
    EXPECT_TRUE(html.contains(QStringLiteral("border-bottom:3px double")));
    EXPECT_TRUE(html.contains(QStringLiteral("<col style=\"width:145px\">")));
    EXPECT_TRUE(
        html.contains(QStringLiteral("<a href=\"https://example.com/a?b=1&amp;c=2\">リンク</a>")));
    EXPECT_TRUE(html.contains(QStringLiteral("12,345")));
    EXPECT_TRUE(html.contains(QStringLiteral("src=\"page_files/image001.png\"")));
    EXPECT_TRUE(QFile::exists(dir.file(QStringLiteral("page_files/image001.png"))));
    EXPECT_TRUE(QFile::exists(dir.file(QStringLiteral("page_files/image002.png"))));
    // Rows reach down to the lowest picture (the group ends in row 15).
    EXPECT_EQ(html.count(QStringLiteral("<tr")), 15);
    // Cells inside a merge are not written again: the one cell for A1:C2
    // stands for three cells of row 1 and all three of row 2 covered by it.
    QList<int> cells;
    for (const QString& row : html.split(QStringLiteral("<tr")).mid(1))
        cells << int(row.count(QStringLiteral("<td")));
    ASSERT_GE(cells.size(), 3);
    EXPECT_EQ(cells[0], cells[2] - 2);
    EXPECT_EQ(cells[1], cells[2] - 3);
    EXPECT_EQ(html.count(QStringLiteral("colspan")), 1);
}

TEST(HtmlTest, LinkTargetsAreMadeSafe) {
    EXPECT_EQ(safeHref(QStringLiteral("javascript:alert(1)")), QString());
    EXPECT_EQ(safeHref(QStringLiteral("https://example.com/?a=\"b\"")),
              QStringLiteral("https://example.com/?a=%22b%22"));
    EXPECT_EQ(safeHref(QStringLiteral("C:\\data\\a b.pdf")),
              QStringLiteral("file:///C:/data/a%20b.pdf"));
    EXPECT_EQ(safeHref(QStringLiteral("\\\\server\\share\\x.pdf")),
              QStringLiteral("file://server/share/x.pdf"));
}
