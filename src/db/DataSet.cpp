#include <QAbstractEventDispatcher>
#include <QTimer>
#include <algorithm>
#include <climits>
#include <limits>
#include <unordered_map>

#include "db/Db.h"
#include "db/Dialect.h"
#include "db/Schema.h"
#include "db/Sqlite.h"
#include "db/Types.h"

namespace db {

using namespace detail;

namespace {

constexpr DataSet::Bookmark kNoBookmark = std::numeric_limits<qint64>::min();
constexpr size_t kCacheRows = 4096;  // rows kept for painting before the cache starts afresh
constexpr int kBlockRows = 128;      // rows read at once from a query without row identity
// A query without row identity is read on by one kept statement. Between
// reads it holds the file's read lock, so it is let go after this long
// without a read (other programs may want to write the file meanwhile).
constexpr int kCursorIdleMs = 1000;

struct SqlWord {
    QString text;  // identifier unquoted, keyword as written
    bool quoted = false;
    bool punct = false;
    qsizetype start = 0;
    int depth = 0;
};

// Top-level words of an SQLite statement; strings skipped, quoted names kept.
std::vector<SqlWord> scanSql(const QString& s) {
    std::vector<SqlWord> out;
    int depth = 0;
    qsizetype i = 0, n = s.size();
    while (i < n) {
        QChar c = s[i];
        if (c.isSpace()) {
            ++i;
        } else if (c == QLatin1Char('\'')) {
            ++i;
            while (i < n) {
                if (s[i] == QLatin1Char('\'')) {
                    if (i + 1 < n && s[i + 1] == QLatin1Char('\'')) {
                        i += 2;
                        continue;
                    }
                    break;
                }
                ++i;
            }
            ++i;
            out.push_back({QStringLiteral("'"), false, true, i, depth});
        } else if (c == QLatin1Char('"')) {
            qsizetype start = i;
            QString name;
            ++i;
            while (i < n) {
                if (s[i] == QLatin1Char('"')) {
                    if (i + 1 < n && s[i + 1] == QLatin1Char('"')) {
                        name += QLatin1Char('"');
                        i += 2;
                        continue;
                    }
                    break;
                }
                name += s[i++];
            }
            ++i;
            out.push_back({name, true, false, start, depth});
        } else if (c.isLetterOrNumber() || c == QLatin1Char('_') || c.unicode() >= 0x80) {
            qsizetype start = i;
            while (i < n && (s[i].isLetterOrNumber() || s[i] == QLatin1Char('_') ||
                             s[i] == QLatin1Char('$') || s[i].unicode() >= 0x80))
                ++i;
            out.push_back({s.mid(start, i - start), false, false, start, depth});
        } else {
            if (c == QLatin1Char('(')) ++depth;
            out.push_back({QString(c), false, true, i, depth});
            if (c == QLatin1Char(')')) --depth;
            ++i;
        }
    }
    return out;
}

bool keyword(const SqlWord& w, const char* k) {
    return !w.quoted && !w.punct && w.text.compare(QLatin1String(k), Qt::CaseInsensitive) == 0;
}

struct SingleTable {
    QString table;     // unquoted name
    QString fromItem;  // the FROM item as written (table and alias)
    QString fromRest;  // everything after FROM
    QString selectList;
};

// A plain "SELECT cols FROM table [alias] [WHERE ...] [ORDER BY ...]" whose
// rows can be found again by rowid; nullopt for joins, groups, unions and
// anything else whose rows have no single identity.
std::optional<SingleTable> singleTableSelect(const QString& sql) {
    std::vector<SqlWord> w = scanSql(sql);
    if (w.empty() || !keyword(w[0], "SELECT")) return std::nullopt;
    size_t from = 0;
    for (size_t i = 1; i < w.size(); ++i) {
        if (w[i].depth != 0) continue;
        for (const char* k : {"DISTINCT", "GROUP", "HAVING", "UNION", "INTERSECT", "EXCEPT", "JOIN",
                              "WINDOW", "VALUES"})
            if (keyword(w[i], k)) return std::nullopt;
        if (from == 0 && keyword(w[i], "FROM")) from = i;
    }
    if (from == 0 || from + 1 >= w.size()) return std::nullopt;
    const SqlWord& table = w[from + 1];
    if (table.punct) return std::nullopt;
    size_t end = from + 2;
    if (end < w.size() && keyword(w[end], "AS")) ++end;
    if (end < w.size() && !w[end].punct && !keyword(w[end], "WHERE") && !keyword(w[end], "ORDER") &&
        !keyword(w[end], "LIMIT") && !keyword(w[end], "INDEXED") && !keyword(w[end], "NOT"))
        ++end;  // alias
    if (end < w.size() &&
        !(keyword(w[end], "WHERE") || keyword(w[end], "ORDER") || keyword(w[end], "LIMIT") ||
          (w[end].punct && w[end].text == QLatin1String(";"))))
        return std::nullopt;
    if (table.depth != 0 ||
        (from + 2 < w.size() && w[from + 2].punct && w[from + 2].text == QLatin1String(".")))
        return std::nullopt;
    SingleTable st;
    st.table = table.text;
    qsizetype itemStart = table.start;
    qsizetype itemEnd = end < w.size() ? w[end].start : sql.size();
    st.fromItem = sql.mid(itemStart, itemEnd - itemStart).trimmed();
    st.fromRest = sql.mid(itemStart).trimmed();
    st.selectList = sql.mid(w[0].start + 6, w[from].start - w[0].start - 6).trimmed();
    return st;
}

// `sql` without its final ORDER BY, when that cannot change which rows
// there are (no LIMIT or OFFSET after it, no parameter in it); else `sql`.
QString withoutFinalOrder(const QString& sql) {
    const std::vector<SqlWord> w = scanSql(sql);
    size_t order = w.size();
    for (size_t i = 0; i + 1 < w.size(); ++i)
        if (w[i].depth == 0 && keyword(w[i], "ORDER") && keyword(w[i + 1], "BY")) order = i;
    if (order == w.size()) return sql;
    for (size_t i = order; i < w.size(); ++i) {
        if (w[i].depth == 0 && (keyword(w[i], "LIMIT") || keyword(w[i], "OFFSET"))) return sql;
        if (w[i].punct && QStringLiteral("?:@$").contains(w[i].text)) return sql;
    }
    return sql.left(w[order].start);
}

// The statement that counts the rows of `sql`. A sort does not change the
// count, and counting through it would sort every row once more before the
// first is read: the final ORDER BY is left out, also that of a view the
// statement merely reads whole ("SELECT * FROM view").
QString countSql(sqlite3* h, const QString& sql) {
    QString body = sql;
    const std::vector<SqlWord> w = scanSql(sql);
    const bool wholeView = (w.size() == 4 || (w.size() == 5 && w[4].text == QLatin1String(";"))) &&
                           keyword(w[0], "SELECT") && w[1].punct && w[1].text == QLatin1String("*") &&
                           keyword(w[2], "FROM") && !w[3].punct;
    if (wholeView) {
        Statement view(h, QStringLiteral("SELECT sql FROM sqlite_master WHERE type='view' AND name=?"));
        view.bindText(1, w[3].text);
        if (view.step()) {
            const QString create = view.columnText(0);
            for (const SqlWord& word : scanSql(create))
                if (word.depth == 0 && keyword(word, "AS")) {
                    body = create.mid(word.start + 2);
                    break;
                }
        }
    }
    return QStringLiteral("SELECT count(*) FROM (%1)").arg(withoutFinalOrder(body));
}

struct Column : ResultColumn {
    bool canModify = false;
};

// A Field kept past a close or re-open of its data set may name a column
// that is gone; that is an error, never a read past the column list.
const Column& columnOf(const std::vector<Column>& columns, int index) {
    if (index < 0 || size_t(index) >= columns.size())
        throw Error(Error::Code::State,
                    QStringLiteral("field number %1 is not in the open data set").arg(index));
    return columns[size_t(index)];
}

// The name that reaches a table's own row identity: rowid, unless a column
// of the table is called so (then _rowid_, then oid). "" when columns take
// all three; such a table is read by position and cannot be changed here.
QString rowIdentityName(sqlite3* h, const QString& table) {
    QStringList taken;
    Statement st(h, QStringLiteral("SELECT name FROM pragma_table_info(?)"));
    st.bindText(1, table);
    while (st.step()) taken << st.columnText(0);
    for (const char* name : {"rowid", "_rowid_", "oid"})
        if (!taken.contains(QLatin1String(name), Qt::CaseInsensitive)) return QLatin1String(name);
    return {};
}

}  // namespace

struct DataSet::Impl {
    DataSet* self;
    Connection& connection;
    QString commandText;
    std::vector<std::pair<QVariant, ParamType>> parameters;

