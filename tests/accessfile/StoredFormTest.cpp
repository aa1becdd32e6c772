// Decoding stored values and rebuilding saved queries, without a file.
#include <gtest/gtest.h>

#include "accessfile/ColumnPlan.h"
#include "accessfile/SavedQueries.h"
#include "accessfile/StoredValues.h"

using namespace accessfile;
using namespace accessfile::detail;

TEST(StoredDates, DayCountsBeforeAndAfter1899CountTheTimeForward) {
    struct Case {
        double days;
        QDateTime expected;
    };
    const Case cases[] = {
        {0.0, QDateTime(QDate(1899, 12, 30), QTime(0, 0))},
        {-1.25, QDateTime(QDate(1899, 12, 29), QTime(6, 0))},
        {-0.5, QDateTime(QDate(1899, 12, 30), QTime(12, 0))},
        {2.75, QDateTime(QDate(1900, 1, 1), QTime(18, 0))},
        // One second as a fraction of a day is not exact in binary.
        {45000.0 + 1.0 / 86400.0, QDateTime(QDate(2023, 3, 15), QTime(0, 0, 1))},
        // A fraction a hair below midnight rounds into the next day.
        {44999.99999999999, QDateTime(QDate(2023, 3, 15), QTime(0, 0))},
        {-657434.0, QDateTime(QDate(100, 1, 1), QTime(0, 0))},
    };
    for (const Case& c : cases) {
        const auto dt = stored::dateTimeFromDays(c.days);
        ASSERT_TRUE(dt) << c.days;
        EXPECT_EQ(dt->date(), c.expected.date()) << c.days;
        EXPECT_EQ(dt->time(), c.expected.time()) << c.days;
    }
    EXPECT_FALSE(stored::dateTimeFromDays(-700000.0));
    EXPECT_FALSE(stored::dateTimeFromDays(3e6));
    EXPECT_FALSE(stored::dateTimeFromDays(std::nan("")));
}

TEST(StoredNumbers, CurrencyAndDecimalsSayWhetherTheDoubleHoldsEveryDigit) {
    EXPECT_EQ(stored::currencyFromScaled(35000).value, 3.5);
    EXPECT_TRUE(stored::currencyFromScaled(35000).exact);
    EXPECT_EQ(stored::currencyFromScaled(-1).value, -0.0001);
    EXPECT_TRUE(stored::currencyFromScaled(-1).exact);
    EXPECT_TRUE(stored::currencyFromScaled(9007199254740991).exact);  // 900 billion and change
    EXPECT_FALSE(stored::currencyFromScaled(INT64_MAX).exact);
    EXPECT_FALSE(stored::currencyFromScaled(INT64_MIN).exact);
    EXPECT_EQ(stored::currencyFromScaled(INT64_MIN).value, -922337203685477.5808);

    unsigned char n[17] = {0};
    n[13] = 0x39;  // 12345 in the last (least significant) word, little-endian
    n[14] = 0x30;
    EXPECT_EQ(stored::numericFromBytes(n, 2).value, 123.45);
    n[0] = 0x80;
    EXPECT_EQ(stored::numericFromBytes(n, 0).value, -12345.0);
    // 2^64 is the low byte of the second word.
    unsigned char big[17] = {0};
    big[5] = 1;
    EXPECT_EQ(stored::numericFromBytes(big, 0).value, 18446744073709551616.0);
}

TEST(StoredNumbers, SinglesReadAsTheDecimalTheUserTyped) {
    EXPECT_EQ(stored::singleAsDecimal(0.1f), 0.1);
    EXPECT_EQ(stored::singleAsDecimal(-2.5f), -2.5);
    EXPECT_EQ(stored::singleAsDecimal(16777216.0f), 16777216.0);
}

