// Creating databases from list and per-file sources, read back with the
// sqlite3 shell; every failure leaves the folder as it was.
#include <gtest/gtest.h>

#include <QFileInfo>

#include "builder/BuilderFixture.h"
#include "builder/Builder.h"
#include "excel/Workbook.h"
#include "text/Cp932.h"

using namespace builder;
using buildertest::Folder;
using buildertest::sqlite;

namespace {

const QString kCsv = QStringLiteral(
    "氏名,4月売上,2024,a@b,Limit,コード,日付,OK\r\n"
    "山田,100,1.5,x,5,00123,2024/03/05,true\r\n"
    "鈴木,,abc,\"y,z\",,0045,,no\r\n"
    ",1,1,1,1,1,,\r\n"
    "後ろ,9,9,9,9,9,,\r\n");

std::vector<FieldDefinition> typedFields(const excel::Worksheet& sheet) {
    auto fields = readHeaderFields(sheet, QStringLiteral("A1"));
    fields[1].setType(btInteger, 0);
    fields[2].setType(btReal, 0);
    fields[6].setType(btDate, 0);
    fields[7].setType(btLogical, 0);
    return fields;
}

}  // namespace

class CsvEncodings : public ::testing::TestWithParam<int> {};

TEST_P(CsvEncodings, OddNamesLeadingZerosBlanksAndTheEndOfTheList) {
    Folder folder;
    QByteArray bytes = GetParam() == 2 ? text::toCp932(kCsv) : kCsv.toUtf8();
    if (GetParam() == 1) bytes.prepend("\xEF\xBB\xBF");
    const QString csv = folder.file(QStringLiteral("一覧.csv"));
    buildertest::writeBytes(csv, bytes);
    const auto book = excel::Workbook::open(csv);
    const QString target = folder.file(QStringLiteral("new.mdb"));
    int lastProgress = -1;
    const int written = createFromList(
        {folder.templatePath, target, typedFields(book->activeSheet()), [&](int p) { lastProgress = p; }},
        book->activeSheet());
    EXPECT_EQ(written, 2);  // the row with an empty first cell ends the list
    EXPECT_EQ(lastProgress, 100);
    EXPECT_EQ(sqlite(target, QStringLiteral("SELECT * FROM ベーステーブル ORDER BY SYS_Q_ID")),
              (QStringList{QStringLiteral("1|山田|100|1.5|x|5|00123|2024-03-05 00:00:00|1"),
                           QStringLiteral("2|鈴木|<NULL>|<NULL>|y,z||0045|<NULL>|<NULL>")}));
    // The source is only read.
    QFile source(csv);
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    EXPECT_EQ(source.readAll(), bytes);
    EXPECT_EQ(buildertest::filesIn(folder.dir.path()),
              (QStringList{QStringLiteral("DBTemplate.mdb"), QStringLiteral("new.mdb"), QStringLiteral("一覧.csv")}));
}

INSTANTIATE_TEST_SUITE_P(Builder, CsvEncodings, ::testing::Values(0, 1, 2));