    State state = State::Inactive;
    std::vector<Column> columns;
    QString sql;  // translated command text

    // Rows of a single-table select are known by rowid, in result order.
    // rowIdName is the one of SQLite's names for it that no column of the
    // table takes over.
    bool byRowId = false;
    QString baseTable;
    QString rowIdName;
    std::vector<qint64> rowids;
    Statement rowStatement;

    // Any other select: rows by position, read on by one statement while
    // they are read in order (a sorted query is sorted once, not once per
    // block); a jump elsewhere starts it again at an offset.
    int positionCount = 0;
    Statement cursor;     // the query itself
    int cursorNext = -1;  // position of the row the cursor gives next; -1 not running
    QTimer idle;

    int current = -1;
    bool eof = true;
    bool bof = true;

    // Edit buffer of the current record in edit or insert state.
    int editRow = -1;
    std::vector<QVariant> buffer;  // typed
    std::vector<QVariant> stored;  // what will be written
    std::vector<bool> changed;

    mutable std::unordered_map<qint64, std::vector<QVariant>> cache;

    // Row of a rowid, for bookmarks: output walks every selected row's
    // bookmark, so a linear search would make that quadratic. Rows in rowid
    // order (no ORDER BY) are searched directly; any other order through a
    // sorted copy built on first use and dropped whenever rows change.
    enum class RowIndex { Unknown, RowidsSorted, Built };
    mutable RowIndex rowIndex = RowIndex::Unknown;
    mutable std::vector<std::pair<qint64, int>> sortedRowids;

