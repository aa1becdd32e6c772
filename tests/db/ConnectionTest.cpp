// Connection strings, the password gate, and files that are not databases.
#include <sqlite3.h>

#include <QFile>
#include <QRandomGenerator>

#include "DbFixture.h"

using namespace dbtest;
using db::Error;

TEST(ConnectionString, ParsesTheFormsTheProgramWrites) {
    auto cs = db::ConnectionString::parse(
        QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/p/SystemData.mdb;Persist "
                       "Security Info=False;"
                       "Jet OLEDB:Database Password=R#27M8XK4$QPLVWC"));
    EXPECT_EQ(cs.provider, "Microsoft.Jet.OLEDB.4.0");
    EXPECT_EQ(cs.dataSource, "/p/SystemData.mdb");
    EXPECT_FALSE(cs.persistSecurityInfo);
    EXPECT_EQ(cs.password.value_or(QString()), "R#27M8XK4$QPLVWC");

    // Catalogue form: trailing ";" and no password item at all.
    cs = db::ConnectionString::parse(
        QStringLiteral("Provider=Microsoft.ACE.OLEDB.12.0;Data Source=/d/a b.accdb;"));
    EXPECT_EQ(cs.dataSource, "/d/a b.accdb");
    EXPECT_FALSE(cs.password.has_value());

    // A quoted value may hold ";" and "=".
    cs = db::ConnectionString::parse(
        QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"/x;y.mdb\";Jet "
                       "OLEDB:Database Password='a;b=c'"));
    EXPECT_EQ(cs.dataSource, "/x;y.mdb");
    EXPECT_EQ(cs.password.value_or(QString()), "a;b=c");

    // The program appends paths and typed passwords as they are: a ";" inside
    // them must not cut them short, and blanks belong to a password.
    cs = db::ConnectionString::parse(QStringLiteral(
        "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/home/a;b/x.mdb;Persist Security Info=False;"
        "Jet OLEDB:Database Password= p;w=1 "));
    EXPECT_EQ(cs.dataSource, "/home/a;b/x.mdb");
    EXPECT_EQ(cs.password.value_or(QString()), " p;w=1 ");
    EXPECT_FALSE(cs.readOnly);
    EXPECT_TRUE(db::ConnectionString::parse(
                    QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/x.mdb;Mode=Read"))
                    .readOnly);

    for (const char* bad : {"Data Source=/x.mdb", "Provider=SQLOLEDB;Data Source=/x.mdb",
                            "Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info=False",
                            "Provider=Microsoft.Jet.OLEDB.4.0;junk"})
        EXPECT_EQ(errorCode([&] { db::ConnectionString::parse(QString::fromUtf8(bad)); }),
                  Error::Code::Syntax)
            << bad;
}

class PasswordTest : public DbTest {};

TEST_F(PasswordTest, ProtectedFileOpensOnlyWithItsPassword) {
    run(QStringLiteral("CREATE TABLE T (a INTEGER)"));
    connection.close();
    db::setDatabasePassword(path, QString(), QStringLiteral("R#27M8XK4$QPLVWC"));

    db::Connection c;
    c.setConnectionString(connectionStringFor(path));
    EXPECT_EQ(errorCode([&] { c.open(); }), Error::Code::WrongPassword);
    EXPECT_FALSE(c.connected());
    c.setConnectionString(connectionStringFor(path, QStringLiteral("R#27M8XK4$QPLVWc")));
    EXPECT_EQ(errorCode([&] { c.open(); }), Error::Code::WrongPassword);
    c.setConnectionString(connectionStringFor(path) +
                          QStringLiteral(";Jet OLEDB:Database Password="));
    EXPECT_EQ(errorCode([&] { c.open(); }), Error::Code::WrongPassword);
    c.setConnectionString(connectionStringFor(path, QStringLiteral("R#27M8XK4$QPLVWC")));
    c.open();
    EXPECT_TRUE(c.connected());
    EXPECT_EQ(c.tableNames(), QStringList({"T"}));
    c.close();

    // The hash, never the password, is stored in the file.
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_FALSE(f.readAll().contains("R#27M8XK4$QPLVWC"));
    f.close();

    // Changing needs the current password; clearing opens the file to all.
    EXPECT_EQ(errorCode([&] { db::setDatabasePassword(path, QStringLiteral("x"), QString()); }),
              Error::Code::WrongPassword);
    db::setDatabasePassword(path, QStringLiteral("R#27M8XK4$QPLVWC"), QString());
    c.setConnectionString(connectionStringFor(path));
    c.open();
    EXPECT_TRUE(c.connected());
}

TEST_F(PasswordTest, UnprotectedFileAcceptsAnyPassword) {
    connection.close();
    db::Connection c;
    c.setConnectionString(connectionStringFor(path, QStringLiteral("whatever")));
    c.open();
    EXPECT_TRUE(c.connected());
}

class BadFileTest : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    QByteArray contentOf(const QString& p) {
        QFile f(p);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QString write(const QString& name, const QByteArray& bytes) {
        QString p = dir.file(name);
        QFile f(p);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return p;
    }
};

