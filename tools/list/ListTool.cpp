#include "ListTool.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPageLayout>
#include <QPdfWriter>
#include <QSaveFile>
#include <functional>
#include <optional>

#include "aggregate/FieldTally.h"
#include "db/Db.h"
#include "documents/BindableFields.h"
#include "output/CsvList.h"
#include "output/PrintedList.h"
#include "output/SheetList.h"
#include "platform/PdfTextMap.h"

namespace listtool {

namespace {

const char kUsage[] =
    "usage: tesmora-list DATABASE [--password P] TABLE MODE [--fields F1,F2,...]\n"
    "                    [--where CONDITION] [--order FIELD[ DESC]] [--encoding cp932|utf-8]\n"
    "  MODE is one of\n"
    "    --csv FILE              the list as CSV (Shift-JIS unless --encoding utf-8,\n"
    "                            which writes UTF-8 with a byte-order mark)\n"
    "    --pdf FILE              the printed list, every page, as one PDF\n"
    "    --sheet WORKBOOK SHEET  into a worksheet of an existing workbook (saved in place)\n"
    "    --aggregate FIELD       the aggregation window's lines for FIELD: record and\n"
    "                            valid counts, sum and mean, then \"count : value\" lines\n"
    "  TABLE is a table or saved query; --fields picks fields (in the order given),\n"
    "  --where is a condition in the program's SQL dialect, --order sorts by one field.\n"
    "  Prints target,records (and pages for --pdf) as CSV. On failure nothing is written.\n";

// Screen resolution the default column widths of the grid stand for, and
// the resolution of the PDF, as a printer in high resolution has it.
constexpr int kScreenDpi = 96;
constexpr int kPdfDpi = 1200;

struct UsageError {
    QString message;
};
struct Failure {
    QString message;
};

void write(std::ostream& os, const QString& s) {
    const QByteArray utf8 = s.toUtf8();
    os.write(utf8.constData(), utf8.size());
}

// What every mode gets: the open records, the chosen columns and the mode's
// own arguments.
struct Request {
    QStringList modeArguments;
    output::CsvEncoding encoding = output::CsvEncoding::Cp932;
    bool encodingGiven = false;
    const output::ListRecords* records = nullptr;
    std::vector<output::ListColumn> columns;
};

struct Mode {
    QString option;
    int arguments;
    // Writes the target and prints the result line(s) after the header.
    std::function<void(Request&, std::ostream& out)> run;
};

void runCsv(Request& r, std::ostream& out) {
    const QString path = r.modeArguments[0];
    const int records = output::writeCsvList(path, *r.records, r.columns, r.encoding);
    write(out,
          QStringLiteral("target,records\r\n%1,%2\r\n").arg(output::csvField(path)).arg(records));
}

void runPdf(Request& r, std::ostream& out) {
    const QString path = r.modeArguments[0];
    // Written under a temporary name and renamed when complete, so a failed
    // run never leaves half a PDF under the asked name.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw Failure{QStringLiteral("cannot create %1").arg(path)};
    output::PrintedListResult printed;
    platform::DrawnText drawn;
    {
        QPdfWriter pdf(&file);
        pdf.setResolution(kPdfDpi);
        pdf.setTitle(QFileInfo(path).completeBaseName());
        pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                      QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter));
        printed = output::printList(pdf, kScreenDpi, r.columns, *r.records, {}, &drawn);
    }
    if (!file.commit()) throw Failure{QStringLiteral("cannot write %1").arg(path)};
    // Copied text must read as the names that were printed, not as the
    // radicals that share their glyphs; the file is replaced whole again.
    try {
        platform::correctPdfTextMap(path, drawn);
    } catch (const std::exception& e) {
        throw Failure{QString::fromUtf8(e.what())};
    }
    write(out, QStringLiteral("target,records,pages\r\n%1,%2,%3\r\n")
                   .arg(output::csvField(path))
                   .arg(printed.records)
                   .arg(printed.pages));
}

