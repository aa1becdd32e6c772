#include "text/LocaleText.h"

#include <QLocale>
#include <QRegularExpression>

#include <cmath>
#include <limits>

namespace text {

QString shortDateFormat() { return QStringLiteral("yyyy/MM/dd"); }

namespace {

void putDigits(QChar* at, int value, int digits) {
    for (int i = digits - 1; i >= 0; --i, value /= 10) at[i] = QChar(u'0' + value % 10);
}

}  // namespace

// Written digit by digit: lists and grids format a date per cell, and going
// through the locale's general formatter costs more than reading the row.
QString formatShortDate(const QDate& d) {
    if (!d.isValid() || d.year() < 1 || d.year() > 9999) return d.toString(shortDateFormat());
    QString s(10, QLatin1Char('/'));
    putDigits(s.data(), d.year(), 4);
    putDigits(s.data() + 5, d.month(), 2);
    putDigits(s.data() + 8, d.day(), 2);
    return s;
}

QString formatDateTime(const QDateTime& dt) {
    QString s = formatShortDate(dt.date());
    QTime t = dt.time();
    if (t.isValid() && t != QTime(0, 0)) {
        // " H:mm:ss"
        const int hourDigits = t.hour() >= 10 ? 2 : 1;
        QString time(1 + hourDigits + 6, QLatin1Char(':'));
        time[0] = QLatin1Char(' ');
        putDigits(time.data() + 1, t.hour(), hourDigits);
        putDigits(time.data() + 2 + hourDigits, t.minute(), 2);
        putDigits(time.data() + 5 + hourDigits, t.second(), 2);
        s += time;
    }
    return s;
}

namespace {

// Read by hand rather than by regular expression: the builder converts every
// cell of a list through these, and the pattern engine cost more than the
// insert of the row. The grammar is that of the patterns in the comments,
// with ASCII digits and ASCII white space only.
bool isAsciiSpace(QChar c) {
    const char16_t u = c.unicode();
    return u == ' ' || (u >= '\t' && u <= '\r');
}
bool isAsciiDigit(QChar c) {
    return c.unicode() >= '0' && c.unicode() <= '9';
}

// Reads 1..maxDigits digits at i; -1 (i unchanged) when there are none or more.
int readDigits(QStringView s, qsizetype& i, int maxDigits, int* count = nullptr) {
    qsizetype j = i;
    int v = 0;
    while (j < s.size() && isAsciiDigit(s[j])) {
        if (j - i == maxDigits) return -1;
        v = v * 10 + (s[j].unicode() - '0');
        ++j;
    }
    if (j == i) return -1;
    if (count) *count = int(j - i);
    i = j;
    return v;
}

bool isDateSeparator(QChar c) {
    return c == QLatin1Char('/') || c == QLatin1Char('-') || c == QLatin1Char('.');
}

bool onlySpaceFrom(QStringView s, qsizetype i) {
    for (; i < s.size(); ++i)
        if (!isAsciiSpace(s[i])) return false;
    return true;
}

}  // namespace

// ^\s*(\d{1,4})[/\-.](\d{1,2})[/\-.](\d{1,2})
//     (?:[ T]+(\d{1,2}):(\d{1,2})(?::(\d{1,2})(?:\.(\d{1,3}))?)?)?\s*$
std::optional<DateTimeParts> parseDateTimeParts(QStringView s) {
    qsizetype i = 0;
    while (i < s.size() && isAsciiSpace(s[i])) ++i;
    int yearDigits = 0;
    int year = readDigits(s, i, 4, &yearDigits);
    if (year < 0 || i >= s.size() || !isDateSeparator(s[i])) return std::nullopt;
    ++i;
    const int month = readDigits(s, i, 2);
    if (month < 0 || i >= s.size() || !isDateSeparator(s[i])) return std::nullopt;
    ++i;
    const int day = readDigits(s, i, 2);
    if (day < 0) return std::nullopt;
    // A year typed with one or two digits falls in the window 1930-2029, as
    // the desktop reads it; a year of three or four digits is kept as typed.
    if (yearDigits <= 2) year += year < 30 ? 2000 : 1900;
    DateTimeParts parts{QDate(year, month, day), QTime(0, 0)};
    if (!parts.date.isValid()) return std::nullopt;
    if (onlySpaceFrom(s, i)) return parts;
    qsizetype j = i;
    while (j < s.size() && (s[j] == QLatin1Char(' ') || s[j] == QLatin1Char('T'))) ++j;
    if (j == i) return std::nullopt;
    const int hour = readDigits(s, j, 2);
    if (hour < 0 || j >= s.size() || s[j] != QLatin1Char(':')) return std::nullopt;
    ++j;
    const int minute = readDigits(s, j, 2);
    if (minute < 0) return std::nullopt;
    int second = 0, ms = 0;
    if (j + 1 < s.size() && s[j] == QLatin1Char(':') && isAsciiDigit(s[j + 1])) {
        ++j;
        second = readDigits(s, j, 2);
        if (second < 0) return std::nullopt;
        if (j + 1 < s.size() && s[j] == QLatin1Char('.') && isAsciiDigit(s[j + 1])) {
            ++j;
            int digits = 0;
            ms = readDigits(s, j, 3, &digits);
            if (ms < 0) return std::nullopt;
            for (; digits < 3; ++digits) ms *= 10;
        }
    }
    if (!onlySpaceFrom(s, j)) return std::nullopt;
    parts.time = QTime(hour, minute, second, ms);
    if (!parts.time.isValid()) return std::nullopt;
    return parts;
}

std::optional<QDateTime> parseDateTime(QStringView input) {
    const auto parts = parseDateTimeParts(input);
    if (!parts) return std::nullopt;
    return QDateTime(parts->date, parts->time);
}

// ^[+-]?\d+$ after trimming, within [min, max]
std::optional<qint64> parseInteger(QStringView s, qint64 min, qint64 max) {
    const QStringView t = s.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == QLatin1Char('+') || t[i] == QLatin1Char('-')))
        negative = t[i++] == QLatin1Char('-');
    if (i == t.size()) return std::nullopt;
    quint64 v = 0;
    constexpr quint64 limit = quint64(std::numeric_limits<qint64>::max()) + 1;
    for (; i < t.size(); ++i) {
        if (!isAsciiDigit(t[i])) return std::nullopt;
        const unsigned digit = t[i].unicode() - '0';
        if (v > (limit - digit) / 10) return std::nullopt;
        v = v * 10 + digit;
    }
    if (!negative && v == limit) return std::nullopt;
    const qint64 value = negative ? qint64(0 - v) : qint64(v);
    if (value < min || value > max) return std::nullopt;
    return value;
}

