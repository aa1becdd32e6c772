// The A1 address arithmetic of TUGExcel, on the cases callers rely on.
#include <gtest/gtest.h>

#include "excel/TUGExcel.h"

using excel::TUGExcel;

TEST(AddressTest, ColumnNamesAndNumbers) {
    TUGExcel x(QStringLiteral("Excel.Application"));
    const std::pair<int, const char*> names[] = {{1, "A"},    {26, "Z"}, {27, "AA"}, {52, "AZ"},
                                                 {256, "IV"}, {0, ""},   {257, ""}};
    for (const auto& [n, name] : names) EXPECT_EQ(x.ColumnName(n), QString::fromLatin1(name)) << n;
    const std::pair<const char*, int> numbers[] = {{"A", 1}, {"AA", 27}, {"IU", 255}, {"IV", 0},
                                                   {"", 0},  {"ABC", 0}, {"a", 0},    {"A1", 0}};
    for (const auto& [letters, n] : numbers)
        EXPECT_EQ(x.ColumnNumber(QString::fromLatin1(letters)), n) << letters;
    EXPECT_EQ(x.ColumnIndex(QStringLiteral("Z")), 26);
    EXPECT_EQ(x.ColumnIndex(QStringLiteral("AA")), 0);
}

TEST(AddressTest, SplitAddressAndItsConversionError) {
    TUGExcel x(QStringLiteral("Excel.Application"));
    x.SplitAddress(QStringLiteral("AB12"));
    EXPECT_EQ(x.CurrentColumn, QStringLiteral("AB"));
    EXPECT_EQ(x.CurrentRow, 12);
    x.SplitAddress(QStringLiteral("C9"));
    EXPECT_EQ(x.CurrentColumn, QStringLiteral("C"));
    EXPECT_EQ(x.CurrentRow, 9);
    EXPECT_THROW(x.SplitAddress(QString()), excel::Error);
    EXPECT_THROW(x.SplitAddress(QStringLiteral("Picture 3")), excel::Error);
    EXPECT_THROW(x.SplitAddress(QStringLiteral("ABC1")), excel::Error);
}

TEST(AddressTest, OffsetNeighbourMaxAndRaise) {
    TUGExcel x(QStringLiteral("Excel.Application"));
    EXPECT_EQ(x.OffsetCell(QStringLiteral("B3"), 2, 4), QStringLiteral("D7"));
    EXPECT_EQ(x.OffsetCell(QStringLiteral("IU1"), 2, 0), QString());
    EXPECT_EQ(x.OffsetCell(QStringLiteral("A1"), 0, 1000000), QStringLiteral("A1000001"));
    EXPECT_EQ(x.NeighbourCell(QStringLiteral("A1"), 0), QString());
    EXPECT_EQ(x.NeighbourCell(QStringLiteral("A1"), 1), QString());
    EXPECT_EQ(x.NeighbourCell(QStringLiteral("IU5"), 2), QString());
    EXPECT_EQ(x.NeighbourCell(QStringLiteral("IT5"), 2), QStringLiteral("IU5"));
    EXPECT_EQ(x.NeighbourCell(QStringLiteral("C9"), 3), QStringLiteral("C10"));
    EXPECT_EQ(x.NeighbourCell(QStringLiteral("C9"), 0), QStringLiteral("B9"));
    EXPECT_EQ(x.NeighbourCell(QStringLiteral("C9"), 1), QStringLiteral("C8"));
    EXPECT_EQ(x.NeighbourCell(QStringLiteral("C9"), 4), QString());
    EXPECT_EQ(x.MaxRow(4, QStringLiteral("B7")), 7);
    EXPECT_EQ(x.MaxRow(9, QStringLiteral("B7")), 9);
    EXPECT_EQ(x.MaxRow(4, QStringLiteral("Picture 3")), 4);
    EXPECT_EQ(x.RaiseRow(QStringLiteral("D1"), 9), QStringLiteral("D9"));
    EXPECT_EQ(x.RaiseRow(QStringLiteral("D12"), 9), QStringLiteral("D12"));
    EXPECT_EQ(x.RaiseRow(QStringLiteral("Picture 3"), 9), QStringLiteral("Picture 3"));
}

TEST(AddressTest, VersionsBeforeNineAreOld) {
    for (const char* v : {"8.0", "7.0"})
        EXPECT_TRUE(TUGExcel::isOldVersion(QString::fromLatin1(v))) << v;
    for (const char* v : {"9.0", "10.0", "11.0", "12.0", "14.0", "16.0"})
        EXPECT_FALSE(TUGExcel::isOldVersion(QString::fromLatin1(v))) << v;
    EXPECT_EQ(TUGExcel::versionForProgId(QStringLiteral("Excel.Application")),
              QStringLiteral("16.0"));
    EXPECT_EQ(TUGExcel::versionForProgId(QStringLiteral("Excel.Application.8")),
              QStringLiteral("8.0"));
    EXPECT_THROW(TUGExcel::versionForProgId(QString()), excel::Error);
    EXPECT_THROW(TUGExcel::versionForProgId(QStringLiteral("Word.Application")), excel::Error);
}

TEST(AddressTest, WebPagePathReplacesOrAppendsTheExtension) {
    EXPECT_EQ(TUGExcel::webPagePath(QStringLiteral("/out/a_1.xls")),
              QStringLiteral("/out/a_1.html"));
    EXPECT_EQ(TUGExcel::webPagePath(QStringLiteral("/out/a_1.xlsx")),
              QStringLiteral("/out/a_1.html"));
    EXPECT_EQ(TUGExcel::webPagePath(QStringLiteral("/out.d/a_1")),
              QStringLiteral("/out.d/a_1.html"));
}

TEST(AddressTest, ModelReferences) {
    EXPECT_EQ(excel::parseCellRef(QStringLiteral("$B$3"))->col, 2);
    EXPECT_FALSE(excel::parseCellRef(QStringLiteral("A0")));
    EXPECT_FALSE(excel::parseCellRef(QStringLiteral("XFE1")));
    EXPECT_FALSE(excel::parseCellRef(QStringLiteral("A1048577")));
    const auto r = excel::parseRangeRef(QStringLiteral("C9:A5"));
    ASSERT_TRUE(r);
    EXPECT_EQ(excel::rangeRefText(*r), QStringLiteral("A5:C9"));
    EXPECT_EQ(excel::columnLetters(16384), QStringLiteral("XFD"));
}
