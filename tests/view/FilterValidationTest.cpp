#include <gtest/gtest.h>

#include "view/FilterValidation.h"

using namespace view;

namespace {
FilterInput input(int type, int cond, const QString& a, const QString& b = QString()) {
    FilterInput in;
    in.fieldType = type;
    in.condition = cond;
    in.a = a;
    in.b = b;
    return in;
}
}  // namespace

TEST(FilterValidation, EachRefusalHasItsMessageAndFocus) {
    struct Case {
        int type, cond;
        const char* a;
        const char* b;
        const char* message;
        FilterFocus focus;
    } cases[] = {
        {3, 3, "x", "", "比較値Aが整数以外です", FilterFocus::ListA},
        {3, 3, "1.5", "", "比較値Aが整数以外です", FilterFocus::ListA},
        {3, 3, "99999999999", "", "比較値Aが整数以外です", FilterFocus::ListA},
        {14, 3, "", "", "比較値Aが整数以外です", FilterFocus::ListA},
        {4, 3, "256", "", "比較値Aが範囲（0～255）外です", FilterFocus::ListA},
        {4, 3, "-1", "", "比較値Aが範囲（0～255）外です", FilterFocus::ListA},
        {2, 3, "32768", "", "比較値Aが範囲（-32768～32767）外です", FilterFocus::ListA},
        {3, 7, "1", "b", "比較値Bが整数以外です", FilterFocus::ListB},
        {3, 7, "5", "5", "比較値A・Bが同値又は逆順です", FilterFocus::ListA},
        {3, 8, "6", "5", "比較値A・Bが同値又は逆順です", FilterFocus::ListA},
        {4, 7, "1", "300", "比較値Bが範囲（0～255）外です", FilterFocus::ListB},
        {2, 7, "1", "40000", "比較値Bが範囲（-32768～32767）外です", FilterFocus::ListB},
        {6, 3, "1,5", "", "比較値Aが実数以外です", FilterFocus::ListA},
        {6, 7, "1.5", "z", "比較値Bが実数以外です", FilterFocus::ListB},
        {6, 7, "2.5", "1.5", "比較値A・Bが同値又は逆順です", FilterFocus::ListA},
        {8, 3, "円", "", "比較値Aが通貨数以外です", FilterFocus::ListA},
        {8, 8, "1", "", "比較値Bが通貨数以外です", FilterFocus::ListB},
        {8, 7, "10.5", "10.50", "比較値A・Bが同値又は逆順です", FilterFocus::ListA},
        {24, 7, "b", "a", "比較値A・Bが同値又は逆順です", FilterFocus::ListA},
        {24, 8, "山", "山", "比較値A・Bが同値又は逆順です", FilterFocus::ListA},
    };
    for (const Case& c : cases) {
        FilterVerdict v = validateFilter(input(c.type, c.cond, QString::fromUtf8(c.a), QString::fromUtf8(c.b)));
        EXPECT_FALSE(v.accepted) << c.type << " " << c.a;
        EXPECT_EQ(v.message, QString::fromUtf8(c.message)) << c.type << " " << c.a;
        EXPECT_EQ(v.focus, c.focus) << c.type << " " << c.a;
    }
}

TEST(FilterValidation, AcceptedValuesAreKeptExactlyAsTyped) {
    FilterVerdict v = validateFilter(input(3, 7, QStringLiteral(" 10"), QStringLiteral("20")));
    ASSERT_TRUE(v.accepted);
    EXPECT_EQ(v.a, QStringLiteral(" 10"));
    EXPECT_EQ(v.b, QStringLiteral("20"));
    EXPECT_EQ(v.condition, 7);
    // B is only looked at for ranges.
    EXPECT_TRUE(validateFilter(input(4, 3, QStringLiteral("255"), QStringLiteral("junk"))).accepted);
    EXPECT_TRUE(validateFilter(input(24, 7, QStringLiteral("A"), QStringLiteral("a"))).accepted);
    // Nothing is checked when the filter is being removed.
    EXPECT_TRUE(validateFilter(input(3, 0, QStringLiteral("x"), QStringLiteral("y"))).accepted);
}

TEST(FilterValidation, DatesBecomeShortDateTextAndMustAscend) {
    FilterInput in = input(11, 7, QString());
    in.dateA = QDate(2024, 3, 5);
    in.dateB = QDate(2024, 3, 5);
    FilterVerdict v = validateFilter(in);
    EXPECT_FALSE(v.accepted);
    EXPECT_EQ(v.focus, FilterFocus::DateA);
    in.dateB = QDate(2025, 1, 2);
    v = validateFilter(in);
    ASSERT_TRUE(v.accepted);
    EXPECT_EQ(v.a, QStringLiteral("2024/03/05"));
    EXPECT_EQ(v.b, QStringLiteral("2025/01/02"));
}

TEST(FilterValidation, BooleanChoiceBecomesEquals) {
    FilterInput in = input(5, 1, QString());
    in.booleanText = QStringLiteral("False");
    FilterVerdict v = validateFilter(in);
    ASSERT_TRUE(v.accepted);
    EXPECT_EQ(v.condition, 3);
    EXPECT_EQ(v.a, QStringLiteral("False"));
}
