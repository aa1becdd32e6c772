#include "OutputTool.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPrinter>
#include <QTemporaryDir>
#include <optional>

#include "db/Db.h"
#include "documents/BindableFields.h"
#include "documents/Registry.h"
#include "excel/TUGExcel.h"
#include "excel/Workbook.h"
#include "excel/window/SheetPrinting.h"
#include "output/document/DocumentRun.h"
#include "output/document/PrintLog.h"
#include "output/document/RecordSelection.h"
#include "text/Text.h"
#include "view/ProgramFiles.h"

namespace outputtool {

namespace {

const char kUsage[] =
    "usage: tesmora-output [--program-folder DIR] DATABASE [--password P] TABLE DOCUMENT_ID\n"
    "                      (--save BASE [--web] | --pdf FILE) [--name-field FIELD]\n"
    "                      [--where CONDITION] [--copies N]\n"
    "  Fills document DOCUMENT_ID (registered for TABLE) with the records of TABLE, in the\n"
    "  document's sort order, narrowed by --where (a condition in the program's SQL dialect).\n"
    "    --save BASE   one workbook per sheet, named BASE_<value of the name field> with the\n"
    "                  template's extension (--web: a Web page instead); logged as 保存\n"
    "    --pdf FILE    every sheet printed, in order, into one PDF file, with the serial\n"
    "                  number (stored back afterwards); logged as 印刷\n"
    "  --name-field picks the field that names saved files (default: the first field that can\n"
    "  be bound); --copies prints each sheet N times (1 to 100).\n"
    "  Prints one line per file written, then a summary. On failure the failed sheet leaves\n"
    "  nothing behind (for --pdf the whole file), errors go to stderr, the exit status is 1.\n";

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

struct Options {
    QString programFolder;
    QStringList positional;
    std::optional<QString> password, save, pdf, nameField, where;
    bool web = false;
    int copies = 1;
};

Options parse(const QStringList& args, const QString& defaultFolder) {
    Options o;
    o.programFolder = defaultFolder;
    auto value = [&](qsizetype& i) {
        if (i + 1 >= args.size()) throw UsageError{args[i] + QStringLiteral(" needs a value")};
        return args[++i];
    };
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--program-folder")) o.programFolder = value(i);
        else if (a == QLatin1String("--password")) o.password = value(i);
        else if (a == QLatin1String("--save")) o.save = value(i);
        else if (a == QLatin1String("--pdf")) o.pdf = value(i);
        else if (a == QLatin1String("--name-field")) o.nameField = value(i);
        else if (a == QLatin1String("--where")) o.where = value(i);
        else if (a == QLatin1String("--web")) o.web = true;
        else if (a == QLatin1String("--copies")) {
            const auto n = text::parseInteger(value(i), 1, 100);
            if (!n) throw UsageError{QStringLiteral("--copies takes a number from 1 to 100")};
            o.copies = int(*n);
        } else if (a.startsWith(QLatin1String("--"))) {
            throw UsageError{QStringLiteral("unknown option ") + a};
        } else {
            o.positional << a;
        }
    }
    if (o.positional.size() != 3)
        throw UsageError{QStringLiteral("DATABASE, TABLE and DOCUMENT_ID are needed")};
    if (o.save.has_value() == o.pdf.has_value())
        throw UsageError{QStringLiteral("give one of --save and --pdf")};
    if (o.web && !o.save) throw UsageError{QStringLiteral("--web goes with --save")};
    if (!o.programFolder.endsWith(QLatin1Char('/'))) o.programFolder += QLatin1Char('/');
    return o;
}

// Prints each sheet the engine prints into one job.
class JobPresenter : public excel::BookPresenter {
public:
    JobPresenter(excel::Workbook& book, excel::window::SheetPrintJob& job) : book_(book), job_(job) {}
    void setVisible(bool) override {}
    bool isOpen() const override { return true; }
    QString caption() const override { return {}; }
    excel::Selection selection() const override { return {}; }
    void printActiveSheet() override { job_.add(book_.activeSheet()); }
    void cellsChanged(const excel::RangeRef&) override {}
    void layoutChanged() override {}
    void commitPendingEdit() override {}

private:
    excel::Workbook& book_;
    excel::window::SheetPrintJob& job_;
};

// Puts back whatever presenter factory was there before (none, in the tool).
struct PresenterScope {
    ~PresenterScope() { excel::setPresenterFactory({}); }
};

QString connectionString(const QString& path, const std::optional<QString>& password) {
    QString cs = QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1;"
                                "Persist Security Info=False")
                     .arg(db::connectionStringValue(path));
    if (password)
        cs += QStringLiteral(";Jet OLEDB:Database Password=") + db::connectionStringValue(*password);
    return cs;
}

