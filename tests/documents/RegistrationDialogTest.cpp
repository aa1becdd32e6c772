// The registration window driven as the user drives it: the template shown
// in the sheet window, cells and pictures selected there, bindings made in
// the dialog floating above it; the store read back with sqlite3 and the
// template's markers with openpyxl.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QListWidget>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QToolButton>

#include "ListFixtures.h"
#include "SheetFixtures.h"
#include "ProgramFiles.h"
#include "db/Db.h"
#include "documents/Registry.h"
#include "support/TempDir.h"
#include "view/ProgramFiles.h"
#include "documents/TForm17.h"
#include "documents/TForm19.h"
#include "documents/TForm21.h"
#include "documents/TForm3.h"
#include "documents/TForm8.h"
#include "excel/Fixtures.h"
#include "excel/window/SheetView.h"
#include "excel/window/SheetWindow.h"
#include "excel/window/WindowPresenter.h"
#include "platform/ScriptedServices.h"
#include "view/TForm1.h"
#include "view/TForm15.h"

using namespace documents;

namespace {

excel::window::SheetWindow* shownSheet() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* s = qobject_cast<excel::window::SheetWindow*>(w); s && s->isVisible()) return s;
    return nullptr;
}

void selectCell(int row, int col) {
    excel::window::SheetWindow* sheet = shownSheet();
    ASSERT_NE(sheet, nullptr);
    sheet->view().selectRange({row, col}, {row, col});
}

void selectPicture(const QString& name) {
    excel::window::SheetWindow* sheet = shownSheet();
    ASSERT_NE(sheet, nullptr);
    sheet->view().selectShapes({name});
}

void chooseField(TForm3& f, const QString& name) {
    const QList<QListWidgetItem*> items = f.ListBox1->findItems(name, Qt::MatchExactly);
    ASSERT_EQ(items.size(), 1) << name.toStdString();
    f.ListBox1->setCurrentItem(items.first());
}

QStringList gridRows(const TForm3& f) {
    QStringList rows;
    for (int r = 0; r < f.SG1->rowCount(); ++r)
        rows << f.SG1->item(r, 0)->text() + '/' + f.SG1->item(r, 1)->text();
    return rows;
}

class RegistrationWindow : public ::testing::Test {
protected:
    void SetUp() override {
        programfiles::writeAll(dir.path());
        storePath = dir.file(QStringLiteral("SystemData.mdb"));
        store.setConnectionString(view::systemStoreConnectionString(dir.path() + '/'));
        database = dir.file(QStringLiteral("名簿.mdb"));
        listtest::writeListDatabase(database, listtest::sampleRows());
        excel::window::registerSheetWindows(services, sheettest::pdfPrinters(dir.path()));
        form = std::make_unique<TForm1>(services, dir.path());
        form->Form8 = new TForm8(services, form.get());
        form->Form15 = new TForm15(form.get());
        form->show();
        form->OpenDatabase(database, listtest::kTable);
        ASSERT_EQ(form->DatabasePath, database) << services.messageTexts().join(",").toStdString() << services.errors.join(",").toStdString();
        services.clearRecords();
        templatePath = sheettest::copySheet(QStringLiteral("shown.xlsx"), dir.path());
    }
    void TearDown() override {
        form.reset();
        excel::setPresenterFactory({});
    }

    // Shows the registration window from the main window and plays the user.
    void inDialog(std::function<void(TForm3&)> user) {
        services.answerNextDialog([this, user](QDialog& d) {
            auto& f = static_cast<TForm3&>(d);
            EXPECT_FALSE(form->isVisible());  // the main window steps aside
            user(f);
            if (f.isVisible()) f.SpeedButton7->click();  // 閉じる
        });
        form->SpeedButton4->click();
        EXPECT_TRUE(form->isVisible());
    }
    // "変更" on the document at row of the choice list.
    void change(TForm3& f, int row) {
        services.answerNextDialog([row](QDialog& d) {
            auto& c = static_cast<TForm8&>(d);
            c.ListBox1->setCurrentRow(row);
            c.Button1->click();
        });
        f.SpeedButton2->click();
    }
    int registerDocument(const QString& name, const QString& logField,
                         const BlockSettings& block, const LinkList& bindings) {
        Registry r(store, {database, listtest::kTable});
        const int id = r.InsertDocument(name, database, listtest::kTable, templatePath,
                                        QStringLiteral("帳票"), logField);
        r.WriteBlockSettings(id, block);
        r.InsertBindings(id, bindings);
        return id;
    }
    QJsonObject templateCells(const QStringList& cells) {
        QString list;
        for (const QString& c : cells) list += "'" + c + "',";
        return exceltest::readBack(
            templatePath, QStringLiteral("ws = wb['帳票']\n"
                                         "print(json.dumps({c: ws[c].value for c in [%1]}))\n")
                              .arg(list));
    }
    QString lastMessage() const {
        return services.messages.empty() ? QString() : services.messages.back().text;
    }
    QString lastCaption() const {
        return services.messages.empty() ? QString() : services.messages.back().caption;
    }

