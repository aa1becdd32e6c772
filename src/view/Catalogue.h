#pragma once
// Opening a user database, as plain code: the connection strings, the
// catalogue reads (tables and saved queries, a saved query's SQL, primary
// keys, the file format), the conversion of a saved query's wildcards, the
// backup copy and the window caption. The main window calls these and turns
// their results into messages; nothing here shows a window.
#include <QString>
#include <QStringList>

#include "platform/FileCopy.h"

namespace view {

inline const QString kJetProvider = QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;");
inline const QString kAceProvider = QStringLiteral("Provider=Microsoft.ACE.OLEDB.12.0;");

// First attempt of the user connection: no password.
QString userConnectionString(const QString& providerPrefix, const QString& path);
// The first-attempt string with the password the user typed.
QString userConnectionStringWithPassword(const QString& providerPrefix, const QString& path,
                                         const QString& password);
// What every catalogue read of the open database connects with.
QString catalogueConnectionString(const QString& providerPrefix, const QString& path,
                                  const QString& password);
// The file-format check always asks the Jet provider.
QString engineTypeConnectionString(const QString& path, const QString& password);

// User tables and saved queries of the catalogue, in the catalogue's order;
// system tables are left out. Throws db::Error.
QStringList listTablesAndQueries(const QString& catalogueConnection);
// Whether name is a saved query; a name the catalogue does not know counts as
// one, so it is never offered for editing. Throws db::Error.
bool isSavedQuery(const QString& catalogueConnection, const QString& name);
// The saved query's SQL with its Like patterns converted (see
// convertLikePatterns); "SELECT * FROM [name]" when no saved query has that
// name. Throws db::Error.
QString savedQuerySql(const QString& catalogueConnection, const QString& name);
// Primary-key column names of table, trimmed of blanks and control
// characters. Throws db::Error.
QStringList primaryKeyFields(const QString& catalogueConnection, const QString& table);
// ".accdb" files are new format by their name; other files by their engine
// type (above 4). Throws db::Error when the file cannot be asked.
bool isNewFormatDatabase(const QString& path, const QString& password);

// Saved queries keep the * and ? wildcards of their Like patterns; the engine
// wants % and _. Each pattern that follows LIKE (in any letter case) is
// converted, the rest of the text is copied unchanged, and a closing ";" is
// dropped.
QString convertLikePatterns(const QString& sql);

// "Tesmora(1.0.1)", plus " -- " and the file name while a database is open.
QString windowCaption(const QString& databasePath);

using platform::copyFileReplacing;

}  // namespace view
