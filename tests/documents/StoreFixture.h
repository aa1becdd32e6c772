#pragma once
// A program folder of its own per test, with a freshly generated system
// store, a closed connection to it as the main window holds one, and a way
// to read the store back with the sqlite3 shell, outside our own code.
#include <gtest/gtest.h>

#include <QProcess>
#include <ostream>

#include "ProgramFiles.h"
#include "db/Db.h"
#include "documents/Registry.h"
#include "support/TempDir.h"
#include "view/ProgramFiles.h"

inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace documents::test {

class StoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        programfiles::writeAll(dir.path());
        storePath = dir.file(QStringLiteral("SystemData.mdb"));
        store.setConnectionString(view::systemStoreConnectionString(dir.path() + '/'));
    }

    Registry registry(const QString& database = QStringLiteral("/data/会員.mdb"),
                      const QString& table = QStringLiteral("会員")) {
        return Registry(store, {database, table});
    }

    // Rows of a query as the sqlite3 shell prints them, columns joined by "|".
    QStringList sqlite(const QString& sql) {
        QProcess p;
        p.start(QStringLiteral("sqlite3"), {QStringLiteral("-batch"), storePath, sql});
        EXPECT_TRUE(p.waitForFinished(10000));
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
        QStringList rows = QString::fromUtf8(p.readAllStandardOutput()).split('\n');
        if (!rows.isEmpty() && rows.last().isEmpty()) rows.removeLast();
        return rows;
    }
    QString sqliteValue(const QString& sql) { return sqlite(sql).value(0); }

    testsupport::TempDir dir;
    QString storePath;
    db::Connection store;
};

}  // namespace documents::test
