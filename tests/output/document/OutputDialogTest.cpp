// Document output as the user drives it from the main window: the choice of
// document, the output dialog's state, save and print runs with their
// messages, the serial number stored back, a failed run, and the
// output-record dialog on a right-button release.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>

#include "OutputFixtures.h"
#include "ProgramFiles.h"
#include "SheetFixtures.h"
#include "documents/TForm8.h"
#include "excel/window/WindowPresenter.h"
#include "output/document/TForm18.h"
#include "output/document/TForm5.h"
#include "platform/ScriptedServices.h"
#include "support/TempDir.h"
#include "view/ProgramFiles.h"
#include "view/RecordGrid.h"
#include "view/TForm1.h"
#include "view/TForm15.h"

using namespace outputtest;

namespace {

class OutputDialog : public ::testing::Test {
protected:
    void SetUp() override {
        programfiles::writeAll(dir.path());
        makeTemplates(dir.path());
        database = dir.file("会員.mdb");
        writeMembers(database, {{"山田", "001", 10, {}, {}},
                                {"佐藤", "002", 20, {}, {}},
                                {"田中", "003", 30, {}, {}}});
        store.setConnectionString(view::systemStoreConnectionString(dir.path() + '/'));
        documents::Registry registry(store);
        id = registry.InsertDocument("会員カード", database, kTable, dir.file("card.xlsx"), "台帳",
                                     "氏名");
        registry.ReplaceBindings(id, cardBindings());
        registry.SetSerialNumber(id, 10);
        registry.InsertDocument("記録なし", database, kTable, dir.file("card.xlsx"), "台帳", "");
        QDir(dir.path()).mkdir("out");
        QDir(dir.path()).mkdir("pdf");

        form = std::make_unique<TForm1>(services, dir.path());
        form->Form15 = new TForm15(form.get());
        form->Form8 = new TForm8(services, form.get());
        form->show();
        form->OpenDatabase(database, kTable);
        ASSERT_EQ(form->DatabasePath, database);
        services.clearRecords();
        excel::window::registerSheetWindows(services, sheettest::pdfPrinters(dir.file("pdf")));
    }
    void TearDown() override {
        form.reset();
        excel::setPresenterFactory({});
    }

