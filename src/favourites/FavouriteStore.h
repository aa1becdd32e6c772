#pragma once
// The favourites kept in the store table お気に入り: one row names a table
// of a user database, with an optional backup file. Every statement goes
// through the store connection handed in, which the caller connects (the
// favourites window holds it open while it is shown); parameters are bound
// by position. Texts read back are trimmed of blanks and control characters.
#include <QString>
#include <optional>
#include <vector>

#include "platform/FileCopy.h"

namespace db {
class Connection;
}

namespace favourites {

struct FavouriteRow {
    int id = 0;
    QString name;  // 登録名, as stored
    QString database;
    QString table;
    QString password;
    bool usePassword = false;
    QString backup;  // "" = no backup
};

class FavouriteStore {
public:
    explicit FavouriteStore(db::Connection& store) : store_(store) {}

    // Every row, in the order the store delivers them.
    std::vector<FavouriteRow> all();
    std::optional<FavouriteRow> byId(int id);
    std::optional<FavouriteRow> byDatabaseAndTable(const QString& database, const QString& table);
    // The first row whose name is name (blanks around it aside).
    std::optional<FavouriteRow> byName(const QString& name);

    // Adds a row (empty password, not used) and returns its ID.
    int insert(const QString& name, const QString& database, const QString& table,
               const QString& backup);
    void update(int id, const QString& name, bool usePassword, const QString& backup);
    void setDatabase(int id, const QString& database);
    void remove(int id);

private:
    db::Connection& store_;
};

// True when both name the same file (relative parts, "." and "..", and
// links resolved where the files exist).
bool samePath(const QString& a, const QString& b);

// Why a file cannot be the backup of database: it is the database of some
// favourite (or the open database), or another database's favourite backs
// up into it. "" when it may be used. rows are the store's favourites.
enum class BackupConflict { None, IsADatabase, UsedByAnotherDatabase };
struct BackupCheck {
    BackupConflict conflict = BackupConflict::None;
    QString favouriteName;  // the favourite concerned
};
BackupCheck checkBackupPath(const std::vector<FavouriteRow>& rows, const QString& backup,
                            const QString& database);

// The extension a backup chosen in the save dialog gets: ".accdb" when the
// current backup has it, else ".mdb"; and a path with its extension replaced.
QString backupExtension(const QString& currentBackup);
QString withExtension(const QString& path, const QString& extension);

// Restoring a database from its backup. The backup must open as a
// database with password (the one the database was opened with); it is then
// copied beside the database under a temporary name and renamed over it, so
// the database is either the old file or the whole backup.
bool backupOpens(const QString& backup, const QString& password);
using platform::copyFileReplacing;

}  // namespace favourites
