// tesmora-sql, run in-process with captured output.
#include <sstream>

#include "DbFixture.h"
#include "SqlTool.h"

using namespace dbtest;

namespace {
struct Result {
    int status;
    std::string out, err;
};
Result runTool(const QStringList& args) {
    std::ostringstream out, err;
    int status = sqltool::run(args, out, err);
    return {status, out.str(), err.str()};
}
}  // namespace

TEST(SqlTool, QuotesOnlyFieldsThatNeedIt) {
    EXPECT_EQ(sqltool::csvField(QStringLiteral("plain 値")), "plain 値");
    EXPECT_EQ(sqltool::csvField(QStringLiteral("a,b")), "\"a,b\"");
    EXPECT_EQ(sqltool::csvField(QStringLiteral("say \"hi\"")), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(sqltool::csvField(QStringLiteral("two\nlines")), "\"two\nlines\"");
}

TEST(SqlTool, RunsStatementsAndPrintsCsv) {
    testsupport::TempDir dir;
    const QString p = dir.file(QStringLiteral("x.mdb"));
    auto r = runTool({p, QStringLiteral("--create"),
                      QStringLiteral("CREATE TABLE [T] (a NCHAR(10), b INTEGER, c BIT)"),
                      QStringLiteral(R"(INSERT INTO [T] VALUES ("x,""y""", 1, True))"),
                      QStringLiteral("SELECT a, b, c FROM [T]"),
                      QStringLiteral("SELECT * FROM [T] WHERE b > 5")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "a,b,c\r\n\"x,\"\"y\"\"\",1,True\r\na,b,c\r\n");

    r = runTool({p, QStringLiteral("SELECT * FROM [nothing]")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("nothing"), std::string::npos);

    r = runTool({p, QStringLiteral("--set-password"), QStringLiteral("s3cret")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(runTool({p, QStringLiteral("SELECT 1")}).status, 1);
    r = runTool({p, QStringLiteral("--password"), QStringLiteral("s3cret"),
                 QStringLiteral("SELECT count(*) AS n FROM [T]")});
    EXPECT_EQ(r.out, "n\r\n1\r\n");
    EXPECT_EQ(runTool({p, QStringLiteral("--password")}).status, 2);
    EXPECT_EQ(runTool({}).status, 2);
    EXPECT_EQ(runTool({dir.file(QStringLiteral("missing.mdb")), QStringLiteral("SELECT 1")}).status,
              1);
}
