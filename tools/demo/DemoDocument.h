#pragma once
// The demo document: a membership-card template for the demo member list,
// written as a workbook package by this generator (cells, a formula total,
// a logo picture), registered in the program's system store with bindings
// for fields, the date and a serial number, so that "文書出力" works on a
// first run.
#include <QString>

namespace demo {

inline const QString kDemoDocumentName = QStringLiteral("会員証");
inline const QString kDemoSheet = QStringLiteral("会員証");

// Writes the template workbook to path (temporary file, then rename).
// Throws std::runtime_error when it cannot be written.
void writeDemoTemplate(const QString& path);

// Registers the demo document for table 会員 of database in the system store
// of programFolder, unless a document of that name is registered for it
// already; returns its ID.
int registerDemoDocument(const QString& programFolder, const QString& database,
                         const QString& templatePath);

}  // namespace demo