    void selectRows(std::initializer_list<int> rows) {
        auto* grid = form->DBGrid1;
        grid->clearSelection();
        for (int r : rows)
            grid->selectionModel()->select(grid->model()->index(r, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    // Chooses the first document, then plays the user in the output dialog.
    void inDialog(std::function<void(TForm5&)> user) {
        services.answerNextDialog([](QDialog& d) {
            auto& f = static_cast<TForm8&>(d);
            f.ListBox1->setCurrentRow(0);
            f.Button1->click();
        });
        services.answerNextDialog([user](QDialog& d) {
            auto& f = static_cast<TForm5&>(d);
            user(f);
            f.SpeedButton3->click();
        });
        form->SpeedButton5->click();
    }
    void expectRestored(TForm5& f) {
        EXPECT_TRUE(f.isEnabled());
        EXPECT_EQ(services.busyDepth, 0);
        EXPECT_TRUE(f.ProgressBar1->isHidden());
        EXPECT_TRUE(f.Label5->isHidden());
    }
    QStringList outFiles() {
        return QDir(dir.file("out")).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }
    int storedSerial() {
        documents::Registry registry(store);
        return registry.ReadDocument(id)->serialNumber;
    }

    testsupport::TempDir dir;
    QString database;
    db::Connection store;
    int id = -1;
    platform::ScriptedServices services;
    std::unique_ptr<TForm1> form;
};

TEST_F(OutputDialog, SaveAndPrintTheSelectedRecordsAndKeepTheSerialNumber) {
    selectRows({0, 2});
    inDialog([&](TForm5& f) {
        EXPECT_EQ(f.windowTitle(), "文書出力");
        EXPECT_EQ(f.Edit1->text(), "会員カード");
        EXPECT_EQ(f.RadioButton1->text(), "選択 2 件");
        EXPECT_EQ(f.RadioButton2->text(), "全て 3 件");
        EXPECT_TRUE(f.RadioButton1->isChecked());
        EXPECT_EQ(f.ComboBox1->currentText(), "ID");
        EXPECT_TRUE(f.CSpinEdit1->isVisibleTo(&f));
        EXPECT_EQ(f.CSpinEdit1->value(), 10);
        EXPECT_EQ(f.Edit2->text(), "1");
        // The print log was created on showing and listed in the main window.
        EXPECT_GE(form->ComboBox1->findText("_印刷記録_"), 0);
        EXPECT_EQ(form->ComboBox1->currentText(), kTable);

        f.ComboBox1->setCurrentText("氏名");
        services.answerNextSave(dir.file("out/card.xlsx"));
        f.SpeedButton1->click();
        EXPECT_EQ(services.messageTexts(), QStringList({"出力が完了しました"}));
        EXPECT_EQ(services.messages.back().caption, "報告");
        expectRestored(f);
        EXPECT_EQ(outFiles(), QStringList({"card_山田.xlsx", "card_田中.xlsx"}));
        services.clearRecords();

        services.answerNextQuestion(platform::Answer::Ok);
        f.SpeedButton2->click();
        EXPECT_EQ(services.messageTexts(),
                  QStringList({"選択 2 件を印刷しますか？", "出力が完了しました"}));
        EXPECT_EQ(services.messages[0].caption, "印刷の確認");
        EXPECT_EQ(f.CSpinEdit1->value(), 12);
        expectRestored(f);
    });
    EXPECT_TRUE(sheettest::pdfText(dir.file("pdf/job2.pdf")).contains("11"));
    EXPECT_EQ(storedSerial(), 12);
    EXPECT_EQ(sqliteRows(database, "SELECT 種別, ifnull(番号,''), 対象 FROM _印刷記録_ ORDER BY 日時"),
              QStringList({"保存||山田", "保存||田中", "印刷|10|山田", "印刷|11|田中"}));
}

TEST_F(OutputDialog, AFailedSaveNamesTheRecordAndReportsNoCompletion) {
    inDialog([&](TForm5& f) {
        EXPECT_FALSE(f.RadioButton1->isEnabled());
        EXPECT_TRUE(f.RadioButton2->isChecked());
        f.ComboBox1->setCurrentText("氏名");
        QDir(dir.file("out")).mkdir("card_佐藤.xlsx");  // the second name is taken
        services.answerNextSave(dir.file("out/card.xlsx"));
        f.SpeedButton1->click();
        ASSERT_EQ(services.messages.size(), 1u);
        EXPECT_TRUE(services.messages[0].text.startsWith("2 件目（佐藤）の出力に失敗したため中止しました"))
            << services.messages[0].text.toStdString();
        EXPECT_EQ(services.messages[0].caption, "文書出力の中止");
        expectRestored(f);
        EXPECT_EQ(outFiles(), QStringList({"card_山田.xlsx"}));
        services.clearRecords();

        // No file-name field chosen.
        f.ComboBox1->setCurrentIndex(-1);
        f.SpeedButton1->click();
        EXPECT_EQ(services.messageTexts(), QStringList({"ファイル名の付加フィールドが未指定です"}));
    });
    EXPECT_EQ(storedSerial(), 10);
    EXPECT_EQ(sqliteRows(database, "SELECT count(*) FROM _印刷記録_"), QStringList({"1"}));
}

TEST_F(OutputDialog, RightButtonShowsTheHistoryAndKeepsTheSelection) {
    // Before any output the table is missing: the history is empty, no error.
    form->DBGrid1->setCurrentIndex(form->DBGrid1->model()->index(0, 1));
    selectRows({0, 1});
    services.answerNextDialog([&](QDialog& d) {
        auto& f = static_cast<TForm18&>(d);
        EXPECT_EQ(f.windowTitle(), "出力記録の確認");
        EXPECT_EQ(f.ListBox1->count(), 1);  // only the document that keeps a log
        EXPECT_EQ(f.ListBox1->item(0)->text(), "会員カード");
        EXPECT_EQ(f.ListBox2->count(), 0);
        EXPECT_EQ(f.Label3->text(), "出力記録： 0 件");
        f.SpeedButton1->click();
    });
    const QRect row2 = form->DBGrid1->visualRect(form->DBGrid1->model()->index(2, 1));
    QTest::mouseClick(form->DBGrid1->viewport(), Qt::RightButton, {}, row2.center());
    EXPECT_EQ(form->SelectedRows(), QList<int>({0, 1}));
    EXPECT_EQ(form->DBGrid1->currentIndex().row(), 2);
    EXPECT_TRUE(services.errors.isEmpty()) << services.errors.join("\n").toStdString();

    // After a save of every record, 田中's history lists its row.
    inDialog([&](TForm5& f) {
        f.RadioButton2->setChecked(true);
        f.ComboBox1->setCurrentText("氏名");
        services.answerNextSave(dir.file("out/card.xlsx"));
        f.SpeedButton1->click();
    });
    services.clearRecords();
    form->DBGrid1->setCurrentIndex(form->DBGrid1->model()->index(2, 1));
    services.answerNextDialog([&](QDialog& d) {
        auto& f = static_cast<TForm18&>(d);
        ASSERT_EQ(f.ListBox2->count(), 1);
        EXPECT_TRUE(f.ListBox2->item(0)->text().endsWith(" : 保存<>"));
        EXPECT_EQ(f.Label3->text(), "出力記録： 1 件");
        f.SpeedButton1->click();
    });
    form->DBGrid1MouseUp();
}

}  // namespace
