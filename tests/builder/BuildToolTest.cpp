// tesmora-build's builder subcommands, run in-process.
#include <gtest/gtest.h>

#include <sstream>

#include "BuildTool.h"
#include "builder/BuilderFixture.h"

namespace {

struct Result {
    int status;
    QString out, err;
};

Result build(const QStringList& args) {
    std::ostringstream out, err;
    const int status = buildtool::run(args, out, err);
    return {status, QString::fromStdString(out.str()), QString::fromStdString(err.str())};
}

}  // namespace

TEST(BuildTool, FieldsCreateAddAndImport) {
    buildertest::Folder folder;
    const QString csv = folder.file(QStringLiteral("s.csv"));
    buildertest::writeBytes(csv, QStringLiteral("x,名前,金額\r\n1,山田,100\r\n2,鈴木,abc\r\n").toUtf8());
    Result r = build({QStringLiteral("fields"), csv, QStringLiteral("--cell"), QStringLiteral("B1")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("cell,name,type\nB1,名前,文字50\nC1,金額,文字50\n"));

    const QString target = folder.file(QStringLiteral("t"));
    const QString pf = folder.dir.path();
    r = build({QStringLiteral("create"), csv, target, QStringLiteral("--cell"), QStringLiteral("B1"),
               QStringLiteral("--type"), QStringLiteral("金額=整数"), QStringLiteral("--type"),
               QStringLiteral("名前=文字4"), QStringLiteral("--program-folder"), pf});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(buildertest::sqlite(target + QStringLiteral(".mdb"), QStringLiteral("SELECT 名前, 金額 FROM ベーステーブル")),
              (QStringList{QStringLiteral("山田|100"), QStringLiteral("鈴木|<NULL>")}));

    // Failures: an existing target, an unknown type, a reserved name.
    const QStringList before = buildertest::filesIn(pf);
    r = build({QStringLiteral("create"), csv, target + QStringLiteral(".mdb"), QStringLiteral("--program-folder"), pf});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("同名ファイルがあります")));
    EXPECT_EQ(build({QStringLiteral("create"), csv, folder.file(QStringLiteral("u.mdb")), QStringLiteral("--type"),
                     QStringLiteral("x=文字256"), QStringLiteral("--program-folder"), pf})
                  .status,
              2);
    buildertest::writeBytes(folder.file(QStringLiteral("r.csv")), "Select,b\r\n1,2\r\n");
    r = build({QStringLiteral("create"), folder.file(QStringLiteral("r.csv")), folder.file(QStringLiteral("r.mdb")),
               QStringLiteral("--program-folder"), pf});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("Selectはフィールド名に使えません")));
    QStringList expected = before + QStringList{QStringLiteral("r.csv")};
    expected.sort();
    EXPECT_EQ(buildertest::filesIn(pf), expected);

    const QString db = target + QStringLiteral(".mdb");
    EXPECT_EQ(build({QStringLiteral("add-table"), db, QStringLiteral("明細")}).status, 0);
    EXPECT_EQ(build({QStringLiteral("add-field"), db, QStringLiteral("明細"), QStringLiteral("金額"), QStringLiteral("整数")}).status, 0);
    r = build({QStringLiteral("add-field"), db, QStringLiteral("明細"), QStringLiteral("金額"), QStringLiteral("実数")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("フィールド名が重複してます")));

    // A second database built the same way imports into the first.
    const QString other = folder.file(QStringLiteral("o.mdb"));
    ASSERT_EQ(build({QStringLiteral("create"), csv, other, QStringLiteral("--type"), QStringLiteral("金額=実数"),
                     QStringLiteral("--program-folder"), pf}).status, 0);
    r = build({QStringLiteral("import"), other, QStringLiteral("ベーステーブル"), db, QStringLiteral("ベーステーブル"),
               QStringLiteral("--dry-run")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("class,field\nok,名前\nS,SYS_Q_ID\nN,x\nT,金額\n"));
    r = build({QStringLiteral("import"), other, QStringLiteral("ベーステーブル"), db, QStringLiteral("ベーステーブル")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.endsWith(QStringLiteral("records,2\n")));
    EXPECT_EQ(build({QStringLiteral("import"), db, QStringLiteral("ベーステーブル"), db, QStringLiteral("ベーステーブル")}).status, 1);
}
