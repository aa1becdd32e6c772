// The list-output dialog as the user drives it from the main window: fields
// to check, the three outputs, their messages, and the dialog given back in
// working order after every one of them.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTabBar>
#include <QToolButton>

#include "ListFixtures.h"
#include "SheetFixtures.h"
#include "excel/Fixtures.h"
#include "excel/window/SheetWindow.h"
#include "excel/window/WindowPresenter.h"
#include "output/TForm20.h"
#include "output/TForm4.h"
#include "platform/ScriptedServices.h"
#include "support/TempDir.h"
#include "view/TForm1.h"
#include "view/TForm15.h"

namespace {

class ListOutputDialog : public ::testing::Test {
protected:
    void SetUp() override {
        database = dir.file(QStringLiteral("名簿.mdb"));
        listtest::writeListDatabase(database, listtest::sampleRows());
        form = std::make_unique<TForm1>(services, dir.path());
        form->Form15 = new TForm15(form.get());
        form->Form4 = new TForm4(services, *form, sheettest::pdfPrinters(dir.path()), form.get());
        form->show();
        form->OpenDatabase(database, listtest::kTable);
        ASSERT_EQ(form->DatabasePath, database);
        services.clearRecords();
        excel::window::registerSheetWindows(services, sheettest::pdfPrinters(dir.path()));
    }
    void TearDown() override {
        form.reset();
        excel::setPresenterFactory({});
    }

    // Shows the dialog from the main window and plays the user in it.
    void inDialog(std::function<void(TForm4&)> user) {
        services.answerNextDialog([user](QDialog& d) {
            auto& f = static_cast<TForm4&>(d);
            user(f);
            f.SpeedButton3->click();  // 閉じる
        });
        form->SpeedButton3->click();
    }
    static QStringList checkedNames(TForm4& f) {
        QStringList names;
        for (int i = 0; i < f.CheckListBox1->count(); ++i)
            if (f.CheckListBox1->item(i)->checkState() == Qt::Checked)
                names << f.CheckListBox1->item(i)->text();
        return names;
    }
    static void checkOnly(TForm4& f, const QStringList& names) {
        for (int i = 0; i < f.CheckListBox1->count(); ++i)
            f.CheckListBox1->item(i)->setCheckState(
                names.contains(f.CheckListBox1->item(i)->text()) ? Qt::Checked : Qt::Unchecked);
    }
    // The dialog is back in working order after an output.
    void expectRestored(TForm4& f) {
        EXPECT_TRUE(f.isEnabled());
        EXPECT_EQ(services.busyDepth, 0);
        EXPECT_TRUE(f.Label2->isHidden());
        EXPECT_TRUE(f.ProgressBar1->isHidden());
    }
    QString lastMessage() const {
        return services.messages.empty() ? QString() : services.messages.back().text;
    }
    QString lastCaption() const {
        return services.messages.empty() ? QString() : services.messages.back().caption;
    }

