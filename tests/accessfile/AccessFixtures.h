#pragma once
// Genuine Access files for the tests. The sample files (made by Access, kept
// in tests/accessfile/samples with their licence) hold few rows; the
// fixtures below add rows to copies of them through libmdb's own row writer
// and, where libmdb cannot write a structure (long values on pages of their
// own, a deleted row), by placing the bytes on the pages as Access lays them
// out. The reader under test never sees how the bytes got there.
#include <QDateTime>
#include <QString>

namespace fixtures {

// Folder of the sample files.
QString samplesDir();
QString sample(const QString& name);

// A copy of testV2003.mdb whose Table1 (text, byte, integer, long, double,
// date, currency, yes/no) gains rows with values at the edges: a date before
// 1900, text outside the basic plane, compressed text, the largest currency,
// NULLs, and one deleted row.
QString makeValuesFile(const QString& folder);

// A copy of testUnicodeCompV2003.mdb whose table "Table" (auto-number key
// ID, text) gains rows numbered 20 and 35.
QString makeAutoNumberFile(const QString& folder);

// A copy of testV2003.mdb whose Table1.B is an OLE object column.
QString makeOleFile(const QString& folder);

// A copy of fixedNumericTestV2000.mdb whose table "test" (memo, decimals)
// gains rows whose memos are stored inline, on a page of their own and over
// several pages, with decimals at the edges.
QString makeLongValuesFile(const QString& folder);

// A copy of testV2003.mdb whose Table1 holds `rows` more rows on new data
// pages (for the benchmark and the tests of many pages).
QString makeLargeFile(const QString& folder, int rows);

// The text of the long memos makeLongValuesFile writes.
QString onePageMemo();
QString manyPagesMemo();

// Copies source to target byte for byte, writable.
QString copyFile(const QString& source, const QString& target);

}  // namespace fixtures