TEST(ListSource, WorkbookHeaderOf255ColumnsMergesAndTheLastColumn) {
    Folder folder;
    const QString xlsx = folder.file(QStringLiteral("wide.xlsx"));
    buildertest::python(QStringLiteral(R"(
import sys, openpyxl
wb = openpyxl.Workbook(); ws = wb.active; ws.title = '名簿'
for c in range(1, 256):
    ws.cell(row=2, column=c, value='項目%d' % c)
    ws.cell(row=3, column=c, value='v%d' % c)
ws.cell(row=3, column=1, value='00123')
ws.cell(row=2, column=256, value='はみ出し')
ws['A6'] = '見出し'; ws['B6'] = '結合'; ws['C6'] = 'x'; ws.merge_cells('B6:C6')
ws['A8'] = '先頭結合'; ws.merge_cells('A8:A9'); ws['B8'] = '次'
wb.save(sys.argv[1])
)"), {xlsx});
    const auto book = excel::Workbook::open(xlsx);
    const excel::Worksheet& sheet = book->activeSheet();
    auto fields = readHeaderFields(sheet, QStringLiteral("A2"));
    ASSERT_EQ(fields.size(), 255u);  // the walk stops at IU
    EXPECT_EQ(fields.back().CellAddress, QStringLiteral("IU2"));
    // Starting in the middle ignores the cells to the left.
    EXPECT_EQ(readHeaderFields(sheet, QStringLiteral("IT2")).size(), 2u);
    try {
        readHeaderFields(sheet, QStringLiteral("IV2"));
        FAIL();
    } catch (const Refusal& r) {
        EXPECT_EQ(r.message(), QStringLiteral("Excelの選択が不良です"));
    }
    EXPECT_THROW(readHeaderFields(sheet, QStringLiteral("A6")), Refusal);  // merged after the first
    EXPECT_EQ(readHeaderFields(sheet, QStringLiteral("A8")).size(), 2u);   // merged first cell is fine
    try {
        readHeaderFields(sheet, QStringLiteral("D4"));
        FAIL();
    } catch (const Refusal& r) {
        EXPECT_EQ(r.message(), QStringLiteral("選択セルに項目名がありません"));
    }

    fields.resize(39);  // 39 x 50 stays below the creation limit
    const QString target = folder.file(QStringLiteral("wide.mdb"));
    ASSERT_EQ(createFromList({folder.templatePath, target, fields, {}}, sheet), 1);
    EXPECT_EQ(sqlite(target, QStringLiteral("SELECT 項目1, 項目39 FROM ベーステーブル")),
              QStringList{QStringLiteral("00123|v39")});
}

TEST(Creation, FailuresLeaveNoFileAndNeverReplaceOne) {
    Folder folder;
    const QString csv = folder.file(QStringLiteral("a.csv"));
    buildertest::writeBytes(csv, kCsv.toUtf8());
    const auto book = excel::Workbook::open(csv);
    const auto fields = typedFields(book->activeSheet());
    const QString existing = folder.file(QStringLiteral("old.mdb"));
    buildertest::writeBytes(existing, "keep me");
    const QStringList before = buildertest::filesIn(folder.dir.path());

    try {
        createFromList({folder.templatePath, existing, fields, {}}, book->activeSheet());
        FAIL();
    } catch (const Refusal& r) {
        EXPECT_EQ(r.message(), QStringLiteral("同名ファイルがあります"));
    }
    QFile f(existing);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("keep me"));

    try {
        createFromList({folder.file(QStringLiteral("missing.mdb")), folder.file(QStringLiteral("n.mdb")), fields, {}},
                       book->activeSheet());
        FAIL();
    } catch (const Refusal& r) {
        EXPECT_EQ(r.message(), QStringLiteral("データベースが作成できません"));
        EXPECT_EQ(r.caption(), QStringLiteral("ファイルエラー"));
    }

    // A damaged file in the middle of a per-file source stops the creation
    // after records were written; nothing of it stays.
    const QString good = folder.file(QStringLiteral("f1.xlsx"));
    buildertest::python(QStringLiteral("import sys, openpyxl\nwb = openpyxl.Workbook(); wb.active['B2'] = 'x'; wb.save(sys.argv[1])"), {good});
    const QString bad = folder.file(QStringLiteral("f2.xlsx"));
    buildertest::writeBytes(bad, "PK not really a workbook");
    const QStringList withSources = buildertest::filesIn(folder.dir.path());
    EXPECT_ANY_THROW(createPerFile({folder.templatePath, folder.file(QStringLiteral("p.mdb")),
                                    {FieldDefinition::text("B2", "値")}, {}},
                                   {good, bad}, QStringLiteral("Sheet"), {}));
    EXPECT_EQ(buildertest::filesIn(folder.dir.path()), withSources);
    EXPECT_EQ(before.size() + 2, withSources.size());
}

