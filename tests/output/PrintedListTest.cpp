// The printed list: its layout rules, and whole lists printed into a PDF and
// read back with pdftotext.
#include <gtest/gtest.h>

#include <QFile>
#include <QPageLayout>
#include <QPdfWriter>
#include <QRegularExpression>

#include "ListFixtures.h"
#include "SheetFixtures.h"
#include "db/Db.h"
#include "output/PrintedList.h"
#include "support/TempDir.h"

using output::layoutPrintedList;

namespace {

std::vector<output::ListColumn> columnsOfWidths(std::initializer_list<int> widths) {
    std::vector<output::ListColumn> out;
    int i = 0;
    for (int w : widths) {
        out.push_back({i, QStringLiteral("F%1").arg(i), 24, w});
        ++i;
    }
    return out;
}

std::vector<std::vector<int>> groupFields(const output::PrintedListLayout& l) {
    std::vector<std::vector<int>> out;
    for (const auto& g : l.groups) {
        out.emplace_back();
        for (const auto& c : g.columns) out.back().push_back(c.field);
    }
    return out;
}

}  // namespace

TEST(PrintedListLayout, ScalesFromScreenToPrinterNeverBelowOne) {
    auto l = layoutPrintedList(600, 96, 4800, 6000, columnsOfWidths({80}));
    EXPECT_EQ(l.scale, 6);
    EXPECT_EQ(l.margin, 12);
    EXPECT_EQ(l.rowHeight, 120);
    EXPECT_EQ(l.linesPerPage, 50);
    EXPECT_EQ(l.groups[0].columns[0].width, 480);
    // A printer coarser than the screen prints at screen size rather than
    // dividing by zero.
    l = layoutPrintedList(72, 96, 600, 800, columnsOfWidths({80}));
    EXPECT_EQ(l.scale, 1);
    EXPECT_EQ(l.linesPerPage, 40);
    EXPECT_EQ(l.recordRowsPerPage(), 38);
    // A page too low for one record row still gets one.
    EXPECT_EQ(layoutPrintedList(96, 96, 600, 30, columnsOfWidths({80})).linesPerPage, 3);
}

TEST(PrintedListLayout, ColumnsThatDoNotFitStartTheNextGroup) {
    auto l = layoutPrintedList(96, 96, 200, 800, columnsOfWidths({80, 80, 80, 50}));
    EXPECT_EQ(groupFields(l), (std::vector<std::vector<int>>{{0, 1}, {2, 3}}));
    EXPECT_EQ(l.groups[0].right, 160);
    EXPECT_EQ(l.groups[1].columns[0].x, 0);
    EXPECT_EQ(l.groups[1].columns[1].x, 80);
    EXPECT_EQ(l.groups[1].right, 130);

    // A column wider than the page stands alone, cut at the page edge; no
    // group is ever empty.
    l = layoutPrintedList(96, 96, 200, 800, columnsOfWidths({500, 80, 300, 80}));
    EXPECT_EQ(groupFields(l), (std::vector<std::vector<int>>{{0}, {1}, {2}, {3}}));
    EXPECT_EQ(l.groups[0].right, 200);
    EXPECT_EQ(l.groups[1].right, 80);

    EXPECT_EQ(l.pageCount(0), 4);  // the names on a page of each group
    l = layoutPrintedList(96, 96, 200, 800, columnsOfWidths({80}));
    EXPECT_EQ(l.pageCount(38), 1);
    EXPECT_EQ(l.pageCount(39), 2);
    EXPECT_EQ(l.pageCount(76), 2);
}

TEST(PrintedListLayout, PageNumbersOfContinuedPagesHaveTwoBlanks) {
    EXPECT_EQ(output::pageHeaderText(1, true), QStringLiteral(" (1頁)"));
    EXPECT_EQ(output::pageHeaderText(12, false), QStringLiteral("  (12頁)"));
}

