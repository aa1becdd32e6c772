#include "SqlTool.h"

#include <QFileInfo>

#include "accessfile/AccessFile.h"
#include "db/Db.h"

namespace sqltool {

namespace {

const char kUsage[] =
    "usage: tesmora-sql DATABASE [--password P] [--set-password NEW] [--engine-type N] [--create] "
    "[--] STATEMENT...\n"
    "  Runs each Access-dialect statement in order; rows of a SELECT are printed as CSV\n"
    "  with a header line. --set-password sets the database password after the\n"
    "  statements (an empty NEW clears it); --engine-type marks the file's format (5 current,\n"
    "  4 or less an old one the program will not change); --create makes a new empty\n"
    "  database first.\n";

void write(std::ostream& os, const QString& s) {
    QByteArray utf8 = s.toUtf8();
    os.write(utf8.constData(), utf8.size());
}

QString connectionString(const QString& path, const std::optional<QString>& password) {
    QString cs = QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") +
                 db::connectionStringValue(path) + QStringLiteral(";Persist Security Info=False");
    if (password)
        cs +=
            QStringLiteral(";Jet OLEDB:Database Password=") + db::connectionStringValue(*password);
    return cs;
}

bool returnsRows(const QString& statement) {
    QString head = statement.trimmed().section(QLatin1Char(' '), 0, 0).toUpper();
    return head.startsWith(QLatin1String("SELECT")) || head == QLatin1String("WITH") ||
           head.startsWith(QLatin1String("("));
}

}  // namespace

QString csvField(const QString& value) {
    if (!value.contains(QLatin1Char(',')) && !value.contains(QLatin1Char('"')) &&
        !value.contains(QLatin1Char('\n')) && !value.contains(QLatin1Char('\r')))
        return value;
    QString q = value;
    q.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

int run(const QStringList& args, std::ostream& out, std::ostream& err) {
    if (args.isEmpty() || args.first() == QLatin1String("--help") ||
        args.first() == QLatin1String("-h")) {
        (args.isEmpty() ? err : out) << kUsage;
        return args.isEmpty() ? 2 : 0;
    }
    const QString path = args.first();
    std::optional<QString> password, newPassword, engineType;
    bool create = false;
    QStringList statements;
    bool optionsDone = false;
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        if (!optionsDone &&
            (a == QLatin1String("--password") || a == QLatin1String("--set-password") ||
             a == QLatin1String("--engine-type"))) {
            if (i + 1 >= args.size()) {
                err << "tesmora-sql: " << a.toStdString() << " needs a value\n" << kUsage;
                return 2;
            }
            (a == QLatin1String("--password")      ? password
             : a == QLatin1String("--engine-type") ? engineType
                                                   : newPassword) = args[++i];
        } else if (!optionsDone && a == QLatin1String("--create")) {
            create = true;
        } else if (!optionsDone && a == QLatin1String("--")) {
            optionsDone = true;
        } else {
            statements << a;
        }
    }
    bool engineOk = true;
    const int engine = engineType ? engineType->toInt(&engineOk) : 0;
    if (!engineOk) {
        err << "tesmora-sql: --engine-type needs a whole number\n";
        return 2;
    }
    if (statements.isEmpty() && !newPassword && !create && !engineType) {
        err << kUsage;
        return 2;
    }
    // A genuine Access file is not a database of ours; say what it is and
    // how to carry it over rather than "not a database".
    if (const accessfile::Format format = accessfile::detectFormat(path);
        format != accessfile::Format::NotAccess) {
        write(err,
              QStringLiteral("tesmora-sql: %1 is a genuine Access database (%2), which this "
                             "program opens only after converting it:\n"
                             "  tesmora-build convert \"%1\" \"%3\"\n")
                  .arg(path, accessfile::formatName(format), accessfile::proposedTargetPath(path)));
        return 1;
    }
    try {
        if (create) db::createDatabase(path);
        db::Connection connection;
        connection.setConnectionString(connectionString(path, password));
        connection.open();
        for (const QString& statement : statements) {
            db::Command command(connection);
            command.setCommandText(statement);
            if (!returnsRows(statement)) {
                command.execute();
                continue;
            }
            std::vector<int> types;
            bool headerDone = false;
            auto header = [&] {
                QStringList names;
                for (const QString& n : command.columnNames()) names << csvField(n);
                write(out, names.join(QLatin1Char(',')) + QStringLiteral("\r\n"));
                types = command.columnTypes();
                headerDone = true;
            };
            command.query([&](const std::vector<QVariant>& row) {
                if (!headerDone) header();
                QStringList fields;
                for (size_t i = 0; i < row.size(); ++i)
                    fields << csvField(db::valueText(row[i], types[i]));
                write(out, fields.join(QLatin1Char(',')) + QStringLiteral("\r\n"));
            });
            if (!headerDone) header();
        }
        connection.close();
        if (engineType) db::setEngineType(path, password.value_or(QString()), engine);
        if (newPassword) db::setDatabasePassword(path, password.value_or(QString()), *newPassword);
    } catch (const db::Error& e) {
        write(err, QStringLiteral("tesmora-sql: %1\n").arg(e.message()));
        return 1;
    }
    out.flush();
    return 0;
}

}  // namespace sqltool