void runSheet(Request& r, std::ostream& out) {
    const QString path = r.modeArguments[0];
    const int records = output::writeListToWorkbook(
        path, r.modeArguments[1], QStringLiteral("Excel.Application"), *r.records, r.columns);
    write(out,
          QStringLiteral("target,records\r\n%1,%2\r\n").arg(output::csvField(path)).arg(records));
}

void runAggregate(Request& r, std::ostream& out);

const std::vector<Mode>& modes() {
    static const std::vector<Mode> all = {
        {QStringLiteral("--csv"), 1, runCsv},
        {QStringLiteral("--pdf"), 1, runPdf},
        {QStringLiteral("--sheet"), 2, runSheet},
        {QStringLiteral("--aggregate"), 1, runAggregate},
    };
    return all;
}

const Mode* modeFor(const QString& option) {
    for (const Mode& m : modes())
        if (m.option == option) return &m;
    return nullptr;
}

QString connectionString(const QString& path, const std::optional<QString>& password) {
    QString cs =
        QStringLiteral(
            "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"%1\";Persist Security Info=False")
            .arg(path);
    if (password) {
        const QChar quote =
            password->contains(QLatin1Char('"')) ? QLatin1Char('\'') : QLatin1Char('"');
        cs += QStringLiteral(";Jet OLEDB:Database Password=") + quote + *password + quote;
    }
    return cs;
}

// The name as the database spells it; Failure when it has no such table.
QString tableNamed(db::Connection& connection, const QString& table) {
    for (const QString& name : connection.tableNames())
        if (name.compare(table, Qt::CaseInsensitive) == 0) return name;
    throw Failure{QStringLiteral("no table or saved query named \"%1\"").arg(table)};
}

int fieldIndex(db::DataSet& records, const QString& name) {
    const std::optional<db::Field> f = records.findField(name.trimmed());
    if (!f) throw Failure{QStringLiteral("no field named \"%1\"").arg(name.trimmed())};
    return f->index();
}

struct Options {
    QString database, table;
    std::optional<QString> password, fields, where, order;
    const Mode* mode = nullptr;
    Request request;
};

Options parse(const QStringList& args) {
    Options o;
    QStringList positional;
    auto value = [&](int& i) {
        if (i + 1 >= args.size()) throw UsageError{args[i] + QStringLiteral(" needs a value")};
        return args[++i];
    };
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (const Mode* m = modeFor(a)) {
            if (o.mode) throw UsageError{QStringLiteral("give one mode only")};
            if (i + m->arguments >= args.size())
                throw UsageError{a + QStringLiteral(" needs %1 argument(s)").arg(m->arguments)};
            o.mode = m;
            o.request.modeArguments = args.mid(i + 1, m->arguments);
            i += m->arguments;
        } else if (a == QLatin1String("--password")) {
            o.password = value(i);
        } else if (a == QLatin1String("--fields")) {
            o.fields = value(i);
        } else if (a == QLatin1String("--where")) {
            o.where = value(i);
        } else if (a == QLatin1String("--order")) {
            o.order = value(i);
        } else if (a == QLatin1String("--encoding")) {
            const QString e = value(i).toLower();
            if (e == QLatin1String("cp932") || e == QLatin1String("shift-jis") ||
                e == QLatin1String("sjis"))
                o.request.encoding = output::CsvEncoding::Cp932;
            else if (e == QLatin1String("utf-8") || e == QLatin1String("utf8"))
                o.request.encoding = output::CsvEncoding::Utf8WithBom;
            else
                throw UsageError{QStringLiteral("unknown encoding \"%1\"").arg(e)};
            o.request.encodingGiven = true;
        } else if (a.startsWith(QLatin1String("--"))) {
            throw UsageError{QStringLiteral("unknown option ") + a};
        } else {
            positional << a;
        }
    }
    if (positional.size() != 2) throw UsageError{QStringLiteral("give DATABASE and TABLE")};
    if (!o.mode)
        throw UsageError{QStringLiteral("give a mode: --csv, --pdf, --sheet or --aggregate")};
    if (o.request.encodingGiven && o.mode->option != QLatin1String("--csv"))
        throw UsageError{QStringLiteral("--encoding applies to --csv only")};
    o.database = positional[0];
    o.table = positional[1];
    return o;
}

