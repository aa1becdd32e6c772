#include "excel/TypedText.h"

#include <charconv>
#include <cmath>

#include "excel/NumberFormat.h"

namespace excel {

namespace {

bool isAsciiDigit(QChar c) {
    return c.unicode() >= '0' && c.unicode() <= '9';
}

// Reads 1 to maxDigits ASCII digits at i; -1 when there are none.
int readNumber(QStringView s, qsizetype& i, int maxDigits) {
    int v = 0, n = 0;
    while (i < s.size() && isAsciiDigit(s[i]) && n < maxDigits) {
        v = v * 10 + (s[i].unicode() - '0');
        ++i;
        ++n;
    }
    if (i < s.size() && isAsciiDigit(s[i])) return -1;  // too many digits
    return n ? v : -1;
}

}  // namespace

std::optional<double> numberThatKeepsText(QStringView text) {
    const qsizetype n = text.size();
    if (n == 0 || n > 32) return std::nullopt;
    char ascii[33];
    bool integer = true;
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (isAsciiDigit(c)) {
        } else if (c == QLatin1Char('-') && i == 0) {
        } else if (c == QLatin1Char('.') || c == QLatin1Char('-')) {
            integer = false;
        } else {
            return std::nullopt;
        }
        ascii[i] = char(c.unicode());
    }
    // The common case without formatting: a whole number of up to fifteen
    // digits without a leading zero reads back as itself.
    const qsizetype digits = n - (ascii[0] == '-' ? 1 : 0);
    const char* first = ascii + (n - digits);
    if (integer && digits > 0 && digits <= 15 && (first[0] != '0' || (digits == 1 && n == 1))) {
        long long v = 0;
        std::from_chars(ascii, ascii + n, v);
        return double(v);
    }
    double d = 0;
    const auto r = std::from_chars(ascii, ascii + n, d);
    if (r.ec != std::errc() || r.ptr != ascii + n || !std::isfinite(d)) return std::nullopt;
    if (numberText(d) != text) return std::nullopt;
    return d;
}

std::optional<QDateTime> parseWholeDate(QStringView s) {
    qsizetype i = 0;
    const int year = readNumber(s, i, 4);
    if (year < 1900 || i != 4) return std::nullopt;
    if (i >= s.size()) return std::nullopt;
    const QChar sep = s[i];
    const bool kanji = sep == QChar(0x5E74);  // 年
    if (!kanji && sep != QLatin1Char('/') && sep != QLatin1Char('-')) return std::nullopt;
    ++i;
    const int month = readNumber(s, i, 2);
    if (month < 1 || i >= s.size()) return std::nullopt;
    if (kanji ? s[i] != QChar(0x6708) : s[i] != sep) return std::nullopt;  // 月
    ++i;
    const int day = readNumber(s, i, 2);
    if (day < 1) return std::nullopt;
    if (kanji) {
        if (i >= s.size() || s[i] != QChar(0x65E5)) return std::nullopt;  // 日
        ++i;
    }
    const QDate date(year, month, day);
    if (!date.isValid()) return std::nullopt;
    QTime time(0, 0);
    if (i < s.size()) {
        if (s[i] != QLatin1Char(' ') && s[i] != QLatin1Char('T')) return std::nullopt;
        ++i;
        const int hour = readNumber(s, i, 2);
        if (hour < 0 || i >= s.size() || s[i] != QLatin1Char(':')) return std::nullopt;
        ++i;
        const int minute = readNumber(s, i, 2);
        if (minute < 0) return std::nullopt;
        int second = 0, ms = 0;
        if (i < s.size() && s[i] == QLatin1Char(':')) {
            ++i;
            second = readNumber(s, i, 2);
            if (second < 0) return std::nullopt;
            if (i < s.size() && s[i] == QLatin1Char('.')) {
                ++i;
                const qsizetype from = i;
                ms = readNumber(s, i, 3);
                if (ms < 0) return std::nullopt;
                for (qsizetype k = i - from; k < 3; ++k) ms *= 10;
            }
        }
        if (i != s.size()) return std::nullopt;
        time = QTime(hour, minute, second, ms);
        if (!time.isValid()) return std::nullopt;
    }
    return QDateTime(date, time, Qt::UTC);
}

TypedValue classifyTypedText(QStringView text) {
    TypedValue v;
    if (text.isEmpty() || (!isAsciiDigit(text.front()) && text.front() != QLatin1Char('-') &&
                           text.front() != QLatin1Char('.')))
        return v;
    if (const auto number = numberThatKeepsText(text)) {
        v.kind = TypedValue::Kind::Number;
        v.number = *number;
    } else if (text.size() <= 32) {
        if (auto date = parseWholeDate(text)) {
            v.kind = TypedValue::Kind::Date;
            v.date = *date;
        }
    }
    return v;
}

}  // namespace excel
