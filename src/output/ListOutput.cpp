#include "output/ListOutput.h"

#include "db/Db.h"

namespace output {

std::vector<ListColumn> allColumns(db::DataSet& records) {
    std::vector<ListColumn> columns;
    for (int i = 0; i < records.fieldCount(); ++i) {
        db::Field f = records.field(i);
        columns.push_back({i, f.name(), f.dataType(), 80});
    }
    return columns;
}

void Progress::done(qint64 count) {
    if (!report_ || total_ <= 0) return;
    const int percent = int(count * 100 / total_);
    if (percent == last_) return;
    last_ = percent;
    report_(percent);
}

ListError::ListError(Code code, const QString& message)
    : std::runtime_error(message.toStdString()), code_(code) {}

QString valueText(const QVariant& value, const ListColumn& column) {
    return db::valueText(value, column.type);
}

void forEachRecord(const ListRecords& records,
                   const std::function<void(int k, const std::vector<QVariant>& values)>& visit) {
    db::Command walk(records.connection);
    walk.setCommandText(records.sql);
    int k = 0;
    walk.query([&](const std::vector<QVariant>& values) { visit(++k, values); });
}

}  // namespace output
