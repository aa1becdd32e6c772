#pragma once
// tesmora-build: the builder's jobs for scripts. The first argument names a
// subcommand; each subcommand is one function over the same plain code the
// windows use, registered in BuildTool.cpp. Kept apart from main() so tests
// run it with captured output.
#include <QStringList>
#include <ostream>

namespace buildtool {

// Exit status: 0 done, 1 the job failed (nothing written), 2 wrong usage.
int run(const QStringList& args, std::ostream& out, std::ostream& err);

// Subcommands (one file each).
int convert(const QStringList& args, std::ostream& out, std::ostream& err);
extern const char kConvertUsage[];
// The builder's jobs (BuilderCommands.cpp); one usage text covers them all.
int fields(const QStringList& args, std::ostream& out, std::ostream& err);
int create(const QStringList& args, std::ostream& out, std::ostream& err);
int addTable(const QStringList& args, std::ostream& out, std::ostream& err);
int addField(const QStringList& args, std::ostream& out, std::ostream& err);
int import(const QStringList& args, std::ostream& out, std::ostream& err);
extern const char kBuilderUsage[];

// UTF-8 output of a QString.
void write(std::ostream& os, const QString& s);

}  // namespace buildtool