QString tableNamed(db::Connection& connection, const QString& table) {
    for (const QString& name : connection.tableNames())
        if (name.compare(table, Qt::CaseInsensitive) == 0) return name;
    throw Failure{QStringLiteral("%1 has no table or query %2").arg(connection.path(), table)};
}

int runOutput(const Options& o, std::ostream& out, std::ostream& err) {
    bool idOk = false;
    const int id = o.positional[2].toInt(&idOk);
    if (!idOk) throw UsageError{QStringLiteral("not a document ID: ") + o.positional[2]};
    if (!QFileInfo(o.programFolder + view::kSystemStore).isFile())
        throw Failure{QStringLiteral("no system store in ") + o.programFolder};
    db::Connection store;
    store.setConnectionString(view::systemStoreConnectionString(o.programFolder));
    documents::Registry registry(store);
    const std::optional<documents::DocumentRecord> doc = registry.ReadDocument(id);
    if (!doc) throw Failure{QStringLiteral("there is no document %1").arg(id)};
    documents::LinkList bindings;
    registry.ReadBindings(id, bindings);

    const QString databasePath = QFileInfo(o.positional[0]).absoluteFilePath();
    if (!QFileInfo(databasePath).isFile()) throw Failure{QStringLiteral("no database ") + databasePath};
    db::Connection connection;
    connection.setConnectionString(connectionString(databasePath, o.password));
    connection.open();
    const QString table = tableNamed(connection, o.positional[1]);
    if (doc->table.compare(table, Qt::CaseInsensitive) != 0)
        throw Failure{QStringLiteral("document %1 is registered for table %2, not %3")
                          .arg(id)
                          .arg(doc->table, table)};
    if (!QFileInfo(doc->templatePath).isFile())
        throw Failure{QStringLiteral("the template %1 is missing").arg(doc->templatePath)};

    docoutput::RunSettings s;
    s.mode = o.save ? docoutput::Mode::Save : docoutput::Mode::Print;
    s.templatePath = doc->templatePath;
    s.templateSheet = doc->sheet;
    s.documentName = doc->name;
    s.block = doc->block;
    s.copies = o.copies;
    s.web = o.web;
    s.today = text::formatShortDate(QDate::currentDate());
    documents::ListBindableFields(connection, table, s.eligibleFields);
    s.logField = doc->outputLogField.trimmed();
    if (!s.logField.isEmpty() && documents::indexOfField(s.eligibleFields, s.logField) < 0) {
        write(err, QStringLiteral("tesmora-output: the log field %1 is gone; nothing is logged\n")
                       .arg(s.logField));
        s.logField.clear();
    }
    if (o.nameField) {
        if (documents::indexOfField(s.eligibleFields, *o.nameField) < 0)
            throw Failure{QStringLiteral("%1 has no field %2 to name files by").arg(table, *o.nameField)};
        s.nameField = *o.nameField;
    } else if (!s.eligibleFields.empty()) {
        s.nameField = s.eligibleFields.front().name;
    }
    const QString templateName = QFileInfo(doc->templatePath).fileName();
    const qsizetype dot = templateName.lastIndexOf(QLatin1Char('.'));
    const QString extension = dot >= 0 ? templateName.mid(dot) : QString();
    if (!docoutput::acceptedExtension(extension))
        throw Failure{QStringLiteral("templates of type %1 cannot be output").arg(extension)};
    QTemporaryDir work;
    if (!work.isValid()) throw Failure{QStringLiteral("no room for a work file")};
    s.workFile = work.filePath(QStringLiteral("@Work") + extension);
    if (o.save) {
        s.base = QFileInfo(*o.save).absoluteFilePath();
        s.extension = extension;
    }

    QString sql = QStringLiteral("SELECT * FROM [") + table + QLatin1Char(']');
    if (o.where && !o.where->trimmed().isEmpty()) sql += QStringLiteral(" WHERE ") + *o.where;
    sql += docoutput::documentOrderBy(s.block);
    db::DataSet records(connection);
    records.setCommandText(sql);
    records.open();
    std::vector<int> rows(size_t(records.recordCount()));
    for (size_t i = 0; i < rows.size(); ++i) rows[i] = int(i);

    // A printed batch is one file: its log rows and its serial number count
    // only once the whole PDF is there.
    if (!s.logField.isEmpty()) docoutput::ensurePrintLog(connection);
    std::optional<db::Transaction> batch;
    if (o.pdf) batch.emplace(connection);
    std::unique_ptr<docoutput::PrintLog> log;
    if (!s.logField.isEmpty()) log = std::make_unique<docoutput::PrintLog>(connection);

    excel::TUGExcel excel(QStringLiteral("Excel.Application"));
    QStringList written;
    std::unique_ptr<QPrinter> printer;
    std::unique_ptr<excel::window::SheetPrintJob> job;
    PresenterScope presenters;
    QString pdfPart;
    if (o.pdf) {
        const QFileInfo target(*o.pdf);
        pdfPart = target.absolutePath() + QStringLiteral("/.~") + target.fileName();
        printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(pdfPart);
        printer->setDocName(doc->name);
        job = std::make_unique<excel::window::SheetPrintJob>(*printer);
        excel::window::SheetPrintJob* j = job.get();
        excel::setPresenterFactory([j](excel::Workbook& book) -> std::unique_ptr<excel::BookPresenter> {
            return std::make_unique<JobPresenter>(book, *j);
        });
    }
    docoutput::DocumentRun runner(excel, records, bindings, s);
    runner.SerialNumber = doc->serialNumber;
    runner.log = log.get();
    runner.fileWritten = [&](const QString& path) {
        written << path;
        write(out, path + QStringLiteral("\n"));
        out.flush();
    };
    if (o.save) write(out, QStringLiteral("file\n"));
    try {
        runner.run(rows);
        if (job) {
            job->finish();
            if (job->sheets() == 0) {
                // Nothing to print still leaves a valid, empty answer: no file.
                QFile::remove(pdfPart);
            } else {
                QFile::remove(*o.pdf);
                if (!QFile::rename(pdfPart, *o.pdf))
                    throw Failure{QStringLiteral("cannot write ") + *o.pdf};
            }
        }
    } catch (const docoutput::RunFailure& f) {
        if (!pdfPart.isEmpty()) {
            job.reset();
            QFile::remove(pdfPart);
        }
        throw Failure{f.label.isEmpty()
                          ? QStringLiteral("record %1: %2").arg(f.record).arg(f.detail)
                          : QStringLiteral("record %1 (%2): %3").arg(f.record).arg(f.label, f.detail)};
    } catch (...) {
        if (!pdfPart.isEmpty()) {
            job.reset();
            QFile::remove(pdfPart);
        }
        throw;
    }
    if (log) log->flush();
    if (batch) batch->commit();
    if (runner.SerialNumber != doc->serialNumber) registry.SetSerialNumber(id, runner.SerialNumber);
    if (o.pdf) {
        const int sheets = runner.sheetsWritten();
        if (sheets > 0) write(out, QStringLiteral("file\n%1\n").arg(QFileInfo(*o.pdf).absoluteFilePath()));
        write(out, QStringLiteral("%1 records, %2 sheets printed, next serial %3\n")
                       .arg(rows.size())
                       .arg(sheets)
                       .arg(runner.SerialNumber));
    } else {
        write(out, QStringLiteral("%1 records, %2 files written\n").arg(rows.size()).arg(written.size()));
    }
    return 0;
}

}  // namespace

int run(const QStringList& args, const QString& defaultProgramFolder, std::ostream& out,
        std::ostream& err) {
    if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
        out << kUsage;
        return 0;
    }
    try {
        const Options o = parse(args, defaultProgramFolder);
        return runOutput(o, out, err);
    } catch (const UsageError& e) {
        write(err, QStringLiteral("tesmora-output: %1\n").arg(e.message));
        err << kUsage;
        return 2;
    } catch (const Failure& e) {
        write(err, QStringLiteral("tesmora-output: %1\n").arg(e.message));
        return 1;
    } catch (const db::Error& e) {
        write(err, QStringLiteral("tesmora-output: %1\n").arg(e.message()));
        return 1;
    } catch (const std::exception& e) {
        err << "tesmora-output: " << e.what() << "\n";
        return 1;
    }
}

}  // namespace outputtool
