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
QString formatNumber(double value, const QString& code);
// Serial day number (1900 system, with its leap-year quirk) <-> date-time.
double dateTimeToSerial(const QDateTime& dt);
QDateTime serialToDateTime(double serial);
// The value of a number cell as text the way the automation layer gives it
// ("1.5", "600001", "1E+20").
QString numberText(double v);

}  // namespace excel
