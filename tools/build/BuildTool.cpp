#include "BuildTool.h"

#include <QByteArray>

namespace buildtool {

namespace {

struct Subcommand {
    const char* name;
    const char* usage;
    int (*run)(const QStringList& args, std::ostream& out, std::ostream& err);
};

// Add further subcommands here.
const Subcommand kSubcommands[] = {
    {"convert", kConvertUsage, convert},
    {"fields", kBuilderUsage, fields},
    {"create", "", create},
    {"add-table", "", addTable},
    {"add-field", "", addField},
    {"import", "", import},
};

void usage(std::ostream& os) {
    os << "usage: tesmora-build SUBCOMMAND ARGUMENTS...\n";
    for (const Subcommand& s : kSubcommands) os << s.usage;
}

}  // namespace

void write(std::ostream& os, const QString& s) {
    const QByteArray utf8 = s.toUtf8();
    os.write(utf8.constData(), utf8.size());
}

int run(const QStringList& args, std::ostream& out, std::ostream& err) {
    if (args.isEmpty()) {
        usage(err);
        return 2;
    }
    const QString name = args.first();
    if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
        usage(out);
        return 0;
    }
    for (const Subcommand& s : kSubcommands)
        if (name == QLatin1String(s.name)) return s.run(args.mid(1), out, err);
    err << "tesmora-build: unknown subcommand '" << name.toStdString() << "'\n";
    usage(err);
    return 2;
}

}  // namespace buildtool
