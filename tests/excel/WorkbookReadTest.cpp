// Reading a workbook that openpyxl wrote: values, styles, layout, merges,
// pictures, links and page setup as a sheet painter needs them.
#include <gtest/gtest.h>

#include "Fixtures.h"
#include "excel/Workbook.h"

using namespace excel;
using exceltest::fixture;

namespace {
struct FormTest : ::testing::Test {
    void SetUp() override {
        book = Workbook::open(fixture(QStringLiteral("form.xlsx")));
        ws = &book->activeSheet();
    }
    std::unique_ptr<Workbook> book;
    Worksheet* ws = nullptr;
};
}  // namespace

TEST_F(FormTest, SheetsAndValues) {
    ASSERT_EQ(book->sheetCount(), 2);
    EXPECT_EQ(ws->name(), QStringLiteral("見積書"));
    EXPECT_EQ(book->sheetByName(QStringLiteral("Sheet2"))->valueText(2, 2), QStringLiteral("3.25"));
    EXPECT_EQ(book->sheetByName(QStringLiteral("sheet2")), nullptr);
    const std::pair<const char*, const char*> cells[] = {
        {"A1", "御見積書"},       {"B3", "山田太郎"}, {"B4", "12345"},
        {"B5", "2024/03/05"},     {"C6", "True"},     {"B6", "24690"},
        {"A7", "  前後に空白  "}, {"D8", "右端"},     {"Z99", ""}};
    for (const auto& [a1, text] : cells) {
        const CellRef r = *parseCellRef(QString::fromLatin1(a1));
        EXPECT_EQ(ws->valueText(r.row, r.col), QString::fromUtf8(text)) << a1;
    }
    EXPECT_EQ(ws->value(6, 2).formula, QStringLiteral("B4*2"));
    // Each cell of a shared formula reads as its own result beside its own
    // shifted formula.
    Worksheet* second = book->sheetByName(QStringLiteral("Sheet2"));
    EXPECT_EQ(second->valueText(4, 3), QStringLiteral("5"));
    EXPECT_EQ(second->value(4, 3).formula, QStringLiteral("B4*2+$B$3"));
    EXPECT_EQ(second->valueText(5, 3), QStringLiteral("7"));
    EXPECT_EQ(ws->displayText(4, 2), QStringLiteral("12,345"));
    EXPECT_EQ(ws->displayText(5, 2), QStringLiteral("2024/03/05"));
    EXPECT_EQ(ws->usedRange().last, (CellRef{10, 4}));
}

TEST_F(FormTest, ResolvedStyles) {
    const CellStyle a1 = ws->style(1, 1);
    EXPECT_EQ(a1.font.family, QStringLiteral("Noto Sans CJK JP"));
    EXPECT_EQ(a1.font.size, 16);
    EXPECT_TRUE(a1.font.bold);
    EXPECT_TRUE(a1.font.italic);
    EXPECT_EQ(a1.font.color, QColor(Qt::red));
    EXPECT_EQ(a1.hAlign, HAlign::Center);
    EXPECT_EQ(a1.vAlign, VAlign::Center);
    const CellStyle b3 = ws->style(3, 2);
    EXPECT_EQ(b3.fill, QColor(Qt::yellow));
    EXPECT_EQ(b3.borders.left.style, BorderStyle::Thin);
    EXPECT_EQ(b3.borders.bottom.style, BorderStyle::Double);
    EXPECT_EQ(b3.borders.top.color, QColor(Qt::black));
    const CellStyle b9 = ws->style(9, 2);
    EXPECT_TRUE(b9.wrap);
    EXPECT_EQ(b9.hAlign, HAlign::Right);
    EXPECT_TRUE(ws->style(5, 2).isDateFormat);
    EXPECT_FALSE(ws->style(4, 2).isDateFormat);
    EXPECT_FALSE(ws->style(3, 3).fill.isValid());
}

TEST_F(FormTest, LayoutAndMerges) {
    EXPECT_DOUBLE_EQ(ws->columnWidth(1), 20);
    EXPECT_DOUBLE_EQ(ws->columnWidth(2), 30);
    EXPECT_DOUBLE_EQ(ws->columnWidth(3), ws->defaultColumnWidth());
    EXPECT_DOUBLE_EQ(ws->rowHeight(3), 30);
    EXPECT_DOUBLE_EQ(ws->rowHeight(4), 15);
    ASSERT_EQ(ws->merges().size(), 1u);
    EXPECT_EQ(rangeRefText(ws->merges()[0]), QStringLiteral("A1:C2"));
    EXPECT_TRUE(ws->mergeAt(2, 3));
    EXPECT_FALSE(ws->mergeAt(3, 1));
}

TEST_F(FormTest, PicturesLinksAndPageSetup) {
    const std::vector<Picture> pics = ws->pictures();
    ASSERT_EQ(pics.size(), 3u);  // Picture 3, Group 4 and the grouped Picture 5
    EXPECT_EQ(pics[0].name, QStringLiteral("Picture 3"));
    EXPECT_EQ(pics[0].anchor.kind, Anchor::Kind::OneCell);
    EXPECT_EQ(pics[0].anchor.from.cell, (CellRef{3, 4}));
    EXPECT_EQ(pics[0].anchor.width, 381000);
    EXPECT_TRUE(ws->imageBytes(pics[0]).startsWith("\x89PNG"));
    EXPECT_FALSE(pics[1].isPicture);
    EXPECT_EQ(pics[2].name, QStringLiteral("Picture 5"));
    EXPECT_EQ(pics[2].anchor.to.cell, (CellRef{15, 8}));

    const std::vector<Hyperlink> links = ws->hyperlinks();
    ASSERT_EQ(links.size(), 1u);
    EXPECT_EQ(links[0].target, QStringLiteral("https://example.com/a?b=1&c=2"));
    EXPECT_EQ(rangeRefText(links[0].range), QStringLiteral("A10"));

    const PageSetup p = ws->pageSetup();
    EXPECT_EQ(p.orientation, Orientation::Landscape);
    EXPECT_EQ(p.paperSize, 9);
    EXPECT_TRUE(p.fitToPage);
    EXPECT_EQ(p.fitToHeight, 0);
    EXPECT_DOUBLE_EQ(p.margins.left, 0.5);
    EXPECT_DOUBLE_EQ(p.margins.top, 1.0);
    EXPECT_EQ(p.printArea, QStringLiteral("$A$1:$D$20"));
    EXPECT_EQ(p.printTitleRows, QStringLiteral("1:2"));  // as openpyxl stores it
    EXPECT_EQ(book->sheet(1).pageSetup().printArea, QString());
}
