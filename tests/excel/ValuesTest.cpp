// Values that pass through a workbook unaltered: cells formatted as text,
// scientific formats, times, books counting from 1904, and the file a save
// replaces keeping its permissions.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFile>

#include "Fixtures.h"
#include "excel/Workbook.h"
#include "support/TempDir.h"
#include "text/LocaleText.h"

using namespace excel;
using exceltest::copyFixture;
using exceltest::readBack;

namespace {

mode_t modeOf(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return 0;
    return st.st_mode & 07777;
}

}  // namespace

TEST(ValuesTest, TextCellsScientificNumbersAndTimesKeepTheirValues) {
    testsupport::TempDir dir;
    const QString in = copyFixture(QStringLiteral("values.xlsx"), dir.path());
    auto book = Workbook::open(in);
    Worksheet& ws = book->activeSheet();

    // A cell formatted as text takes numbers and dates as the text typed,
    // and keeps its format and fill.
    ws.setCellText(1, 1, QStringLiteral("2024/3/5"));
    EXPECT_EQ(ws.value(1, 1).type, CellType::String);
    EXPECT_EQ(ws.valueText(1, 1), QStringLiteral("2024/3/5"));
    ws.setCellText(2, 1, QStringLiteral("123"));
    EXPECT_EQ(ws.valueText(2, 1), QStringLiteral("123"));
    EXPECT_EQ(ws.style(1, 1).numberFormat, QStringLiteral("@"));
    EXPECT_EQ(ws.style(1, 1).fill, QColor(Qt::green));

    // Scientific formats show numbers, never dates.
    EXPECT_FALSE(ws.style(1, 2).isDateFormat);
    EXPECT_FALSE(ws.style(2, 2).isDateFormat);
    EXPECT_EQ(ws.valueText(1, 2), QStringLiteral("12345.678"));
    EXPECT_EQ(ws.displayText(1, 2), QStringLiteral("1.23E+04"));
    EXPECT_EQ(ws.valueText(2, 2), QStringLiteral("0.00012"));

    // A time alone reads back as a value the program's date parser takes
    // for the same time; a date with a time keeps both.
    const QString time = ws.valueText(1, 3);
    const auto parsed = text::parseDateTime(time);
    ASSERT_TRUE(parsed.has_value()) << time.toStdString();
    EXPECT_EQ(parsed->time(), QTime(9, 30));
    EXPECT_EQ(parsed->date(), QDate(1899, 12, 30));
    EXPECT_EQ(ws.displayText(1, 3), QStringLiteral("9:30"));
    EXPECT_EQ(ws.valueText(2, 3), QStringLiteral("2024/03/05 18:45:10"));

    book->save();
    const QJsonObject r = readBack(in,
                                   "ws = wb.active\n"
                                   "print(json.dumps({'a1': ws['A1'].value, 'a2': ws['A2'].value,"
                                   " 'a1f': ws['A1'].number_format, 'b1': ws['B1'].value}))\n");
    EXPECT_EQ(r[QStringLiteral("a1")].toString(), QStringLiteral("2024/3/5"));
    EXPECT_EQ(r[QStringLiteral("a2")].toString(), QStringLiteral("123"));
    EXPECT_EQ(r[QStringLiteral("a1f")].toString(), QStringLiteral("@"));
    EXPECT_DOUBLE_EQ(r[QStringLiteral("b1")].toDouble(), 12345.678);
}

TEST(ValuesTest, ABookCountingFrom1904ReadsAndWritesItsOwnDates) {
    testsupport::TempDir dir;
    const QString in = copyFixture(QStringLiteral("dates1904.xlsx"), dir.path());
    auto book = Workbook::open(in);
    ASSERT_TRUE(book->uses1904Dates());
    Worksheet& ws = book->activeSheet();
    EXPECT_EQ(ws.valueText(1, 1), QStringLiteral("2024/03/05"));
    EXPECT_EQ(ws.valueText(2, 1), QStringLiteral("1904/01/02 12:00:00"));
    EXPECT_EQ(ws.displayText(1, 1), QStringLiteral("2024/03/05"));
    ws.setCellText(3, 1, QStringLiteral("2024/3/6"));
    EXPECT_EQ(ws.valueText(3, 1), QStringLiteral("2024/03/06"));
    book->save();
    const QJsonObject r = readBack(in,
                                   "ws = wb.active\n"
                                   "print(json.dumps({'a1': str(ws['A1'].value),"
                                   " 'a3': str(ws['A3'].value)}))\n");
    EXPECT_EQ(r[QStringLiteral("a1")].toString(), QStringLiteral("2024-03-05 00:00:00"));
    EXPECT_EQ(r[QStringLiteral("a3")].toString(), QStringLiteral("2024-03-06 00:00:00"));
}

TEST(ValuesTest, ASaveKeepsThePermissionsOfTheFileItReplaces) {
    testsupport::TempDir dir;
    const QString xlsx = copyFixture(QStringLiteral("form.xlsx"), dir.path());
    const QString csv = copyFixture(QStringLiteral("sjis.csv"), dir.path());
    const QString other = dir.file(QStringLiteral("other.xlsx"));
    QFile::copy(xlsx, other);
    ASSERT_EQ(::chmod(QFile::encodeName(xlsx).constData(), 0640), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(csv).constData(), 0600), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(other).constData(), 0604), 0);

    auto book = Workbook::open(xlsx);
    book->activeSheet().setCellText(20, 1, QStringLiteral("x"));
    book->save();
    EXPECT_EQ(modeOf(xlsx), mode_t(0640));
    book->saveAs(other);
    EXPECT_EQ(modeOf(other), mode_t(0604));

    auto sheet = Workbook::open(csv);
    sheet->activeSheet().setCellText(5, 1, QStringLiteral("y"));
    sheet->save();
    EXPECT_EQ(modeOf(csv), mode_t(0600));
}
