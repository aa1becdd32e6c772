#pragma once
// A small member list for the list-output tests: awkward values on purpose
// (commas, quotes, line breaks, leading zeros, dates, yes/no, NULL), written
// through the database layer, and ways to read our files back with Python.
#include <QJsonArray>
#include <QString>
#include <QStringList>
#include <vector>

namespace listtest {

inline const QString kTable = QStringLiteral("名簿");

// One row of the table as values in field order: ID, 氏名, 住所, 郵便番号,
// 入会日, 会費, 有効, 備考. "" stands for NULL in the non-text fields.
using Row = QStringList;

// Writes the database (fields ID COUNTER key, 氏名 NCHAR(20), 住所 NCHAR(40),
// 郵便番号 NCHAR(8), 入会日 TIMESTAMP, 会費 CURRENCY, 有効 BIT, 備考 MEMO)
// with these rows (ID given by the database).
void writeListDatabase(const QString& path, const std::vector<Row>& rows);
// The five rows most tests use.
std::vector<Row> sampleRows();
// n plain rows ("会員1", ...), for multi-page lists.
std::vector<Row> plainRows(int n);

// The CSV file read by Python's csv module in the given encoding
// ("cp932" or "utf-8-sig"): one array of strings per line.
QJsonArray readCsvWithPython(const QString& path, const QString& encoding);

// The values of a JSON array as texts, "-" for null (an empty cell).
QStringList texts(const QJsonValue& array);

}  // namespace listtest
