#include <gtest/gtest.h>

#include <QRegularExpression>
#include <cmath>
#include <optional>

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

// The readers are written by hand for speed; the patterns they stand for are
// kept here as the reference, and both must agree on every text.
namespace {

std::optional<QDateTime> referenceDateTime(const QString& input) {
    static const QRegularExpression re(QStringLiteral(
        R"(^\s*(\d{1,4})[/\-.](\d{1,2})[/\-.](\d{1,2})(?:[ T]+(\d{1,2}):(\d{1,2})(?::(\d{1,2})(?:\.(\d{1,3}))?)?)?\s*$)"));
    const auto m = re.match(input);
    if (!m.hasMatch()) return std::nullopt;
    int year = m.captured(1).toInt();
    if (m.capturedLength(1) <= 2) year += year < 30 ? 2000 : 1900;
    const QDate d(year, m.captured(2).toInt(), m.captured(3).toInt());
    if (!d.isValid()) return std::nullopt;
    QTime t(0, 0);
    if (m.capturedLength(4) > 0) {
        const int ms =
            m.capturedLength(7) > 0 ? m.captured(7).leftJustified(3, QLatin1Char('0')).toInt() : 0;
        t = QTime(m.captured(4).toInt(), m.captured(5).toInt(),
                  m.capturedLength(6) > 0 ? m.captured(6).toInt() : 0, ms);
        if (!t.isValid()) return std::nullopt;
    }
    return QDateTime(d, t);
}

std::optional<qint64> referenceInteger(const QString& s) {
    static const QRegularExpression re(QStringLiteral(R"(^[+-]?\d+$)"));
    const QString t = s.trimmed();
    if (!re.match(t).hasMatch()) return std::nullopt;
    bool ok = false;
    const qint64 v = t.toLongLong(&ok);
    return ok ? std::optional<qint64>(v) : std::nullopt;
}

std::optional<double> referenceDouble(const QString& s) {
    static const QRegularExpression re(QStringLiteral(R"(^[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?$)"));
    const QString t = s.trimmed();
    if (!re.match(t).hasMatch()) return std::nullopt;
    bool ok = false;
    const double v = t.toDouble(&ok);
    return ok && std::isfinite(v) ? std::optional<double>(v) : std::nullopt;
}

}  // namespace

TEST(LocaleText, HandReadersAgreeWithTheirPatterns) {
    QStringList texts = {
        "2024/3/5", "2024-03-05", "2024.03.05", "24/3/5", "29/1/1", "30/1/1", "0/1/1", "0000/1/1",
        "12345/1/1", "2024/13/1", "2024/2/29", "2023/2/29", "2024/03/05 9:30", "2024/03/05T09:30:15",
        "2024/03/05 T 09:30:15.5", "2024/03/05 09:30:15.123", "2024/03/05 09:30:15.1234",
        "2024/03/05 24:00", "2024/03/05 9:60", "2024/03/05 9:30:", "2024/03/05 9:30:5.",
        "2024/03/05  ", "  2024/03/05", "\t2024/03/05\r\n", "2024/03/05T", "2024/03/05 9",
        "2024/3/05/1", "２０２４/3/5", "2024/3/5\u3000", "\u30002024/3/5", "2024/3", "",
        "0", "-0", "+7", "007", " 12 ", "1 2", "12a", "--1", "+", "-", "9223372036854775807",
        "9223372036854775808", "-9223372036854775808", "-9223372036854775809",
        "99999999999999999999999", "１２", "1.5", ".5", "5.", ".", "1e3", "1E+3", "1e", "e3",
        "-1.25e-3", "1e400", "0x10", "1,000", "  3.0  ", "+.5", "1.2.3", "2024/010/5",
        "2024/3/005", "2024/03/05 009:30", "2024/03/05 9:030", "2024/03/05 9:30:005", "2024 1/1",
        "2024T3/5", "2024:3/5", "2024/3:5", "2024/03/05 9.30", "2024/03/05 9:30.15",
    };
    // Every short text over the characters these readers care about.
    const QString alphabet = QStringLiteral("19/-. :T+e");
    for (const QChar a : alphabet)
        for (const QChar b : alphabet)
            for (const QChar c : alphabet)
                for (const QString& head : {QString(), QStringLiteral("2024"), QStringLiteral("2024/"),
                                            QStringLiteral("2024/1/1"), QStringLiteral("2024/1/1 1:1")})
                    texts << head + a + b + c;
    for (const QString& s : texts) {
        EXPECT_EQ(parseDateTime(s), referenceDateTime(s)) << s.toStdString();
        EXPECT_EQ(parseInteger(s), referenceInteger(s)) << s.toStdString();
        EXPECT_EQ(parseDouble(s), referenceDouble(s)) << s.toStdString();
        const auto parts = parseDateTimeParts(s);
        const auto whole = parseDateTime(s);
        ASSERT_EQ(parts.has_value(), whole.has_value()) << s.toStdString();
        if (parts) EXPECT_EQ(QDateTime(parts->date, parts->time), *whole);
    }
}
