// Output runs through the plain engine over real templates (openpyxl),
// read back with openpyxl, pdftotext and the sqlite3 shell: every binding
// kind, blocks, file names, the print log, and the ways a run can fail
// without leaving anything behind.
#include <gtest/gtest.h>

#include <QDate>
#include <QDir>
#include <QFile>
#include <QJsonArray>

#include "OutputFixtures.h"
#include "SheetFixtures.h"
#include "db/Db.h"
#include "documents/BindableFields.h"
#include "excel/Fixtures.h"
#include "excel/TUGExcel.h"
#include "excel/window/WindowPresenter.h"
#include "output/document/DocumentRun.h"
#include "output/document/PrintLog.h"
#include "platform/ScriptedServices.h"
#include "support/TempDir.h"
#include "text/Text.h"

using namespace outputtest;

namespace {

class DocumentRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        makeTemplates(dir.path());
        database = dir.file(QStringLiteral("会員.mdb"));
        QDir(dir.path()).mkdir(QStringLiteral("out"));
        QDir(dir.path()).mkdir(QStringLiteral("pdf"));
        out = dir.file(QStringLiteral("out"));
    }
    void TearDown() override { excel::setPresenterFactory({}); }

    void open(const std::vector<Member>& members) {
        writeMembers(database, members);
        connection.setConnectionString(
            QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"%1\"").arg(database));
        connection.open();
        records.setCommandText(QStringLiteral("SELECT * FROM [会員] ORDER BY [ID]"));
        records.open();
        documents::ListBindableFields(connection, kTable, fields);
        docoutput::ensurePrintLog(connection);
    }

    docoutput::RunSettings settings(docoutput::Mode mode, const QString& templ,
                                    const QString& sheet) {
        docoutput::RunSettings s;
        s.mode = mode;
        s.base = mode == docoutput::Mode::Save ? out + QStringLiteral("/card") : QString();
        s.extension = QStringLiteral(".xlsx");
        s.templatePath = dir.file(templ);
        s.templateSheet = sheet;
        s.documentName = QStringLiteral("会員カード");
        s.logField = QStringLiteral("氏名");
        s.nameField = QStringLiteral("氏名");
        s.eligibleFields = fields;
        s.workFile = dir.file(QStringLiteral("@Work.xlsx"));
        s.today = text::formatShortDate(QDate::currentDate());
        return s;
    }

    // Runs every record; returns the failure, if any.
    std::optional<docoutput::RunFailure> run(const docoutput::RunSettings& s,
                                             documents::LinkList bindings, int serial = 1,
                                             int* serialAfter = nullptr, int limit = -1) {
        std::optional<docoutput::RunFailure> failure;
        {
            docoutput::PrintLog log(connection);
            docoutput::DocumentRun r(excel, records, bindings, s);
            r.SerialNumber = serial;
            r.log = &log;
            std::vector<int> rows;
            const int n = limit < 0 ? records.recordCount() : limit;
            for (int i = 0; i < n; ++i) rows.push_back(i);
            try {
                r.run(rows);
            } catch (const docoutput::RunFailure& f) {
                failure = f;
            }
            if (serialAfter) *serialAfter = r.SerialNumber;
        }
        EXPECT_FALSE(excel.BookOpen);
        for (const documents::FLinkData& b : bindings) EXPECT_FALSE(b.PictureNumbers);
        return failure;
    }

    QStringList outFiles() const {
        return QDir(out).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }
    QStringList logRows() {
        return sqliteRows(database,
                          QStringLiteral("SELECT 種別, 名前, ifnull(番号,''), 対象 FROM _印刷記録_ "
                                         "ORDER BY 日時"));
    }
    void printToPdf() {
        excel::window::registerSheetWindows(services,
                                            sheettest::pdfPrinters(dir.file(QStringLiteral("pdf"))));
    }

    testsupport::TempDir dir;
    QString database;
    QString out;
    db::Connection connection;
    db::DataSet records{connection};
    documents::FieldList fields;
    excel::TUGExcel excel{QStringLiteral("Excel.Application")};
    platform::ScriptedServices services;
};