    // Rows as the sqlite3 shell prints them, columns joined by "|".
    QStringList sqlite(const QString& sql) {
        QProcess p;
        p.start(QStringLiteral("sqlite3"), {QStringLiteral("-batch"), storePath, sql});
        EXPECT_TRUE(p.waitForFinished(10000));
        QStringList rows = QString::fromUtf8(p.readAllStandardOutput()).split('\n');
        if (!rows.isEmpty() && rows.last().isEmpty()) rows.removeLast();
        return rows;
    }
    QString sqliteValue(const QString& sql) { return sqlite(sql).value(0); }

    testsupport::TempDir dir;
    QString storePath;
    db::Connection store;
    platform::ScriptedServices services;
    std::unique_ptr<TForm1> form;
    QString database;
    QString templatePath;
};

}  // namespace

TEST_F(RegistrationWindow, AddingBindsCellsAndPicturesAndMarksTheTemplate) {
    inDialog([&](TForm3& f) {
        EXPECT_EQ(f.windowTitle(), QStringLiteral("文書登録"));
        EXPECT_TRUE(f.GroupBox1->isHidden());
        EXPECT_TRUE(f.Label2->isHidden());
        EXPECT_EQ(f.ListBox1->count(), 8);
        EXPECT_EQ(f.ComboBox1->itemText(0), QStringLiteral("＜なし＞"));
        EXPECT_EQ(f.ComboBox2->count(), 52);
        EXPECT_EQ(f.ComboBox2->itemText(51), QStringLiteral("AZ"));

        services.answerNextOpen({templatePath});
        f.SpeedButton1->click();
        ASSERT_NE(shownSheet(), nullptr);
        EXPECT_EQ(f.Label2->text(), QStringLiteral("追加中"));
        EXPECT_EQ(f.Edit1->text(), QStringLiteral("shown"));
        for (QToolButton* b : {f.SpeedButton1, f.SpeedButton2, f.SpeedButton3, f.SpeedButton7,
                               f.SpeedButton10, f.SpeedButton14, f.SpeedButton15})
            EXPECT_FALSE(b->isEnabled());

        // No field chosen yet.
        f.ListBox1->setCurrentItem(nullptr);
        f.SpeedButton4->click();
        EXPECT_EQ(lastMessage(), QStringLiteral("フィールドが未選択です"));
        EXPECT_EQ(lastCaption(), QStringLiteral("項目追加の中止"));

        selectCell(3, 2);
        chooseField(f, QStringLiteral("氏名"));
        f.SpeedButton4->click();
        selectCell(20, 8);
        f.SpeedButton9->click();  // 作成日付
        selectCell(6, 4);
        f.SpeedButton11->click();  // 通し番号
        // A picture with one block: its number, no figure dialog, no marker.
        selectPicture(QStringLiteral("Picture 3"));
        chooseField(f, QStringLiteral("住所"));
        f.SpeedButton4->click();
        // A picture is no place for a date.
        f.SpeedButton9->click();
        EXPECT_EQ(lastMessage(), QStringLiteral("Excelの選択が不良です"));
        EXPECT_EQ(lastCaption(), QStringLiteral("日付追加の中止"));
        EXPECT_EQ(gridRows(f), QStringList({"B3/氏名", "H20/!日付", "D6/!通し番号", "#3/住所"}));

        f.ComboBox1->setCurrentText(QStringLiteral("郵便番号"));
        f.CheckBox2->click();
        f.CheckBox3->click();
        f.ComboBox4->setCurrentText(QStringLiteral("入会日"));
        f.ComboBox7->setCurrentIndex(1);
        f.SpeedButton6->click();  // 登録
        EXPECT_TRUE(f.GroupBox1->isHidden());
        EXPECT_TRUE(f.SpeedButton1->isEnabled());
        EXPECT_EQ(shownSheet(), nullptr);
        EXPECT_EQ(f.CurrentDocumentID, 1);
    });
    EXPECT_EQ(services.floatingShown, QStringList{QStringLiteral("TForm3")});
    EXPECT_EQ(sqlite("SELECT 登録名, データベース, テーブル, エクセル, シート, 印刷記録, 通し番号, "
                     "優先, XSection, Sort1, Sort2 FROM 登録データ"),
              QStringList{QStringLiteral("shown|%1|名簿|%2|帳票|郵便番号|1|0|1|-入会日|")
                              .arg(database, templatePath)});
    EXPECT_EQ(sqlite("SELECT セル, フィールド FROM 出力データ ORDER BY IID"),
              QStringList({"B3|氏名", "H20|!日付", "D6|!通し番号", "#3|住所"}));
    const QJsonObject cells = templateCells({"B3", "H20", "D6"});
    EXPECT_EQ(cells["B3"].toString(), QStringLiteral("(氏名)"));
    EXPECT_EQ(cells["H20"].toString(), QStringLiteral("(!日付)"));
    EXPECT_EQ(cells["D6"].toString(), QStringLiteral("(!通し番号)"));
}

