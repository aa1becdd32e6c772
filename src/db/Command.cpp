#include "db/Db.h"
#include "db/Dialect.h"
#include "db/Schema.h"
#include "db/Sqlite.h"
#include "db/Types.h"

namespace db {

using namespace detail;

struct Command::Impl {
    Connection& connection;
    QString commandText;
    std::vector<std::pair<QVariant, ParamType>> parameters;
    QStringList columnNames;
    std::vector<int> columnTypes;

    // The prepared statement is kept while the text and the connection stay
    // the same, so a loop of inserts prepares once. A closed handle cannot be
    // reallocated while this statement still refers to it, so comparing
    // handles is enough to notice a reconnect.
    Statement cached;
    QString cachedText;
    sqlite3* cachedHandle = nullptr;
    int cachedSchema = -1;  // the translation depends on the columns' types
    Translation::Kind kind = Translation::Kind::Other;
    std::vector<ParameterTarget> targets;

    explicit Impl(Connection& c) : connection(c) {}

    Statement& prepare() {
        sqlite3* h = connection.handle();
        const FileSchema& schema = connection.schema();
        if (!cached || cachedText != commandText || cachedHandle != h ||
            cachedSchema != schema.version()) {
            cached = Statement();
            Translation tr = translate(commandText, &schema);
            kind = tr.kind;
            if (kind == Translation::Kind::CreateView || kind == Translation::Kind::DropView)
                return cached;
            cached = Statement(h, tr.sql);
            targets = std::move(tr.parameterTargets);
            cachedText = commandText;
            cachedHandle = h;
            cachedSchema = schema.version();
        }
        Statement& st = cached;
        st.reset();
        const int needed = st.parameterCount();
        requireParameters(needed, int(parameters.size()), commandText);
        // A value written into a column is converted as the column's type
        // requires, as the data set converts what the user types.
        for (int i = 0; i < needed; ++i) {
            const auto& [value, type] = parameters[size_t(i)];
            st.bindStorage(i + 1, size_t(i) < targets.size()
                                      ? parameterForTarget(value, type, targets[size_t(i)])
                                      : parameterToStorage(value, type));
        }
        return st;
    }
};

Command::Command(Connection& connection) : impl_(std::make_unique<Impl>(connection)) {}
Command::~Command() = default;

void Command::setCommandText(const QString& accessSql) {
    impl_->commandText = accessSql;
}
void Command::clearParameters() {
    impl_->parameters.clear();
}
void Command::addParameter(const QVariant& value, ParamType type) {
    impl_->parameters.emplace_back(value, type);
}

int Command::execute() {
    Statement& st = impl_->prepare();
    // Saved-query statements also keep their Access text; the connection
    // does both in one transaction.
    if (!st) return impl_->connection.execute(impl_->commandText);
    while (st.step()) {
    }
    st.reset();
    return sqlite3_changes(impl_->connection.handle());
}

void Command::query(const std::function<void(const std::vector<QVariant>& row)>& row) {
    Statement& st = impl_->prepare();
    if (!st)
        throw Error(Error::Code::Engine,
                    QStringLiteral("the statement returns no rows: %1").arg(impl_->commandText));
    const int n = st.columnCount();
    impl_->columnNames.clear();
    impl_->columnTypes.clear();
    for (int i = 0; i < n; ++i) {
        ResultColumn c = describeColumn(impl_->connection.handle(), st.get(), i);
        impl_->columnNames << c.name;
        impl_->columnTypes.push_back(c.type.code);
    }
    std::vector<QVariant> values(static_cast<size_t>(n));
    struct ResetOnExit {
        Statement& st;
        ~ResetOnExit() { sqlite3_reset(st.get()); }
    } guard{st};
    while (st.step()) {
        for (int i = 0; i < n; ++i)
            values[size_t(i)] = readColumn(st.get(), i, impl_->columnTypes[size_t(i)]);
        if (row) row(values);
    }
}

QStringList Command::columnNames() const {
    return impl_->columnNames;
}
std::vector<int> Command::columnTypes() const {
    return impl_->columnTypes;
}

// ---- table object ---------------------------------------------------------

Table::Table(Connection& connection, const QString& name)
    : ds_(std::make_unique<DataSet>(connection)), name_(name) {}

Table::~Table() = default;

void Table::open() {
    // Only new rows are written through a table object; no existing row needs
    // to be read.
    ds_->setCommandText(QStringLiteral("SELECT * FROM %1 WHERE 1 = 0").arg(bracketed(name_)));
    ds_->open();
    if (!ds_->canModify()) {
        ds_->close();
        throw Error(Error::Code::ReadOnly, QStringLiteral("rows cannot be added to %1").arg(name_));
    }
}

void Table::append() {
    ds_->append();
}
Field Table::fieldByName(const QString& name) {
    return ds_->fieldByName(name);
}
void Table::post() {
    ds_->post();
}
void Table::close() {
    ds_->close();
}

}  // namespace db