    void rowsChanged() {
        rowIndex = RowIndex::Unknown;
        sortedRowids = {};
    }

    int rowOfRowid(qint64 id) const {
        if (rowIndex == RowIndex::Unknown) {
            if (std::is_sorted(rowids.begin(), rowids.end())) {
                rowIndex = RowIndex::RowidsSorted;
            } else {
                sortedRowids.resize(rowids.size());
                for (size_t i = 0; i < rowids.size(); ++i) sortedRowids[i] = {rowids[i], int(i)};
                std::sort(sortedRowids.begin(), sortedRowids.end());
                rowIndex = RowIndex::Built;
            }
        }
        if (rowIndex == RowIndex::RowidsSorted) {
            auto it = std::lower_bound(rowids.begin(), rowids.end(), id);
            return it != rowids.end() && *it == id ? int(it - rowids.begin()) : -1;
        }
        auto it =
            std::lower_bound(sortedRowids.begin(), sortedRowids.end(), std::make_pair(id, INT_MIN));
        return it != sortedRowids.end() && it->first == id ? it->second : -1;
    }

    Impl(DataSet* s, Connection& c) : self(s), connection(c) {
        idle.setSingleShot(true);
        idle.setInterval(kCursorIdleMs);
        QObject::connect(&idle, &QTimer::timeout, s, [this] { stopCursor(); });
    }

    void stopCursor() {
        if (cursor) cursor.reset();
        cursorNext = -1;
        idle.stop();
    }

    // Reads positional rows into the cache: on from where the cursor stands
    // when `row` lies just ahead, else from a fresh start at an offset that
    // keeps a block before `row` too (grids scroll back a row at a time).
    void readPositions(int row) const {
        auto& self = const_cast<Impl&>(*this);
        Statement& st = self.cursor;
        if (cursorNext < 0 || row < cursorNext || row - cursorNext > kBlockRows) {
            const int start = row < cursorNext ? std::max(0, row - (kBlockRows - 1)) : row;
            st.reset();
            bindParameters(st);
            self.cursorNext = 0;
            // Rows before the start are stepped over, not read. The query
            // runs as written: wrapped for an OFFSET, a sorted query would
            // first be copied whole into a temporary table.
            while (cursorNext < start) {
                if (!st.step()) {
                    self.stopCursor();
                    return;
                }
                ++self.cursorNext;
            }
        }
        const int ncol = int(columns.size());
        const int until = std::max(row + 1, cursorNext + kBlockRows);
        while (cursorNext < until) {
            if (!st.step()) {
                self.stopCursor();  // read to the end: the lock goes at once
                return;
            }
            std::vector<QVariant> values(static_cast<size_t>(ncol));
            for (int c = 0; c < ncol; ++c)
                values[size_t(c)] = readColumn(st.get(), c, columns[size_t(c)].type.code);
            cache[cursorNext] = std::move(values);
            ++self.cursorNext;
        }
        if (QAbstractEventDispatcher::instance()) self.idle.start();
    }