TEST(StoredText, CompressedAndPlainUtf16KeepEveryCharacter) {
    const unsigned char plain[] = {0x42, 0xD8, 0xB7, 0xDF, 0xCE, 0x91, 0x41, 0x00};  // 𠮷野A
    EXPECT_EQ(stored::jet4Text(plain, sizeof plain), QStringLiteral("𠮷野A"));
    // FF FE, "ab" one byte each, 00 switches to two-byte units (野), 00
    // switches back ("c").
    const unsigned char mixed[] = {0xFF, 0xFE, 'a', 'b', 0x00, 0xCE, 0x91, 0x00, 'c'};
    EXPECT_EQ(stored::jet4Text(mixed, sizeof mixed), QStringLiteral("ab野c"));
    // A dangling byte in a two-byte run carries no character.
    const unsigned char cut[] = {0xFF, 0xFE, 0x00, 0xCE};
    EXPECT_EQ(stored::jet4Text(cut, sizeof cut), QString());
    const unsigned char guid[] = {0x78, 0x56, 0x34, 0x12, 0xBC, 0x9A, 0xF0, 0xDE,
                                  0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08};
    EXPECT_EQ(stored::guidText(guid), QStringLiteral("{12345678-9ABC-DEF0-0102-030405060708}"));
}

// The choices the sample files do not exercise; the rest of the mapping is
// checked on converted files.
TEST(ColumnPlans, WidthsDecimalsAndColumnsLeftBehind) {
    Column text;
    text.type = kText;
    text.size = 50;
    EXPECT_EQ(planColumn(text, Format::Jet3, false).type, QStringLiteral("NCHAR(50)"));
    EXPECT_EQ(planColumn(text, Format::Jet4, false).type, QStringLiteral("NCHAR(25)"));
    Column counter;
    counter.type = kLong;
    counter.autoNumber = true;
    EXPECT_EQ(planColumn(counter, Format::Jet4, true).type, QStringLiteral("COUNTER"));
    EXPECT_EQ(planColumn(counter, Format::Jet4, false).type, QStringLiteral("INTEGER"));
    Column decimal;
    decimal.type = kNumeric;
    decimal.scale = 4;
    EXPECT_EQ(planColumn(decimal, Format::Jet4, false).type, QStringLiteral("CURRENCY"));
    decimal.scale = 6;
    EXPECT_EQ(planColumn(decimal, Format::Jet4, false).type, QStringLiteral("DOUBLE"));
    for (auto [type, reason] :
         {std::pair{int(kOle), "ole"}, {int(kComplex), "complex"}, {0x42, "unknown-type"}}) {
        Column other;
        other.type = type;
        const ColumnPlan p = planColumn(other, Format::Ace, false);
        EXPECT_FALSE(p.carried);
        EXPECT_EQ(p.notCarried, QString::fromLatin1(reason));
    }
}

namespace {

QueryRow row(int attribute, const QString& expression = {}, int flag = 0, const QString& name1 = {},
             const QString& name2 = {}) {
    return {attribute, flag, expression, name1, name2};
}

}  // namespace

TEST(SavedQueryRows, JoinsNestInTheOrderAccessKeptThem) {
    const std::vector<QueryRow> rows = {
        row(1, {}, 1),
        row(5, {}, 0, QStringLiteral("Orders")),
        row(5, {}, 0, QStringLiteral("Customers"), QStringLiteral("C")),
        row(5, {}, 0, QStringLiteral("Items")),
        row(6, QStringLiteral("C.Name"), 0, QStringLiteral("Who")),
        row(6, QStringLiteral("Sum(Items.Price)")),
        row(7, QStringLiteral("Orders.CustomerID = C.ID"), 2, QStringLiteral("Orders"),
            QStringLiteral("C")),
        row(7, QStringLiteral("Orders.ID = Items.OrderID"), 1, QStringLiteral("Orders"),
            QStringLiteral("Items")),
        row(7, QStringLiteral("Orders.Shop = Items.Shop"), 1, QStringLiteral("Items"),
            QStringLiteral("Orders")),
        row(8, QStringLiteral("C.Name Like \"A*\"")),
        row(9, QStringLiteral("C.Name")),
        row(11, QStringLiteral("C.Name"), 0, QStringLiteral("D")),
    };
    const QueryDefinition q = buildQuery(rows, 0);
    EXPECT_EQ(q.kind, QueryDefinition::Kind::Select);
    EXPECT_EQ(q.problem, QString());
    EXPECT_EQ(q.sql, QStringLiteral(
                         "SELECT C.Name AS [Who], Sum(Items.Price) FROM ([Orders] LEFT JOIN "
                         "[Customers] AS [C] ON Orders.CustomerID = C.ID) INNER JOIN [Items] ON "
                         "(Orders.ID = Items.OrderID) AND (Orders.Shop = Items.Shop) WHERE C.Name "
                         "Like \"A*\" GROUP BY C.Name ORDER BY C.Name DESC"));
}

