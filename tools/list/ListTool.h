#pragma once
// tesmora-list: one table or saved query of a database, filtered and sorted
// as asked, written by one of the list modes (CSV file, PDF of the printed
// list, sheet of an existing workbook). Each mode is one entry of a small
// table (see ListTool.cpp), so further modes over the same records join it
// there. Kept apart from main() so tests can run it with captured output.
#include <QString>
#include <QStringList>
#include <ostream>

namespace listtool {

// Exit status: 0 done, 1 the database, the records or the target failed
// (nothing written), 2 wrong usage. Needs a QGuiApplication for the PDF mode.
int run(const QStringList& args, std::ostream& out, std::ostream& err);

}  // namespace listtool
