#pragma once
// Values decoded from the bytes an Access file stores, never from text that a
// reader formatted: a formatted date loses everything before 1900, a
// formatted currency its last digits, formatted text the characters outside
// the basic plane. Each function takes exactly the bytes of one value.
#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <optional>

namespace accessfile::stored {

// Little-endian reads; the caller has checked the length.
qint16 int16At(const unsigned char* p);
qint32 int32At(const unsigned char* p);
quint32 uint32At(const unsigned char* p);
qint64 int64At(const unsigned char* p);
double doubleAt(const unsigned char* p);
float singleAt(const unsigned char* p);

// A date-time is a day count from 1899-12-30; before that day the whole part
// is negative while the fraction still counts forward from midnight
// (-1.25 is 1899-12-29 06:00). Times are kept to the millisecond, as
// wall-clock fields in a UTC QDateTime (no time zone applies). nullopt for a
// number outside the years 100 to 9999 (or not finite).
std::optional<QDateTime> dateTimeFromDays(double days);

// Currency is a 64-bit integer in ten-thousandths. The double nearest to
// that decimal, and whether that double gives the same ten-thousandths back
// (beyond about 900 billion it no longer can).
struct Decimal {
    double value = 0;
    bool exact = true;
};
Decimal currencyFromScaled(qint64 tenThousandths);

// A Decimal (Numeric) column: one sign byte (0x80 negative) and a 128-bit
// magnitude stored as four little-endian 32-bit words, most significant word
// first; scale digits follow the decimal point. exact is false when the
// double cannot give the decimal back to its last digit.
Decimal numericFromBytes(const unsigned char* p17, int scale);

// A single-precision number as the user saw it: the shortest decimal that
// gives the same float back (0.1f becomes 0.1, not 0.100000001490116).
double singleAsDecimal(float value);

// Jet 4 text is UTF-16LE; text that starts with FF FE is "compressed": runs
// of one-byte characters (the low byte of U+0000..U+00FF) and runs of
// two-byte units, a 00 byte switching between the two. Surrogate pairs stay
// intact, so characters outside the basic plane survive.
QString jet4Text(const unsigned char* p, qsizetype size);

// A replication ID as Access shows it: {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX},
// the first three groups little-endian.
QString guidText(const unsigned char* p16);

}  // namespace accessfile::stored
