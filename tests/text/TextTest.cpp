#include <gtest/gtest.h>

#include "text/Text.h"

using namespace text;

TEST(Trim, RemovesBlanksAndControlsAtBothEndsOnly) {
    EXPECT_EQ(trimBlanksAndControls(QStringLiteral(" \t山田 太郎\r\n")), QStringLiteral("山田 太郎"));
    EXPECT_EQ(trimBlanksAndControls(QStringLiteral("\x01\x1f")), QString());
    // The ideographic space is text, not a blank to strip.
    EXPECT_EQ(trimBlanksAndControls(QStringLiteral("\u3000a\u3000")), QStringLiteral("\u3000a\u3000"));
}

TEST(Cp932, RoundTripsJapaneseAndCountsBytes) {
    QString s = QStringLiteral("山田①～ｱ1");
    QByteArray b = toCp932(s);
    EXPECT_EQ(b.size(), 2 + 2 + 2 + 2 + 1 + 1);
    EXPECT_EQ(fromCp932(b), s);
    EXPECT_EQ(cp932Length(s), 10);
}

TEST(Cp932, RefusesCharactersItCannotHold) {
    QString s = QStringLiteral("ab\U0001F600c");
    EXPECT_FALSE(tryToCp932(s).has_value());
    try {
        toCp932(s);
        FAIL() << "expected EncodingError";
    } catch (const EncodingError& e) {
        EXPECT_EQ(e.position(), 2);
        EXPECT_EQ(e.character(), char32_t(0x1F600));
    }
    EXPECT_EQ(cp932Length(s), 5);
}

TEST(Cp932, DetectsEncodingOfUserFiles) {
    EXPECT_EQ(detectEncoding(QByteArray("abc")), Encoding::Utf8);
    EXPECT_EQ(detectEncoding(QByteArray("\xEF\xBB\xBF" "abc")), Encoding::Utf8Bom);
    EXPECT_EQ(detectEncoding(toCp932(QStringLiteral("氏名,住所"))), Encoding::Cp932);
    EXPECT_EQ(decodeDetected(QByteArray("\xEF\xBB\xBF" "x")), QStringLiteral("x"));
    // A lone lead byte is neither UTF-8 nor CP932.
    EXPECT_FALSE(detectEncoding(QByteArray("\x81")).has_value());
}

TEST(LocaleText, DatesNumbersAndCurrency) {
    EXPECT_EQ(formatDateTime(QDateTime(QDate(2024, 3, 5), QTime(0, 0))), QStringLiteral("2024/03/05"));
    EXPECT_EQ(formatDateTime(QDateTime(QDate(2024, 3, 5), QTime(9, 7, 3))),
              QStringLiteral("2024/03/05 9:07:03"));
    EXPECT_EQ(parseDateTime(QStringLiteral("2024/3/5"))->date(), QDate(2024, 3, 5));
    EXPECT_EQ(parseDateTime(QStringLiteral("2024-03-05 9:30"))->time(), QTime(9, 30));
    EXPECT_FALSE(parseDateTime(QStringLiteral("2024/02/30")).has_value());
    EXPECT_FALSE(parseDateTime(QStringLiteral("abc")).has_value());

    EXPECT_EQ(parseInteger(QStringLiteral("-32768"), -32768, 32767), -32768);
    EXPECT_FALSE(parseInteger(QStringLiteral("32768"), -32768, 32767).has_value());
    EXPECT_FALSE(parseInteger(QStringLiteral("1.0")).has_value());
    EXPECT_DOUBLE_EQ(*parseDouble(QStringLiteral("1.5e3")), 1500.0);
    EXPECT_FALSE(parseDouble(QStringLiteral("1,000")).has_value());
    EXPECT_DOUBLE_EQ(*parseCurrency(QStringLiteral("12.34567")), 12.3457);
    EXPECT_FALSE(parseCurrency(QStringLiteral("1e3")).has_value());
    EXPECT_EQ(formatDouble(0.1), QStringLiteral("0.1"));
    EXPECT_EQ(formatDouble(42.0), QStringLiteral("42"));
}
