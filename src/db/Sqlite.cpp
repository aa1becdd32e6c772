#include "db/Sqlite.h"

#include <utility>

namespace db::detail {

Error::Code codeForResult(int rc, const QString& message) {
    switch (rc & 0xff) {
        case SQLITE_NOTADB:
        case SQLITE_CORRUPT:
        case SQLITE_CANTOPEN:
        case SQLITE_EMPTY:
            return Error::Code::NotADatabase;
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
        case SQLITE_READONLY:
        case SQLITE_PERM:
            return Error::Code::Locked;
        case SQLITE_MISMATCH:
            return Error::Code::TypeMismatch;
        case SQLITE_TOOBIG:
            return Error::Code::TooLong;
        case SQLITE_CONSTRAINT:
            // Our own column checks carry names that say which rule failed.
            if (message.contains(QLatin1String(" width "))) return Error::Code::TooLong;
            if (message.contains(QLatin1String(" range "))) return Error::Code::OutOfRange;
            if (message.endsWith(QLatin1String(" type"))) return Error::Code::TypeMismatch;
            return Error::Code::Constraint;
        default:
            break;
    }
    if (message.contains(QLatin1String("syntax error")) ||
        message.contains(QLatin1String("incomplete input")) ||
        message.contains(QLatin1String("unrecognized token")))
        return Error::Code::Syntax;
    return Error::Code::Engine;
}

void throwEngineError(sqlite3* handle, int rc, const QString& context) {
    QString message =
        handle ? QString::fromUtf8(sqlite3_errmsg(handle)) : QString::fromUtf8(sqlite3_errstr(rc));
    if (!context.isEmpty()) message = context + QLatin1String(": ") + message;
    throw Error(codeForResult(rc, message), message);
}

QString quoteIdentifier(const QString& name) {
    QString q = name;
    q.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

Statement::Statement(sqlite3* handle, const QString& sql) : handle_(handle) {
    QByteArray utf8 = sql.toUtf8();
    const char* tail = nullptr;
    int rc = sqlite3_prepare_v2(handle, utf8.constData(), int(utf8.size()), &stmt_, &tail);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(stmt_);
        stmt_ = nullptr;
        throwEngineError(handle, rc);
    }
    if (!stmt_) throw Error(Error::Code::Syntax, QStringLiteral("empty statement"));
    // A second statement after the first would silently not run.
    for (; tail && *tail; ++tail) {
        char c = *tail;
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != ';') {
            sqlite3_finalize(stmt_);
            stmt_ = nullptr;
            throw Error(Error::Code::Syntax,
                        QStringLiteral("only one statement may be run at a time"));
        }
    }
}

Statement::~Statement() {
    sqlite3_finalize(stmt_);
}

Statement::Statement(Statement&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)), stmt_(std::exchange(other.stmt_, nullptr)) {}

Statement& Statement::operator=(Statement&& other) noexcept {
    if (this != &other) {
        sqlite3_finalize(stmt_);
        handle_ = std::exchange(other.handle_, nullptr);
        stmt_ = std::exchange(other.stmt_, nullptr);
    }
    return *this;
}

bool Statement::step() {
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    sqlite3_reset(stmt_);
    throwEngineError(handle_, rc);
}

void Statement::reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

QString Statement::columnText(int i) const {
    const void* p = sqlite3_column_text(stmt_, i);
    int n = sqlite3_column_bytes(stmt_, i);
    return QString::fromUtf8(static_cast<const char*>(p), n);
}

static void check(sqlite3* h, int rc) {
    if (rc != SQLITE_OK) throwEngineError(h, rc);
}

void Statement::bindNull(int pos) {
    check(handle_, sqlite3_bind_null(stmt_, pos));
}
void Statement::bindInt(int pos, qint64 v) {
    check(handle_, sqlite3_bind_int64(stmt_, pos, v));
}
void Statement::bindDouble(int pos, double v) {
    check(handle_, sqlite3_bind_double(stmt_, pos, v));
}
void Statement::bindText(int pos, const QString& v) {
    QByteArray utf8 = v.toUtf8();
    check(handle_, sqlite3_bind_text64(stmt_, pos, utf8.constData(), sqlite3_uint64(utf8.size()),
                                       SQLITE_TRANSIENT, SQLITE_UTF8));
}
void Statement::bindBlob(int pos, const QByteArray& v) {
    check(handle_, sqlite3_bind_blob64(stmt_, pos, v.constData(), sqlite3_uint64(v.size()),
                                       SQLITE_TRANSIENT));
}

void Statement::bindStorage(int pos, const QVariant& v) {
    if (v.isNull() || !v.isValid()) return bindNull(pos);
    switch (v.typeId()) {
        case QMetaType::LongLong:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::Long:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::UChar:
        case QMetaType::Char:
        case QMetaType::SChar:
            return bindInt(pos, v.toLongLong());
        case QMetaType::Bool:
            return bindInt(pos, v.toBool() ? 1 : 0);
        case QMetaType::Double:
        case QMetaType::Float:
            return bindDouble(pos, v.toDouble());
        case QMetaType::QByteArray:
            return bindBlob(pos, v.toByteArray());
        default:
            return bindText(pos, v.toString());
    }
}

void requireParameters(int needed, int given, const QString& statement) {
    if (given < needed)
        throw Error(Error::Code::Engine,
                    QStringLiteral("the statement needs %1 parameter values, %2 given: %3")
                        .arg(needed)
                        .arg(given)
                        .arg(statement));
}

int exec(sqlite3* handle, const QString& sql) {
    Statement st(handle, sql);
    requireParameters(st.parameterCount(), 0, sql);
    while (st.step()) {
    }
    return sqlite3_changes(handle);
}

}  // namespace db::detail
