#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "db/Db.h"
#include "favourites/FavouriteStore.h"
#include "support/TempDir.h"

using namespace favourites;

namespace {

QString makeDatabase(const QString& path, const QString& password = QString()) {
    db::createDatabase(path);
    {
        db::Connection c;
        c.setConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path);
        c.open();
        c.execute("CREATE TABLE [会員] ([氏名] NCHAR(20))");
    }
    if (!password.isEmpty()) db::setDatabasePassword(path, "", password);
    return path;
}

}  // namespace

TEST(BackupRules, ADatabaseOrAnotherDatabasesBackupIsRefused) {
    const std::vector<FavouriteRow> rows = {
        {1, "会員", "/data/a.mdb", "会員", "", false, "/backup/a.mdb"},
        {2, "支部", "/data/a.mdb", "支部", "", false, "/backup/a.mdb"},
        {3, "商品", "/data/b.mdb", "商品", "", false, ""},
    };
    EXPECT_EQ(checkBackupPath(rows, "/backup/b.mdb", "/data/b.mdb").conflict, BackupConflict::None);
    EXPECT_EQ(checkBackupPath(rows, "", "/data/b.mdb").conflict, BackupConflict::None);
    // Another favourite of the same database shares its backup safely.
    EXPECT_EQ(checkBackupPath(rows, "/backup/a.mdb", "/data/a.mdb").conflict,
              BackupConflict::None);
    const BackupCheck shared = checkBackupPath(rows, "/backup/./a.mdb", "/data/b.mdb");
    EXPECT_EQ(shared.conflict, BackupConflict::UsedByAnotherDatabase);
    EXPECT_EQ(shared.favouriteName, "会員");
    EXPECT_EQ(checkBackupPath(rows, "/data/b.mdb", "/data/a.mdb").conflict,
              BackupConflict::IsADatabase);
    EXPECT_EQ(checkBackupPath(rows, "/data/../data/c.mdb", "/data/c.mdb").conflict,
              BackupConflict::IsADatabase);
}

TEST(BackupRules, TheChosenNameTakesTheBackupsExtension) {
    EXPECT_EQ(backupExtension(""), ".mdb");
    EXPECT_EQ(backupExtension("/b/x.ACCDB"), ".accdb");
    EXPECT_EQ(backupExtension("/b/x.bak"), ".mdb");
    EXPECT_EQ(withExtension("/b/copy.bak", ".mdb"), "/b/copy.mdb");
    EXPECT_EQ(withExtension("/b.d/copy", ".accdb"), "/b.d/copy.accdb");
    EXPECT_EQ(withExtension("/b/a.b.c", ".mdb"), "/b/a.b.mdb");
}

TEST(Restore, OnlyABackupThatOpensWithThePasswordIsCopiedAndTheCopyIsWhole) {
    testsupport::TempDir dir;
    const QString plain = makeDatabase(dir.file("plain.mdb"));
    const QString locked = makeDatabase(dir.file("locked.mdb"), "合言葉");
    const QString junk = dir.file("junk.mdb");
    QFile f(junk);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("SQLite format 3\0 but nothing else", 34);
    f.close();

    EXPECT_TRUE(backupOpens(plain, ""));
    EXPECT_TRUE(backupOpens(locked, "合言葉"));
    EXPECT_FALSE(backupOpens(locked, ""));
    EXPECT_FALSE(backupOpens(locked, "違う"));
    EXPECT_FALSE(backupOpens(junk, ""));
    EXPECT_FALSE(backupOpens(dir.file("none.mdb"), ""));

    QFile source(locked);
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    const QByteArray bytes = source.readAll();
    ASSERT_TRUE(copyFileReplacing(locked, plain));
    QFile target(plain);
    ASSERT_TRUE(target.open(QIODevice::ReadOnly));
    EXPECT_EQ(target.readAll(), bytes);
    // A copy that cannot be written leaves the target as it was.
    EXPECT_FALSE(copyFileReplacing(dir.file("none.mdb"), plain));
    EXPECT_FALSE(copyFileReplacing(locked, dir.file("no/folder/x.mdb")));
    EXPECT_TRUE(backupOpens(plain, "合言葉"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 3);  // no temporary left
}
