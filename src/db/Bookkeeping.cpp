#include "db/Bookkeeping.h"

#include <sodium.h>

#include "db/Db.h"
#include "db/Sqlite.h"

namespace db::detail {

namespace {

// Cost of one password check. The system store is connected for every single
// operation, so it must stay at a few milliseconds; argon2id with 2 passes
// over 2 MiB still makes guessing a stolen hash slow.
constexpr unsigned long long kOpsLimit = 2;
constexpr size_t kMemLimit = 2u * 1024u * 1024u;

bool tableExists(sqlite3* handle) {
    Statement st(handle,
                 QStringLiteral("SELECT 1 FROM sqlite_master WHERE type='table' AND name=?"));
    st.bindText(1, QString::fromLatin1(kBookkeepingTable));
    return st.step();
}

void ensureSodium() {
    static const int ready = sodium_init();
    if (ready < 0)
        throw Error(Error::Code::Engine, QStringLiteral("libsodium could not be initialised"));
}

}  // namespace

bool isSystemTableName(const QString& name) {
    return name.startsWith(QLatin1String("sqlite_"), Qt::CaseInsensitive) ||
           name.compare(QLatin1String(kBookkeepingTable), Qt::CaseInsensitive) == 0;
}

std::optional<QString> readEntry(sqlite3* handle, const QString& kind, const QString& name) {
    if (!tableExists(handle)) return std::nullopt;
    Statement st(handle, QStringLiteral("SELECT body FROM %1 WHERE kind=? AND name=?")
                             .arg(QLatin1String(kBookkeepingTable)));
    st.bindText(1, kind);
    st.bindText(2, name);
    if (!st.step()) return std::nullopt;
    return st.columnText(0);
}

void writeEntry(sqlite3* handle, const QString& kind, const QString& name, const QString& body) {
    exec(handle,
         QStringLiteral(
             "CREATE TABLE IF NOT EXISTS %1 (kind TEXT NOT NULL, name TEXT NOT NULL, body TEXT, "
             "PRIMARY KEY (kind, name))")
             .arg(QLatin1String(kBookkeepingTable)));
    Statement st(handle,
                 QStringLiteral("INSERT OR REPLACE INTO %1 (kind, name, body) VALUES (?,?,?)")
                     .arg(QLatin1String(kBookkeepingTable)));
    st.bindText(1, kind);
    st.bindText(2, name);
    st.bindText(3, body);
    st.step();
}

void removeEntry(sqlite3* handle, const QString& kind, const QString& name) {
    if (!tableExists(handle)) return;
    Statement st(handle, QStringLiteral("DELETE FROM %1 WHERE kind=? AND name=?")
                             .arg(QLatin1String(kBookkeepingTable)));
    st.bindText(1, kind);
    st.bindText(2, name);
    st.step();
}

QString hashPassword(const QString& password) {
    ensureSodium();
    QByteArray utf8 = password.toUtf8();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str_alg(out, utf8.constData(), quint64(utf8.size()), kOpsLimit, kMemLimit,
                              crypto_pwhash_ALG_ARGON2ID13) != 0)
        throw Error(Error::Code::Engine, QStringLiteral("password hashing ran out of memory"));
    sodium_memzero(utf8.data(), size_t(utf8.size()));
    return QString::fromLatin1(out);
}

bool verifyPassword(const QString& hash, const QString& password) {
    ensureSodium();
    QByteArray h = hash.toLatin1();
    QByteArray utf8 = password.toUtf8();
    bool ok = crypto_pwhash_str_verify(h.constData(), utf8.constData(), quint64(utf8.size())) == 0;
    sodium_memzero(utf8.data(), size_t(utf8.size()));
    return ok;
}

}  // namespace db::detail
