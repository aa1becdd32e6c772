#include "accessfile/ConvertedDatabase.h"

#include <QProcess>
#include <stdexcept>

#include "db/Db.h"

namespace fixtures {

TableContents query(const QString& database, const QString& sql) {
    db::Connection c;
    c.setConnectionString(
        QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"%1\"").arg(database));
    c.open();
    db::Command command(c);
    command.setCommandText(sql);
    TableContents out;
    command.query([&](const std::vector<QVariant>& row) { out.rows.push_back(row); });
    out.columns = command.columnNames();
    out.types = command.columnTypes();
    return out;
}

TableContents readTable(const QString& database, const QString& table) {
    return query(database, QStringLiteral("SELECT * FROM [%1]").arg(table));
}

namespace {

QString run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        throw std::runtime_error(
            (program + QLatin1Char(' ') + args.join(QLatin1Char(' ')) + QStringLiteral(" failed"))
                .toStdString());
    return QString::fromUtf8(p.readAllStandardOutput());
}

// CSV with quoted fields that may hold line breaks; a field never quoted
// and empty is NULL.
std::vector<std::vector<ExportField>> parseCsv(const QString& text) {
    std::vector<std::vector<ExportField>> rows;
    std::vector<ExportField> row;
    QString field;
    bool quoted = false, inQuotes = false, any = false;
    auto endField = [&] {
        row.push_back(quoted || !field.isEmpty() ? ExportField(field) : std::nullopt);
        field.clear();
        quoted = false;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        any = true;
        if (inQuotes) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < text.size() && text[i + 1] == QLatin1Char('"')) {
                    field += c;
                    ++i;
                } else {
                    inQuotes = false;
                }
            } else {
                field += c;
            }
        } else if (c == QLatin1Char('"')) {
            inQuotes = quoted = true;
        } else if (c == QLatin1Char(',')) {
            endField();
        } else if (c == QLatin1Char('\n')) {
            endField();
            rows.push_back(row);
            row.clear();
            any = false;
        } else if (c != QLatin1Char('\r')) {
            field += c;
        }
    }
    if (any) {
        endField();
        rows.push_back(row);
    }
    return rows;
}

}  // namespace

ExportContents mdbExport(const QString& accessFile, const QString& table) {
    auto rows = parseCsv(
        run(QStringLiteral("mdb-export"),
            {QStringLiteral("-T"), QStringLiteral("%Y-%m-%d %H:%M:%S"), accessFile, table}));
    ExportContents out;
    if (rows.empty()) return out;
    for (const ExportField& f : rows.front()) out.columns << f.value_or(QString());
    out.rows.assign(rows.begin() + 1, rows.end());
    return out;
}

QStringList mdbTables(const QString& accessFile) {
    return run(QStringLiteral("mdb-tables"), {QStringLiteral("-1"), accessFile})
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

}  // namespace fixtures
