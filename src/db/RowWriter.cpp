// Bulk reading and writing: one prepared statement each, values passed in
// the form the file stores them. A value in another form than its column's
// takes the general conversion path, so results never differ from a Command.
#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "db/Db.h"
#include "db/Dialect.h"
#include "db/Schema.h"
#include "db/Sqlite.h"
#include "db/Types.h"

namespace db {

using namespace detail;

namespace {

// The parameter kind a value read from a column of this type travels as.
ParamType paramTypeFor(int fieldType) {
    switch (fieldType) {
        case ftBoolean:
            return ParamType::Boolean;
        case ftFloat:
        case ftCurrency:
            return ParamType::Float;
        case ftDateTime:
            return ParamType::DateTime;
        case ftByte:
        case ftSmallint:
        case ftInteger:
        case ftAutoInc:
            return ParamType::Integer;
        default:
            return ParamType::Text;
    }
}

bool wholeNumberRange(int fieldType, qint64* lo, qint64* hi) {
    switch (fieldType) {
        case ftByte:
            *lo = 0, *hi = 255;
            return true;
        case ftSmallint:
            *lo = -32768, *hi = 32767;
            return true;
        case ftInteger:
        case ftAutoInc:
            *lo = INT32_MIN, *hi = INT32_MAX;
            return true;
        default:
            return false;
    }
}

bool storedAsText(int fieldType) {
    return fieldType == ftText || fieldType == ftMemo || fieldType == ftGuid;
}

// UTF-8 of text into out; false for text holding a surrogate, which the
// general conversion handles.
bool appendUtf8(QStringView text, std::string& out) {
    out.resize(size_t(text.size()) * 3);
    char* p = out.data();
    for (const QChar qc : text) {
        const char16_t c = qc.unicode();
        if (c < 0x80) {
            *p++ = char(c);
        } else if (c < 0x800) {
            *p++ = char(0xC0 | (c >> 6));
            *p++ = char(0x80 | (c & 0x3F));
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            return false;
        } else {
            *p++ = char(0xE0 | (c >> 12));
            *p++ = char(0x80 | ((c >> 6) & 0x3F));
            *p++ = char(0x80 | (c & 0x3F));
        }
    }
    out.resize(size_t(p - out.data()));
    return true;
}

}  // namespace

// ---- reader ---------------------------------------------------------------

struct RowReader::Impl {
    Statement statement;
    std::vector<int> types;
};

RowReader::RowReader(Connection& connection, const QString& accessSelect)
    : impl_(std::make_unique<Impl>()) {
    sqlite3* h = connection.handle();
    const Translation tr = translate(accessSelect, &connection.schema());
    if (tr.kind != Translation::Kind::Select)
        throw Error(Error::Code::Engine,
                    QStringLiteral("the statement returns no rows: %1").arg(accessSelect));
    impl_->statement = Statement(h, tr.sql);
    for (int i = 0; i < impl_->statement.columnCount(); ++i)
        impl_->types.push_back(describeColumn(h, impl_->statement.get(), i).type.code);
}

RowReader::~RowReader() = default;

int RowReader::columnCount() const {
    return int(impl_->types.size());
}
int RowReader::columnType(int column) const {
    return impl_->types[size_t(column)];
}
bool RowReader::next() {
    return impl_->statement.step();
}
QVariant RowReader::value(int column) const {
    return readColumn(impl_->statement.get(), column, impl_->types[size_t(column)]);
}

// ---- writer ---------------------------------------------------------------

namespace {

// One value of a row being written, as the file stores it.
struct Slot {
    enum class Kind : std::uint8_t { Null, Integer, Real, Text, Blob };
    Kind kind = Kind::Null;
    // Set by the typed setters, which only store what fits the column; a
    // value converted by the general path or copied is checked on write.
    bool fits = true;
    qint64 integer = 0;
    double real = 0;
    std::string bytes;  // text (UTF-8) or blob; its capacity is reused row after row
};

// Rows of values, filled by the caller and written by the engine.
struct Batch {
    std::vector<Slot> values;
    int rows = 0;
};

// Counts characters as the engine's length() does: UTF-8 lead bytes.
qsizetype characterCount(const std::string& utf8) {
    qsizetype n = 0;
    for (const char c : utf8) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

// The rule a value breaks among those a column of this type declares (the
// checks written with the column), or nullopt. Only values of the column's
// own kind pass: a number for a text column, say, is refused even where the
// engine would store its text.
std::optional<Error> brokenRule(const Slot& s, const ParameterTarget& target) {
    const ColumnType& type = target.type;
    auto refusal = [&](Error::Code code, const QString& what) {
        return Error(code, QStringLiteral("field %1: %2").arg(target.column, what));
    };
    if (s.kind == Slot::Kind::Null) return std::nullopt;
    qint64 lo = 0, hi = 0;
    switch (type.code) {
        case ftText:
            if (s.kind != Slot::Kind::Text)
                return refusal(Error::Code::TypeMismatch, QStringLiteral("not a text"));
            if (type.size > 0 && characterCount(s.bytes) > type.size)
                return refusal(Error::Code::TooLong,
                               QStringLiteral("the text does not fit its width %1").arg(type.size));
            return std::nullopt;
        case ftByte:
        case ftSmallint:
        case ftInteger:
        case ftAutoInc:
            wholeNumberRange(type.code, &lo, &hi);
            if (s.kind != Slot::Kind::Integer)
                return refusal(Error::Code::TypeMismatch, QStringLiteral("not a whole number"));
            if (s.integer < lo || s.integer > hi)
                return refusal(Error::Code::OutOfRange,
                               QStringLiteral("%1 is outside %2..%3").arg(s.integer).arg(lo).arg(hi));
            return std::nullopt;
        case ftBoolean:
            if (s.kind != Slot::Kind::Integer)
                return refusal(Error::Code::TypeMismatch, QStringLiteral("not True or False"));
            return std::nullopt;
        case ftFloat:
        case ftCurrency:
            if (s.kind != Slot::Kind::Real && s.kind != Slot::Kind::Integer)
                return refusal(Error::Code::TypeMismatch, QStringLiteral("not a number"));
            return std::nullopt;
        case ftDateTime:
            if (s.kind != Slot::Kind::Text || !isStorageDateTimeAscii(s.bytes.data(), int(s.bytes.size())))
                return refusal(Error::Code::TypeMismatch, QStringLiteral("not a date"));
            return std::nullopt;
        default:
            return std::nullopt;
    }
}

}  // namespace

struct RowWriter::Impl {
    sqlite3* handle = nullptr;
    Mode mode = Mode::RowByRow;
    int columns = 0;
    std::vector<ParameterTarget> targets;
    Statement single;         // one row
    Statement multi;          // rowsPerStatement rows (Batched)
    int rowsPerStatement = 1;
    int rowsPerBatch = 1;
    Batch filling;

