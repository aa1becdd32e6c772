#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <functional>

#include <fcntl.h>
#include <unistd.h>

#include "db/Bookkeeping.h"
#include "db/Db.h"
#include "db/Dialect.h"
#include "db/Schema.h"
#include "db/Sqlite.h"

namespace db {

using namespace detail;

Error::Error(Code code, const QString& message)
    : std::runtime_error(message.toStdString()), code_(code), message_(message) {}

// ---- connection strings ----------------------------------------------------

namespace {

bool isKnownKey(const QString& rawKey) {
    const QString key = rawKey.simplified().toLower();
    static const QStringList known = {QStringLiteral("provider"),
                                      QStringLiteral("data source"),
                                      QStringLiteral("persist security info"),
                                      QStringLiteral("user id"),
                                      QStringLiteral("password"),
                                      QStringLiteral("mode"),
                                      QStringLiteral("extended properties"),
                                      QStringLiteral("locale identifier")};
    return known.contains(key) || key.startsWith(QLatin1String("jet oledb:"));
}

// A path or a password is free text that may hold ";": such a value runs on
// until the next ";" that starts a known item (or the end).
bool isFreeText(const QString& rawKey) {
    const QString key = rawKey.simplified().toLower();
    return key == QLatin1String("data source") ||
           key == QLatin1String("jet oledb:database password") || key == QLatin1String("password");
}

qsizetype endOfValue(const QString& text, qsizetype from, bool freeText) {
    qsizetype semi = text.indexOf(QLatin1Char(';'), from);
    while (freeText && semi >= 0) {
        const qsizetype after = semi + 1;
        if (text.mid(after).trimmed().isEmpty()) break;
        const qsizetype eq = text.indexOf(QLatin1Char('='), after);
        if (eq >= 0 && isKnownKey(text.mid(after, eq - after))) break;
        semi = text.indexOf(QLatin1Char(';'), after);
    }
    return semi < 0 ? text.size() : semi;
}

// Splits "key=value;key=value". A value may stand in double or single quotes
// to hold a ";" itself.
std::vector<std::pair<QString, QString>> splitPairs(const QString& text) {
    std::vector<std::pair<QString, QString>> out;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        qsizetype eq = text.indexOf(QLatin1Char('='), i);
        qsizetype semi = text.indexOf(QLatin1Char(';'), i);
        if (eq < 0 || (semi >= 0 && semi < eq)) {
            QString stray = text.mid(i, semi < 0 ? n - i : semi - i).trimmed();
            if (!stray.isEmpty())
                throw Error(Error::Code::Syntax,
                            QStringLiteral("connection string item without '=': %1").arg(stray));
            if (semi < 0) break;
            i = semi + 1;
            continue;
        }
        const QString key = text.mid(i, eq - i).trimmed();
        qsizetype v = eq + 1;
        while (v < n && text[v] == QLatin1Char(' ')) ++v;
        if (v < n && (text[v] == QLatin1Char('"') || text[v] == QLatin1Char('\''))) {
            // Quoted: the quote itself, written twice, stands inside.
            const QChar quote = text[v];
            QString value;
            qsizetype close = -1;
            for (qsizetype k = v + 1; k < n; ++k) {
                if (text[k] != quote) {
                    value += text[k];
                } else if (k + 1 < n && text[k + 1] == quote) {
                    value += quote;
                    ++k;
                } else {
                    close = k;
                    break;
                }
            }
            qsizetype next = close < 0 ? -1 : close + 1;
            while (next >= 0 && next < n && text[next] == QLatin1Char(' ')) ++next;
            if (close >= 0 && (next >= n || text[next] == QLatin1Char(';'))) {
                out.emplace_back(key, value);
                i = next + 1;
                continue;
            }
        }
        // Unquoted: taken as written, blanks included (they may belong to a
        // password).
        const qsizetype end = endOfValue(text, eq + 1, isFreeText(key));
        out.emplace_back(key, text.mid(eq + 1, end - eq - 1));
        i = end + 1;
    }
    return out;
}

}  // namespace