TEST_F(DocumentRunTest, SaveFillsEveryBindingKindIntoUniquelyNamedFiles) {
    open({{QStringLiteral("山田"), QStringLiteral("00123"), 1500, dir.file("photo.png"),
           QStringLiteral("\\\\srv\\docs\\a.pdf")},
          {QStringLiteral("山田"), QStringLiteral("0456"), 20, dir.file("photo2.png"),
           QStringLiteral("https://example.com/x?a=1")},
          {QStringLiteral("田中"), QStringLiteral("789"), 0, dir.file("gone.png"),
           QStringLiteral("メモ")}});
    EXPECT_FALSE(run(settings(docoutput::Mode::Save, "card.xlsx", "台帳"), cardBindings()));
    EXPECT_EQ(outFiles(), QStringList({"card_山田.xlsx", "card_山田__2.xlsx", "card_田中.xlsx"}));

    const QString script = QStringLiteral(
        "ws = wb['台帳']\n"
        "link = ws['B6'].hyperlink\n"
        "print(json.dumps({'name': ws['B2'].value, 'code': ws['B3'].value,\n"
        "  'date': ws['B4'].value.strftime('%Y/%m/%d') if ws['B4'].value else None,\n"
        "  'serial': ws['B5'].value, 'text': ws['B6'].value,\n"
        "  'link': link.target if link else None, 'total': ws['B7'].value,\n"
        "  'fee': ws['B8'].value, 'cover': wb['表紙']['A1'].value,\n"
        "  'computed': openpyxl.load_workbook(sys.argv[1], data_only=True)['台帳']['B7'].value,\n"
        "  'pictures': [[i.width, i.height] for i in ws._images]}))\n");
    QJsonObject first = openpyxl(out + "/card_山田.xlsx", script);
    EXPECT_EQ(first["name"].toString(), "山田");
    EXPECT_EQ(first["code"].toString(), "00123");  // leading zeros kept as text
    EXPECT_EQ(first["date"].toString(), text::formatShortDate(QDate::currentDate()));
    EXPECT_TRUE(first["serial"].isNull());  // a serial is printed only
    EXPECT_EQ(first["link"].toString(), "smb://srv/docs/a.pdf");
    EXPECT_EQ(first["text"].toString(), "リンクを開く");  // the template's own text shown
    EXPECT_EQ(first["total"].toString(), "=B8*2");
    EXPECT_EQ(first["fee"].toDouble(), 1500);
    EXPECT_EQ(first["computed"].toDouble(), 3000);  // the record's own total
    EXPECT_EQ(first["cover"].toString(), "表紙は書き換えない");
    EXPECT_EQ(first["pictures"].toArray(), QJsonArray({QJsonArray({64, 48})}));

    QJsonObject second = openpyxl(out + "/card_山田__2.xlsx", script);
    EXPECT_EQ(second["code"].toString(), "0456");
    EXPECT_EQ(second["computed"].toDouble(), 40);
    EXPECT_EQ(second["link"].toString(), "https://example.com/x?a=1");
    EXPECT_EQ(second["pictures"].toArray(), QJsonArray({QJsonArray({32, 32})}));

    QJsonObject third = openpyxl(out + "/card_田中.xlsx", script);
    EXPECT_TRUE(third["link"].isNull());  // plain text is no link
    EXPECT_EQ(third["text"].toString(), "メモ");
    EXPECT_EQ(third["pictures"].toArray(), QJsonArray());  // no picture file: removed

    EXPECT_EQ(logRows(), QStringList({"保存|会員カード||山田", "保存|会員カード||山田",
                                      "保存|会員カード||田中"}));
    EXPECT_EQ(sqliteRows(database, "SELECT COUNT(DISTINCT 日時) FROM _印刷記録_").value(0), "3");
}