TEST(Creation, PerFileSourceSkipsAFileWithoutTheSheet) {
    Folder folder;
    QStringList files;
    for (int i = 1; i <= 3; ++i) {
        files << folder.file(QStringLiteral("form%1.xlsx").arg(i));
        buildertest::python(QStringLiteral(R"(
import sys, openpyxl, datetime
wb = openpyxl.Workbook(); ws = wb.active; ws.title = sys.argv[2] == '2' and 'other' or '申込書'
ws['B2'] = '名前' + sys.argv[2]; ws['C3'] = int(sys.argv[2]) * 10; ws['D4'] = datetime.date(2024, 1, int(sys.argv[2]))
wb.save(sys.argv[1])
)"), {files.last(), QString::number(i)});
    }
    std::vector<FieldDefinition> fields{FieldDefinition::text("B2", "名前"), FieldDefinition::text("C3", "数"),
                                        FieldDefinition::text("D4", "日")};
    fields[1].setType(btInteger, 0);
    fields[2].setType(btDate, 0);
    QStringList warned;
    const QString target = folder.file(QStringLiteral("forms.mdb"));
    EXPECT_EQ(createPerFile({folder.templatePath, target, fields, {}}, files, QStringLiteral("申込書"),
                            [&](const QString& p) { warned << p; }),
              2);
    EXPECT_EQ(warned, QStringList{files[1]});
    EXPECT_EQ(missingSheetMessage(files[1]), files[1] + QStringLiteral("は同名シートがありません"));
    EXPECT_EQ(sqlite(target, QStringLiteral("SELECT * FROM ベーステーブル ORDER BY SYS_Q_ID")),
              (QStringList{QStringLiteral("1|名前1|10|2024-01-01 00:00:00"),
                           QStringLiteral("2|名前3|30|2024-01-03 00:00:00")}));
}

TEST(Creation, ALongListArrivesWholeAndInOrder) {
    // Several of the writer's batches and a short last one; every type.
    Folder folder;
    QByteArray csv = "番号,名前,日時,実数,可否\r\n";
    const int rows = 5003;
    for (int i = 1; i <= rows; ++i)
        csv += QStringLiteral("%1,名前%1,%2/%3/%4 %5:07,%6,%7\r\n")
                   .arg(i)
                   .arg(1990 + i % 40)
                   .arg(i % 12 + 1)
                   .arg(i % 28 + 1)
                   .arg(i % 24)
                   .arg(i % 3 ? QString::number(i / 8.0) : QStringLiteral("x"))
                   .arg(i % 2 ? QStringLiteral("TRUE") : QStringLiteral("false"))
                   .toUtf8();
    const QString source = folder.file(QStringLiteral("long.csv"));
    buildertest::writeBytes(source, csv);
    const auto book = excel::Workbook::open(source);
    auto fields = readHeaderFields(book->activeSheet(), QStringLiteral("A1"));
    fields[0].setType(btInteger, 0);
    fields[2].setType(btDate, 0);
    fields[3].setType(btReal, 0);
    fields[4].setType(btLogical, 0);
    const QString target = folder.file(QStringLiteral("long.mdb"));
    ASSERT_EQ(createFromList({folder.templatePath, target, fields, {}}, book->activeSheet()), rows);
    EXPECT_EQ(sqlite(target, QStringLiteral("SELECT COUNT(*), SUM(番号), SUM(SYS_Q_ID = 番号), "
                                            "SUM(実数 IS NULL), SUM(可否) FROM ベーステーブル")),
              QStringList{QStringLiteral("%1|%2|%1|%3|%4")
                              .arg(rows)
                              .arg(qint64(rows) * (rows + 1) / 2)
                              .arg(rows / 3)
                              .arg((rows + 1) / 2)});
    EXPECT_EQ(sqlite(target, QStringLiteral("SELECT * FROM ベーステーブル WHERE 番号 IN (4998, 5003)")),
              (QStringList{QStringLiteral("4998|4998|名前4998|2028-07-15 06:07:00|<NULL>|0"),
                           QStringLiteral("5003|5003|名前5003|1993-12-20 11:07:00|625.375|1")}));
}

TEST(Creation, AFailureWhileRowsAreBeingWrittenLeavesNothing) {
    // The writer's engine thread is busy when the caller gives up; it must
    // stop before the transaction rolls back and the file goes.
    Folder folder;
    QByteArray csv = "番号,名前,日付\r\n";
    for (int i = 1; i <= 20000; ++i) csv += QStringLiteral("%1,名前%1,2024/1/%2\r\n").arg(i).arg(i % 28 + 1).toUtf8();
    const QString source = folder.file(QStringLiteral("list.csv"));
    buildertest::writeBytes(source, csv);
    const auto book = excel::Workbook::open(source);
    auto fields = readHeaderFields(book->activeSheet(), QStringLiteral("A1"));
    fields[0].setType(btInteger, 0);
    fields[2].setType(btDate, 0);
    for (int round = 0; round < 5; ++round) {
        const QString target = folder.file(QStringLiteral("list.mdb"));
        auto giveUp = [](int percent) {
            if (percent >= 50) throw std::runtime_error("stopped");
        };
        EXPECT_THROW(createFromList({folder.templatePath, target, fields, giveUp}, book->activeSheet()),
                     std::runtime_error);
        EXPECT_EQ(buildertest::filesIn(folder.dir.path()),
                  (QStringList{QStringLiteral("DBTemplate.mdb"), QStringLiteral("list.csv")}));
    }
    // The same list still builds afterwards.
    EXPECT_EQ(createFromList({folder.templatePath, folder.file(QStringLiteral("list.mdb")), fields, {}},
                             book->activeSheet()),
              20000);
}