QString orderClause(db::DataSet& records, const QString& order) {
    QString field = order.trimmed();
    QString direction;
    if (field.endsWith(QLatin1String(" DESC"), Qt::CaseInsensitive)) {
        field = field.left(field.size() - 5).trimmed();
        direction = QStringLiteral(" DESC");
    }
    const QString name = records.field(fieldIndex(records, field)).name();
    return QStringLiteral(" ORDER BY [") + name + QLatin1Char(']') + direction;
}

// The lines of the aggregation window, the empty sum and mean of the
// types that have none left out.
void runAggregate(Request& r, std::ostream& out) {
    const QString name = r.modeArguments[0].trimmed();
    const output::ListColumn* column = nullptr;
    for (const output::ListColumn& c : r.columns)
        if (c.name.compare(name, Qt::CaseInsensitive) == 0) column = &c;
    if (!column) throw Failure{QStringLiteral("no field named \"%1\"").arg(name)};
    if (!documents::isBindableType(column->type))
        throw Failure{QStringLiteral("field \"%1\" cannot be aggregated").arg(column->name)};
    const aggregate::FieldTally tally = aggregate::aggregateField(
        r.records->connection, r.records->sql, column->name, column->type);
    QStringList lines = {tally.selectedLine(), tally.validLine()};
    if (!tally.sumLine().isEmpty()) lines << tally.sumLine() << tally.meanLine();
    lines << tally.occurrenceLines();
    for (const QString& line : lines) write(out, line + QStringLiteral("\n"));
}

}  // namespace

int run(const QStringList& args, std::ostream& out, std::ostream& err) {
    if (!args.isEmpty() &&
        (args.first() == QLatin1String("--help") || args.first() == QLatin1String("-h"))) {
        out << kUsage;
        return 0;
    }
    Options o;
    try {
        o = parse(args);
    } catch (const UsageError& e) {
        write(err, QStringLiteral("tesmora-list: ") + e.message + QLatin1Char('\n'));
        err << kUsage;
        return 2;
    }
    try {
        if (!QFileInfo(o.database).isFile())
            throw Failure{QStringLiteral("no database file %1").arg(o.database)};
        db::Connection connection;
        connection.setConnectionString(
            connectionString(QFileInfo(o.database).absoluteFilePath(), o.password));
        connection.open();
        const QString table = tableNamed(connection, o.table);
        const QString from = QStringLiteral("SELECT * FROM [") + table + QLatin1Char(']');
        // The fields, to check the names given before they go into a
        // statement; no record is needed for that.
        db::DataSet records(connection);
        records.setCommandText(from + QStringLiteral(" WHERE 1 = 0"));
        records.open();
        QString sql = from;
        if (o.where && !o.where->trimmed().isEmpty()) sql += QStringLiteral(" WHERE ") + *o.where;
        if (o.order && !o.order->trimmed().isEmpty()) sql += orderClause(records, *o.order);
        std::vector<output::ListColumn> columns = output::allColumns(records);
        if (o.fields) {
            std::vector<output::ListColumn> chosen;
            for (const QString& name : o.fields->split(QLatin1Char(','), Qt::SkipEmptyParts))
                chosen.push_back(columns[size_t(fieldIndex(records, name))]);
            if (chosen.empty()) throw Failure{QStringLiteral("--fields names no field")};
            columns = std::move(chosen);
        }
        records.close();
        const output::ListRecords listed{connection, sql, 0};
        o.request.records = &listed;
        o.request.columns = std::move(columns);
        o.mode->run(o.request, out);
        return 0;
    } catch (const Failure& e) {
        write(err, QStringLiteral("tesmora-list: ") + e.message + QLatin1Char('\n'));
    } catch (const std::exception& e) {
        write(err,
              QStringLiteral("tesmora-list: ") + QString::fromUtf8(e.what()) + QLatin1Char('\n'));
    }
    return 1;
}

}  // namespace listtool
