#pragma once
// What a text becomes when it is typed into a cell (by the program's SetCell,
// by the user in the sheet window, or as a CSV field). The rule is narrow on
// purpose: values pass through forms unaltered. A text becomes a number only
// when the number reads back as exactly that text ("0600001", "+5", "1.50"
// and 16-digit codes stay texts), and a date only when it is a whole date
// with a four-digit year from 1900 to 9999, as the program's own fields write
// dates ("2024/3/5", "2024-03-05", "2024年3月5日", each optionally followed by a
// time "9:30" or "09:30:15"). Everything else ("1-2-3", "24/3/5", "3.1.2")
// stays text exactly as typed.
#include <QDateTime>
#include <QStringView>
#include <optional>

namespace excel {

struct TypedValue {
    enum class Kind { Text, Number, Date };
    Kind kind = Kind::Text;
    double number = 0;  // Number
    QDateTime date;     // Date
};

TypedValue classifyTypedText(QStringView text);

// The number a text stands for when it reads back as exactly that text.
std::optional<double> numberThatKeepsText(QStringView text);
// A whole date (and optional time) as described above, as a wall-clock
// date-time in UTC.
std::optional<QDateTime> parseWholeDate(QStringView text);

}  // namespace excel
