// tesmora-build convert: a genuine Access file into a new database of ours.
#include "BuildTool.h"
#include "accessfile/AccessFile.h"

namespace buildtool {

const char kConvertUsage[] =
    "  convert SOURCE TARGET [--replace]\n"
    "    Carries the tables, rows and saved select queries of the genuine Access file\n"
    "    SOURCE (Jet 3, Jet 4 or ACE) over into a new database TARGET, and prints the\n"
    "    report as CSV (kind,object,reason,detail,count,sql). SOURCE is only read. An\n"
    "    existing TARGET is refused unless --replace is given. The report is also written\n"
    "    beside TARGET as TARGETNAME_変換報告.txt.\n";

namespace {

QString reasonText(accessfile::Error::Code code) {
    using C = accessfile::Error::Code;
    switch (code) {
        case C::NotAccess:
            return QStringLiteral("not a genuine Access database");
        case C::Unreadable:
            return QStringLiteral("cannot be read");
        case C::Encrypted:
            return QStringLiteral(
                "is encrypted (a password-protected Access file); remove its password in Access "
                "first");
        case C::Damaged:
            return QStringLiteral("is damaged; repair it in Access first");
        case C::Unsupported:
            return QStringLiteral("is in an Access format this program does not know");
        case C::TargetInvalid:
            return QStringLiteral("cannot be converted to that target");
        case C::WriteFailed:
            return QStringLiteral("could not be written as a new database");
    }
    return {};
}

}  // namespace

int convert(const QStringList& args, std::ostream& out, std::ostream& err) {
    QStringList files;
    accessfile::Options options;
    for (const QString& a : args) {
        if (a == QLatin1String("--replace"))
            options.replaceExisting = true;
        else if (a.startsWith(QLatin1String("--"))) {
            err << "tesmora-build convert: unknown option " << a.toStdString() << "\n"
                << kConvertUsage;
            return 2;
        } else
            files << a;
    }
    if (files.size() != 2) {
        err << "usage: tesmora-build\n" << kConvertUsage;
        return 2;
    }
    try {
        const accessfile::Report report = accessfile::convert(files[0], files[1], options);
        write(out, accessfile::reportCsv(report));
        if (options.writeReportFile && report.reportFile.isEmpty())
            write(err, QStringLiteral(
                           "tesmora-build convert: the report could not be written beside %1\n")
                           .arg(files[1]));
    } catch (const accessfile::Error& e) {
        write(err, QStringLiteral("tesmora-build convert: %1 %2: %3\n")
                       .arg(files[0], reasonText(e.code()), e.detail()));
        return 1;
    }
    out.flush();
    return 0;
}

}  // namespace buildtool
