#pragma once
// The demo database a newcomer sees first: a member list of realistic
// Japanese records (names with their readings, postal codes kept as text so
// leading zeros survive, addresses, birthdays, phones, fees, a yes/no field,
// a memo) and one saved query over it. Built through the database layer, so
// it is exactly what the program itself would read.
#include <QString>

namespace demo {

inline const QString kMemberTable = QStringLiteral("会員");
inline const QString kSavedQuery = QStringLiteral("配信希望者");

// Writes the database to path (replacing nothing: throws std::runtime_error
// when path exists). The rows are the same on every run (fixed seed).
void writeDemoDatabase(const QString& path, int members = 1000);

}  // namespace demo