    testsupport::TempDir dir;
    QString database;
    platform::ScriptedServices services;
    std::unique_ptr<TForm1> form;
};

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

TEST_F(ListOutputDialog, RefusedWithoutADatabase) {
    TForm1 empty(services, dir.path());
    empty.show();
    empty.SpeedButton3Click();
    ASSERT_EQ(services.messages.size(), 1u);
    EXPECT_EQ(services.messages[0].text, QStringLiteral("データベースが開いていません"));
    EXPECT_EQ(services.messages[0].caption, QStringLiteral("一覧出力の中止"));
    EXPECT_TRUE(services.dialogsShown.isEmpty());
}

TEST_F(ListOutputDialog, FieldsAllCheckedAtFirstAndNoOutputWithoutOne) {
    inDialog([&](TForm4& f) {
        EXPECT_EQ(f.windowTitle(), QStringLiteral("データの一覧出力"));
        EXPECT_EQ(checkedNames(f), QStringList({"ID", "氏名", "住所", "郵便番号", "入会日", "会費",
                                                "有効", "備考"}));
        EXPECT_EQ(f.CheckListBox1->item(4)->data(Qt::UserRole).toInt(), 11);
        EXPECT_EQ(f.SpeedButton1->toolTip(), QStringLiteral("CSVファイルに保存"));
        f.SpeedButton5->click();
        EXPECT_TRUE(checkedNames(f).isEmpty());
        for (QToolButton* b : {f.SpeedButton1, f.SpeedButton2, f.SpeedButton6}) {
            b->click();
            EXPECT_EQ(lastMessage(), QStringLiteral("フィールドが未選択です"));
            EXPECT_EQ(lastCaption(), QStringLiteral("出力の中止"));
        }
        EXPECT_EQ(services.messages.size(), 3u);
        f.SpeedButton4->click();
        EXPECT_EQ(checkedNames(f).size(), 8);
    });
    EXPECT_FALSE(form->Form4->ADODataSet1.active());
}

TEST_F(ListOutputDialog, CsvFollowsTheGridsFilterAndOrderAndEndsInCsv) {
    // The grid shows members with a fee, highest first.
    services.answerNextDialog([](QDialog& d) {
        d.findChild<QComboBox*>(QStringLiteral("ComboBox1"))->setCurrentIndex(5);
        d.findChild<QComboBox*>(QStringLiteral("ComboBox3"))->setEditText(QStringLiteral("1"));
        d.findChild<QToolButton*>(QStringLiteral("SpeedButton2"))->click();
        d.findChild<QPushButton*>(QStringLiteral("Button1"))->click();
    });
    form->DBGrid1TitleClick(5);
    ASSERT_TRUE(form->CurrentSql.contains(QStringLiteral("ORDER BY [会費] DESC")));
    services.clearRecords();

    const QString chosen = dir.file(QStringLiteral("会費順.txt"));
    const QString written = dir.file(QStringLiteral("会費順.csv"));
    inDialog([&](TForm4& f) {
        checkOnly(f, {QStringLiteral("氏名"), QStringLiteral("会費")});
        services.answerNextSave(chosen);
        f.SpeedButton1->click();
        EXPECT_EQ(lastMessage(), QStringLiteral("保存が終わりました"));
        EXPECT_EQ(lastCaption(), QStringLiteral("報告"));
        EXPECT_EQ(f.ProgressBar1->value(), 100);
        expectRestored(f);
        const QByteArray first = fileBytes(written);
        // A second output from the same showing starts again at the first record.
        services.answerNextSave(written);
        f.SpeedButton1->click();
        EXPECT_EQ(fileBytes(written), first);
    });
    EXPECT_EQ(services.fileRequests[0].filter, QStringLiteral("CSVファイル(*.csv)|*.csv"));
    EXPECT_FALSE(QFile::exists(chosen));
    const QJsonArray read = listtest::readCsvWithPython(written, QStringLiteral("cp932"));
    ASSERT_EQ(read.size(), 4);
    EXPECT_EQ(read[0].toArray()[1].toString(), QStringLiteral("会費"));
    EXPECT_EQ(read[1].toArray()[0].toString(), QStringLiteral("田中 次郎"));
    EXPECT_EQ(read[3].toArray()[1].toString(), QStringLiteral("12.5"));
}

TEST_F(ListOutputDialog, CsvThatCannotBeWrittenIsReportedAndTheDialogComesBack) {
    form->ADOConnection1.execute(
        QStringLiteral("UPDATE [名簿] SET [氏名] = \"絵文字😀\" WHERE [ID] = 3"));
    const QString target = dir.file(QStringLiteral("名簿.csv"));
    inDialog([&](TForm4& f) {
        services.answerNextSave(target);
        f.SpeedButton1->click();
        EXPECT_EQ(lastMessage(),
                  QStringLiteral("3件目のデータの「氏名」にShift-JISで保存できない文字があります"));
        EXPECT_EQ(lastCaption(), QStringLiteral("ファイル保存の中止"));
        expectRestored(f);
        services.answerNextSave(dir.file(QStringLiteral("no/folder/名簿.csv")));
        f.SpeedButton1->click();
        EXPECT_EQ(lastMessage(), QStringLiteral("ファイルが開けません"));
        expectRestored(f);
    });
    EXPECT_FALSE(QFile::exists(target));
}

TEST_F(ListOutputDialog, PrintingPutsEveryPageIntoOneJob) {
    // Enough members for several pages of an A4 list.
    for (int i = 0; i < 120; ++i)
        form->ADOConnection1.execute(
            QStringLiteral("INSERT INTO [名簿] (氏名, 会費) VALUES (\"追加%1\", %1)").arg(i));
    form->SpeedButton9Click();  // re-reads the grid
    inDialog([&](TForm4& f) {
        services.answerNextPrinter(false);
        f.SpeedButton2->click();
        EXPECT_TRUE(services.messages.empty());
        services.answerNextPrinter(true);
        f.SpeedButton2->click();
        EXPECT_EQ(lastMessage(), QStringLiteral("印刷が終わりました"));
        EXPECT_EQ(lastCaption(), QStringLiteral("報告"));
        expectRestored(f);
    });
    // The cancelled print dialog used job1.pdf's printer; the list is job2.
    const QString pdf = dir.file(QStringLiteral("job2.pdf"));
    const int pages = sheettest::pdfPageCount(pdf);
    EXPECT_GE(pages, 2);
    EXPECT_FALSE(QFile::exists(dir.file(QStringLiteral("job3.pdf"))));
    const QString all = sheettest::pdfText(pdf);
    for (int p = 1; p <= pages; ++p)
        EXPECT_TRUE(all.contains(QStringLiteral("(%1頁)").arg(p))) << p;
    EXPECT_TRUE(all.contains(QStringLiteral("追加119")));
}

namespace {

// A workbook with a cover sheet (active) and 一覧, written by openpyxl.
QString makeBook(const QString& path) {
    const QString program = QStringLiteral(
        "import sys, openpyxl\n"
        "wb = openpyxl.Workbook()\n"
        "wb.active.title = '表紙'\n"
        "wb.active['A1'] = '会員名簿'\n"
        "ws = wb.create_sheet('一覧')\n"
        "for r in range(1, 21):\n"
        "    ws.cell(row=r, column=12, value='古い値')\n"
        "wb.save(sys.argv[1])\n");
    QString out;
    EXPECT_EQ(exceltest::runProgram(QStringLiteral("/usr/bin/python3"),
                                    {QStringLiteral("-c"), program, path}, &out),
              0)
        << out.toStdString();
    return path;
}

excel::window::SheetWindow* shownSheet() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* s = qobject_cast<excel::window::SheetWindow*>(w); s && s->isVisible()) return s;
    return nullptr;
}

