// tesmora-build convert and tesmora-sql on a genuine Access file, run
// in-process with captured output.
#include <gtest/gtest.h>

#include <QDir>
#include <sstream>

#include "BuildTool.h"
#include "SqlTool.h"
#include "accessfile/AccessFixtures.h"
#include "support/TempDir.h"

namespace {

struct Result {
    int status;
    std::string out, err;
};

Result build(const QStringList& args) {
    std::ostringstream out, err;
    const int status = buildtool::run(args, out, err);
    return {status, out.str(), err.str()};
}

}  // namespace

TEST(BuildConvert, PrintsTheReportAsCsvAndWritesItBesideTheNewFile) {
    testsupport::TempDir dir;
    const QString target = dir.file(QStringLiteral("q.mdb"));
    const Result r = build({QStringLiteral("convert"),
                            fixtures::sample(QStringLiteral("queryTestV2003.mdb")), target});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const QStringList lines =
        QString::fromStdString(r.out).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    EXPECT_EQ(lines.first(), QStringLiteral("kind,object,reason,detail,count,sql"));
    EXPECT_TRUE(lines.contains(QStringLiteral("table,Table1,,,0,")));
    EXPECT_TRUE(lines.contains(QStringLiteral("query-not-carried,UpdateQuery,update,,0,")));
    EXPECT_TRUE(QFileInfo::exists(dir.file(QStringLiteral("q_変換報告.txt"))));

    // A second run refuses the existing file, and --replace agrees to it.
    Result again = build({QStringLiteral("convert"),
                          fixtures::sample(QStringLiteral("queryTestV2003.mdb")), target});
    EXPECT_EQ(again.status, 1);
    EXPECT_NE(again.err.find("exists already"), std::string::npos) << again.err;
    again =
        build({QStringLiteral("convert"), fixtures::sample(QStringLiteral("queryTestV2003.mdb")),
               target, QStringLiteral("--replace")});
    EXPECT_EQ(again.status, 0) << again.err;
}

TEST(BuildConvert, WrongUsageAndRefusedFilesHaveTheirExitStatus) {
    testsupport::TempDir dir;
    EXPECT_EQ(build({}).status, 2);
    EXPECT_EQ(build({QStringLiteral("nonsense")}).status, 2);
    EXPECT_EQ(build({QStringLiteral("convert"), QStringLiteral("only-one.mdb")}).status, 2);
    EXPECT_EQ(build({QStringLiteral("convert"), QStringLiteral("a"), QStringLiteral("b"),
                     QStringLiteral("--fast")})
                  .status,
              2);

    const QString broken = fixtures::copyFile(fixtures::sample(QStringLiteral("testV2010.accdb")),
                                              dir.file(QStringLiteral("broken.accdb")));
    QFile f(broken);
    ASSERT_TRUE(f.resize(4096 * 10 + 1));
    const Result r =
        build({QStringLiteral("convert"), broken, dir.file(QStringLiteral("new.accdb"))});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("is damaged"), std::string::npos) << r.err;
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("broken.accdb")});
}

TEST(SqlToolOnAccessFiles, SaysWhatTheFileIsAndHowToConvertIt) {
    std::ostringstream out, err;
    const QString file = fixtures::sample(QStringLiteral("testV2010.accdb"));
    EXPECT_EQ(sqltool::run({file, QStringLiteral("SELECT 1")}, out, err), 1);
    EXPECT_NE(err.str().find("genuine Access database (ACE)"), std::string::npos) << err.str();
    EXPECT_NE(err.str().find("tesmora-build convert"), std::string::npos);
    EXPECT_EQ(err.str().find("not a database"), std::string::npos);
}
