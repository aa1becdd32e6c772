#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>

#include "app/StartupChecks.h"
#include "support/TempDir.h"

namespace {

void writeFile(const QString& path, const QByteArray& bytes = "x") {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

bool chattr(const QString& flag, const QString& path) {
    return QProcess::execute("chattr", {flag, path}) == 0;
}

class ProgramFolder : public ::testing::Test {
protected:
    void SetUp() override {
        folder = dir.path() + '/';
        for (const char* name : {"System.dt", "DBTemplate.mdb", "SystemData.mdb"})
            writeFile(folder + name);
    }
    void TearDown() override {
        // Immutable files would outlive the temporary folder.
        for (const QString& path : immutable) chattr("-i", path);
    }
    // Makes path immutable, which stops even the administrator; false where
    // the file system cannot do that.
    bool makeImmutable(const QString& path) {
        if (!chattr("+i", path)) return false;
        immutable << path;
        return true;
    }
    std::optional<QString> check() { return app::checkProgramFolder(folder, access); }

    testsupport::TempDir dir;
    QString folder;
    app::FolderAccess access;
    QStringList immutable;
};

}  // namespace

TEST_F(ProgramFolder, CompleteWritableFolderPassesAndLeavesNoWriteTestFile) {
    writeFile(folder + "Temp.dt", "stale");  // left by an earlier run
    EXPECT_EQ(check(), std::nullopt);
    EXPECT_FALSE(QFile::exists(folder + "Temp.dt"));
    EXPECT_TRUE(QFile::exists(folder + "System.dt"));
}

TEST_F(ProgramFolder, EachMissingFileIsNamedInCheckOrder) {
    struct Case {
        QStringList remove;
        QString message;
    } cases[] = {
        {{"System.dt", "DBTemplate.mdb"}, "System.dtがありません"},
        {{"DBTemplate.mdb", "SystemData.mdb"}, "DBTemplate.mdbがありません"},
        {{"SystemData.mdb"}, "SystemData.mdbがありません"},
    };
    for (const Case& c : cases) {
        SetUp();
        for (const QString& name : c.remove) QFile::remove(folder + name);
        EXPECT_EQ(check(), c.message);
    }
}

TEST_F(ProgramFolder, ReadOnlyDatabasesAreClearedAndStartUpGoesOn) {
    for (const char* name : {"DBTemplate.mdb", "SystemData.mdb"})
        QFile::setPermissions(folder + name, QFileDevice::ReadOwner | QFileDevice::ReadGroup);
    EXPECT_EQ(check(), std::nullopt);
    for (const char* name : {"DBTemplate.mdb", "SystemData.mdb"})
        EXPECT_TRUE(QFile::permissions(folder + name) & QFileDevice::WriteOwner) << name;
}

TEST_F(ProgramFolder, DatabaseThatStaysProtectedStopsStartUp) {
    if (!makeImmutable(folder + "SystemData.mdb")) GTEST_SKIP() << "chattr is not available here";
    EXPECT_EQ(check(), "SystemData.mdbがプロテクトされてます");
    chattr("-i", folder + "SystemData.mdb");
    ASSERT_TRUE(makeImmutable(folder + "DBTemplate.mdb"));
    EXPECT_EQ(check(), "DBTemplate.mdbがプロテクトされてます");
}

TEST_F(ProgramFolder, UnwritableFolderStopsStartUp) {
    if (!makeImmutable(dir.path())) GTEST_SKIP() << "chattr is not available here";
    EXPECT_EQ(check(), "フォルダが書込み禁止です");
}

TEST_F(ProgramFolder, WriteTestFileThatCannotBeReplacedStopsStartUp) {
    // A folder in the way of Temp.dt cannot be overwritten by a copy.
    ASSERT_TRUE(QDir(folder).mkpath("Temp.dt/inside"));
    EXPECT_EQ(check(), "フォルダが書込み禁止です");
    EXPECT_TRUE(QDir(folder + "Temp.dt/inside").exists());
}

namespace {

// Records what start-up asks of the folder and fails where the test says.
struct ScriptedFolder : app::FolderAccess {
    QStringList calls;
    QStringList missing;
    bool copyFails = false;
    QStringList protectedFiles;

    bool exists(const QString& p) override {
        calls << "exists " + QFileInfo(p).fileName();
        return !missing.contains(QFileInfo(p).fileName());
    }
    bool copyReplacing(const QString& from, const QString& to) override {
        calls << "copy " + QFileInfo(from).fileName() + " " + QFileInfo(to).fileName();
        return !copyFails;
    }
    bool remove(const QString& p) override {
        calls << "remove " + QFileInfo(p).fileName();
        return true;
    }
    void clearReadOnly(const QString& p) override { calls << "clear " + QFileInfo(p).fileName(); }
    bool isReadOnly(const QString& p) override {
        return protectedFiles.contains(QFileInfo(p).fileName());
    }
};

}  // namespace

TEST(StartupChecks, RunInOrderAndStopAtTheFirstFailure) {
    ScriptedFolder fs;
    EXPECT_EQ(app::checkProgramFolder("/p/", fs), std::nullopt);
    EXPECT_EQ(fs.calls, QStringList({"exists System.dt", "copy System.dt Temp.dt", "remove Temp.dt",
                                     "exists DBTemplate.mdb", "clear DBTemplate.mdb",
                                     "exists SystemData.mdb", "clear SystemData.mdb"}));

    ScriptedFolder copyFails;
    copyFails.copyFails = true;
    EXPECT_EQ(app::checkProgramFolder("/p/", copyFails), "フォルダが書込み禁止です");
    EXPECT_EQ(copyFails.calls.last(), "copy System.dt Temp.dt");

    ScriptedFolder templateProtected;
    templateProtected.protectedFiles = {"DBTemplate.mdb"};
    EXPECT_EQ(app::checkProgramFolder("/p/", templateProtected),
              "DBTemplate.mdbがプロテクトされてます");
    EXPECT_FALSE(templateProtected.calls.contains("exists SystemData.mdb"));
}