TEST_F(DocumentRunTest, PrintNumbersEachRecordAndLogsTheNumbers) {
    printToPdf();
    open(plainMembers(3));
    int serial = 0;
    EXPECT_FALSE(run(settings(docoutput::Mode::Print, "card.xlsx", "台帳"), cardBindings(), 100,
                     &serial));
    EXPECT_EQ(serial, 103);
    for (int job = 1; job <= 3; ++job) {
        const QString text = sheettest::pdfText(dir.file(QStringLiteral("pdf/job%1.pdf").arg(job)));
        EXPECT_TRUE(text.contains(QString::number(99 + job))) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("会員%1").arg(job))) << text.toStdString();
        // The formula total B8 * 2 of this record's fee.
        EXPECT_TRUE(text.contains(QString::number(job * 200))) << text.toStdString();
    }
    EXPECT_FALSE(QFile::exists(dir.file("pdf/job4.pdf")));
    EXPECT_EQ(logRows(), QStringList({"印刷|会員カード|100|会員1", "印刷|会員カード|101|会員2",
                                      "印刷|会員カード|102|会員3"}));
    EXPECT_FALSE(QFile::exists(dir.file("@Work.xlsx")));
}

TEST_F(DocumentRunTest, BlocksFillAcrossThenDownAndTheRestIsCleared) {
    std::vector<Member> members = plainMembers(7);
    for (Member& m : members) m.photo = dir.file("photo.png");
    open(members);
    auto s = settings(docoutput::Mode::Save, "blocks.xlsx", "名札");
    s.block = blocks2x3();
    EXPECT_FALSE(run(s, blockBindings(), 1, nullptr, 5));
    EXPECT_EQ(outFiles(), QStringList({"card_会員1.xlsx"}));
    const QString script = QStringLiteral(
        "ws = wb['名札']\n"
        "cells = ['A1','E1','A11','E11','A21','E21','E22','F26','B26','A3','A2','E2','A12']\n"
        "print(json.dumps({'v': {c: ws[c].value for c in cells}, 'pictures': len(ws._images)}))\n");
    QJsonObject full = openpyxl(out + "/card_会員1.xlsx", script);
    QJsonObject v = full["v"].toObject();
    EXPECT_EQ(v["A1"].toString(), "会員1");
    EXPECT_EQ(v["E1"].toString(), "会員2");
    EXPECT_EQ(v["A11"].toString(), "会員3");
    EXPECT_EQ(v["E11"].toString(), "会員4");
    EXPECT_EQ(v["A21"].toString(), "会員5");
    // Block (1,2) is cleared below the last row written, pictures and all.
    EXPECT_EQ(v["E21"].toString(), "(氏名)");
    EXPECT_TRUE(v["E22"].isNull());
    EXPECT_TRUE(v["F26"].isNull());
    EXPECT_EQ(v["B26"].toString(), "下段");
    EXPECT_EQ(v["A3"].toString(), "=B1&\"!\"");
    EXPECT_EQ(full["pictures"].toInt(), 5);

    // Seven records make a full sheet and one with a single block.
    QFile::remove(out + "/card_会員1.xlsx");
    EXPECT_FALSE(run(s, blockBindings()));
    EXPECT_EQ(outFiles(), QStringList({"card_会員1.xlsx", "card_会員7.xlsx"}));
    QJsonObject partial = openpyxl(out + "/card_会員7.xlsx", script);
    v = partial["v"].toObject();
    EXPECT_EQ(v["A1"].toString(), "会員7");
    EXPECT_EQ(v["A2"].toString(), "枠1");
    EXPECT_TRUE(v["E2"].isNull());
    EXPECT_TRUE(v["A12"].isNull());
    EXPECT_EQ(partial["pictures"].toInt(), 1);
    EXPECT_EQ(logRows().size(), 12);
}

