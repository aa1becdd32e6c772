// Installing again (a newer build over an installed program) keeps the
// installed store with the user's rows.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>

#include "db/Db.h"
#include "support/TempDir.h"
#include "view/ProgramFiles.h"

namespace {

void install(const QString& prefix) {
    QProcess p;
    p.start(QStringLiteral(TESMORA_CMAKE),
            {QStringLiteral("--install"), QStringLiteral(TESMORA_BUILD_DIR), QStringLiteral("--prefix"),
             prefix});
    ASSERT_TRUE(p.waitForFinished(120000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
}

QStringList registrations(db::Connection& store) {
    db::Command q(store);
    q.setCommandText(QStringLiteral("SELECT 登録名 FROM 登録データ"));
    QStringList out;
    q.query([&](const std::vector<QVariant>& row) { out << row[0].toString(); });
    return out;
}

}  // namespace

TEST(Install, KeepsTheInstalledStore) {
    testsupport::TempDir prefix;
    install(prefix.path());
    const QString folder = prefix.path() + QStringLiteral("/" TESMORA_PROGRAM_DIR "/");
    ASSERT_TRUE(QFile::exists(folder + view::kSystemStore));
    ASSERT_TRUE(QFile::exists(folder + view::kSystemMarkerFile));
    ASSERT_TRUE(QFile::exists(folder + view::kTemplateDatabase));
    {
        db::Connection store;
        store.setConnectionString(view::systemStoreConnectionString(folder));
        store.open();
        store.execute(QStringLiteral("INSERT INTO 登録データ (登録名) VALUES (\"請求書\")"));
    }
    install(prefix.path());
    db::Connection store;
    store.setConnectionString(view::systemStoreConnectionString(folder));
    store.open();
    EXPECT_EQ(registrations(store), QStringList({"請求書"}));
}