class PrintedListPdf : public ::testing::Test {
protected:
    // A page of 400 x 200 pixels at the screen's resolution: five columns of
    // 80 across, ten lines down, so eight records a page.
    output::PrintedListResult print(int records, const std::vector<int>& widths) {
        return print(listtest::plainRows(records), widths);
    }
    output::PrintedListResult print(const std::vector<listtest::Row>& rows,
                                    const std::vector<int>& widths) {
        const QString database = dir.file(QStringLiteral("名簿.mdb"));
        listtest::writeListDatabase(database, rows);
        db::Connection c;
        c.setConnectionString(
            QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"%1\"").arg(database));
        c.open();
        db::DataSet ds(c);
        ds.setCommandText(QStringLiteral("SELECT * FROM [名簿] ORDER BY [ID]"));
        ds.open();
        std::vector<output::ListColumn> columns = output::allColumns(ds);
        for (size_t i = 0; i < columns.size(); ++i) columns[i].width = widths[i];
        QPdfWriter writer(pdf);
        writer.setResolution(96);
        writer.setPageLayout(QPageLayout(QPageSize(QSizeF(300, 150), QPageSize::Point),
                                         QPageLayout::Portrait, QMarginsF()));
        return output::printList(writer, 96, columns, {c, ds.commandText(), ds.recordCount()});
    }
    testsupport::TempDir dir;
    QString pdf = dir.file(QStringLiteral("list.pdf"));
};

TEST_F(PrintedListPdf, EveryGroupOverEveryRecordInOneFileWithPageNumbersRunningOn) {
    const auto result = print(16, {80, 80, 80, 80, 80, 80, 80, 80});
    EXPECT_EQ(result.records, 16);
    // Two groups (five columns, then three) of two full pages each, and no
    // page holding only the names.
    ASSERT_EQ(result.pages, 4);
    ASSERT_EQ(sheettest::pdfPageCount(pdf), 4);
    for (int page = 1; page <= 4; ++page) {
        const QString text = sheettest::pdfText(pdf, page);
        EXPECT_TRUE(text.contains(QStringLiteral("(%1頁)").arg(page))) << page;
        const bool firstGroup = page <= 2;
        EXPECT_EQ(text.contains(QStringLiteral("氏名")), firstGroup) << page;
        EXPECT_EQ(text.contains(QStringLiteral("会費")), !firstGroup) << page;
        // Eight record rows on each page, the first or second eight records.
        const int first = page % 2 == 1 ? 1 : 9;
        if (firstGroup) {
            for (int r = first; r < first + 8; ++r)
                EXPECT_TRUE(text.contains(QStringLiteral("会員%1 ").arg(r))) << page << " " << r;
            EXPECT_FALSE(text.contains(QStringLiteral("会員%1 ").arg(first == 1 ? 9 : 1))) << page;
        } else {
            EXPECT_EQ(text.count(QStringLiteral("True")), 8) << page;
        }
    }
}

TEST_F(PrintedListPdf, OneRecordPastAFullPageStartsOneMorePage) {
    EXPECT_EQ(print(9, {80, 80, 80, 80, 80, 80, 80, 80}).pages, 4);
    EXPECT_EQ(sheettest::pdfPageCount(pdf), 4);
    const QString last = sheettest::pdfText(pdf, 4);
    EXPECT_TRUE(last.contains(QStringLiteral("(4頁)")));
    EXPECT_EQ(last.count(QStringLiteral("True")), 1);
}

TEST_F(PrintedListPdf, AnEmptyListPrintsTheNamesOnce) {
    EXPECT_EQ(print(0, {80, 80, 80, 80, 80, 80, 80, 80}).pages, 2);
    EXPECT_TRUE(sheettest::pdfText(pdf, 1).contains(QStringLiteral("氏名")));
}

TEST_F(PrintedListPdf, DigitsAfterLatinLettersReadBackFromTheFile) {
    // Shaped, a CJK font draws these digits with glyphs the file gives no text.
    print({{"1", "Latin 123", "TEL 03-1234-5678", "0600001", "", "", "", "ABC-001 山田"}},
          {80, 80, 80, 80, 80, 80, 80, 80});
    QString text;
    for (int page = 1; page <= sheettest::pdfPageCount(pdf); ++page)
        text += sheettest::pdfText(pdf, page);
    for (const char* t : {"Latin 123", "TEL 03-1234-5678", "ABC-001 山田"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(t))) << text.toStdString();
}