    // Batched: the engine writes `pending` on the worker thread while the
    // caller fills `filling`.
    Batch pending;
    std::thread worker;
    std::mutex mutex;
    std::condition_variable changed;
    bool hasPending = false;
    bool stopping = false;
    std::exception_ptr failure;
    bool checksOff = false;  // BatchedIntoNewTable: the writer checks instead

    void restoreChecks() {
        if (!checksOff) return;
        checksOff = false;
        sqlite3_exec(handle, "PRAGMA ignore_check_constraints = OFF", nullptr, nullptr, nullptr);
    }

    void checkRow() const {
        const Slot* v = filling.values.data() + size_t(filling.rows) * size_t(columns);
        for (int c = 0; c < columns; ++c)
            if (!v[c].fits)
                if (std::optional<Error> broken = brokenRule(v[c], targets[size_t(c)])) throw *broken;
    }

    const ColumnType& type(int column) const { return targets[size_t(column)].type; }
    Slot& slot(int column) {
        return filling.values[size_t(filling.rows * columns + column)];
    }

    void check(int rc) const {
        if (rc != SQLITE_OK) throwEngineError(handle, rc);
    }

    // Binds rows [first, first + count) of a batch to a statement of count
    // rows and runs it.
    void run(Statement& statement, const Batch& batch, int first, int count) {
        sqlite3_stmt* st = statement.get();
        const Slot* s = batch.values.data() + size_t(first) * size_t(columns);
        const int params = count * columns;
        for (int p = 1; p <= params; ++p, ++s) {
            switch (s->kind) {
                case Slot::Kind::Null:
                    check(sqlite3_bind_null(st, p));
                    break;
                case Slot::Kind::Integer:
                    check(sqlite3_bind_int64(st, p, s->integer));
                    break;
                case Slot::Kind::Real:
                    check(sqlite3_bind_double(st, p, s->real));
                    break;
                case Slot::Kind::Text:
                    check(sqlite3_bind_text64(st, p, s->bytes.data(), s->bytes.size(),
                                              SQLITE_STATIC, SQLITE_UTF8));
                    break;
                case Slot::Kind::Blob:
                    check(sqlite3_bind_blob64(st, p, s->bytes.data(), s->bytes.size(),
                                              SQLITE_STATIC));
                    break;
            }
        }
        statement.step();
        statement.reset();
    }

