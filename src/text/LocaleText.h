#pragma once
#include <QDate>
#include <QDateTime>
#include <QString>
#include <optional>

namespace text {

// The program writes and reads numbers and dates the way a Japanese desktop
// does: short date "yyyy/MM/dd", time "H:mm:ss", "." as decimal point.

QString shortDateFormat();  // "yyyy/MM/dd"
QString formatShortDate(const QDate& d);
// Date in the short form, followed by " H:mm:ss" when the time is not midnight.
QString formatDateTime(const QDateTime& dt);

// Reads a date or date-time as a user types it: "2024/3/5", "2024-03-05",
// "2024/03/05 9:30", "2024/03/05 09:30:15", ISO "2024-03-05T09:30:15".
// A year of one or two digits means 2000-2029 (00-29) or 1930-1999 (30-99).
// nullopt when it is not a valid calendar date or time.
std::optional<QDateTime> parseDateTime(QStringView s);
// The same reading without building a QDateTime, for bulk conversions: a
// date-time in the local zone costs a time-zone look-up each.
struct DateTimeParts {
    QDate date;
    QTime time;
};
std::optional<DateTimeParts> parseDateTimeParts(QStringView s);

// Whole decimal number with optional sign; nullopt when not an integer or
// outside [min, max].
std::optional<qint64> parseInteger(QStringView s, qint64 min = INT64_MIN,
                                   qint64 max = INT64_MAX);

// Floating-point number ("1.5", "-2", "3e4"); no thousands separators.
std::optional<double> parseDouble(QStringView s);

// Currency number: at most four decimals, within the range of Access's
// currency type (about ±9.2e14).
std::optional<double> parseCurrency(const QString& s);

// The shortest text that reads back as the same double ("0.1", not
// "0.1000000000000000055").
QString formatDouble(double v);

}  // namespace text