TEST_F(RegistrationWindow, SaveRefusalsAndCancelKeepTheMarkersButRegisterNothing) {
    inDialog([&](TForm3& f) {
        services.answerNextOpen({dir.file(QStringLiteral("無い.xlsx"))});
        f.SpeedButton1->click();
        EXPECT_EQ(lastMessage(), QStringLiteral("未作成ファイルは指定できません"));
        EXPECT_EQ(lastCaption(), QStringLiteral("追加の中止"));
        EXPECT_TRUE(f.GroupBox1->isHidden());

        services.answerNextOpen({templatePath});
        f.SpeedButton1->click();
        f.SpeedButton6->click();
        EXPECT_EQ(lastMessage(), QStringLiteral("出力が未指定です"));
        EXPECT_EQ(lastCaption(), QStringLiteral("登録の中止"));

        selectCell(21, 8);
        chooseField(f, QStringLiteral("氏名"));
        f.SpeedButton4->click();
        selectCell(22, 8);
        chooseField(f, QStringLiteral("住所"));
        f.SpeedButton4->click();
        // Removing a binding erases its marker.
        f.SG1->selectRow(1);
        f.SpeedButton5->click();
        EXPECT_EQ(gridRows(f), QStringList{"H21/氏名"});

        f.Edit1->clear();
        f.SpeedButton6->click();
        EXPECT_EQ(lastMessage(), QStringLiteral("登録名が未入力です"));
        f.Edit1->setText(QStringLiteral("宛名"));

        // Block output 2 x 3 and a figure binding with five pictures.
        f.SG1->setRowCount(2);
        f.SG1->setItem(1, 0, new QTableWidgetItem(QStringLiteral("#3,5,3,5,3")));
        f.SG1->setItem(1, 1, new QTableWidgetItem(QStringLiteral("住所")));
        f.SG1->selectRow(0);
        f.CheckBox1->click();
        f.UpDown1->setValue(2);
        f.UpDown3->setValue(3);
        f.SpeedButton6->click();
        EXPECT_EQ(lastMessage(), QStringLiteral("図割付が不一致です"));
        EXPECT_EQ(f.SG1->currentRow(), 1);
        f.SG1->item(1, 0)->setText(QStringLiteral("#3,5,3,5,3,5"));

        f.CheckBox2->click();
        f.CheckBox3->click();
        f.CheckBox4->click();
        f.ComboBox4->setCurrentText(QStringLiteral("会費"));
        f.ComboBox5->setCurrentText(QStringLiteral("会費"));
        f.SpeedButton6->click();
        EXPECT_EQ(lastMessage(), QStringLiteral("ソートフィールドが重複してます"));

        // Unchecking the first key unchecks the later ones; "ｷｬﾝｾﾙ" leaves.
        f.CheckBox3->click();
        EXPECT_FALSE(f.CheckBox4->isChecked());
        f.CheckBox1->click();
        EXPECT_EQ(f.UpDown1->value(), 1);
        f.SpeedButton8->click();
        EXPECT_TRUE(f.GroupBox1->isHidden());
    });
    EXPECT_EQ(sqliteValue("SELECT COUNT(*) FROM 登録データ"), "0");
    const QJsonObject cells = templateCells({"H21", "H22"});
    EXPECT_EQ(cells["H21"].toString(), QStringLiteral("(氏名)"));
    EXPECT_TRUE(cells["H22"].isNull());
}