QByteArray digest(const QString& path) {
    return QCryptographicHash::hash(fileBytes(path), QCryptographicHash::Sha256);
}

}  // namespace

TEST_F(ListOutputDialog, ExcelWritesIntoTheSheetTheUserActivated) {
    const QString book = makeBook(dir.file(QStringLiteral("名簿.xlsx")));
    inDialog([&](TForm4& f) {
        checkOnly(f, {QStringLiteral("ID"), QStringLiteral("氏名"), QStringLiteral("郵便番号")});
        services.answerNextOpen({book});
        bool floated = false;
        services.answerNextDialog([&](QDialog& d) {
            excel::window::SheetWindow* sheet = shownSheet();
            ASSERT_NE(sheet, nullptr);
            EXPECT_EQ(&d, f.Form20);
            EXPECT_FALSE(f.isEnabled());
            EXPECT_EQ(d.windowTitle(), QStringLiteral("書き込みシートの選択"));
            sheet->findChild<QTabBar*>(QStringLiteral("SheetTabs"))->setCurrentIndex(1);
            floated = true;
            f.Form20->SpeedButton1->click();
        });
        f.SpeedButton6->click();
        EXPECT_TRUE(floated);
        EXPECT_EQ(services.floatingShown, QStringList{QStringLiteral("Form20")});
        EXPECT_EQ(lastMessage(), QStringLiteral("保存が終わりました"));
        EXPECT_EQ(lastCaption(), QStringLiteral("報告"));
        EXPECT_EQ(shownSheet(), nullptr);
        expectRestored(f);
    });
    EXPECT_EQ(services.fileRequests[0].filter, form->ExcelFilter);
    const QJsonObject got = exceltest::readBack(
        book,
        QStringLiteral(
            "ws = wb['一覧']\n"
            "print(json.dumps({'head': [ws.cell(row=1, column=c).value for c in range(1, 5)],"
            " 'first': [ws.cell(row=2, column=c).value for c in range(1, 4)],"
            " 'rows': ws.max_row, 'old': ws['L1'].value, 'cover': wb['表紙']['A1'].value}))\n"));
    EXPECT_EQ(listtest::texts(got[QStringLiteral("head")]),
              QStringList({"ID", "氏名", "郵便番号", "-"}));
    EXPECT_EQ(got[QStringLiteral("first")].toArray()[1].toString(), QStringLiteral("山田 太郎"));
    EXPECT_EQ(got[QStringLiteral("first")].toArray()[2].toString(), QStringLiteral("0600001"));
    EXPECT_TRUE(got[QStringLiteral("old")].isNull());
    EXPECT_EQ(got[QStringLiteral("cover")].toString(), QStringLiteral("会員名簿"));
}

TEST_F(ListOutputDialog, ExcelCancelledOrBrokenOffLeavesTheWorkbookAsItWas) {
    const QString book = makeBook(dir.file(QStringLiteral("名簿.xlsx")));
    const QByteArray before = digest(book);
    inDialog([&](TForm4& f) {
        services.answerNextOpen({book});
        services.answerNextDialog([&](QDialog&) { f.Form20->SpeedButton2->click(); });
        f.SpeedButton6->click();
        EXPECT_TRUE(services.messages.empty());
        EXPECT_EQ(shownSheet(), nullptr);
        expectRestored(f);

        // The user closes the workbook's window before answering: nothing
        // can be written, and the book is not saved half-written.
        services.answerNextOpen({book});
        services.answerNextDialog([&](QDialog&) {
            shownSheet()->close();
            f.Form20->SpeedButton1->click();
        });
        f.SpeedButton6->click();
        EXPECT_EQ(services.errors.size(), 1);
        EXPECT_TRUE(services.messages.empty());
        expectRestored(f);
    });
    EXPECT_EQ(digest(book), before);
}
