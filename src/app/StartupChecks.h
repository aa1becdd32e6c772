#pragma once
// Start-up: before any window exists the program makes sure its own folder
// holds the system files, can be written, and that the two databases in it
// are not write-protected. The checks are plain code over a small set of file
// operations so they can be run against any folder (and any failure).
#include <QString>
#include <optional>

namespace app {

inline const QString kStartupCaption = QStringLiteral("Tesmora起動の中止");

// The file operations the checks need. The default works on the real file
// system; "read-only" means the owner may not write the file, or the system
// refuses writing it whatever its permission bits say (an immutable file).
class FolderAccess {
public:
    virtual ~FolderAccess() = default;
    virtual bool exists(const QString& path);
    // Copies from over to, replacing an earlier to; false when it fails.
    virtual bool copyReplacing(const QString& from, const QString& to);
    virtual bool remove(const QString& path);
    virtual void clearReadOnly(const QString& path);
    virtual bool isReadOnly(const QString& path);
};

// Runs every check on folder (ending with '/') in order. Returns the message
// of the first that fails, or nullopt when the program may start.
std::optional<QString> checkProgramFolder(const QString& folder, FolderAccess& access);

}  // namespace app