TEST_F(DocumentRunTest, OddBindingsAreSkippedNotFailures) {
    open(plainMembers(5));
    auto s = settings(docoutput::Mode::Save, "blocks.xlsx", "名札");
    s.block = blocks2x3();
    s.block.XSection = 3;
    s.block.XIncrement = 127;
    s.block.XStart = 10;  // the third block starts past column IV
    documents::LinkList bindings = {{"A1", "氏名", {}},
                                    {"#1,2", "写真", {}},    // fewer numbers than blocks
                                    {"#3", "消えた", {}},     // a field that is gone
                                    {"B1", "%消えた", {}},
                                    {"C1", "消えた", {}}};
    EXPECT_FALSE(run(s, bindings));
    EXPECT_EQ(outFiles().size(), 1);
}

TEST_F(DocumentRunTest, AFailedSheetLeavesNoFileNoLogRowAndNoHalfCopy) {
    open({{"山田", "1", 0, {}, {}}, {"佐藤", "2", 0, {}, {}}, {"田中", "3", 0, {}, {}}});
    // The third file cannot take its name: something else has it.
    QDir(out).mkdir(QStringLiteral("card_田中.xlsx"));
    auto failure = run(settings(docoutput::Mode::Save, "card.xlsx", "台帳"), cardBindings());
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->record, 3);
    EXPECT_EQ(failure->label, "田中");
    EXPECT_EQ(outFiles(), QStringList({"card_佐藤.xlsx", "card_山田.xlsx"}));
    EXPECT_EQ(logRows().size(), 2);

    // A sheet that is not in the template stops at the first record.
    QDir(out).removeRecursively();
    QDir(dir.path()).mkdir(QStringLiteral("out"));
    failure = run(settings(docoutput::Mode::Save, "card.xlsx", "ない"), cardBindings());
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->record, 1);
    EXPECT_EQ(outFiles(), QStringList());
    EXPECT_EQ(logRows().size(), 2);
}

TEST_F(DocumentRunTest, AFailedPrintGivesBackTheNumbersItDidNotPrint) {
    auto jobs = std::make_shared<int>(0);
    const QString pdf = dir.file("pdf");
    excel::window::registerSheetWindows(services, [jobs, pdf]() -> std::unique_ptr<QPrinter> {
        if (++*jobs == 2) throw excel::Error(excel::ErrorCode::WriteFailed, "printer jammed");
        auto p = std::make_unique<QPrinter>(QPrinter::HighResolution);
        p->setOutputFormat(QPrinter::PdfFormat);
        p->setOutputFileName(pdf + QStringLiteral("/job%1.pdf").arg(*jobs));
        return p;
    });
    open(plainMembers(3));
    int serial = 0;
    auto failure = run(settings(docoutput::Mode::Print, "card.xlsx", "台帳"), cardBindings(), 7,
                       &serial);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->record, 2);
    EXPECT_TRUE(failure->detail.contains("printer jammed"));
    EXPECT_EQ(serial, 8);
    EXPECT_EQ(logRows(), QStringList({"印刷|会員カード|7|会員1"}));
    EXPECT_FALSE(QFile::exists(dir.file("@Work.xlsx")));
}

TEST_F(DocumentRunTest, PreviewFillsOnlyTheFirstSheetAndLeavesItOpen) {
    open(plainMembers(8));
    auto s = settings(docoutput::Mode::Preview, "blocks.xlsx", "名札");
    s.block = blocks2x3();
    documents::LinkList bindings = blockBindings();
    docoutput::DocumentRun r(excel, records, bindings, s);
    r.run({0, 1, 2, 3, 4, 5, 6, 7});
    ASSERT_TRUE(excel.BookOpen);
    EXPECT_EQ(excel.GetCell("E21"), "会員6");
    EXPECT_EQ(r.sheetsWritten(), 0);
    excel.CloseBook(false);
    EXPECT_EQ(logRows().size(), 0);
}

}  // namespace
