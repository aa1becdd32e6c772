#include <gtest/gtest.h>

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QToolButton>

#include "aggregate/MainWindowState.h"
#include "aggregate/TForm13.h"
#include "db/Db.h"
#include "platform/ScriptedServices.h"
#include "support/TempDir.h"
#include "view/TForm1.h"
#include "view/TForm15.h"

namespace {

class FakeMain : public aggregate::MainWindowState {
public:
    db::Connection connection;
    QString table = "会員";
    QString sql;
    db::Connection& userConnection() override { return connection; }
    QString shownSql() const override { return sql; }
    void ListBindableFields(documents::FieldList& list) override {
        documents::ListBindableFields(connection, table, list);
    }
};

QStringList items(const QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
    return out;
}

class AggregateWindow : public ::testing::Test {
protected:
    void SetUp() override {
        path = dir.file("会員.mdb");
        db::createDatabase(path);
        main.connection.setConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path);
        main.connection.open();
        for (const char* s :
             {"CREATE TABLE [会員] ([ID] COUNTER PRIMARY KEY, [氏名] NCHAR(20), [写真] LONGBINARY, "
              "[年齢] INTEGER)",
              "INSERT INTO [会員] ([氏名], [年齢]) VALUES (\"青木\", 30)",
              "INSERT INTO [会員] ([氏名], [年齢]) VALUES (\"Abe\", 41)",
              "INSERT INTO [会員] ([氏名]) VALUES (\"abe\")"})
            main.connection.execute(QString::fromUtf8(s));
        main.sql = "SELECT * FROM [会員]";
    }
    testsupport::TempDir dir;
    QString path;
    FakeMain main;
    platform::ScriptedServices services;
};

}  // namespace

TEST_F(AggregateWindow, ShowsTheFirstFieldAndRecomputesOnEveryChoice) {
    TForm13 form(services, main);
    form.show();
    EXPECT_EQ(form.windowTitle(), "データ集計");
    // The binary field cannot be counted and is left out.
    ASSERT_EQ(form.ComboBox1->count(), 3);
    EXPECT_EQ(form.ComboBox1->itemText(2), "年齢");
    EXPECT_EQ(form.Label2->text(), "選択レコード数＝ 3");
    EXPECT_EQ(form.Label4->text(), "合計＝ 6");

    main.sql = "SELECT * FROM [会員] WHERE [ID] > 1";  // a filter in the grid
    form.ComboBox1->setCurrentIndex(1);
    form.ComboBox1Change();
    EXPECT_EQ(form.Label2->text(), "選択レコード数＝ 2");
    EXPECT_EQ(form.Label3->text(), "有効レコード数＝ 2");
    EXPECT_EQ(form.Label4->text(), "");
    EXPECT_EQ(items(form.ListBox1), QStringList({"2 : Abe"}));
    EXPECT_TRUE(form.isEnabled());
    EXPECT_EQ(services.busyDepth, 0);
    EXPECT_GT(services.busyCalls, 0);
}

TEST_F(AggregateWindow, AFailedComputationGivesTheWindowBack) {
    TForm13 form(services, main);
    form.show();
    main.connection.execute("DROP TABLE [会員]");
    form.ComboBox1Change();
    EXPECT_EQ(services.errors.size(), 1);
    EXPECT_TRUE(form.isEnabled());
    EXPECT_EQ(services.busyDepth, 0);
    EXPECT_EQ(form.ListBox1->count(), 0);
    EXPECT_EQ(form.Label2->text(), "");
}

TEST_F(AggregateWindow, ATableWithoutCountableFieldsHidesTheFigures) {
    main.connection.execute("CREATE TABLE [画像] ([写真] LONGBINARY)");
    main.table = "画像";
    TForm13 form(services, main);
    form.show();
    EXPECT_EQ(form.ComboBox1->count(), 0);
    EXPECT_TRUE(form.GroupBox1->isHidden());
    EXPECT_TRUE(form.ListBox1->isHidden());
    EXPECT_TRUE(form.Label6->isHidden());
}

TEST_F(AggregateWindow, MainWindowButtonRefusesWithoutATableAndShowsTheGridsRecords) {
    main.connection.close();
    TForm1 form1(services, dir.path());
    form1.Form15 = new TForm15(&form1);
    form1.show();
    services.clearRecords();
    form1.SpeedButton17->click();
    ASSERT_EQ(services.messages.size(), 1u);
    EXPECT_EQ(services.messages[0].text, "データベースが開いていません");
    EXPECT_EQ(services.messages[0].caption, "文書出力の中止");

    services.answerNextOpen({path});
    form1.SpeedButton1->click();
    QString selected;
    services.answerNextDialog([&](QDialog& d) {
        selected = d.findChild<QLabel*>("Label2")->text();
        d.findChild<QToolButton*>("SpeedButton1")->click();
    });
    form1.SpeedButton17->click();
    EXPECT_EQ(services.dialogsShown.last(), "TForm13");
    EXPECT_EQ(selected, "選択レコード数＝ 3");
}
