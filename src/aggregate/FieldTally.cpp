#include "aggregate/FieldTally.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "db/Db.h"
#include "db/Dialect.h"
#include "db/FieldType.h"
#include "text/Cp932.h"
#include "text/LocaleText.h"

namespace aggregate {

namespace {

bool isNumberType(int type) {
    switch (type) {
        case db::ftAutoInc:
        case db::ftInteger:
        case db::ftFloat:
        case db::ftByte:
        case db::ftSmallint:
        case db::ftCurrency:
            return true;
        default:
            return false;
    }
}

bool isNumberValue(const QVariant& v) {
    switch (v.typeId()) {
        case QMetaType::LongLong:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::ULongLong:
        case QMetaType::Double:
        case QMetaType::Float:
            return true;
        default:
            return false;
    }
}

// The significant digits of |value| rounded half away from zero to n digits
// (n >= 1), and the decimal exponent of the first: value ~ d.ddd x 10^exponent.
struct Digits {
    std::string digits;
    int exponent = 0;
};

Digits roundedDigits(double value, int n) {
    // 40 digits of the binary value's decimal expansion decide every rounding
    // a double can need.
    char buffer[80];
    std::snprintf(buffer, sizeof buffer, "%.40e", std::fabs(value));
    const std::string s(buffer);
    const size_t e = s.find('e');
    std::string all = s.substr(0, 1) + s.substr(2, e - 2);
    Digits d;
    d.exponent = std::stoi(s.substr(e + 1));
    d.digits = all.substr(0, size_t(n));
    if (size_t(n) < all.size() && all[size_t(n)] >= '5') {
        int i = n - 1;
        for (; i >= 0; --i) {
            if (d.digits[size_t(i)] == '9') {
                d.digits[size_t(i)] = '0';
            } else {
                ++d.digits[size_t(i)];
                break;
            }
        }
        if (i < 0) {  // 9.99 -> 10.0: one more place in front
            d.digits.insert(d.digits.begin(), '1');
            d.digits.pop_back();
            ++d.exponent;
        }
    }
    return d;
}

QString nonFinite(double value) {
    if (std::isnan(value)) return QStringLiteral("NAN");
    return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
}

QString exponentNotation(double value, int precision) {
    const Digits d = roundedDigits(value, precision);
    QString out = value < 0 ? QStringLiteral("-") : QString();
    out += QLatin1Char(d.digits[0]);
    if (precision > 1) out += QLatin1Char('.') + QString::fromLatin1(d.digits.substr(1));
    out += d.exponent < 0 ? QStringLiteral("E-") : QStringLiteral("E+");
    out += QString::number(std::abs(d.exponent));
    return out;
}

// The sort order of the occurrence list: by count, then by text, both
// ascending; the list is shown from the last to the first. Counts compare as
// numbers, so a count of a million or more still sorts above smaller ones.
bool occursBefore(const FieldTally::Value& a, const FieldTally::Value& b) {
    if (a.count != b.count) return a.count < b.count;
    return a.text.compare(b.text, Qt::CaseInsensitive) < 0;
}

}  // namespace

QString fixedNotation(double value, int precision, int decimals) {
    if (!std::isfinite(value)) return nonFinite(value);
    const QString zeros = decimals > 0 ? QLatin1Char('.') + QString(decimals, QLatin1Char('0'))
                                       : QString();
    if (value == 0) return QStringLiteral("0") + zeros;
    // Rounding to precision digits may carry into one more integer digit.
    const Digits whole = roundedDigits(value, precision);
    if (whole.exponent >= precision) return exponentNotation(value, precision);
    const int n = std::min(precision, whole.exponent + 1 + decimals);
    Digits d;
    if (n >= 1) {
        d = roundedDigits(value, n);
    } else {
        // Every kept place lies before the first digit: the value rounds to
        // zero or, from half a unit of the last place up, to that unit.
        const Digits raw = roundedDigits(value, 40);
        const bool up = n == 0 && raw.digits[0] >= '5';
        if (!up) return QStringLiteral("0") + zeros;
        d.digits = "1";
        d.exponent = -decimals;
    }
    // Place the digits: position p holds the digit of 10^(exponent - p).
    QString integer, fraction;
    for (int place = std::max(d.exponent, 0); place >= -decimals; --place) {
        const int p = d.exponent - place;
        const QChar digit =
            (p >= 0 && p < int(d.digits.size())) ? QLatin1Char(d.digits[size_t(p)]) : QLatin1Char('0');
        if (place >= 0)
            integer += digit;
        else
            fraction += digit;
    }
    const bool allZero = QString(integer + fraction).count(QLatin1Char('0')) ==
                         integer.size() + fraction.size();
    QString out = (value < 0 && !allZero) ? QStringLiteral("-") : QString();
    out += integer;
    if (decimals > 0) out += QLatin1Char('.') + fraction;
    return out;
}

QString generalNotation(double value) {
    if (!std::isfinite(value)) return nonFinite(value);
    if (value == 0) return QStringLiteral("0");
    Digits d = roundedDigits(value, 15);
    while (d.digits.size() > 1 && d.digits.back() == '0') d.digits.pop_back();
    const QString sign = value < 0 ? QStringLiteral("-") : QString();
    const QString digits = QString::fromLatin1(d.digits);
    if (d.exponent < -5 || d.exponent >= 15) {
        QString out = sign + digits.left(1);
        if (digits.size() > 1) out += QLatin1Char('.') + digits.mid(1);
        return out + QLatin1Char('E') + QString::number(d.exponent);
    }
    if (d.exponent < 0)
        return sign + QStringLiteral("0.") + QString(-d.exponent - 1, QLatin1Char('0')) + digits;
    if (digits.size() <= d.exponent + 1)
        return sign + digits + QString(d.exponent + 1 - digits.size(), QLatin1Char('0'));
    return sign + digits.left(d.exponent + 1) + QLatin1Char('.') + digits.mid(d.exponent + 1);
}

QString cutToCp932Bytes(const QString& text, int maxBytes) {
    // No character takes more than two bytes.
    if (text.size() * 2 <= maxBytes) return text;
    qsizetype bytes = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype width =
            (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
                ? 2
                : 1;
        const qsizetype charBytes = text::cp932Length(text.mid(i, width));
        if (bytes + charBytes > maxBytes) break;
        bytes += charBytes;
        i += width;
    }
    return text.left(i);
}

bool operator==(const FoldedText& a, const FoldedText& b) {
    return a.text.compare(b.text, Qt::CaseInsensitive) == 0;
}

size_t qHash(const FoldedText& key, size_t seed) {
    size_t h = seed ^ size_t(key.text.size());
    const QChar* p = key.text.constData();
    const QChar* end = p + key.text.size();
    while (p != end) {
        char32_t c = p->unicode();
        if (p->isHighSurrogate() && p + 1 != end && p[1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(*p, p[1]);
            ++p;
        }
        ++p;
        h = h * 1000003u ^ size_t(QChar::toCaseFolded(c));
    }
    return h;
}

FieldTally::FieldTally(int typeCode) : typeCode_(typeCode) {}

void FieldTally::add(const QVariant& value) {
    ++selected_;
    const bool null = !value.isValid() || value.isNull();
    const QString v = null ? QString() : db::valueText(value, typeCode_);
    if (typeCode_ == db::ftText) {
        ++valid_;
    } else if (isNumberType(typeCode_)) {
        if (!null) {
            if (isNumberValue(value)) {
                ++valid_;
                sum_ += value.toDouble();
            } else if (const std::optional<double> number = text::parseDouble(v.trimmed())) {
                ++valid_;
                sum_ += *number;
            }
        }
    } else if (typeCode_ == db::ftBoolean) {
        const QString upper = v.toUpper();
        if (upper == QLatin1String("TRUE") || upper == QLatin1String("FALSE")) ++valid_;
    } else if (typeCode_ == db::ftDateTime) {
        if (!null && ((value.typeId() == QMetaType::QDateTime && value.toDateTime().isValid()) ||
                      value.typeId() == QMetaType::QDate || text::parseDateTime(v)))
            ++valid_;
    }

    const FoldedText key{v};
    const auto found = positions_.constFind(key);
    if (found != positions_.constEnd()) {
        ++values_[size_t(*found)].count;
    } else if (int(values_.size()) < kCollectLimit) {
        positions_.insert(key, int(values_.size()));
        values_.push_back({v, 1});
    }
}

QString FieldTally::selectedLine() const {
    return QStringLiteral("選択レコード数＝ ") + QString::number(selected_);
}

QString FieldTally::validLine() const {
    return QStringLiteral("有効レコード数＝ ") + QString::number(valid_);
}

QString FieldTally::sumLine() const {
    if (typeCode_ == db::ftAutoInc || typeCode_ == db::ftInteger)
        return QStringLiteral("合計＝ ") + fixedNotation(sum_, 12, 0);
    if (typeCode_ == db::ftFloat) return QStringLiteral("合計＝ ") + generalNotation(sum_);
    return QString();
}

QString FieldTally::meanLine() const {
    const bool integers = typeCode_ == db::ftAutoInc || typeCode_ == db::ftInteger;
    if (!integers && typeCode_ != db::ftFloat) return QString();
    if (valid_ == 0) return QStringLiteral("平均＝ （計算不能）");
    const double mean = sum_ / double(valid_);
    return QStringLiteral("平均＝ ") +
           (integers ? fixedNotation(mean, 12, 3) : generalNotation(mean));
}

QStringList FieldTally::occurrenceLines() const {
    QStringList lines;
    if (int(values_.size()) > kListLimit) return lines;
    std::vector<Value> sorted = values_;
    std::sort(sorted.begin(), sorted.end(), occursBefore);
    lines.reserve(qsizetype(sorted.size()));
    for (auto it = sorted.rbegin(); it != sorted.rend(); ++it)
        lines << cutToCp932Bytes(QString::number(it->count) + QStringLiteral(" : ") + it->text,
                                 kLineBytes);
    return lines;
}

FieldTally aggregateField(db::Connection& connection, const QString& sql, const QString& field,
                          int typeCode) {
    FieldTally tally(typeCode);
    db::Command walk(connection);
    // Only the chosen column is read; the records keep the order of sql.
    walk.setCommandText(QStringLiteral("SELECT ") + db::detail::bracketed(field) +
                        QStringLiteral(" FROM (") + sql + QLatin1Char(')'));
    try {
        walk.query([&](const std::vector<QVariant>& row) { tally.add(row[0]); });
        return tally;
    } catch (const db::Error&) {
        if (tally.selected() > 0) throw;
    }
    // A statement that cannot stand inside another (a saved query naming a
    // field twice): its own records, the field picked by name.
    db::Command all(connection);
    all.setCommandText(sql);
    int column = -1;
    all.query([&](const std::vector<QVariant>& row) {
        if (column < 0) {
            const QStringList names = all.columnNames();
            for (int i = 0; i < names.size() && column < 0; ++i)
                if (names[i].compare(field, Qt::CaseInsensitive) == 0) column = i;
            if (column < 0)
                throw db::Error(db::Error::Code::Engine,
                                QStringLiteral("no field named %1").arg(field));
        }
        tally.add(row[size_t(column)]);
    });
    return tally;
}

}  // namespace aggregate
