#pragma once
// Simple statistics of one field over a set of records: how many records,
// how many hold a valid value of the field's type, the sum and mean of
// numbers, and how often each distinct value occurs (letter case aside).
// FieldTally counts record by record; aggregateField feeds it the records of
// an SQL text in one statement that reads only the chosen column. The lines
// it gives are the ones the aggregation window shows.
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <vector>

namespace db {
class Connection;
}

namespace aggregate {

// At most this many distinct values are collected ...
inline constexpr int kCollectLimit = 1002;
// ... and the occurrence list is shown only up to this many.
inline constexpr int kListLimit = 1000;
// A line of the occurrence list is cut to this many bytes in Shift-JIS.
inline constexpr int kLineBytes = 500;

// A value as the distinct-value table keys it: equal to another when the two
// texts differ in letter case only. Hashing folds character by character, so
// counting a record allocates nothing.
struct FoldedText {
    QString text;
};
bool operator==(const FoldedText& a, const FoldedText& b);
size_t qHash(const FoldedText& key, size_t seed = 0);

class FieldTally {
public:
    explicit FieldTally(int typeCode);

    // One record whose field holds value (typed as the database layer gives
    // it; invalid or null for NULL).
    void add(const QVariant& value);

    int typeCode() const { return typeCode_; }
    qint64 selected() const { return selected_; }
    qint64 valid() const { return valid_; }
    double sum() const { return sum_; }

    struct Value {
        QString text;  // the first form met
        qint64 count = 0;
    };
    // The distinct values in the order first met (at most kCollectLimit).
    const std::vector<Value>& values() const { return values_; }

    // "選択レコード数＝ n", "有効レコード数＝ n".
    QString selectedLine() const;
    QString validLine() const;
    // "合計＝ ..." and "平均＝ ...", or "" for the types that have none.
    QString sumLine() const;
    QString meanLine() const;
    // "count : value", the most frequent first (equal counts in descending
    // order of their text); empty when there are more than kListLimit
    // distinct values.
    QStringList occurrenceLines() const;

private:
    int typeCode_;
    qint64 selected_ = 0;
    qint64 valid_ = 0;
    double sum_ = 0;
    std::vector<Value> values_;
    QHash<FoldedText, int> positions_;  // index in values_
};

// The records of sql (a SELECT in the program's dialect: the grid's SQL
// text, with its filter and order) counted for field, whose type code is
// typeCode. Reads only that column, in the records' order. Throws db::Error
// when the statement fails.
FieldTally aggregateField(db::Connection& connection, const QString& sql, const QString& field,
                          int typeCode);

// Fixed-point notation with precision significant digits and decimals
// decimals ("1.500"); exponent notation when the integer part has more
// than precision digits.
QString fixedNotation(double value, int precision, int decimals);
// The shortest general notation with up to 15 significant digits ("0.3",
// "1E20", "1.5E-7").
QString generalNotation(double value);
// text cut to at most maxBytes bytes in Shift-JIS, never inside a character.
QString cutToCp932Bytes(const QString& text, int maxBytes);

}  // namespace aggregate