TEST_F(RegistrationWindow, ChangingWarnsOfLostFieldsAndNoneSwitchesTheLogOff) {
    BlockSettings block;
    block.XSection = 2;
    block.XIncrement = 5;
    block.XStart = 1;
    block.Sort1 = QStringLiteral("-会費");
    block.Sort2 = QStringLiteral("+旧フィールド");
    block.Sort3 = QStringLiteral("+氏名");
    const int id = registerDocument(QStringLiteral("会員証"), QStringLiteral("氏名"), block,
                                    {{"B3", "氏名", {}}, {"#3,5", "住所", {}}});
    inDialog([&](TForm3& f) {
        change(f, 0);
        EXPECT_EQ(services.messageTexts(), QStringList{"第２ソートのフィールドがありません"});
        EXPECT_EQ(f.Label2->text(), QStringLiteral("変更中"));
        EXPECT_EQ(f.Edit1->text(), QStringLiteral("会員証"));
        EXPECT_EQ(f.ComboBox1->currentText(), QStringLiteral("氏名"));
        EXPECT_EQ(gridRows(f), QStringList({"B3/氏名", "#3,5/住所"}));
        EXPECT_TRUE(f.CheckBox1->isChecked());
        EXPECT_EQ(f.UpDown1->value(), 2);
        EXPECT_EQ(f.UpDown2->value(), 5);
        EXPECT_EQ(f.ComboBox2->currentText(), QStringLiteral("B"));
        EXPECT_TRUE(f.CheckBox3->isChecked());
        EXPECT_EQ(f.ComboBox7->currentIndex(), 1);
        EXPECT_FALSE(f.CheckBox4->isChecked());
        EXPECT_FALSE(f.CheckBox5->isChecked());
        ASSERT_NE(shownSheet(), nullptr);

        f.ComboBox1->setCurrentIndex(0);  // ＜なし＞
        f.SpeedButton6->click();
        EXPECT_TRUE(f.GroupBox1->isHidden());
    });
    EXPECT_EQ(sqlite(QStringLiteral("SELECT 印刷記録, Sort1, Sort2, Sort3, XSection, XIncrement "
                                    "FROM 登録データ WHERE ID = %1")
                         .arg(id)),
              QStringList{"|-会費|||2|5"});
    EXPECT_EQ(sqlite("SELECT セル, フィールド FROM 出力データ ORDER BY IID"),
              QStringList({"B3|氏名", "#3,5|住所"}));
}

TEST_F(RegistrationWindow, FigureAndHyperlinkDialogs) {
    registerDocument(QStringLiteral("名札"), {}, {},
                     {{"B3", "氏名", {}}, {"C3", "入会日", {}}, {"D3", "!日付", {}}});
    inDialog([&](TForm3& f) {
        change(f, 0);
        // A text field: the dialog opens without a setting, and the link
        // shows another field's value.
        f.SG1->selectRow(0);
        services.answerNextDialog([&](QDialog& d) {
            auto& h = static_cast<TForm17&>(d);
            EXPECT_EQ(h.Label1->text(), QStringLiteral("現設定：なし"));
            EXPECT_TRUE(h.RadioButton1->isChecked());
            h.RadioButton3->setChecked(true);
            h.ComboBox1->setCurrentText(QStringLiteral("住所"));
            h.Button1->click();
        });
        f.SpeedButton12->click();
        services.answerNextDialog([&](QDialog& d) {
            auto& h = static_cast<TForm17&>(d);
            EXPECT_EQ(h.Label1->text(), QStringLiteral("現設定：<住所>フィールド"));
            EXPECT_EQ(h.ComboBox1->currentText(), QStringLiteral("住所"));
            h.RadioButton2->setChecked(true);
            h.Button1->click();
        });
        f.SpeedButton12->click();
        EXPECT_EQ(f.SG1->item(0, 1)->text(), QStringLiteral("%氏名"));
        // A date field is refused; a special binding opens nothing.
        f.SG1->selectRow(1);
        f.SpeedButton12->click();
        EXPECT_EQ(lastMessage(), QStringLiteral("文字型以外は設定できません"));
        EXPECT_EQ(lastCaption(), QStringLiteral("ハイパーリンクの中止"));
        f.SG1->selectRow(2);
        f.SpeedButton12->click();
        EXPECT_EQ(services.messages.size(), 1u);
        f.SpeedButton13->click();
        EXPECT_EQ(lastMessage(), QStringLiteral("選択欄は図ではありません"));

        // Two blocks across: a picture binding asks which picture each
        // block replaces, the user picking pictures in the sheet meanwhile.
        f.CheckBox1->click();
        f.UpDown1->setValue(2);
        selectPicture(QStringLiteral("Picture 3"));
        chooseField(f, QStringLiteral("住所"));
        services.answerNextDialog([&](QDialog& d) {
            auto& g = static_cast<TForm19&>(d);
            EXPECT_EQ(g.Label1->text(), QStringLiteral("＜横2 × 縦1＞"));
            EXPECT_EQ(g.SG1->item(0, 0)->text(), QStringLiteral("3"));
            EXPECT_EQ(g.SG1->item(0, 1)->text(), QString());
            g.Button1->click();
            EXPECT_EQ(lastMessage(), QStringLiteral("未指定があります"));
            EXPECT_EQ(lastCaption(), QStringLiteral("設定の中止"));
            selectCell(1, 1);
            g.SG1Click(0, 1);
            EXPECT_EQ(lastMessage(), QStringLiteral("Excelの選択が不良です"));
            selectPicture(QStringLiteral("Picture 5"));
            g.SG1Click(0, 1);
            g.Button1->click();
        });
        f.SpeedButton4->click();
        EXPECT_EQ(services.floatingShown.last(), QStringLiteral("TForm19"));
        EXPECT_EQ(gridRows(f).last(), QStringLiteral("#3,5/住所"));
        f.SpeedButton8->click();
    });
}

