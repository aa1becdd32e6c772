#pragma once
// tesmora-docs: the document registry from the command line, over the same
// code as the registration window: list a table's documents, export them to
// a document file, import a document file, delete a document. Kept apart
// from main() so tests can run it with captured output.
#include <QString>
#include <QStringList>
#include <ostream>

namespace docstool {

// Exit status: 0 done, 1 the store, a file or a document failed (nothing
// written then), 2 wrong usage. defaultProgramFolder: the folder whose
// SystemData.mdb is used without --program-folder.
int run(const QStringList& args, const QString& defaultProgramFolder, std::ostream& out,
        std::ostream& err);

}  // namespace docstool
