// The rules behind "ﾃﾞｰﾀ追加" and "貼付け": defaults, placeholder keys and
// the type checks of pasted text.
#include <gtest/gtest.h>

#include "view/RecordEditing.h"

using namespace view;

TEST(NewRecord, DefaultsByFieldType) {
    const QDateTime now(QDate(2024, 4, 1), QTime(10, 30));
    EXPECT_EQ(newRecordDefault(db::ftSmallint, now), QVariant(qint64(0)));
    EXPECT_EQ(newRecordDefault(db::ftCurrency, now), QVariant(qint64(0)));
    EXPECT_EQ(newRecordDefault(db::ftBoolean, now), QVariant(false));
    EXPECT_EQ(newRecordDefault(db::ftFloat, now), QVariant(0.0));
    EXPECT_EQ(newRecordDefault(db::ftDateTime, now), QVariant(now));
    EXPECT_EQ(newRecordDefault(db::ftText, now).toString(), QString());
    EXPECT_FALSE(newRecordDefault(db::ftText, now).isNull());
    EXPECT_TRUE(newRecordDefault(db::ftMemo, now).isNull());
    EXPECT_TRUE(newRecordDefault(db::ftGuid, now).isNull());
}

TEST(NewRecord, PlaceholderKeysByFieldType) {
    struct Case {
        int type;
        QVariant first, last, fallback;
        size_t count;
    };
    const QDateTime zero(QDate(1899, 12, 30), QTime(0, 0));
    const Case cases[] = {
        {db::ftInteger, qint64(-1), qint64(-9999), qint64(0), 9999},
        {db::ftSmallint, qint64(-1), qint64(-9999), qint64(0), 9999},
        {db::ftCurrency, qint64(-1), qint64(-9999), qint64(0), 9999},
        {db::ftByte, qint64(255), qint64(0), qint64(0), 256},
        {db::ftFloat, -1.0, -9999.0, 0.0, 9999},
        {db::ftText, QStringLiteral("-1"), QStringLiteral("-9999"), QStringLiteral("0"), 9999},
        {db::ftDateTime, zero, zero.addDays(9999), zero, 10000},
    };
    for (const Case& c : cases) {
        const PlaceholderKeys k = placeholderKeys(c.type);
        EXPECT_TRUE(k.search) << c.type;
        ASSERT_EQ(k.candidates.size(), c.count) << c.type;
        EXPECT_EQ(k.candidates.front(), c.first) << c.type;
        EXPECT_EQ(k.candidates.back(), c.last) << c.type;
        EXPECT_EQ(k.fallback, c.fallback) << c.type;
    }
    EXPECT_FALSE(placeholderKeys(db::ftBoolean).search);
    EXPECT_EQ(placeholderKeys(db::ftBoolean).fallback, QVariant(false));
    EXPECT_FALSE(placeholderKeys(db::ftMemo).search);
    EXPECT_TRUE(placeholderKeys(db::ftMemo).fallback.isNull());
}

TEST(NewRecord, PlaceholderQueryBracketsBothNames) {
    EXPECT_EQ(placeholderQuery(QStringLiteral("会員 名簿"), QStringLiteral("Limit")),
              QStringLiteral("SELECT [Limit] FROM [会員 名簿] WHERE [Limit] = :A"));
    EXPECT_THROW(placeholderQuery(QStringLiteral("T"), QStringLiteral("a]b")), db::Error);
}

TEST(Paste, TextMustFitTheFieldType) {
    struct Case {
        int type;
        const char* text;
        bool fits;
    };
    const Case cases[] = {
        {db::ftSmallint, "-32768", true},
        {db::ftSmallint, "32768", false},
        {db::ftInteger, "2147483647", true},
        {db::ftInteger, "2147483648", false},
        {db::ftInteger, "12\t34", false},
        {db::ftInteger, "1.5", false},
        {db::ftByte, "255", true},
        {db::ftByte, "300", false},
        {db::ftByte, "-1", false},
        {db::ftBoolean, "true", true},
        {db::ftBoolean, "FaLsE", true},
        {db::ftBoolean, "1", false},
        {db::ftBoolean, "yes", false},
        {db::ftFloat, "-2.5e3", true},
        {db::ftFloat, "1,5", false},
        {db::ftCurrency, "1234.5678", true},
        {db::ftCurrency, "1.23456", true},
        {db::ftCurrency, "12円", false},
        {db::ftDateTime, "2024/3/5", true},
        {db::ftDateTime, "2024/02/30", false},
        {db::ftDateTime, "2024/03/05 9:30", true},
        {db::ftText, "12\t34\n", true},
        {db::ftMemo, "text", false},
        {db::ftAutoInc, "5", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(pasteFits(c.type, QString::fromUtf8(c.text)), c.fits) << c.type << " " << c.text;
}
