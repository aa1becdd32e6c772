// tesmora-docs over a generated program folder.
#include <QFile>
#include <sstream>

#include "DocsTool.h"
#include "StoreFixture.h"
#include "text/Cp932.h"

using documents::test::StoreTest;

namespace {

class DocsTool : public StoreTest {
protected:
    struct Run {
        int status;
        QString out;
        QString err;
    };
    Run run(QStringList args) {
        std::ostringstream out, err;
        const int status = docstool::run(args, dir.path(), out, err);
        return {status, QString::fromStdString(out.str()), QString::fromStdString(err.str())};
    }
    QString writeFile(const QString& name, const QString& content) {
        const QString path = dir.file(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text::toCp932(content));
        return path;
    }
};

const QString kTwo =
    "@@@@\r\n請求書/%2Fd%2F会員.mdb/会員/%2Ft%2F請求書.xlsx/明細/True/5/番号/1/1/1/1/0/0///\r\n"
    "B3/氏名\r\nC4/住所\r\n"
    "@@@@\r\n宛名, 送付用/%2Fd%2F会員.mdb/会員/%2Ft%2F宛名.xlsx/宛名/False/1//1/1/1/1/0/0///\r\n";

}  // namespace

TEST_F(DocsTool, ImportListExportAndDelete) {
    Run r = run({"import", writeFile("in.tmdt", kTwo)});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "ID\r\n1\r\n2\r\n");

    r = run({"list", "/d/会員.mdb", "会員"});
    EXPECT_EQ(r.out,
              "ID,登録名,エクセル,シート,印刷記録,通し番号,優先\r\n"
              "1,請求書,/t/請求書.xlsx,明細,番号,5,False\r\n"
              "2,\"宛名, 送付用\",/t/宛名.xlsx,宛名,,1,False\r\n");
    EXPECT_EQ(run({"list", "/d/会員.mdb", "名簿"}).out,
              "ID,登録名,エクセル,シート,印刷記録,通し番号,優先\r\n");

    const QString out = dir.file("out.tmdt");
    r = run({"--program-folder", dir.path(), "export", "/d/会員.mdb", "会員", out, "2"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "ID,登録名\r\n2,\"宛名, 送付用\"\r\n");
    QFile f(out);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(text::fromCp932(f.readAll()),
              "@@@@\r\n宛名, 送付用/%2Fd%2F会員.mdb/会員/%2Ft%2F宛名.xlsx/宛名/False/1//1/1/1/1/0/"
              "0///\r\n");

    r = run({"delete", "1"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(sqlite("SELECT ID FROM 登録データ"), QStringList({"2"}));
    EXPECT_EQ(sqliteValue("SELECT count(*) FROM 出力データ"), "0");
}

TEST_F(DocsTool, FailuresWriteNothingAndSayWhy) {
    // The second document is broken: the first is not registered either.
    Run r = run({"import", writeFile("half.tmdt", kTwo + "@@@@\r\n悪い/a/b\r\n")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("half.tmdt:8:")) << r.err.toStdString();
    EXPECT_EQ(sqliteValue("SELECT count(*) FROM 登録データ"), "0");

    EXPECT_EQ(run({"delete", "7"}).status, 1);
    EXPECT_EQ(run({"export", "/d/会員.mdb", "会員", dir.file("x.tmdt")}).status, 1)
        << "no documents";
    EXPECT_FALSE(QFile::exists(dir.file("x.tmdt")));
    run({"import", writeFile("in.tmdt", kTwo)});
    EXPECT_EQ(run({"export", "/d/会員.mdb", "名簿", dir.file("x.tmdt"), "1"}).status, 1)
        << "a document of another table";
    EXPECT_FALSE(QFile::exists(dir.file("x.tmdt")));
    EXPECT_EQ(run({"--program-folder", dir.file("無い"), "list", "a", "b"}).status, 1);

    for (const QStringList& usage :
         {QStringList(), QStringList({"list", "a"}), QStringList({"delete", "x"}),
          QStringList({"frobnicate"}), QStringList({"--program-folder"})}) {
        r = run(usage);
        EXPECT_EQ(r.status, 2) << usage.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains("usage:"));
    }
}
