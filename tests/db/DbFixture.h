#pragma once
// A fresh database file per test and a connection to it.
#include <gtest/gtest.h>

#include <ostream>

#include "db/Db.h"
#include "support/TempDir.h"

// Readable failure output for Qt strings.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace dbtest {

inline QString connectionStringFor(const QString& path, const QString& password = {}) {
    QString cs = QStringLiteral(
                     "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1;Persist Security Info=False")
                     .arg(path);
    if (!password.isEmpty()) cs += QStringLiteral(";Jet OLEDB:Database Password=") + password;
    return cs;
}

class DbTest : public ::testing::Test {
protected:
    void SetUp() override {
        path = dir.file(QStringLiteral("test.mdb"));
        db::createDatabase(path);
        connection.setConnectionString(connectionStringFor(path));
        connection.open();
    }
    void run(const QString& sql) { connection.execute(sql); }
    // First column of every row, as the grid shows it.
    QStringList column(const QString& sql) {
        db::Command c(connection);
        c.setCommandText(sql);
        QStringList out;
        c.query([&](const std::vector<QVariant>& row) {
            out << db::valueText(row[0], c.columnTypes()[0]);
        });
        return out;
    }

    testsupport::TempDir dir;
    QString path;
    db::Connection connection;
};

// Runs fn and returns the code of the db::Error it throws; fails when it
// throws nothing.
template <typename Fn>
db::Error::Code errorCode(Fn&& fn) {
    try {
        fn();
    } catch (const db::Error& e) {
        return e.code();
    }
    ADD_FAILURE() << "no db::Error was thrown";
    return db::Error::Code::Engine;
}

}  // namespace dbtest
