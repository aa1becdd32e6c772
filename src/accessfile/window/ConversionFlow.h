#pragma once
// What a window does when the file the user chose to open is a genuine
// Access file: ask whether to convert it (OK/Cancel), let the user choose
// the new file (a save dialog preset to "<name>_tesmora<ext>" beside it),
// convert with the busy cursor on, and show the report. The original is
// never changed. Every place that opens a database calls this one function
// (the open button, the command line, a favourite, the builder's import
// source) and then opens the returned file as it opens any database.
#include <QString>

#include "accessfile/AccessFile.h"

class QWidget;
namespace platform {
class Services;
}

namespace accessfile {

// Returns the new database's path, or "" when the user cancelled or the
// conversion failed (the reason was shown). dialogFilter is the save
// dialog's database filter (form style, "desc|*.mdb;*.accdb").
QString offerConversion(platform::Services& services, QWidget* parent, const QString& source,
                        const QString& dialogFilter);

// The message a failed conversion shows, naming its reason (Japanese).
QString failureText(const Error& error);

inline const QString kConversionCaption = QStringLiteral("Accessファイルの変換");
inline const QString kConversionStopped = QStringLiteral("変換の中止");

}  // namespace accessfile