    void runAll(const Batch& batch) {
        int row = 0;
        if (rowsPerStatement > 1)
            for (; row + rowsPerStatement <= batch.rows; row += rowsPerStatement)
                run(multi, batch, row, rowsPerStatement);
        for (; row < batch.rows; ++row) run(single, batch, row, 1);
    }

    void clear(Batch& batch) {
        for (Slot& s : batch.values) s.kind = Slot::Kind::Null;
        batch.rows = 0;
    }

    void work() {
        std::unique_lock lock(mutex);
        for (;;) {
            changed.wait(lock, [this] { return hasPending || stopping; });
            if (!hasPending) return;
            lock.unlock();
            std::exception_ptr error;
            try {
                if (!failure) runAll(pending);
            } catch (...) {
                error = std::current_exception();
            }
            lock.lock();
            if (error && !failure) failure = error;
            hasPending = false;
            changed.notify_all();
        }
    }

    // Waits until the worker holds no batch; rethrows its error.
    void settle() {
        std::unique_lock lock(mutex);
        changed.wait(lock, [this] { return !hasPending; });
        if (failure) std::rethrow_exception(failure);
    }

    void handOver() {
        settle();
        {
            std::lock_guard lock(mutex);
            std::swap(filling, pending);
            hasPending = true;
        }
        changed.notify_all();
        clear(filling);
    }

    void stopWorker() {
        if (!worker.joinable()) return;
        {
            std::lock_guard lock(mutex);
            stopping = true;
        }
        changed.notify_all();
        worker.join();
    }