QString connectionStringValue(const QString& value) {
    const QString lead = value.trimmed();
    const bool quoted = lead.startsWith(QLatin1Char('"')) || lead.startsWith(QLatin1Char('\''));
    if (!quoted && !value.contains(QLatin1Char(';'))) return value;
    // Double quotes unless the value holds them and no single quote.
    const QChar quote = value.contains(QLatin1Char('"')) && !value.contains(QLatin1Char('\''))
                            ? QLatin1Char('\'')
                            : QLatin1Char('"');
    QString inner = value;
    inner.replace(quote, QString(2, quote));
    return quote + inner + quote;
}

ConnectionString ConnectionString::parse(const QString& text) {
    ConnectionString cs;
    bool haveSource = false;
    for (auto& [key, value] : splitPairs(text)) {
        const QString k = key.simplified().toLower();
        if (k == QLatin1String("provider")) {
            cs.provider = value.trimmed();
        } else if (k == QLatin1String("data source")) {
            cs.dataSource = value.trimmed();
            haveSource = true;
        } else if (k == QLatin1String("persist security info")) {
            cs.persistSecurityInfo =
                value.trimmed().compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
        } else if (k == QLatin1String("mode")) {
            // ADO's connect mode; "Read" opens the file without write access.
            cs.readOnly = value.trimmed().compare(QLatin1String("read"), Qt::CaseInsensitive) == 0;
        } else if (k == QLatin1String("jet oledb:database password")) {
            // A password is taken as typed: blanks are part of it.
            cs.password = value;
        }
        // Other provider settings (engine type, locking mode, ...) do not
        // change how our files open.
    }
    if (!cs.provider.startsWith(QLatin1String("Microsoft.Jet.OLEDB."), Qt::CaseInsensitive) &&
        !cs.provider.startsWith(QLatin1String("Microsoft.ACE.OLEDB."), Qt::CaseInsensitive))
        throw Error(Error::Code::Syntax, QStringLiteral("unknown provider '%1'").arg(cs.provider));
    if (!haveSource || cs.dataSource.isEmpty())
        throw Error(Error::Code::Syntax, QStringLiteral("connection string names no Data Source"));
    return cs;
}

// ---- connection ------------------------------------------------------------

