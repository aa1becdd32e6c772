// tesmora-build fields, create, add-table, add-field and import: the
// builder's jobs over the same plain code as its window.
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include "BuildTool.h"
#include "accessfile/AccessFile.h"
#include "builder/Builder.h"
#include "db/Db.h"
#include "excel/Workbook.h"

namespace buildtool {

const char kBuilderUsage[] =
    "  fields SOURCE [--sheet S] [--cell A1]\n"
    "    Prints the field list (cell,name,type) a list source (workbook or CSV) gives,\n"
    "    reading the header row from the cell rightwards.\n"
    "  create SOURCE TARGET.mdb [--sheet S] [--cell A1] [--type FIELD=TYPE[WIDTH]...]\n"
    "    Creates a new database from a list source: one column per header cell (text of\n"
    "    50 unless --type says otherwise), one record per row below it.\n"
    "  create --per-file TARGET.mdb --field NAME=CELL... [--type NAME=TYPE[WIDTH]...]\n"
    "         [--sheet S] FILE...\n"
    "    One record per workbook, each field read from its cell.\n"
    "  add-table DATABASE TABLE [--password P]\n"
    "  add-field DATABASE TABLE NAME TYPE[WIDTH] [--password P]\n"
    "  import SOURCE.mdb SOURCE_TABLE TARGET.mdb TARGET_TABLE [--dry-run] [--password P]\n"
    "    Prints class,field (ok, or S: unsupported type, N: no such field, T: type\n"
    "    mismatch), then appends the records in one transaction.\n"
    "  TYPE is 論理, 整数, 実数, 文字 (with a width, e.g. 文字20), 日付 or メモ.\n"
    "  --program-folder DIR names the folder holding DBTemplate.mdb (default: beside\n"
    "  this program). Nothing is written on failure.\n";

namespace {

struct Arguments {
    QStringList positional;
    QMap<QString, QStringList> options;  // repeated options keep every value
    QSet<QString> flags;
};

// Parses "--name value" options (those in valued) and bare flags.
std::optional<Arguments> parse(const QStringList& args, const QStringList& valued,
                               const QStringList& flags, std::ostream& err, const char* command) {
    Arguments a;
    for (int i = 0; i < args.size(); ++i) {
        const QString& s = args[i];
        if (valued.contains(s)) {
            if (i + 1 >= args.size()) {
                err << "tesmora-build " << command << ": " << s.toStdString()
                    << " needs a value\n";
                return std::nullopt;
            }
            a.options[s] << args[++i];
        } else if (flags.contains(s)) {
            a.flags << s;
        } else if (s.startsWith(QLatin1String("--"))) {
            err << "tesmora-build " << command << ": unknown option " << s.toStdString() << "\n";
            return std::nullopt;
        } else {
            a.positional << s;
        }
    }
    return a;
}

QString option(const Arguments& a, const QString& name, const QString& fallback = {}) {
    return a.options.contains(name) ? a.options[name].last() : fallback;
}

// "文字20" -> (3, 20); "整数" -> (1, 0); nullopt when not a type.
std::optional<std::pair<int, int>> parseType(const QString& text) {
    for (int code = 0; code <= 5; ++code) {
        const QString caption = builder::typeCaption(code);
        if (!text.startsWith(caption)) continue;
        const QString rest = text.mid(caption.size());
        if (code != builder::btText) {
            if (!rest.isEmpty()) return std::nullopt;
            return std::pair{code, 0};
        }
        if (rest.isEmpty()) return std::pair{code, builder::kDefaultWidth};
        bool ok = false;
        const int width = rest.toInt(&ok);
        if (!ok || width < 1 || width > builder::kMaxWidth) return std::nullopt;
        return std::pair{code, width};
    }
    return std::nullopt;
}

QString templatePath(const Arguments& a) {
    const QString folder =
        option(a, QStringLiteral("--program-folder"), QCoreApplication::applicationDirPath());
    return QDir(folder).filePath(QStringLiteral("DBTemplate.mdb"));
}

// Applies "--type NAME=TYPE[WIDTH]" to the field list; false with a message
// when a name or type is unknown.
bool applyTypes(std::vector<builder::FieldDefinition>& fields, const QStringList& specs,
                std::ostream& err, const char* command) {
    for (const QString& spec : specs) {
        const qsizetype eq = spec.lastIndexOf(QLatin1Char('='));
        const auto type = eq > 0 ? parseType(spec.mid(eq + 1)) : std::nullopt;
        if (!type) {
            write(err, QStringLiteral("tesmora-build %1: bad --type %2 (FIELD=TYPE[WIDTH])\n")
                           .arg(QLatin1String(command), spec));
            return false;
        }
        const QString name = spec.left(eq);
        auto f = std::find_if(fields.begin(), fields.end(),
                              [&](const builder::FieldDefinition& d) { return d.FieldName == name; });
        if (f == fields.end()) {
            write(err, QStringLiteral("tesmora-build %1: no field named %2\n")
                           .arg(QLatin1String(command), name));
            return false;
        }
        f->setType(type->first, type->second);
    }
    return true;
}

excel::Worksheet& chooseSheet(excel::Workbook& book, const QString& name) {
    if (name.isEmpty()) return book.activeSheet();
    excel::Worksheet* sheet = book.sheetByName(name);
    if (!sheet || !sheet->isWorksheet())
        throw builder::Refusal(QStringLiteral("%1 has no worksheet named %2").arg(book.path(), name),
                               QString());
    return *sheet;
}

// Runs a job and turns its failures into a message and exit status 1.
int guarded(const char* command, std::ostream& err, const std::function<int()>& job) {
    try {
        return job();
    } catch (const builder::Refusal& e) {
        write(err, QStringLiteral("tesmora-build %1: %2\n").arg(QLatin1String(command), e.message()));
    } catch (const db::Error& e) {
        write(err, QStringLiteral("tesmora-build %1: %2\n").arg(QLatin1String(command), e.message()));
    } catch (const std::exception& e) {
        err << "tesmora-build " << command << ": " << e.what() << "\n";
    }
    return 1;
}

void printFields(std::ostream& out, const std::vector<builder::FieldDefinition>& fields) {
    write(out, QStringLiteral("cell,name,type\n"));
    for (const auto& f : fields) {
        QString name = f.FieldName;
        if (name.contains(QLatin1Char(',')) || name.contains(QLatin1Char('"')) ||
            name.contains(QLatin1Char('\n')) || name.contains(QLatin1Char('\r')))
            name = QLatin1Char('"') + name.replace(QLatin1Char('"'), QLatin1String("\"\"")) +
                   QLatin1Char('"');
        write(out, QStringLiteral("%1,%2,%3\n").arg(f.CellAddress, name, f.TypeLabel));
    }
}

std::vector<builder::FieldDefinition> listFields(const Arguments& a, excel::Workbook& book) {
    return builder::readHeaderFields(chooseSheet(book, option(a, QStringLiteral("--sheet"))),
                                     option(a, QStringLiteral("--cell"), QStringLiteral("A1")));
}

int createPerFile(const Arguments& a, std::ostream& out, std::ostream& err) {
    if (a.positional.size() < 2 || !a.options.contains(QStringLiteral("--field"))) {
        err << "usage: tesmora-build\n" << kBuilderUsage;
        return 2;
    }
    const QString target = builder::targetPathFor(a.positional.first());
    const QStringList files = a.positional.mid(1);
    for (const QString& f : files)
        if (files.size() > 1 && QFileInfo(f).suffix().compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0) {
            write(err, QStringLiteral("tesmora-build create: CSVファイルは単独でしか開けません\n"));
            return 1;
        }
    std::vector<builder::FieldDefinition> fields;
    for (const QString& spec : a.options[QStringLiteral("--field")]) {
        const qsizetype eq = spec.lastIndexOf(QLatin1Char('='));
        const auto cell = eq > 0 ? excel::parseCellRef(spec.mid(eq + 1)) : std::nullopt;
        if (!cell) {
            write(err, QStringLiteral("tesmora-build create: bad --field %1 (NAME=CELL)\n").arg(spec));
            return 2;
        }
        fields.push_back(builder::FieldDefinition::text(excel::cellRefText(*cell), spec.left(eq)));
    }
    if (!applyTypes(fields, a.options.value(QStringLiteral("--type")), err, "create")) return 2;
    return guarded("create", err, [&] {
        QString sheet = option(a, QStringLiteral("--sheet"));
        if (sheet.isEmpty()) sheet = excel::Workbook::open(files.first())->activeSheet().name();
        builder::CreateRequest request{templatePath(a), target, fields, {}};
        const int records = builder::createPerFile(request, files, sheet, [&](const QString& path) {
            write(err, QStringLiteral("tesmora-build create: %1\n").arg(builder::missingSheetMessage(path)));
        });
        write(out, QStringLiteral("database,records\n%1,%2\n").arg(target).arg(records));
        return 0;
    });
}

db::Connection& openDatabase(db::Connection& c, const QString& path, const Arguments& a) {
    if (accessfile::isGenuineAccessFile(path))
        throw builder::Refusal(
            QStringLiteral("%1 is a genuine Access file; convert it first (tesmora-build convert)")
                .arg(path),
            QString());
    c.setConnectionString(builder::connectionStringFor(path, option(a, QStringLiteral("--password"))));
    c.open();
    return c;
}

}  // namespace

int fields(const QStringList& args, std::ostream& out, std::ostream& err) {
    const auto a = parse(args, {QStringLiteral("--sheet"), QStringLiteral("--cell")}, {}, err, "fields");
    if (!a || a->positional.size() != 1) {
        err << "usage: tesmora-build\n" << kBuilderUsage;
        return 2;
    }
    return guarded("fields", err, [&] {
        const auto book = excel::Workbook::open(a->positional.first());
        printFields(out, listFields(*a, *book));
        return 0;
    });
}

int create(const QStringList& args, std::ostream& out, std::ostream& err) {
    const auto a = parse(args,
                         {QStringLiteral("--sheet"), QStringLiteral("--cell"), QStringLiteral("--type"),
                          QStringLiteral("--field"), QStringLiteral("--program-folder")},
                         {QStringLiteral("--per-file")}, err, "create");
    if (!a) return 2;
    if (a->flags.contains(QStringLiteral("--per-file"))) return createPerFile(*a, out, err);
    if (a->positional.size() != 2) {
        err << "usage: tesmora-build\n" << kBuilderUsage;
        return 2;
    }
    const QString target = builder::targetPathFor(a->positional[1]);
    return guarded("create", err, [&]() -> int {
        const auto book = excel::Workbook::open(a->positional[0]);
        auto fieldList = listFields(*a, *book);
        if (!applyTypes(fieldList, a->options.value(QStringLiteral("--type")), err, "create"))
            return 2;
        builder::CreateRequest request{templatePath(*a), target, fieldList, {}};
        const int records =
            builder::createFromList(request, chooseSheet(*book, option(*a, QStringLiteral("--sheet"))));
        write(out, QStringLiteral("database,records\n%1,%2\n").arg(target).arg(records));
        return 0;
    });
}

int addTable(const QStringList& args, std::ostream& out, std::ostream& err) {
    const auto a = parse(args, {QStringLiteral("--password")}, {}, err, "add-table");
    if (!a || a->positional.size() != 2) {
        err << "usage: tesmora-build\n" << kBuilderUsage;
        return 2;
    }
    return guarded("add-table", err, [&] {
        db::Connection c;
        openDatabase(c, a->positional[0], *a);
        QStringList tables;
        for (const db::CatalogEntry& e : db::Catalog(c.connectionString()).tables())
            if (e.type == QLatin1String("TABLE")) tables << e.name;
        builder::addTable(c, a->positional[1], tables);
        return 0;
    });
}

int addField(const QStringList& args, std::ostream& out, std::ostream& err) {
    const auto a = parse(args, {QStringLiteral("--password")}, {}, err, "add-field");
    if (!a || a->positional.size() != 4) {
        err << "usage: tesmora-build\n" << kBuilderUsage;
        return 2;
    }
    const auto type = parseType(a->positional[3]);
    if (!type) {
        write(err, QStringLiteral("tesmora-build add-field: unknown type %1\n").arg(a->positional[3]));
        return 2;
    }
    return guarded("add-field", err, [&] {
        db::Connection c;
        openDatabase(c, a->positional[0], *a);
        const builder::TableShape shape = builder::tableShape(c, a->positional[1]);
        builder::addField(c, a->positional[1], shape, a->positional[2], type->first, type->second);
        return 0;
    });
}

int import(const QStringList& args, std::ostream& out, std::ostream& err) {
    const auto a = parse(args, {QStringLiteral("--password")}, {QStringLiteral("--dry-run")}, err,
                         "import");
    if (!a || a->positional.size() != 4) {
        err << "usage: tesmora-build\n" << kBuilderUsage;
        return 2;
    }
    const QStringList& p = a->positional;
    return guarded("import", err, [&] {
        if (builder::sameDatabase(p[0], p[2]))
            throw builder::Refusal(QStringLiteral("開いているデータベースは選べません"), QString());
        db::Connection source, target;
        // The source carries no password, as the window's source connection does not.
        openDatabase(source, p[0], Arguments{});
        openDatabase(target, p[2], *a);
        const builder::ImportPlan plan = builder::classifyFields(
            builder::fieldsOf(source, p[1]), builder::fieldsOf(target, p[3]));
        write(out, QStringLiteral("class,field\n"));
        for (const builder::FieldInfo& f : plan.importable)
            write(out, QStringLiteral("ok,%1\n").arg(f.name));
        for (const QString& r : plan.refused)
            write(out, QStringLiteral("%1,%2\n").arg(r.left(1), r.mid(2)));
        if (a->flags.contains(QStringLiteral("--dry-run"))) return 0;
        const int records = builder::importRecords(source, p[1], target, p[3], plan);
        write(out, QStringLiteral("records,%1\n").arg(records));
        return 0;
    });
}

}  // namespace buildtool
