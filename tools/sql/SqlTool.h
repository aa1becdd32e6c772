#pragma once
// tesmora-sql: runs Access-dialect statements against a database file through
// the database layer and prints result rows as CSV (UTF-8, a header line,
// RFC 4180 quoting, CRLF line ends). Kept apart from main() so tests can run
// it with captured output.
#include <QString>
#include <QStringList>
#include <ostream>

namespace sqltool {

// Exit status: 0 done, 1 a statement or the database failed, 2 wrong usage.
int run(const QStringList& args, std::ostream& out, std::ostream& err);

// One CSV field, quoted when it holds a comma, a quote or a line break.
QString csvField(const QString& value);

}  // namespace sqltool
