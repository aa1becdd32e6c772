#include "DocsTool.h"

#include <QFile>
#include <QFileInfo>
#include <optional>

#include "SqlTool.h"
#include "db/Db.h"
#include "documents/DocumentFile.h"
#include "documents/Registry.h"
#include "view/ProgramFiles.h"

namespace docstool {

namespace {

const char kUsage[] =
    "usage: tesmora-docs [--program-folder DIR] COMMAND ...\n"
    "  list DATABASE TABLE                   the table's documents as CSV\n"
    "  export DATABASE TABLE FILE.tmdt [ID...]  write documents (all of the table\n"
    "                                        when no ID is given) into a document file\n"
    "  import FILE.tmdt                      register the file's documents; prints\n"
    "                                        their new IDs (all or none)\n"
    "  delete ID                             remove a document and its bindings\n"
    "  DIR is the folder whose SystemData.mdb is used (default: the program's folder).\n";

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
class Failure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

void write(std::ostream& os, const QString& s) {
    const QByteArray utf8 = s.toUtf8();
    os.write(utf8.constData(), utf8.size());
}

void csvLine(std::ostream& out, const QStringList& fields) {
    QStringList quoted;
    for (const QString& f : fields) quoted << sqltool::csvField(f);
    write(out, quoted.join(QLatin1Char(',')) + QStringLiteral("\r\n"));
}

// A database path as the main window would hold it: the full path of an
// existing file; a path that names no file here (one registered on another
// machine) is compared as given.
QString databasePathArgument(const QString& arg) {
    const QFileInfo info(arg);
    return info.exists() ? info.absoluteFilePath() : arg;
}

int documentId(const QString& arg) {
    bool ok = false;
    const int id = arg.toInt(&ok, 10);
    if (!ok) throw UsageError(("not a document ID: " + arg).toStdString());
    return id;
}

void requireArguments(const QStringList& a, qsizetype least, qsizetype most) {
    if (a.size() < least || (most >= 0 && a.size() > most))
        throw UsageError("wrong number of arguments");
}

void list(documents::Registry& r, std::ostream& out) {
    csvLine(out, {"ID", "登録名", "エクセル", "シート", "印刷記録", "通し番号", "優先"});
    for (const documents::DocumentRecord& d : r.ShownDocuments())
        csvLine(out, {QString::number(d.id), d.name, d.templatePath, d.sheet, d.outputLogField,
                      QString::number(d.serialNumber),
                      d.card ? QStringLiteral("True") : QStringLiteral("False")});
}

void exportFile(documents::Registry& r, const QString& path, const QStringList& idArgs,
                std::ostream& out) {
    const std::vector<documents::DocumentRecord> shown = r.ShownDocuments();
    std::vector<int> ids;
    std::vector<QString> names;
    if (idArgs.isEmpty()) {
        for (const documents::DocumentRecord& d : shown) {
            ids.push_back(d.id);
            names.push_back(d.name);
        }
    }
    for (const QString& a : idArgs) {
        const int id = documentId(a);
        auto it = std::find_if(shown.begin(), shown.end(),
                               [id](const documents::DocumentRecord& d) { return d.id == id; });
        if (it == shown.end())
            throw Failure(QStringLiteral("document %1 is not one of the table's documents")
                              .arg(id)
                              .toStdString());
        ids.push_back(id);
        names.push_back(it->name);
    }
    if (ids.empty()) throw Failure("the table has no documents");
    documents::ExportDocuments(r, ids, path);
    csvLine(out, {"ID", "登録名"});
    for (size_t i = 0; i < ids.size(); ++i) csvLine(out, {QString::number(ids[i]), names[i]});
}

void importFile(documents::Registry& r, const QString& path, std::ostream& out) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(
            QStringLiteral("cannot open %1: %2").arg(path, file.errorString()).toStdString());
    // All or none: a file that stops halfway registers nothing.
    db::Transaction whole(r.store());
    const documents::ImportResult result = documents::ImportDocuments(file, r, {});
    if (!result.complete())
        throw Failure(QStringLiteral("%1:%2: %3")
                          .arg(path)
                          .arg(result.line)
                          .arg(result.detail)
                          .toStdString());
    whole.commit();
    csvLine(out, {"ID"});
    for (int id : result.ids) csvLine(out, {QString::number(id)});
}

void remove(documents::Registry& r, int id, std::ostream& out) {
    if (!r.ReadDocument(id))
        throw Failure(QStringLiteral("there is no document %1").arg(id).toStdString());
    r.DeleteDocument(id);
    csvLine(out, {"ID"});
    csvLine(out, {QString::number(id)});
}

}  // namespace

int run(const QStringList& args, const QString& defaultProgramFolder, std::ostream& out,
        std::ostream& err) {
    QString folder = defaultProgramFolder;
    QStringList rest;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--help") || args[i] == QLatin1String("-h")) {
            out << kUsage;
            return 0;
        }
        if (args[i] == QLatin1String("--program-folder")) {
            if (i + 1 >= args.size()) {
                err << "tesmora-docs: --program-folder needs a folder\n" << kUsage;
                return 2;
            }
            folder = args[++i];
            continue;
        }
        rest << args[i];
    }
    if (rest.isEmpty()) {
        err << kUsage;
        return 2;
    }
    const QString command = rest.takeFirst();
    if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
    try {
        if (command != QLatin1String("list") && command != QLatin1String("export") &&
            command != QLatin1String("import") && command != QLatin1String("delete"))
            throw UsageError(("unknown command: " + command).toStdString());
        if (command == QLatin1String("list")) requireArguments(rest, 2, 2);
        if (command == QLatin1String("export")) requireArguments(rest, 3, -1);
        if (command == QLatin1String("import")) requireArguments(rest, 1, 1);
        if (command == QLatin1String("delete")) requireArguments(rest, 1, 1);
        const int id = command == QLatin1String("delete") ? documentId(rest[0]) : -1;

        if (!QFileInfo(folder + view::kSystemStore).isFile())
            throw Failure(("no system store in " + folder).toStdString());
        db::Connection store;
        store.setConnectionString(view::systemStoreConnectionString(folder));
        // One connection for the whole run.
        documents::StoreSession job(store);
        documents::ShownTable shown;
        if (command == QLatin1String("list") || command == QLatin1String("export"))
            shown = {databasePathArgument(rest[0]), rest[1]};
        documents::Registry registry(store, shown);

        if (command == QLatin1String("list")) list(registry, out);
        if (command == QLatin1String("export")) exportFile(registry, rest[2], rest.mid(3), out);
        if (command == QLatin1String("import")) importFile(registry, rest[0], out);
        if (command == QLatin1String("delete")) remove(registry, id, out);
    } catch (const UsageError& e) {
        err << "tesmora-docs: " << e.what() << "\n" << kUsage;
        return 2;
    } catch (const db::Error& e) {
        write(err, QStringLiteral("tesmora-docs: %1\n").arg(e.message()));
        return 1;
    } catch (const std::exception& e) {
        err << "tesmora-docs: " << e.what() << "\n";
        return 1;
    }
    out.flush();
    return 0;
}

}  // namespace docstool