    void setStorage(int column, const QVariant& v) {
        Slot& s = slot(column);
        s.fits = false;
        if (!v.isValid() || v.isNull()) {
            s.kind = Slot::Kind::Null;
            return;
        }
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
                s.kind = Slot::Kind::Integer;
                s.integer = v.toLongLong();
                return;
            case QMetaType::Bool:
                s.kind = Slot::Kind::Integer;
                s.integer = v.toBool() ? 1 : 0;
                return;
            case QMetaType::Double:
            case QMetaType::Float:
                s.kind = Slot::Kind::Real;
                s.real = v.toDouble();
                return;
            case QMetaType::QByteArray: {
                const QByteArray b = v.toByteArray();
                s.kind = Slot::Kind::Blob;
                s.bytes.assign(b.constData(), size_t(b.size()));
                return;
            }
            default: {
                const QByteArray b = v.toString().toUtf8();
                s.kind = Slot::Kind::Text;
                s.bytes.assign(b.constData(), size_t(b.size()));
                return;
            }
        }
    }
};

RowWriter::RowWriter(Connection& connection, const QString& table, const QStringList& columns,
                     Mode mode)
    : impl_(std::make_unique<Impl>()) {
    Impl& d = *impl_;
    d.handle = connection.handle();
    d.mode = mode;
    d.columns = int(columns.size());
    const FileSchema& schema = connection.schema();
    QStringList quoted, markers;
    for (const QString& column : columns) {
        const std::optional<ColumnType> type = schema.columnType(table, column);
        if (!type)
            throw Error(Error::Code::Engine,
                        QStringLiteral("no such column: %1.%2").arg(table, column));
        d.targets.push_back({column, *type});
        quoted << quoteIdentifier(column);
        markers << QStringLiteral("?");
    }
    const QString head = QStringLiteral("INSERT INTO %1 (%2) VALUES ")
                             .arg(quoteIdentifier(table), quoted.join(','));
    const QString row = QLatin1Char('(') + markers.join(',') + QLatin1Char(')');
    d.single = Statement(d.handle, head + row);
    if (mode != Mode::RowByRow && d.columns > 0) {
        // Many rows per statement spread the engine's per-statement work
        // (the autonumber's sequence row, the statement journal) over them.
        const int variables = sqlite3_limit(d.handle, SQLITE_LIMIT_VARIABLE_NUMBER, -1);
        d.rowsPerStatement = std::clamp(variables / d.columns, 1, 32);
        if (d.rowsPerStatement > 1) {
            QStringList rows;
            for (int i = 0; i < d.rowsPerStatement; ++i) rows << row;
            d.multi = Statement(d.handle, head + rows.join(','));
        }
        // Batches of about 16,000 values: few enough hand-overs between the
        // threads that waking each other costs nothing, and small enough to
        // stay in the processor's cache.
        d.rowsPerBatch = std::max(1, 16384 / (d.columns * d.rowsPerStatement)) * d.rowsPerStatement;
    }
    d.filling.values.resize(size_t(d.rowsPerBatch) * size_t(d.columns));
    d.pending.values.resize(d.filling.values.size());
    // Last, so that nothing after them can fail and leave them behind.
    if (mode == Mode::BatchedIntoNewTable) {
        exec(d.handle, QStringLiteral("PRAGMA ignore_check_constraints = ON"));
        d.checksOff = true;
    }
    if (mode != Mode::RowByRow) d.worker = std::thread([&d] { d.work(); });
}

RowWriter::~RowWriter() {
    impl_->stopWorker();
    impl_->restoreChecks();
}

int RowWriter::columnType(int column) const {
    return impl_->type(column).code;
}

void RowWriter::setNull(int column) {
    Slot& s = impl_->slot(column);
    s.kind = Slot::Kind::Null;
    s.fits = true;
}

void RowWriter::setBoolean(int column, bool value) {
    if (impl_->type(column).code != ftBoolean)
        return setValue(column, QVariant(value), ParamType::Boolean);
    Slot& s = impl_->slot(column);
    s.kind = Slot::Kind::Integer;
    s.integer = value ? 1 : 0;
    s.fits = true;
}

void RowWriter::setInteger(int column, qint64 value) {
    qint64 lo = 0, hi = 0;
    if (!wholeNumberRange(impl_->type(column).code, &lo, &hi) || value < lo || value > hi)
        return setValue(column, QVariant(value), ParamType::Integer);
    Slot& s = impl_->slot(column);
    s.kind = Slot::Kind::Integer;
    s.integer = value;
    s.fits = true;
}

void RowWriter::setDouble(int column, double value) {
    if (impl_->type(column).code != ftFloat || !std::isfinite(value))
        return setValue(column, QVariant(value), ParamType::Float);
    Slot& s = impl_->slot(column);
    s.kind = Slot::Kind::Real;
    s.real = value;
    s.fits = true;
}

void RowWriter::setDateTime(int column, const QDate& date, const QTime& time) {
    Slot& s = impl_->slot(column);
    s.bytes.resize(23);
    const int n = impl_->type(column).code == ftDateTime
                      ? storageDateTimeAscii(date, time, s.bytes.data())
                      : 0;
    if (n == 0) return setValue(column, QVariant(QDateTime(date, time)), ParamType::DateTime);
    s.bytes.resize(size_t(n));
    s.kind = Slot::Kind::Text;
    s.fits = true;
}

void RowWriter::setText(int column, QStringView text) {
    const ColumnType& type = impl_->type(column);
    Slot& s = impl_->slot(column);
    if (!storedAsText(type.code) || !appendUtf8(text, s.bytes))
        return setValue(column, QVariant(text.toString()), ParamType::Text);
    if (type.code == ftText && type.size > 0 && text.size() > type.size)
        throw Error(Error::Code::TooLong,
                    QStringLiteral("field %1: %2 characters do not fit its width %3")
                        .arg(impl_->targets[size_t(column)].column)
                        .arg(text.size())
                        .arg(type.size));
    s.kind = Slot::Kind::Text;
    s.fits = true;
}

void RowWriter::setValue(int column, const QVariant& value, ParamType type) {
    impl_->setStorage(column, parameterForTarget(value, type, impl_->targets[size_t(column)]));
}

void RowWriter::copy(int column, const RowReader& reader, int readerColumn) {
    sqlite3_stmt* from = reader.impl_->statement.get();
    sqlite3_value* value = sqlite3_column_value(from, readerColumn);
    const int storage = sqlite3_value_type(value);
    const int code = impl_->type(column).code;
    const bool number = storage == SQLITE_INTEGER || storage == SQLITE_FLOAT;
    Slot& s = impl_->slot(column);
    s.fits = false;
    auto keepText = [&] {
        const char* p = reinterpret_cast<const char*>(sqlite3_value_text(value));
        s.bytes.assign(p, size_t(sqlite3_value_bytes(value)));
        s.kind = Slot::Kind::Text;
    };
    qint64 lo = 0, hi = 0;
    if (storage == SQLITE_NULL) {
        s.kind = Slot::Kind::Null;
        return;
    }
    if (storage == SQLITE_INTEGER && wholeNumberRange(code, &lo, &hi)) {
        const qint64 v = sqlite3_value_int64(value);
        if (v >= lo && v <= hi) {
            s.kind = Slot::Kind::Integer;
            s.integer = v;
            return;
        }
    } else if (number && code == ftBoolean) {
        s.kind = Slot::Kind::Integer;
        s.integer = sqlite3_value_double(value) != 0 ? 1 : 0;
        return;
    } else if (number && code == ftFloat) {
        s.kind = Slot::Kind::Real;
        s.real = sqlite3_value_double(value);
        return;
    } else if (storage == SQLITE_TEXT && storedAsText(code)) {
        return keepText();
    } else if (storage == SQLITE_TEXT && code == ftDateTime) {
        const char* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
        if (isStorageDateTimeAscii(text, sqlite3_value_bytes(value))) return keepText();
    }
    const int fieldType = reader.columnType(readerColumn);
    setValue(column, readColumn(from, readerColumn, fieldType), paramTypeFor(fieldType));
}

void RowWriter::write() {
    Impl& d = *impl_;
    if (d.checksOff) d.checkRow();
    ++d.filling.rows;
    if (d.mode == Mode::RowByRow) {
        struct Clear {
            Impl& d;
            ~Clear() { d.clear(d.filling); }
        } clear{d};
        d.runAll(d.filling);
    } else if (d.filling.rows == d.rowsPerBatch) {
        d.handOver();
    }
}

void RowWriter::finish() {
    Impl& d = *impl_;
    if (d.mode == Mode::RowByRow) return;
    d.settle();
    d.stopWorker();
    d.runAll(d.filling);
    d.clear(d.filling);
    d.restoreChecks();
}

}  // namespace db
