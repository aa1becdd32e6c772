#pragma once
// Our bookkeeping table inside a database file: the password hash, the
// Access text each saved query was created with, and the engine type. It is
// created on the first write that needs it, so merely opening a file never
// changes it; the catalogue lists it as a system table.
#include <QString>
#include <optional>

struct sqlite3;

namespace db::detail {

inline constexpr char kBookkeepingTable[] = "tesmora_catalog";

bool isSystemTableName(const QString& name);

std::optional<QString> readEntry(sqlite3* handle, const QString& kind, const QString& name = {});
void writeEntry(sqlite3* handle, const QString& kind, const QString& name, const QString& body);
void removeEntry(sqlite3* handle, const QString& kind, const QString& name = {});

// Password hash (libsodium's argon2id, tuned to a few milliseconds).
QString hashPassword(const QString& password);
bool verifyPassword(const QString& hash, const QString& password);

}  // namespace db::detail
