#pragma once
// Number formats: which built-in id means which format code, whether a code
// shows a date, and the text a value shows through a code. Covers the codes
// office forms use (General, 0, 0.00, #,##0, percentages, scientific, dates
// and times with Japanese literals, "@", sections for negatives and text);
// colours and conditions in brackets are read and ignored.
#include <QDateTime>
#include <QString>

namespace excel {

QString builtinNumberFormat(int id);  // "" for an unknown id
bool isDateFormat(int id, const QString& code);
// date1904: the book counts dates from 1904 (see serialToDateTime).
QString formatNumber(double value, const QString& code, bool date1904 = false);
// Serial day number <-> date-time. In the 1900 system serial 1 is 1900-01-01
// and serial 60 the 29th of February 1900 that never was; in the 1904 system
// serial 0 is 1904-01-01. Serials name wall-clock times: the date-time given
// back is in UTC, so no time zone is looked up or applied. An invalid
// QDateTime for serials outside the calendar (negative, or past 9999-12-31).
double dateTimeToSerial(const QDateTime& dt, bool date1904 = false);
QDateTime serialToDateTime(double serial, bool date1904 = false);
// The value of a number cell as text the way the automation layer gives it
// ("1.5", "600001", "1E+20").
QString numberText(double v);

}  // namespace excel
