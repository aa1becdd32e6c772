// CSV text as a spreadsheet reads it, its encodings, and CSV workbooks.
#include <gtest/gtest.h>

#include "Fixtures.h"
#include "excel/Csv.h"
#include "excel/Workbook.h"
#include "support/TempDir.h"

using namespace excel;
using exceltest::copyFixture;
using exceltest::fixture;

TEST(CsvTest, QuotedFieldsHoldCommasQuotesAndLineBreaks) {
    const auto rows =
        parseCsv(QStringLiteral("a,\"b,c\",\"d \"\"e\"\"\"\r\n\"f\ng\",,h\n\"\"\nlast"));
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0], (std::vector<QString>{QStringLiteral("a"), QStringLiteral("b,c"),
                                             QStringLiteral("d \"e\"")}));
    EXPECT_EQ(rows[1],
              (std::vector<QString>{QStringLiteral("f\ng"), QString(), QStringLiteral("h")}));
    EXPECT_EQ(rows[2], (std::vector<QString>{QString()}));
    EXPECT_EQ(rows[3], (std::vector<QString>{QStringLiteral("last")}));
    EXPECT_TRUE(parseCsv(QString()).empty());
    EXPECT_EQ(parseCsv(QStringLiteral("\"unterminated,x")).at(0).at(0),
              QStringLiteral("unterminated,x"));
}

TEST(CsvTest, FieldsAreQuotedOnlyWhenNeeded) {
    EXPECT_EQ(csvField(QStringLiteral("plain")), QStringLiteral("plain"));
    EXPECT_EQ(csvField(QStringLiteral("a,b")), QStringLiteral("\"a,b\""));
    EXPECT_EQ(csvField(QStringLiteral("say \"hi\"")), QStringLiteral("\"say \"\"hi\"\"\""));
    EXPECT_EQ(csvField(QStringLiteral("two\nlines")), QStringLiteral("\"two\nlines\""));
}

TEST(CsvTest, EncodingsAreDetectedAndValuesKept) {
    for (const char* name : {"utf8.csv", "bom.csv", "sjis.csv"}) {
        auto book = Workbook::open(fixture(QString::fromLatin1(name)));
        ASSERT_EQ(book->sheetCount(), 1);
        Worksheet& ws = book->activeSheet();
        EXPECT_EQ(ws.valueText(1, 1), QStringLiteral("氏名")) << name;
        EXPECT_EQ(ws.valueText(2, 2), QStringLiteral("0600001")) << name;
        EXPECT_EQ(ws.valueText(2, 3), QStringLiteral("a,b \"c\"\r\n次行")) << name;
        EXPECT_EQ(ws.value(3, 2).type, CellType::Number) << name;
        EXPECT_EQ(ws.valueText(3, 3), QStringLiteral("2024/03/05")) << name;
        EXPECT_EQ(ws.usedRange().last, (CellRef{3, 3})) << name;
    }
    EXPECT_EQ(Workbook::open(fixture(QStringLiteral("sjis.csv")))->activeSheet().name(),
              QStringLiteral("sjis"));
    try {
        Workbook::open(fixture(QStringLiteral("invalid.csv")));
        ADD_FAILURE() << "invalid bytes were accepted";
    } catch (const Error& e) {
        EXPECT_EQ(e.code(), ErrorCode::UnknownEncoding);
    }
}

TEST(CsvTest, SavingACsvWorkbookKeepsItsEncoding) {
    testsupport::TempDir dir;
    const QString path = copyFixture(QStringLiteral("sjis.csv"), dir.path());
    auto book = Workbook::open(path);
    book->activeSheet().setCellText(3, 1, QStringLiteral("佐藤,次郎"));
    book->save();
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    EXPECT_EQ(text::detectEncoding(bytes), text::Encoding::Cp932);
    const auto rows = parseCsvBytes(bytes).rows;
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[2][0], QStringLiteral("佐藤,次郎"));
    EXPECT_EQ(rows[1][1], QStringLiteral("0600001"));
    EXPECT_EQ(rows[1][2], QStringLiteral("a,b \"c\"\r\n次行"));
}
