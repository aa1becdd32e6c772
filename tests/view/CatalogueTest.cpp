#include <gtest/gtest.h>

#include <QFile>

#include "support/TempDir.h"
#include "view/Catalogue.h"

using namespace view;

TEST(LikePatterns, WildcardsInsideLikePatternsBecomeTheEnginesAndNothingElseChanges) {
    struct Case {
        const char* saved;
        const char* converted;
    } cases[] = {
        {"SELECT * FROM [t] WHERE [a] Like \"A*?\";", "SELECT * FROM [t] WHERE [a] Like \"A%_\""},
        {"  SELECT * FROM t WHERE a Like \"*x\" AND b Like \"?y*\" ORDER BY a;\r\n",
         "SELECT * FROM t WHERE a Like \"%x\" AND b Like \"_y%\" ORDER BY a"},
        // Outside a pattern, * and ? are copied as they are.
        {"SELECT * FROM t WHERE a = \"*?\"", "SELECT * FROM t WHERE a = \"*?\""},
        // LIKE in any letter case, with any blanks before its pattern, in
        // either quote: the query runs by name with these wildcards too.
        {"SELECT * FROM t WHERE a LIKE \"A*\"", "SELECT * FROM t WHERE a LIKE \"A%\""},
        {"SELECT * FROM t WHERE a like   'x?' or b lIkE\t\"*\"",
         "SELECT * FROM t WHERE a like   'x_' or b lIkE\t\"%\""},
        // A doubled quote belongs to the pattern; the text after it is still pattern.
        {"SELECT * FROM t WHERE a Like \"x\"\"*\" AND b = \"*\"",
         "SELECT * FROM t WHERE a Like \"x\"\"%\" AND b = \"*\""},
        // A field whose name starts with Like is not a pattern.
        {"SELECT [Likes] FROM t WHERE [Likes] = \"*\"",
         "SELECT [Likes] FROM t WHERE [Likes] = \"*\""},
        {"SELECT * FROM t", "SELECT * FROM t"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(convertLikePatterns(QString::fromUtf8(c.saved)), QString::fromUtf8(c.converted))
            << c.saved;
}

TEST(LikePatterns, LongQueriesAreNeverCutShort) {
    const QString tail = QString(3000, 'b');
    const QString sql =
        "SELECT * FROM t WHERE a Like \"" + QString(2500, 'a') + "*\" AND c = \"" + tail + "\"";
    const QString out = convertLikePatterns(sql);
    EXPECT_EQ(out.size(), sql.size());
    EXPECT_TRUE(out.endsWith(tail + "\""));
    EXPECT_TRUE(out.contains(QString(2500, 'a') + "%\""));
}

TEST(ConnectionStrings, AreWrittenExactlyAsTheProvidersExpect) {
    const QString ace = kAceProvider;
    EXPECT_EQ(userConnectionString(ace, "/d/a.mdb"),
              "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=/d/a.mdb;Persist Security Info=False");
    EXPECT_EQ(userConnectionStringWithPassword(ace, "/d/a.mdb", "p w=1"),
              "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=/d/a.mdb;Persist Security "
              "Info=False;Jet OLEDB:Database Password=p w=1");
    // A typed password that holds ";" or starts with a quote is written in
    // quotes, so it reads back as typed and can never add items of its own.
    EXPECT_EQ(userConnectionStringWithPassword(ace, "/d/a.mdb", "p;Data Source=/x.mdb"),
              "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=/d/a.mdb;Persist Security "
              "Info=False;Jet OLEDB:Database Password=\"p;Data Source=/x.mdb\"");
    EXPECT_EQ(catalogueConnectionString(ace, "/d/a.mdb", "\"pw\""),
              "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=/d/a.mdb;Jet OLEDB:Database "
              "Password='\"pw\"'");
    EXPECT_EQ(catalogueConnectionString(ace, "/d/a.mdb", ""),
              "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=/d/a.mdb;");
    EXPECT_EQ(
        catalogueConnectionString(ace, "/d/a.mdb", "pw"),
        "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=/d/a.mdb;Jet OLEDB:Database Password=pw");
    // The format check asks the Jet provider whatever the user connection uses.
    EXPECT_EQ(
        engineTypeConnectionString("/d/a.mdb", "pw"),
        "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/d/a.mdb;Jet OLEDB:Database Password=pw");
}

TEST(WindowCaption, NamesTheOpenFileWithoutItsFolder) {
    EXPECT_EQ(windowCaption(""), "Tesmora(1.0.1)");
    EXPECT_EQ(windowCaption("/home/u/データ/会員名簿.mdb"), "Tesmora(1.0.1) -- 会員名簿.mdb");
}

TEST(CopyFileReplacing, ReplacesTheTargetAndKeepsItWhenTheCopyFails) {
    testsupport::TempDir dir;
    auto write = [](const QString& path, const QByteArray& bytes) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    };
    auto read = [](const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    };
    write(dir.file("a.mdb"), "new contents");
    write(dir.file("a.bak"), "old backup");
    EXPECT_TRUE(copyFileReplacing(dir.file("a.mdb"), dir.file("a.bak")));
    EXPECT_EQ(read(dir.file("a.bak")), "new contents");

    write(dir.file("b.bak"), "old backup");
    EXPECT_FALSE(copyFileReplacing(dir.file("missing.mdb"), dir.file("b.bak")));
    EXPECT_EQ(read(dir.file("b.bak")), "old backup");
    EXPECT_FALSE(copyFileReplacing(dir.file("a.mdb"), dir.file("no/such/folder/a.bak")));
}