TEST_F(RegistrationWindow, DocumentFilesRoundTripAndDeletion) {
    BlockSettings block;
    block.YSection = 3;
    block.YIncrement = 12;
    block.Sort1 = QStringLiteral("+氏名");
    registerDocument(QStringLiteral("請求書"), QStringLiteral("氏名"), block,
                     {{"B3", "氏名", {}}, {"C4", "%住所%氏名", {}}});
    registerDocument(QStringLiteral("空"), {}, {}, {});
    const QString file = dir.file(QStringLiteral("書類"));
    inDialog([&](TForm3& f) {
        services.answerNextSave(file);
        services.answerNextDialog([&](QDialog& d) {
            auto& c = static_cast<TForm21&>(d);
            EXPECT_EQ(c.windowTitle(), QStringLiteral("出力文書の選択"));
            c.Button3->click();  // nothing checked: stays open
            EXPECT_TRUE(c.isVisible());
            c.Button1->click();
            c.Button3->click();
        });
        f.SpeedButton15->click();
        EXPECT_TRUE(f.isEnabled());
        EXPECT_EQ(services.busyDepth, 0);
        EXPECT_EQ(services.fileRequests.back().filter, QStringLiteral("Tesmora文書(*.tmdt)|*.tmdt"));

        services.answerNextOpen({file + ".tmdt"});
        f.SpeedButton14->click();
        EXPECT_TRUE(services.messages.empty());

        // Something else than a document file: reported, nothing imported,
        // the dialog working again.
        QFile other(dir.file(QStringLiteral("別.tmdt")));
        ASSERT_TRUE(other.open(QIODevice::WriteOnly));
        other.write("hello\r\n");
        other.close();
        services.answerNextOpen({other.fileName()});
        f.SpeedButton14->click();
        EXPECT_EQ(lastMessage(), QStringLiteral("文書情報ではありません"));
        EXPECT_EQ(lastCaption(), QStringLiteral("ファイル読込みの中止"));
        EXPECT_TRUE(f.isEnabled());
        EXPECT_EQ(services.busyDepth, 0);

        // Deleting asks first; the template stays.
        services.answerNextDialog([](QDialog& d) {
            static_cast<TForm8&>(d).ListBox1->setCurrentRow(0);
            static_cast<TForm8&>(d).Button1->click();
        });
        services.answerNextQuestion(platform::Answer::Ok);
        f.SpeedButton3->click();
        EXPECT_EQ(lastMessage(), QStringLiteral("選択文書を削除しますか？"));
        EXPECT_EQ(lastCaption(), QStringLiteral("削除の確認"));
    });
    EXPECT_EQ(sqlite("SELECT 登録名, 通し番号, 優先, YSection, YIncrement, Sort1 FROM 登録データ "
                     "ORDER BY ID"),
              QStringList({"空|1|0|1|1|", "請求書|1|0|3|12|+氏名", "空|1|0|1|1|"}));
    EXPECT_EQ(sqlite("SELECT セル, フィールド FROM 出力データ WHERE リンク = 3 ORDER BY IID"),
              QStringList({"B3|氏名", "C4|%住所%氏名"}));
    EXPECT_EQ(sqliteValue("SELECT COUNT(*) FROM 出力データ WHERE リンク = 1"), "0");
    EXPECT_TRUE(QFile::exists(templatePath));
}