    int storedRows() const { return byRowId ? int(rowids.size()) : positionCount; }
    int rowCount() const { return storedRows() + (state == State::Insert ? 1 : 0); }
    bool editing() const { return state == State::Edit || state == State::Insert; }

    void requireActive() const {
        if (state == State::Inactive)
            throw Error(Error::Code::State, QStringLiteral("the data set is closed"));
    }

    // `reserved` markers at the end belong to our own wrapping (LIMIT/OFFSET).
    void bindParameters(Statement& st, int reserved = 0) const {
        const int n = st.parameterCount() - reserved;
        requireParameters(n, int(parameters.size()), commandText);
        for (int i = 0; i < n; ++i)
            st.bindStorage(i + 1, parameterToStorage(parameters[size_t(i)].first,
                                                     parameters[size_t(i)].second));
    }

    const std::vector<QVariant>& fetchRow(int row) const {
        const qint64 key = byRowId ? rowids[size_t(row)] : row;
        auto it = cache.find(key);
        if (it != cache.end()) return it->second;
        if (cache.size() >= kCacheRows) cache.clear();
        const int ncol = int(columns.size());
        if (byRowId) {
            Statement& st = const_cast<Statement&>(rowStatement);
            st.reset();
            st.bindInt(1, key);
            std::vector<QVariant> values(static_cast<size_t>(ncol));
            if (st.step())
                for (int c = 0; c < ncol; ++c)
                    values[size_t(c)] = readColumn(st.get(), c, columns[size_t(c)].type.code);
            st.reset();
            return cache.emplace(key, std::move(values)).first->second;
        }
        readPositions(row);
        auto found = cache.find(key);
        if (found == cache.end())
            found = cache.emplace(key, std::vector<QVariant>(size_t(ncol)))
                        .first;  // the row vanished meanwhile
        return found->second;
    }

    QVariant value(int row, int column) const {
        requireActive();
        if (column < 0 || column >= int(columns.size()))
            throw Error(Error::Code::Engine, QStringLiteral("no field number %1").arg(column));
        if (editing() && row == editRow) return buffer[size_t(column)];
        if (row < 0 || row >= storedRows()) return QVariant();
        return fetchRow(row)[size_t(column)];
    }

    void forget(int row) {
        if (row < 0 || row >= storedRows()) return;
        cache.erase(byRowId ? rowids[size_t(row)] : row);
    }

    void setCurrent(int row) {
        current = row;
        emit self->currentChanged(row);
    }

    // Leaving a record in edit or insert state writes it first, as moving
    // away from an edited row in a grid does.
    void checkBrowse() {
        if (editing()) self->post();
    }

    void setState(State s) {
        if (state == s) return;
        state = s;
        emit self->stateChanged();
    }

