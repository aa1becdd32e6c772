// The builder's dialog driven through its controls, with the scripted
// platform answering dialogs; the created files are read back with sqlite3.
#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolButton>

#include "builder/BuilderFixture.h"
#include "builder/window/TForm16.h"
#include "builder/window/TForm2.h"
#include "builder/window/TForm7.h"
#include "db/Db.h"
#include "excel/TUGExcel.h"
#include "excel/window/SheetView.h"
#include "excel/window/SheetWindow.h"
#include "excel/window/WindowPresenter.h"
#include "platform/ScriptedServices.h"

namespace {

// The main window as the builder sees it: a database with one table shown.
struct FakeMainWindow : builder::MainWindowState {
    QString folder;
    QString path;
    db::Connection connection;
    QString table = QStringLiteral("台帳");
    bool shown = true;
    QWidget* mainWindow() override { return nullptr; }
    QString databasePath() const override { return path; }
    QString databasePassword() const override { return {}; }
    bool tableShown() const override { return shown; }
    QString shownTableName() const override { return table; }
    bool oldFormatDatabase() const override { return false; }
    QStringList tableList() const override { return connection.tableNames(); }
    bool isSavedQuery(const QString&) override { return false; }
    QStringList primaryKeyFields() const override { return {QStringLiteral("ID")}; }
    std::vector<builder::FieldInfo> shownFields() override {
        return builder::fieldsOf(connection, table);
    }
    db::Connection& userDatabase() override { return connection; }
    QString programFolder() const override { return folder + QLatin1Char('/'); }
    QString excelProgId() const override { return QStringLiteral("Excel.Application"); }
    QString builderSourceFilter() const override { return QStringLiteral("CSVファイル(*.csv)|*.csv"); }
    QString accessFilter() const override { return QStringLiteral("Accessファイル(*.mdb)|*.mdb"); }
};

struct Fixture {
    buildertest::Folder folder;
    platform::ScriptedServices services;
    FakeMainWindow main;
    std::unique_ptr<TForm2> form;
    Fixture() {
        excel::window::registerSheetWindows(services);
        main.folder = folder.dir.path();
        main.path = folder.file(QStringLiteral("main.mdb"));
        db::createDatabase(main.path);
        main.connection.setConnectionString(builder::connectionStringFor(main.path));
        main.connection.open();
        main.connection.execute(
            QStringLiteral("CREATE TABLE 台帳 (ID COUNTER PRIMARY KEY, 氏名 NCHAR(20), 数 INTEGER)"));
        form = std::make_unique<TForm2>(services, main);
        form->show();
    }
    ~Fixture() {
        form.reset();
        excel::window::registerSheetWindows(services, {});
        excel::setPresenterFactory({});
    }
    template <class W>
    W* find(const char* name) {
        W* w = form->findChild<W*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    void click(const char* name) { find<QToolButton>(name)->click(); }
    // Opens a list source, selecting cell in the sheet while TForm7 floats.
    void openList(const QString& file, excel::CellRef cell) {
        services.answerNextOpen({file});
        services.answerNextDialog([this, cell](QDialog& d) {
            EXPECT_EQ(d.objectName(), QStringLiteral("Form7"));
            excel::window::sheetWindowOf(*form->SourceExcel)->view().selectRange(cell, cell);
            d.accept();
        });
        click("SpeedButton1");
    }
};

void screenshot(QWidget* w, const QString& name) {
    const QByteArray dir = qgetenv("TESMORA_SCREENSHOT_DIR");
    if (!dir.isEmpty()) w->grab().save(QString::fromLocal8Bit(dir) + QLatin1Char('/') + name);
}

}  // namespace

TEST(BuilderWindow, ListSourceEditedAndCreated) {
    Fixture f;
    const QString csv = f.folder.file(QStringLiteral("名簿.csv"));
    buildertest::writeBytes(csv, QStringLiteral("メモ,氏名,年齢,Limit\r\nx,山田,30,a\r\ny,鈴木,abc,b\r\n").toUtf8());
    screenshot(f.form.get(), QStringLiteral("form2-idle.png"));
    f.openList(csv, {1, 2});
    EXPECT_EQ(f.find<QLineEdit>("Edit1")->text(), QStringLiteral("名簿.csv"));
    EXPECT_EQ(f.find<QLabel>("Label1")->text(), QStringLiteral("（フィールド数：3）"));
    EXPECT_EQ(f.find<QLabel>("Label4")->text(), QStringLiteral("総文字数：150"));
    EXPECT_FALSE(f.find<QToolButton>("SpeedButton2")->isEnabled());  // a list only changes fields
    QTableWidget* grid = f.find<QTableWidget>("SG1");
    EXPECT_EQ(grid->item(0, 0)->text(), QStringLiteral("B1"));
    EXPECT_EQ(grid->item(2, 2)->text(), QStringLiteral("文字50"));

    // 年齢 becomes an integer; a reserved name is refused with its message.
    grid->selectRow(1);
    f.form->RadioGroup1Items->button(builder::btInteger)->click();
    f.click("SpeedButton5");
    EXPECT_EQ(grid->item(1, 2)->text(), QStringLiteral("整数"));
    EXPECT_EQ(f.find<QLabel>("Label4")->text(), QStringLiteral("総文字数：100"));
    f.find<QLineEdit>("Edit3")->setText(QStringLiteral("Select"));
    f.click("SpeedButton5");
    EXPECT_EQ(f.services.messageTexts().last(), QStringLiteral("Selectはフィールド名に使えません"));
    EXPECT_EQ(grid->item(1, 1)->text(), QStringLiteral("年齢"));
    // The ±10 stepper stops short of the limits.
    f.form->UpDown1->setValue(245);
    f.form->UpDown2ChangingEx(true);
    EXPECT_EQ(f.form->UpDown1->value(), 255);
    f.form->UpDown2ChangingEx(true);
    EXPECT_EQ(f.form->UpDown1->value(), 255);
    f.form->UpDown1->setValue(11);
    f.form->UpDown2ChangingEx(false);
    EXPECT_EQ(f.form->UpDown1->value(), 11);
    screenshot(f.form.get(), QStringLiteral("form2-editing.png"));

    // An existing target is refused before anything is written.
    const QString existing = f.folder.file(QStringLiteral("old.mdb"));
    buildertest::writeBytes(existing, "x");
    f.services.answerNextSave(f.folder.file(QStringLiteral("old")));
    f.click("SpeedButton3");
    EXPECT_EQ(f.services.messageTexts().last(), QStringLiteral("同名ファイルがあります"));

    const QString target = f.folder.file(QStringLiteral("名簿.mdb"));
    f.services.answerNextSave(f.folder.file(QStringLiteral("名簿")));
    f.click("SpeedButton3");
    EXPECT_EQ(f.services.messageTexts().last(), QStringLiteral("データベース作成が完了しました"));
    EXPECT_EQ(f.form->CreatedDatabases, QStringList{target});
    EXPECT_TRUE(f.form->isEnabled());
    EXPECT_EQ(f.services.busyDepth, 0);
    EXPECT_FALSE(f.form->SourceExcel->BookOpen);
    EXPECT_TRUE(f.find<QToolButton>("SpeedButton1")->isVisibleTo(f.form.get()));
    EXPECT_EQ(buildertest::sqlite(target, QStringLiteral("SELECT 氏名, 年齢, \"Limit\" FROM ベーステーブル")),
              (QStringList{QStringLiteral("山田|30|a"), QStringLiteral("鈴木|<NULL>|b")}));
}

TEST(BuilderWindow, RefusedOpensAndDeletingTheOnlyField) {
    Fixture f;
    f.services.answerNextOpen({f.folder.file(QStringLiteral("a.csv")), f.folder.file(QStringLiteral("b.xlsx"))});
    f.click("SpeedButton1");
    EXPECT_EQ(f.services.messageTexts().last(), QStringLiteral("CSVファイルは単独でしか開けません"));

    const QString csv = f.folder.file(QStringLiteral("one.csv"));
    buildertest::writeBytes(csv, "only\r\n1\r\n");
    f.openList(csv, {3, 1});
    EXPECT_EQ(f.services.messageTexts().last(), QStringLiteral("選択セルに項目名がありません"));
    EXPECT_FALSE(f.form->SourceExcel->BookOpen);

    // Per-file: deleting the only field leaves the empty row and the total drops.
    const QString form1 = f.folder.file(QStringLiteral("f1.xlsx"));
    buildertest::python(QStringLiteral("import sys, openpyxl\nwb = openpyxl.Workbook(); wb.active['B2'] = '値'; wb.save(sys.argv[1])"), {form1});
    f.services.answerNextOpen({form1, form1});
    f.click("SpeedButton1");
    EXPECT_EQ(f.find<QLabel>("Label1")->text(), QStringLiteral("（フィールド数：0）"));
    excel::window::sheetWindowOf(*f.form->SourceExcel)->view().selectRange({2, 2}, {2, 2});
    f.find<QLineEdit>("Edit3")->setText(QStringLiteral("値"));
    f.form->RadioGroup1Items->button(builder::btText)->click();
    f.click("SpeedButton2");
    EXPECT_EQ(f.find<QLabel>("Label4")->text(), QStringLiteral("総文字数：50"));
    EXPECT_EQ(f.find<QTableWidget>("SG1")->item(0, 0)->text(), QStringLiteral("B2"));
    f.services.answerNextQuestion(platform::Answer::Ok);
    f.click("SpeedButton6");
    EXPECT_EQ(f.find<QLabel>("Label1")->text(), QStringLiteral("（フィールド数：0）"));
    EXPECT_EQ(f.find<QLabel>("Label4")->text(), QStringLiteral("総文字数：0"));
    EXPECT_EQ(f.find<QTableWidget>("SG1")->rowCount(), 1);
    f.click("SpeedButton3");
    EXPECT_EQ(f.services.messageTexts().last(), QStringLiteral("フィールドが未登録です"));
    f.click("SpeedButton4");
}

TEST(BuilderWindow, TablesFieldsAndImportOnTheOpenDatabase) {
    Fixture f;
    f.form->PageControl1->setCurrentIndex(1);
    QListWidget* tables = f.find<QListWidget>("ListBox1");
    ASSERT_EQ(tables->count(), 1);
    EXPECT_EQ(f.find<QLabel>("Label9")->text(), QStringLiteral("フィールド数＝3"));
    EXPECT_EQ(f.find<QLabel>("Label10")->text(), QStringLiteral("総文字数＝20"));
    f.find<QLineEdit>("Edit2")->setText(QStringLiteral("台帳"));
    f.click("SpeedButton9");
    EXPECT_EQ(f.services.messageTexts().last(), QStringLiteral("テーブル名が重複してます"));
    f.find<QLineEdit>("Edit2")->setText(QStringLiteral("明細"));
    f.click("SpeedButton9");
    EXPECT_TRUE(f.form->StructureChanged);
    EXPECT_EQ(f.find<QListWidget>("ListBox2")->item(0)->text(), QStringLiteral("SYS_Q_ID"));
    tables->setCurrentRow(0);
    f.form->ListBox1Click();
    f.find<QLineEdit>("Edit2")->setText(QStringLiteral("備考"));
    f.form->RadioGroup2Items->button(builder::btText)->click();
    f.click("SpeedButton10");
    EXPECT_EQ(f.find<QLabel>("Label10")->text(), QStringLiteral("総文字数＝70"));
    screenshot(f.form.get(), QStringLiteral("form2-page2.png"));

    // Page 3: the open database itself is refused; another is classified and imported.
    f.form->PageControl1->setCurrentIndex(2);
    f.services.answerNextOpen({f.main.path});
    f.click("SpeedButton11");
    EXPECT_EQ(f.services.messageTexts().last(), QStringLiteral("開いているデータベースは選べません"));
    const QString other = f.folder.file(QStringLiteral("other.mdb"));
    db::createDatabase(other);
    {
        db::Connection c;
        c.setConnectionString(builder::connectionStringFor(other));
        c.open();
        c.execute(QStringLiteral("CREATE TABLE 元 (ID COUNTER PRIMARY KEY, 氏名 NCHAR(20), 数 BYTE, 別 INTEGER)"));
        c.execute(QStringLiteral("INSERT INTO 元 (氏名, 数) VALUES (\"佐藤\", 3)"));
        c.execute(QStringLiteral("INSERT INTO 元 (氏名) VALUES (Null)"));
    }
    f.services.answerNextOpen({other});
    f.click("SpeedButton11");
    EXPECT_EQ(f.find<QListWidget>("ListBox3")->count(), 2);
    QStringList refused;
    for (int i = 0; i < f.find<QListWidget>("ListBox4")->count(); ++i)
        refused << f.find<QListWidget>("ListBox4")->item(i)->text();
    EXPECT_EQ(refused, (QStringList{QStringLiteral("S:ID"), QStringLiteral("N:別")}));
    screenshot(f.form.get(), QStringLiteral("form2-page3.png"));
    f.click("SpeedButton12");
    EXPECT_EQ(f.services.messageTexts().last(), QStringLiteral("データ追加が完了しました"));
    EXPECT_EQ(buildertest::sqlite(f.main.path, QStringLiteral("SELECT 氏名, 数 FROM 台帳 ORDER BY ID")),
              (QStringList{QStringLiteral("佐藤|3"), QStringLiteral("<NULL>|<NULL>")}));
}

TEST(BuilderWindow, ChoiceOfTheCreatedDatabase) {
    platform::ScriptedServices services;
    TForm16 form(services);
    form.Button1Click();
    EXPECT_EQ(services.messageTexts(), QStringList{QStringLiteral("データベースが未選択です")});
    form.ListBox1->addItems({QStringLiteral("a.mdb"), QStringLiteral("b.mdb")});
    form.ListBox1->setCurrentRow(1);
    form.show();
    screenshot(&form, QStringLiteral("form16.png"));
    TForm7 seven;
    seven.show();
    screenshot(&seven, QStringLiteral("form7.png"));
    form.Button1Click();
    EXPECT_EQ(form.result(), QDialog::Accepted);
}