// ^[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?$ after trimming
std::optional<double> parseDouble(QStringView s) {
    const QStringView t = s.trimmed();
    qsizetype i = 0;
    auto digitsFrom = [&](qsizetype from) {
        qsizetype j = from;
        while (j < t.size() && isAsciiDigit(t[j])) ++j;
        return j - from;
    };
    if (i < t.size() && (t[i] == QLatin1Char('+') || t[i] == QLatin1Char('-'))) ++i;
    const qsizetype whole = digitsFrom(i);
    i += whole;
    qsizetype fraction = 0;
    if (i < t.size() && t[i] == QLatin1Char('.')) {
        fraction = digitsFrom(i + 1);
        i += 1 + fraction;
    }
    if (whole == 0 && fraction == 0) return std::nullopt;
    if (i < t.size() && (t[i] == QLatin1Char('e') || t[i] == QLatin1Char('E'))) {
        ++i;
        if (i < t.size() && (t[i] == QLatin1Char('+') || t[i] == QLatin1Char('-'))) ++i;
        const qsizetype exponent = digitsFrom(i);
        if (exponent == 0) return std::nullopt;
        i += exponent;
    }
    if (i != t.size()) return std::nullopt;
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (!ok || !std::isfinite(v)) return std::nullopt;
    return v;
}

std::optional<double> parseCurrency(const QString& s) {
    static const QRegularExpression re(QStringLiteral(R"(^[+-]?(\d+\.?\d*|\.\d+)$)"));
    QString t = s.trimmed();
    if (!re.match(t).hasMatch()) return std::nullopt;
    bool ok = false;
    double v = t.toDouble(&ok);
    if (!ok || std::fabs(v) > 922337203685477.5807) return std::nullopt;
    return std::round(v * 10000.0) / 10000.0;
}

QString formatDouble(double v) {
    if (v == std::floor(v) && std::fabs(v) < 1e15) return QString::number(static_cast<qint64>(v));
    return QString::number(v, 'g', QLocale::FloatingPointShortest);
}

}  // namespace text