namespace {

struct HandleCloser {
    void operator()(sqlite3* h) const { sqlite3_close_v2(h); }
};
using Handle = std::unique_ptr<sqlite3, HandleCloser>;

// Refuses what SQLite would otherwise accept silently: a missing file (it
// would create one) and an empty one (it would treat it as a new database).
void checkDatabaseFile(const QString& path) {
    QFileInfo info(path);
    if (!info.exists())
        throw Error(Error::Code::NotADatabase, QStringLiteral("file not found: %1").arg(path));
    if (!info.isFile())
        throw Error(Error::Code::NotADatabase, QStringLiteral("not a file: %1").arg(path));
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw Error(Error::Code::Locked, QStringLiteral("cannot read %1").arg(path));
    QByteArray head = f.read(16);
    if (head != QByteArray("SQLite format 3\0", 16))
        throw Error(Error::Code::NotADatabase, QStringLiteral("not a database file: %1").arg(path));
}

Handle openHandle(const QString& path, bool* readOnly) {
    // The engine's memory statistics take a global lock on every allocation;
    // nothing here reads them. Only possible before the engine starts; once
    // it has, the call is refused and changes nothing.
    static const bool configured = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0) == SQLITE_OK;
    Q_UNUSED(configured);
    checkDatabaseFile(path);
    QFileInfo info(path);
    // The journal is written beside the file, so an unwritable folder makes
    // the file read-only too.
    *readOnly = *readOnly || !info.isWritable() || !QFileInfo(info.absolutePath()).isWritable();
    sqlite3* raw = nullptr;
    QByteArray p = QFile::encodeName(path);
    int flags = (*readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOMUTEX;
    int rc = sqlite3_open_v2(p.constData(), &raw, flags, nullptr);
    Handle h(raw);
    if (rc != SQLITE_OK) throwEngineError(raw, rc, path);
    sqlite3_extended_result_codes(raw, 1);
    // A double-quoted name that is no column would otherwise silently become
    // a text value: a misspelled field reads as its own name on every row.
    sqlite3_db_config(raw, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(raw, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    sqlite3_busy_timeout(raw, 1000);
    registerFunctions(raw);
    // Reading the schema is the first real access: it fails here for a
    // damaged file or one that another program holds locked.
    exec(raw, QStringLiteral("SELECT count(*) FROM sqlite_master"));
    return h;
}

}  // namespace

void createDatabase(const QString& path) {
    if (QFileInfo::exists(path))
        throw Error(Error::Code::Engine, QStringLiteral("file exists already: %1").arg(path));
    sqlite3* raw = nullptr;
    QByteArray p = QFile::encodeName(path);
    int rc =
        sqlite3_open_v2(p.constData(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    Handle h(raw);
    if (rc != SQLITE_OK) throwEngineError(raw, rc, path);
    // An empty SQLite file has no header yet; writing the schema version gives
    // it one, so the file is recognised as a database from now on.
    exec(raw, QStringLiteral("PRAGMA user_version = 1"));
}

struct Connection::Impl {
    Handle handle;
    QString path;
    bool readOnly = false;
    int transactionDepth = 0;
    std::vector<DataSet*> dataSets;
    FileSchema schema;
};

Connection::Connection() = default;
Connection::~Connection() {
    close();
}

void Connection::attach(DataSet* ds) {
    if (impl_) impl_->dataSets.push_back(ds);
}

void Connection::detach(DataSet* ds) {
    if (!impl_) return;
    auto& v = impl_->dataSets;
    v.erase(std::remove(v.begin(), v.end(), ds), v.end());
}

void Connection::setConnectionString(const QString& text) {
    connectionString_ = text;
}
QString Connection::connectionString() const {
    return connectionString_;
}

void Connection::open() {
    close();
    ConnectionString cs = ConnectionString::parse(connectionString_);
    auto impl = std::make_unique<Impl>();
    impl->path = cs.dataSource;
    impl->readOnly = cs.readOnly;
    impl->handle = openHandle(cs.dataSource, &impl->readOnly);
    // Like the engine's own database password: an unprotected file opens with
    // or without one; a protected file needs exactly its password.
    if (auto hash = readEntry(impl->handle.get(), QStringLiteral("password"))) {
        if (!cs.password || cs.password->isEmpty())
            throw Error(Error::Code::WrongPassword,
                        QStringLiteral("the database is protected by a password"));
        if (!verifyPassword(*hash, *cs.password))
            throw Error(Error::Code::WrongPassword, QStringLiteral("not the database's password"));
    }
    impl_ = std::move(impl);
}

void Connection::close() {
    if (!impl_) return;
    // Closing a data set detaches it, so work on a copy of the list.
    std::vector<DataSet*> open = impl_->dataSets;
    for (DataSet* ds : open) ds->close();
    impl_.reset();
}
bool Connection::connected() const {
    return impl_ != nullptr;
}
bool Connection::readOnly() const {
    return impl_ && impl_->readOnly;
}
QString Connection::path() const {
    return impl_ ? impl_->path : QString();
}

sqlite3* Connection::handle() const {
    if (!impl_) throw Error(Error::Code::State, QStringLiteral("the connection is closed"));
    return impl_->handle.get();
}

const FileSchema& Connection::schema() const {
    sqlite3* h = handle();
    impl_->schema.refresh(h);
    return impl_->schema;
}

int Connection::execute(const QString& accessSql) {
    sqlite3* h = handle();
    Translation tr = translate(accessSql, &schema());
    // Saved-query statements touch our bookkeeping too; both change together.
    const bool bookkeeping =
        tr.kind == Translation::Kind::CreateView || tr.kind == Translation::Kind::DropView;
    if (!bookkeeping) return exec(h, tr.sql);
    Transaction t(*this);
    int changed = exec(h, tr.sql);
    if (tr.kind == Translation::Kind::CreateView)
        writeEntry(h, QStringLiteral("view"), tr.objectName, tr.viewBody);
    else
        removeEntry(h, QStringLiteral("view"), tr.objectName);
    t.commit();
    return changed;
}

QStringList Connection::tableNames() const {
    QStringList out;
    Statement st(
        handle(),
        QStringLiteral(
            "SELECT name FROM sqlite_master WHERE type IN ('table','view') ORDER BY rowid"));
    while (st.step()) {
        QString name = st.columnText(0);
        if (!isSystemTableName(name)) out << name;
    }
    return out;
}

void Connection::useAsScratchFile() {
    sqlite3* h = handle();
    exec(h, QStringLiteral("PRAGMA synchronous = OFF"));
    exec(h, QStringLiteral("PRAGMA journal_mode = MEMORY"));
}

bool syncFile(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    const bool synced = fd >= 0 && ::fsync(fd) == 0;
    if (fd >= 0) ::close(fd);
    return synced;
}

void Connection::begin() {
    if (impl_ && impl_->transactionDepth++ > 0) {
        exec(handle(), QStringLiteral("SAVEPOINT nested"));
        return;
    }
    exec(handle(), QStringLiteral("BEGIN"));
}

void Connection::commit() {
    if (!impl_ || impl_->transactionDepth == 0)
        throw Error(Error::Code::State, QStringLiteral("no transaction to commit"));
    if (--impl_->transactionDepth > 0) {
        exec(handle(), QStringLiteral("RELEASE nested"));
        return;
    }
    exec(handle(), QStringLiteral("COMMIT"));
}

void Connection::rollback() {
    if (!impl_ || impl_->transactionDepth == 0) return;
    if (--impl_->transactionDepth > 0) {
        exec(handle(), QStringLiteral("ROLLBACK TO nested"));
        exec(handle(), QStringLiteral("RELEASE nested"));
        return;
    }
    exec(handle(), QStringLiteral("ROLLBACK"));
}

Transaction::Transaction(Connection& c) : connection_(c) {
    connection_.begin();
}

Transaction::~Transaction() {
    if (done_) return;
    try {
        connection_.rollback();
    } catch (...) {
        // Closing the connection rolls back whatever is left.
    }
}

void Transaction::commit() {
    connection_.commit();
    done_ = true;
}

namespace {

// Opens a file with its password to change our bookkeeping in it.
void changeBookkeeping(const QString& path, const QString& password,
                       const std::function<void(sqlite3*)>& change) {
    Connection c;
    // Quoted even when plain, so that an empty password is still an item.
    QString quotedPassword = password;
    quotedPassword.replace(QLatin1Char('"'), QLatin1String("\"\""));
    c.setConnectionString(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") +
                          connectionStringValue(path) +
                          QStringLiteral(";Jet OLEDB:Database Password=\"") + quotedPassword +
                          QLatin1Char('"'));
    c.open();
    if (c.readOnly())
        throw Error(Error::Code::Locked, QStringLiteral("the file is read-only: %1").arg(path));
    Transaction t(c);
    change(c.handle());
    t.commit();
}

}  // namespace

void setDatabasePassword(const QString& path, const QString& currentPassword,
                         const QString& newPassword) {
    // Hash before the transaction starts: it is the slow part.
    const QString hash = newPassword.isEmpty() ? QString() : hashPassword(newPassword);
    changeBookkeeping(path, currentPassword, [&](sqlite3* h) {
        if (newPassword.isEmpty())
            removeEntry(h, QStringLiteral("password"));
        else
            writeEntry(h, QStringLiteral("password"), QString(), hash);
    });
}

void setEngineType(const QString& path, const QString& password, int engineType) {
    changeBookkeeping(path, password, [&](sqlite3* h) {
        writeEntry(h, QStringLiteral("engine"), QString(), QString::number(engineType));
    });
}

}  // namespace db
