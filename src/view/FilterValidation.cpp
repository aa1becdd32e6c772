#include "view/FilterValidation.h"

#include "view/FieldTypes.h"

#include "text/Text.h"
#include "view/FilterSql.h"

#include <limits>

namespace view {

namespace {

using namespace fieldtype;

const QString kSameOrReversed = QStringLiteral("比較値A・Bが同値又は逆順です");

FilterVerdict refuse(const QString& message, FilterFocus focus) {
    FilterVerdict v;
    v.message = message;
    v.focus = focus;
    return v;
}

// Whole numbers are read as 32-bit integers; anything longer is no whole
// number the columns could hold.
std::optional<qint64> wholeNumber(const QString& s) {
    return text::parseInteger(s, std::numeric_limits<qint32>::min(),
                              std::numeric_limits<qint32>::max());
}

std::optional<QString> integerRangeMessage(int type, qint64 v, QChar which) {
    if (type == kByte && (v < 0 || v > 255))
        return QStringLiteral("比較値") + which + QStringLiteral("が範囲（0～255）外です");
    if (type == kSmallint && (v < -32768 || v > 32767))
        return QStringLiteral("比較値") + which + QStringLiteral("が範囲（-32768～32767）外です");
    return std::nullopt;
}

std::optional<FilterVerdict> checkIntegers(const FilterInput& in) {
    auto a = wholeNumber(in.a);
    if (!a) return refuse(QStringLiteral("比較値Aが整数以外です"), FilterFocus::ListA);
    if (auto m = integerRangeMessage(in.fieldType, *a, QLatin1Char('A')))
        return refuse(*m, FilterFocus::ListA);
    if (!isRangeCondition(in.condition)) return std::nullopt;
    auto b = wholeNumber(in.b);
    if (!b) return refuse(QStringLiteral("比較値Bが整数以外です"), FilterFocus::ListB);
    if (*a >= *b) return refuse(kSameOrReversed, FilterFocus::ListA);
    if (auto m = integerRangeMessage(in.fieldType, *b, QLatin1Char('B')))
        return refuse(*m, FilterFocus::ListB);
    return std::nullopt;
}

template <typename Parse>
std::optional<FilterVerdict> checkNumbers(const FilterInput& in, Parse parse, const QString& noun) {
    auto a = parse(in.a);
    if (!a) return refuse(QStringLiteral("比較値Aが") + noun + QStringLiteral("以外です"), FilterFocus::ListA);
    if (!isRangeCondition(in.condition)) return std::nullopt;
    auto b = parse(in.b);
    if (!b) return refuse(QStringLiteral("比較値Bが") + noun + QStringLiteral("以外です"), FilterFocus::ListB);
    if (*a >= *b) return refuse(kSameOrReversed, FilterFocus::ListA);
    return std::nullopt;
}

}  // namespace

FilterVerdict validateFilter(const FilterInput& in) {
    FilterVerdict ok;
    ok.accepted = true;
    ok.condition = in.condition;
    ok.a = in.a;
    ok.b = in.b;
    if (in.condition <= 0) return ok;

    std::optional<FilterVerdict> refusal;
    switch (in.fieldType) {
        case kSmallint: case kInteger: case kByte: case kAutoInc:
            refusal = checkIntegers(in);
            break;
        case kFloat:
            refusal = checkNumbers(in, text::parseDouble, QStringLiteral("実数"));
            break;
        case kCurrency:
            refusal = checkNumbers(in, text::parseCurrency, QStringLiteral("通貨数"));
            break;
        case kDateTime:
            ok.a = text::formatShortDate(in.dateA);
            if (isRangeCondition(in.condition)) {
                if (!(in.dateA < in.dateB)) return refuse(kSameOrReversed, FilterFocus::DateA);
                ok.b = text::formatShortDate(in.dateB);
            }
            break;
        case kText:
            // Ordinal comparison of the character codes, as the database's
            // binary collation orders them.
            if (isRangeCondition(in.condition) && QString::compare(in.a, in.b, Qt::CaseSensitive) >= 0)
                return refuse(kSameOrReversed, FilterFocus::ListA);
            break;
        case kBoolean:
            ok.a = in.booleanText;
            ok.condition = fcEqual;
            break;
        default:
            break;
    }
    if (refusal) return *refusal;
    return ok;
}

}  // namespace view
