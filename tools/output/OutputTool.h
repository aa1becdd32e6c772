#pragma once
// tesmora-output: a registered document filled with the records of a table,
// saved as one workbook (or Web page) per sheet, or printed into one PDF
// file with the serial number and the print log. The same engine as the
// output dialog; kept apart from main() so tests run it with captured output.
#include <QString>
#include <QStringList>
#include <ostream>

namespace outputtool {

// Exit status: 0 done, 1 the run failed (nothing left of the failed sheet;
// for --pdf nothing at all), 2 wrong usage. --pdf and --web need a
// QGuiApplication.
int run(const QStringList& args, const QString& defaultProgramFolder, std::ostream& out,
        std::ostream& err);

}  // namespace outputtool