    void open();
    void post();
};

void DataSet::Impl::open() {
    sqlite3* h = connection.handle();
    Translation tr = translate(commandText, &connection.schema());
    sql = tr.sql;
    Statement meta(h, sql);
    if (meta.columnCount() == 0)
        throw Error(Error::Code::Engine,
                    QStringLiteral("the statement returns no rows: %1").arg(commandText));

    std::vector<Column> cols;
    for (int i = 0; i < meta.columnCount(); ++i) {
        Column c;
        static_cast<ResultColumn&>(c) = describeColumn(h, meta.get(), i);
        cols.push_back(c);
    }

    std::optional<SingleTable> single = singleTableSelect(sql);
    bool rowIdentity = false;
    std::vector<qint64> ids;
    Statement rowSt, cursorSt;
    QString idName;
    int count = 0;
    if (single) {
        Statement isTable(
            h, QStringLiteral(
                   "SELECT 1 FROM sqlite_master WHERE type='table' AND name=? COLLATE NOCASE"));
        isTable.bindText(1, single->table);
        bool allFromTable = isTable.step();
        for (const Column& c : cols)
            if (c.originTable.compare(single->table, Qt::CaseInsensitive) != 0)
                allFromTable = false;
        if (allFromTable) idName = rowIdentityName(h, single->table);
        if (!idName.isEmpty()) {
            try {
                Statement ridSt(h,
                                QStringLiteral("SELECT %1 FROM ").arg(idName) + single->fromRest);
                bindParameters(ridSt);
                rowSt = Statement(h, QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?")
                                         .arg(single->selectList, single->fromItem, idName));
                ids.reserve(1024);
                while (ridSt.step()) ids.push_back(ridSt.columnInt(0));
                rowIdentity = true;
                baseTable = single->table;
            } catch (const Error& e) {
                // A table whose rows have no rowid: read it by position instead.
                if (e.code() == Error::Code::Locked) throw;
                ids.clear();
            }
        }
    }
    if (!rowIdentity) {
        Statement countSt(h, countSql(h, sql));
        bindParameters(countSt);
        if (countSt.step()) count = int(countSt.columnInt(0));
        cursorSt = Statement(h, sql);
    }

    const bool writable = rowIdentity && !connection.readOnly();
    for (Column& c : cols) c.canModify = writable && !c.autoIncrement && !c.originColumn.isEmpty();

    columns = std::move(cols);
    byRowId = rowIdentity;
    rowIdName = rowIdentity ? idName : QString();
    rowids = std::move(ids);
    rowsChanged();
    positionCount = count;
    rowStatement = std::move(rowSt);
    stopCursor();
    cursor = std::move(cursorSt);
    cache.clear();
    state = State::Browse;
    const int n = storedRows();
    current = n > 0 ? 0 : -1;
    eof = n == 0;
    bof = true;
}

void DataSet::Impl::post() {
    if (!editing()) return;
    if (self->beforePost) self->beforePost(*self);
    sqlite3* h = connection.handle();
    std::vector<int> cols;
    for (size_t c = 0; c < changed.size(); ++c)
        if (changed[c]) cols.push_back(int(c));
    const int row = editRow;
    if (state == State::Edit) {
        if (!cols.empty()) {
            QStringList sets;
            for (int c : cols)
                sets << quoteIdentifier(columns[size_t(c)].originColumn) + QStringLiteral(" = ?");
            Statement st(
                h, QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ?")
                       .arg(quoteIdentifier(baseTable), sets.join(QLatin1Char(',')), rowIdName));
            int pos = 1;
            for (int c : cols) st.bindStorage(pos++, stored[size_t(c)]);
            st.bindInt(pos, rowids[size_t(row)]);
            st.step();
            if (sqlite3_changes(h) == 0)
                throw Error(Error::Code::Engine,
                            QStringLiteral("the record no longer exists in %1").arg(baseTable));
        }
        forget(row);
    } else {
        QString sqlText;
        if (cols.empty()) {
            sqlText =
                QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(quoteIdentifier(baseTable));
        } else {
            QStringList names, marks;
            for (int c : cols) {
                names << quoteIdentifier(columns[size_t(c)].originColumn);
                marks << QStringLiteral("?");
            }
            sqlText = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                          .arg(quoteIdentifier(baseTable), names.join(QLatin1Char(',')),
                               marks.join(QLatin1Char(',')));
        }
        Statement st(h, sqlText);
        int pos = 1;
        for (int c : cols) st.bindStorage(pos++, stored[size_t(c)]);
        st.step();
        rowids.push_back(sqlite3_last_insert_rowid(h));
        rowsChanged();
    }
    buffer.clear();
    stored.clear();
    changed.clear();
    editRow = -1;
    setState(State::Browse);
    emit self->rowChanged(row);
}

DataSet::DataSet(Connection& connection, QObject* parent)
    : QObject(parent), impl_(std::make_unique<Impl>(this, connection)) {}

DataSet::~DataSet() {
    // Statements die with the data set; the connection must forget it.
    impl_->connection.detach(this);
}

void DataSet::setCommandText(const QString& accessSql) {
    if (active()) close();
    impl_->commandText = accessSql;
}
QString DataSet::commandText() const {
    return impl_->commandText;
}

void DataSet::clearParameters() {
    impl_->parameters.clear();
}
void DataSet::addParameter(const QVariant& value, ParamType type) {
    impl_->parameters.emplace_back(value, type);
}

void DataSet::open() {
    if (active()) close();
    impl_->open();
    impl_->connection.attach(this);
    emit opened();
    emit currentChanged(impl_->current);
}

void DataSet::close() {
    if (!active()) return;
    impl_->connection.detach(this);
    impl_->state = State::Inactive;
    impl_->rowStatement = Statement();
    impl_->stopCursor();
    impl_->cursor = Statement();
    impl_->rowids = {};
    impl_->rowsChanged();
    impl_->cache.clear();
    impl_->columns.clear();
    impl_->buffer.clear();
    impl_->stored.clear();
    impl_->changed.clear();
    impl_->editRow = -1;
    impl_->current = -1;
    impl_->eof = impl_->bof = true;
    impl_->positionCount = 0;
    impl_->byRowId = false;
    emit stateChanged();
    emit closed();
}

bool DataSet::active() const {
    return impl_->state != State::Inactive;
}
DataSet::State DataSet::state() const {
    return impl_->state;
}

void DataSet::first() {
    impl_->requireActive();
    impl_->checkBrowse();
    const int n = impl_->rowCount();
    impl_->eof = n == 0;
    impl_->bof = true;
    impl_->setCurrent(n > 0 ? 0 : -1);
}

void DataSet::next() {
    impl_->requireActive();
    impl_->checkBrowse();
    if (impl_->current + 1 < impl_->rowCount()) {
        impl_->bof = false;
        impl_->eof = false;
        impl_->setCurrent(impl_->current + 1);
    } else {
        impl_->eof = true;
    }
}

void DataSet::prior() {
    impl_->requireActive();
    impl_->checkBrowse();
    if (impl_->current > 0) {
        impl_->eof = false;
        impl_->bof = false;
        impl_->setCurrent(impl_->current - 1);
    } else {
        impl_->bof = true;
    }
}

void DataSet::last() {
    impl_->requireActive();
    impl_->checkBrowse();
    const int n = impl_->rowCount();
    impl_->bof = n == 0;
    impl_->eof = true;
    impl_->setCurrent(n - 1);
}

bool DataSet::eof() const {
    return impl_->eof;
}
bool DataSet::bof() const {
    return impl_->bof;
}
int DataSet::recordCount() const {
    return active() ? impl_->rowCount() : 0;
}
int DataSet::recNo() const {
    return impl_->current;
}

void DataSet::moveTo(int row) {
    impl_->requireActive();
    if (row == impl_->current && impl_->current >= 0) return;
    impl_->checkBrowse();
    const int n = impl_->rowCount();
    if (n == 0) return;
    row = std::clamp(row, 0, n - 1);
    impl_->eof = false;
    impl_->bof = row == 0;
    impl_->setCurrent(row);
}

int DataSet::fieldCount() const {
    return int(impl_->columns.size());
}

Field DataSet::field(int index) {
    if (index < 0 || index >= fieldCount())
        throw Error(Error::Code::Engine, QStringLiteral("no field number %1").arg(index));
    return Field(this, index);
}

std::optional<Field> DataSet::findField(const QString& name) {
    for (int i = 0; i < fieldCount(); ++i)
        if (impl_->columns[size_t(i)].name.compare(name, Qt::CaseInsensitive) == 0)
            return Field(this, i);
    return std::nullopt;
}

Field DataSet::fieldByName(const QString& name) {
    if (auto f = findField(name)) return *f;
    throw Error(Error::Code::Engine, QStringLiteral("no field named '%1'").arg(name));
}

QVariant DataSet::valueAt(int row, int column) const {
    return impl_->value(row, column);
}

QString DataSet::textAt(int row, int column) const {
    return valueText(impl_->value(row, column), columnOf(impl_->columns, column).type.code);
}

bool DataSet::canModify() const {
    return active() && impl_->byRowId && !impl_->connection.readOnly();
}

void DataSet::edit() {
    impl_->requireActive();
    if (impl_->editing()) return;
    if (!canModify())
        throw Error(Error::Code::ReadOnly, QStringLiteral("the data set cannot be modified"));
    if (impl_->current < 0)
        throw Error(Error::Code::State, QStringLiteral("there is no record to edit"));
    const int n = fieldCount();
    impl_->buffer.assign(size_t(n), QVariant());
    for (int c = 0; c < n; ++c) impl_->buffer[size_t(c)] = impl_->value(impl_->current, c);
    impl_->stored.assign(size_t(n), QVariant());
    impl_->changed.assign(size_t(n), false);
    impl_->editRow = impl_->current;
    impl_->setState(State::Edit);
}

void DataSet::append() {
    impl_->requireActive();
    impl_->checkBrowse();
    if (!canModify())
        throw Error(Error::Code::ReadOnly, QStringLiteral("the data set cannot be modified"));
    const int n = fieldCount();
    impl_->buffer.assign(size_t(n), QVariant());
    impl_->stored.assign(size_t(n), QVariant());
    impl_->changed.assign(size_t(n), false);
    impl_->editRow = impl_->storedRows();
    impl_->setState(State::Insert);
    impl_->eof = false;
    emit rowInserted(impl_->editRow);
    impl_->setCurrent(impl_->editRow);
}

void DataSet::post() {
    impl_->requireActive();
    impl_->post();
}

void DataSet::cancel() {
    if (!impl_->editing()) return;
    const int row = impl_->editRow;
    const bool inserting = impl_->state == State::Insert;
    impl_->buffer.clear();
    impl_->stored.clear();
    impl_->changed.clear();
    impl_->editRow = -1;
    impl_->setState(State::Browse);
    if (inserting) {
        emit rowRemoved(row);
        const int n = impl_->rowCount();
        impl_->eof = n == 0;
        impl_->setCurrent(n == 0 ? -1 : std::min(row, n - 1));
    } else {
        emit rowChanged(row);
    }
}

void DataSet::remove() {
    impl_->requireActive();
    if (impl_->state == State::Insert) return cancel();
    cancel();
    if (!canModify())
        throw Error(Error::Code::ReadOnly, QStringLiteral("the data set cannot be modified"));
    const int row = impl_->current;
    if (row < 0 || row >= impl_->storedRows())
        throw Error(Error::Code::State, QStringLiteral("there is no record to delete"));
    Statement st(impl_->connection.handle(),
                 QStringLiteral("DELETE FROM %1 WHERE %2 = ?")
                     .arg(quoteIdentifier(impl_->baseTable), impl_->rowIdName));
    st.bindInt(1, impl_->rowids[size_t(row)]);
    st.step();
    impl_->forget(row);
    impl_->rowids.erase(impl_->rowids.begin() + row);
    impl_->rowsChanged();
    emit rowRemoved(row);
    const int n = impl_->rowCount();
    impl_->eof = n == 0;
    impl_->setCurrent(n == 0 ? -1 : std::min(row, n - 1));
}

DataSet::Bookmark DataSet::bookmark() const {
    const int row = impl_->current;
    if (!active() || row < 0 || row >= impl_->storedRows()) return kNoBookmark;
    return impl_->byRowId ? impl_->rowids[size_t(row)] : row;
}

bool DataSet::gotoBookmark(Bookmark b) {
    if (!active() || b == kNoBookmark) return false;
    int row = -1;
    if (impl_->byRowId) {
        row = impl_->rowOfRowid(b);
    } else if (b >= 0 && b < impl_->positionCount) {
        row = int(b);
    }
    if (row < 0) return false;
    moveTo(row);
    return true;
}

// ---- fields ------------------------------------------------------------------

QString Field::name() const {
    return columnOf(ds_->impl_->columns, index_).name;
}
int Field::dataType() const {
    return columnOf(ds_->impl_->columns, index_).type.code;
}
int Field::size() const {
    return columnOf(ds_->impl_->columns, index_).type.size;
}
bool Field::canModify() const {
    return columnOf(ds_->impl_->columns, index_).canModify;
}
int Field::index() const {
    return index_;
}

QVariant Field::value() const {
    const auto& d = *ds_->impl_;
    if (d.current < 0) return QVariant();
    return d.value(d.current, index_);
}

bool Field::isNull() const {
    return value().isNull();
}
QString Field::asString() const {
    return valueText(value(), dataType());
}

void Field::setValue(const QVariant& v) {
    auto& d = *ds_->impl_;
    if (!d.editing())
        throw Error(Error::Code::State,
                    QStringLiteral("the data set is not in edit or insert state"));
    const Column& c = columnOf(d.columns, index_);
    if (!c.canModify)
        throw Error(Error::Code::ReadOnly,
                    QStringLiteral("field %1 cannot be modified").arg(c.name));
    QVariant s = toStorage(v, c.type, c.name);
    d.stored[size_t(index_)] = s;
    d.buffer[size_t(index_)] = fromStorage(s, c.type.code);
    d.changed[size_t(index_)] = true;
    emit ds_->rowChanged(d.editRow);
}

void Field::setAsString(const QString& text) {
    const Column& c = columnOf(ds_->impl_->columns, index_);
    setValue(textToStorage(text, c.type, c.name));
}

void Field::clear() {
    setValue(QVariant());
}

}  // namespace db
