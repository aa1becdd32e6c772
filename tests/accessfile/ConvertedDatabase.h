#pragma once
// Reading back what a conversion wrote, and what mdb-export prints for the
// same Access table, so the two can be compared value by value.
#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>
#include <vector>

namespace fixtures {

using Rows = std::vector<std::vector<QVariant>>;

struct TableContents {
    QStringList columns;
    std::vector<int> types;  // field-type codes of the database layer
    Rows rows;
};

// All rows of a table or saved query of a database of ours, typed as the
// database layer reads them (NULL is an invalid QVariant).
TableContents readTable(const QString& database, const QString& table);
TableContents query(const QString& database, const QString& sql);

// One field of mdb-export's CSV: the text, or nullopt for NULL (an unquoted
// empty field where text columns are quoted).
using ExportField = std::optional<QString>;
struct ExportContents {
    QStringList columns;
    std::vector<std::vector<ExportField>> rows;
};
// Runs mdb-export (dates as yyyy-MM-dd HH:mm:ss) on one table.
ExportContents mdbExport(const QString& accessFile, const QString& table);
// The user tables mdb-tables lists.
QStringList mdbTables(const QString& accessFile);

}  // namespace fixtures