TEST_F(BadFileTest, NonDatabasesFailCleanlyAndStayUntouched) {
    QByteArray random(4096, '\0');
    for (auto& b : random) b = char(QRandomGenerator::global()->bounded(256));
    QByteArray truncatedHeader = QByteArray("SQLite format 3\0", 16) + QByteArray(20, 'x');
    struct Case {
        QString name;
        QByteArray bytes;
    } cases[] = {{QStringLiteral("empty.mdb"), QByteArray()},
                 {QStringLiteral("random.mdb"), random},
                 {QStringLiteral("text.mdb"), QByteArray("ID,氏名\n1,山田\n")},
                 {QStringLiteral("damaged.mdb"), truncatedHeader}};
    for (const Case& c : cases) {
        QString p = write(c.name, c.bytes);
        db::Connection conn;
        conn.setConnectionString(connectionStringFor(p));
        EXPECT_EQ(errorCode([&] { conn.open(); }), Error::Code::NotADatabase)
            << c.name.toStdString();
        EXPECT_FALSE(conn.connected());
        EXPECT_EQ(contentOf(p), c.bytes) << c.name.toStdString();
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).filter(c.name + QStringLiteral("-")),
                  QStringList());
    }
    db::Connection missing;
    missing.setConnectionString(connectionStringFor(dir.file(QStringLiteral("none.mdb"))));
    EXPECT_EQ(errorCode([&] { missing.open(); }), Error::Code::NotADatabase);
    EXPECT_FALSE(QFile::exists(dir.file(QStringLiteral("none.mdb"))));
}

class ReadOnlyTest : public BadFileTest {
protected:
    QString p;
    void SetUp() override {
        p = dir.file(QStringLiteral("ro.mdb"));
        db::createDatabase(p);
        db::Connection c;
        c.setConnectionString(connectionStringFor(p));
        c.open();
        c.execute(QStringLiteral("CREATE TABLE T (a INTEGER)"));
        c.execute(QStringLiteral("INSERT INTO T VALUES (1)"));
    }
    // Reads work, every kind of write is refused, and the file stays as it was.
    void expectReadOnly(const QString& connectionString) {
        QByteArray before = contentOf(p);
        db::Connection c;
        c.setConnectionString(connectionString);
        c.open();
        EXPECT_TRUE(c.readOnly());
        db::DataSet ds(c);
        ds.setCommandText(QStringLiteral("SELECT * FROM T"));
        ds.open();
        EXPECT_EQ(ds.recordCount(), 1);
        EXPECT_FALSE(ds.canModify());
        EXPECT_EQ(errorCode([&] { ds.edit(); }), Error::Code::ReadOnly);
        EXPECT_EQ(errorCode([&] { c.execute(QStringLiteral("INSERT INTO T VALUES (2)")); }),
                  Error::Code::Locked);
        EXPECT_EQ(errorCode([&] { c.execute(QStringLiteral("CREATE VIEW V AS SELECT * FROM T")); }),
                  Error::Code::Locked);
        c.close();
        EXPECT_EQ(contentOf(p), before);
    }
};

TEST_F(ReadOnlyTest, ReadModeOpensWithoutWriting) {
    expectReadOnly(connectionStringFor(p) + QStringLiteral(";Mode=Read"));
}

TEST_F(ReadOnlyTest, FileWithoutWritePermission) {
    QFile::setPermissions(p, QFileDevice::ReadOwner | QFileDevice::ReadUser);
    if (QFileInfo(p).isWritable()) GTEST_SKIP() << "running as root: permissions are not enforced";
    expectReadOnly(connectionStringFor(p));
    EXPECT_EQ(errorCode([&] { db::setDatabasePassword(p, QString(), QStringLiteral("x")); }),
              Error::Code::Locked);
}

TEST_F(BadFileTest, FileLockedByAnotherProgramFailsAsLocked) {
    QString p = dir.file(QStringLiteral("locked.mdb"));
    db::createDatabase(p);
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(p).constData(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    db::Connection c;
    c.setConnectionString(connectionStringFor(p));
    EXPECT_EQ(errorCode([&] { c.open(); }), Error::Code::Locked);
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    c.open();
    EXPECT_TRUE(c.connected());
}

TEST_F(DbTest, OddNamesWorkThroughBrackets) {
    run(QStringLiteral(R"(CREATE TABLE [表 "一" 's'] ([列 "a"] NCHAR(5), [Ｂ列] INTEGER))"));
    run(QStringLiteral(R"(INSERT INTO [表 "一" 's'] ([列 "a"], [Ｂ列]) VALUES ("x""y", 1))"));
    EXPECT_EQ(column(QStringLiteral(R"(SELECT [列 "a"] FROM [表 "一" 's'])")),
              QStringList({"x\"y"}));
    EXPECT_EQ(connection.tableNames(), QStringList({R"(表 "一" 's')"}));
}

TEST_F(DbTest, TransactionRollsBackUnlessCommitted) {
    run(QStringLiteral("CREATE TABLE T (a INTEGER)"));
    {
        db::Transaction t(connection);
        run(QStringLiteral("INSERT INTO T VALUES (1)"));
    }
    {
        db::Transaction t(connection);
        run(QStringLiteral("INSERT INTO T VALUES (2)"));
        t.commit();
    }
    EXPECT_EQ(column(QStringLiteral("SELECT a FROM T")), QStringList({"2"}));
}