TEST(SavedQueryRows, OptionsBecomeSqlOrAReasonToStayBehind) {
    const std::vector<QueryRow> base = {row(5, {}, 0, QStringLiteral("T")),
                                        row(6, QStringLiteral("T.a"))};
    auto with = [&](std::vector<QueryRow> extra) {
        std::vector<QueryRow> rows = base;
        rows.insert(rows.end(), extra.begin(), extra.end());
        return buildQuery(rows, 0);
    };
    EXPECT_EQ(with({row(3, {}, 0x02)}).sql, QStringLiteral("SELECT DISTINCT T.a FROM [T]"));
    EXPECT_EQ(with({row(3, {}, 0x01)}).sql, QStringLiteral("SELECT *, T.a FROM [T]"));
    EXPECT_EQ(with({row(3, {}, 0x10, QStringLiteral("5"))}).sql,
              QStringLiteral("SELECT T.a FROM [T] LIMIT 5"));
    EXPECT_EQ(with({row(3, {}, 0x08)}).sql, QStringLiteral("SELECT T.a FROM [T]"));
    EXPECT_FALSE(with({row(3, {}, 0x30, QStringLiteral("10"))}).problem.isEmpty());
    EXPECT_FALSE(with({row(2, {}, 10, QStringLiteral("Which name?"))}).problem.isEmpty());
    EXPECT_FALSE(with({row(4, {}, 0, QStringLiteral("C:\\other.mdb"))}).problem.isEmpty());
    EXPECT_FALSE(buildQuery({row(5, {}, 0, QStringLiteral("T"))}, 0).problem.isEmpty());
    // A join naming a table the query does not read cannot be placed.
    EXPECT_FALSE(
        with({row(7, QStringLiteral("T.a = X.a"), 1, QStringLiteral("T"), QStringLiteral("X"))})
            .problem.isEmpty());
    // The kind comes from the rows, else from the catalogue's flags.
    EXPECT_EQ(buildQuery({row(1, {}, 4)}, 0).kind, QueryDefinition::Kind::Update);
    EXPECT_EQ(buildQuery({}, 0x50).kind, QueryDefinition::Kind::MakeTable);
    EXPECT_EQ(buildQuery({row(1, QStringLiteral("DROP TABLE T"), 7)}, 0x60).sql,
              QStringLiteral("DROP TABLE T"));
}

TEST(SavedQueryRows, AccessFunctionsGetTheEnginesNamesOutsideQuotesAndBrackets) {
    EXPECT_EQ(engineFunctions(QStringLiteral("UCase([Len]) & Len(\"Mid(x)\")")),
              QStringLiteral("upper([Len]) & length(\"Mid(x)\")"));
    EXPECT_EQ(engineFunctions(QStringLiteral("Nz(T.a, 0) + Nz(T.b)")),
              QStringLiteral("ifnull(T.a, 0) + Nz(T.b)"));
    EXPECT_EQ(engineFunctions(QStringLiteral("Year(T.d) = Year(Date())")),
              QStringLiteral("CAST(strftime('%Y', T.d) AS INTEGER) = CAST(strftime('%Y', "
                             "DATEVALUE(Now())) AS INTEGER)"));
    EXPECT_EQ(engineFunctions(QStringLiteral("Mid(LCase(T.s), 2, 3)")),
              QStringLiteral("substr(lower(T.s), 2, 3)"));
    EXPECT_EQ(engineFunctions(QStringLiteral("T.Date > #1/2/2003#")),
              QStringLiteral("T.Date > #1/2/2003#"));
    EXPECT_EQ(engineFunctions(QStringLiteral("Format(T.d, \"yyyy\")")),
              QStringLiteral("Format(T.d, \"yyyy\")"));
}
