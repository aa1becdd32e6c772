#include "accessfile/StoredValues.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace accessfile::stored {

qint16 int16At(const unsigned char* p) {
    return qint16(quint16(p[0]) | quint16(p[1]) << 8);
}

quint32 uint32At(const unsigned char* p) {
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}

qint32 int32At(const unsigned char* p) {
    return qint32(uint32At(p));
}

qint64 int64At(const unsigned char* p) {
    return qint64(quint64(uint32At(p)) | quint64(uint32At(p + 4)) << 32);
}

double doubleAt(const unsigned char* p) {
    const quint64 bits = quint64(int64At(p));
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

float singleAt(const unsigned char* p) {
    const quint32 bits = uint32At(p);
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

std::optional<QDateTime> dateTimeFromDays(double days) {
    // 0100-01-01 and 9999-12-31 23:59:59.999, the range Access itself accepts.
    constexpr double kFirst = -657434.0;
    constexpr double kLast = 2958466.0;
    if (!std::isfinite(days) || days <= kFirst - 1.0 || days >= kLast) return std::nullopt;
    double whole = std::trunc(days);
    qint64 ms = std::llround(std::fabs(days - whole) * 86400000.0);
    qint64 dayCount = qint64(whole);
    if (ms >= 86400000) {  // rounding reached the next midnight
        ms -= 86400000;
        dayCount += 1;
    }
    const QDate date = QDate(1899, 12, 30).addDays(dayCount);
    if (!date.isValid() || date.year() < 100 || date.year() > 9999) return std::nullopt;
    // Kept as wall-clock fields: a local time would pass through the time
    // zone (slow, and a time in a daylight-saving gap would move).
    return QDateTime(date, QTime::fromMSecsSinceStartOfDay(int(ms)), Qt::UTC);
}

namespace {

// Digits of a decimal magnitude with scale digits after the point, as the
// fixed notation "%.*f" prints it ("-0.0500", "12").
std::string decimalText(bool negative, unsigned __int128 magnitude, int scale) {
    std::string digits;
    do {
        digits.insert(digits.begin(), char('0' + int(magnitude % 10)));
        magnitude /= 10;
    } while (magnitude != 0);
    if (scale > 0) {
        if (int(digits.size()) <= scale) digits.insert(0, size_t(scale + 1 - digits.size()), '0');
        digits.insert(digits.size() - size_t(scale), 1, '.');
    }
    if (negative && digits.find_first_not_of("0.") != std::string::npos)
        digits.insert(digits.begin(), '-');
    return digits;
}

Decimal nearestDouble(const std::string& text, int scale) {
    Decimal out;
    out.value = std::strtod(text.c_str(), nullptr);
    // The double prints back at the same scale exactly when it holds the
    // decimal to its last digit.
    char back[80];
    std::snprintf(back, sizeof back, "%.*f", scale, out.value);
    std::string printed = back;
    if (printed.size() > 1 && printed[0] == '-' &&
        printed.find_first_not_of("-0.") == std::string::npos)
        printed.erase(0, 1);  // "-0.0000" is zero
    out.exact = printed == text;
    return out;
}

}  // namespace

Decimal currencyFromScaled(qint64 tenThousandths) {
    const bool negative = tenThousandths < 0;
    // The magnitude of INT64_MIN does not fit in qint64; in 128 bits it does.
    const unsigned __int128 magnitude = negative ? (unsigned __int128)(-(__int128)tenThousandths)
                                                 : (unsigned __int128)tenThousandths;
    return nearestDouble(decimalText(negative, magnitude, 4), 4);
}

Decimal numericFromBytes(const unsigned char* p, int scale) {
    const bool negative = (p[0] & 0x80) != 0;
    unsigned __int128 magnitude = 0;
    for (int word = 0; word < 4; ++word) magnitude = (magnitude << 32) | uint32At(p + 1 + 4 * word);
    if (scale < 0) scale = 0;
    if (scale > 28) scale = 28;
    return nearestDouble(decimalText(negative, magnitude, scale), scale);
}

double singleAsDecimal(float value) {
    if (!std::isfinite(value)) return double(value);
    char buf[64];
    auto result = std::to_chars(buf, buf + sizeof buf, value);
    *result.ptr = '\0';
    return std::strtod(buf, nullptr);
}

QString jet4Text(const unsigned char* p, qsizetype size) {
    QString out;
    if (size >= 2 && p[0] == 0xFF && p[1] == 0xFE) {
        out.reserve(size - 2);
        bool compressed = true;
        qsizetype i = 2;
        while (i < size) {
            if (p[i] == 0) {
                compressed = !compressed;
                ++i;
            } else if (compressed) {
                out += QChar(char16_t(p[i]));
                ++i;
            } else if (i + 1 < size) {
                out += QChar(char16_t(p[i] | (p[i + 1] << 8)));
                i += 2;
            } else {
                break;  // an odd byte at the end carries no character
            }
        }
        return out;
    }
    const qsizetype units = size / 2;
    out.resize(units);
    QChar* d = out.data();
    for (qsizetype i = 0; i < units; ++i) d[i] = QChar(char16_t(p[2 * i] | (p[2 * i + 1] << 8)));
    return out;
}

QString guidText(const unsigned char* p) {
    return QString::asprintf(
        "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", p[3], p[2], p[1],
        p[0], p[5], p[4], p[7], p[6], p[8], p[9], p[10], p[11], p[12], p[13], p[14], p[15]);
}

}  // namespace accessfile::stored
