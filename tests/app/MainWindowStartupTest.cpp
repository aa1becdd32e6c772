#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QGroupBox>
#include <QTableView>
#include <QToolButton>

#include "platform/ScriptedServices.h"
#include "support/TempDir.h"
#include "view/TForm1.h"
#include "view/TForm15.h"

using platform::Answer;
using platform::ScriptedServices;

namespace {

class MainWindow : public ::testing::Test {
protected:
    // The window as start-up makes it, on a machine scripted by the test.
    std::unique_ptr<TForm1> create() {
        auto form = std::make_unique<TForm1>(services, dir.path());
        form->Form15 = new TForm15(form.get());
        return form;
    }
    QToolButton* button(TForm1& f, int n) { return f.speedButton(n); }

    testsupport::TempDir dir;
    ScriptedServices services;
};

}  // namespace

TEST_F(MainWindow, StartsClosedWithTheToolbarOfCaptionsAndHints) {
    auto f = create();
    EXPECT_EQ(f->windowTitle(), "Tesmora(1.0.1)");
    EXPECT_EQ(f->ProgramFolder, dir.path() + '/');
    EXPECT_EQ(f->DatabasePath, "");
    struct Expected {
        int number;
        const char* caption;
        const char* hint;
    } buttons[] = {
        {12, "お気に入り", "登録データベースを開く"},
        {1, "開く", "データベースを開く"},
        {2, "DB作成", "新しいデータベースを作成"},
        {4, "文書登録", "個票の作成・変更・削除"},
        {3, "一覧出力", "データ一覧表の保存・印刷"},
        {5, "文書出力", "個票の保存・印刷"},
        {13, "雛形編集", "個票からデータ入力"},
        {17, "ﾃﾞｰﾀ集計", ""},
        {9, "ﾌｨﾙﾀ解除", ""},
        {14, "選択解除", ""},
        {18, "ﾃﾞｰﾀ追加", ""},
        {6, "ﾃﾞｰﾀ削除", ""},
        {7, "ﾃﾞｰﾀ戻す", ""},
        {10, "", "コピー"},
        {11, "", "貼付け"},
        {19, "", "フォルダ名貼付け"},
        {15, "", "ファイル名貼付け"},
        {16, "", "URL名貼付け"},
        {8, "終了", ""},
    };
    for (const Expected& e : buttons) {
        QToolButton* b = f->findChild<QToolButton*>(QString("SpeedButton%1").arg(e.number));
        ASSERT_NE(b, nullptr) << e.number;
        if (*e.caption) {
            EXPECT_EQ(b->text(), QString::fromUtf8(e.caption)) << e.number;
        }
        EXPECT_EQ(b->toolTip(), QString::fromUtf8(e.hint)) << e.number;
    }
    for (int n : {6, 7, 9, 10, 11, 14, 15, 16, 18, 19}) EXPECT_TRUE(button(*f, n)->isHidden()) << n;
    for (int n : {1, 2, 3, 4, 5, 8, 12, 13, 17}) EXPECT_FALSE(button(*f, n)->isHidden()) << n;
    EXPECT_TRUE(f->findChild<QGroupBox*>("RadioGroup1")->isHidden());
    EXPECT_TRUE(f->findChild<QTableView*>("DBGrid1")->isHidden());
    EXPECT_EQ(f->findChild<QComboBox*>("ComboBox1")->toolTip(), "データベースのテーブル選択");
    for (int i = 0; i < 3; ++i) EXPECT_EQ(f->panelText(i), "");
    EXPECT_TRUE(services.messages.empty());
}

TEST_F(MainWindow, CurrentEngineGivesWorkbookFiltersAndTheAccdbProvider) {
    services.engineVersionText = "12.0";
    auto f = create();
    f->show();
    EXPECT_EQ(f->ExcelProgID, "Excel.Application");
    EXPECT_EQ(f->ExcelVersion, 12.0);
    EXPECT_TRUE(f->XlsxCapable);
    EXPECT_EQ(f->ExcelFilter, "Excelファイル(*.xls,*.xlsx)|*.xls;*.xlsx");
    EXPECT_TRUE(f->AceAvailable);
    EXPECT_EQ(f->ProviderPrefix, "Provider=Microsoft.ACE.OLEDB.12.0;");
    EXPECT_EQ(f->OpenDialog1.filter, "Accessファイル(*.mdb,*.accdb)|*.mdb;*.accdb");
    EXPECT_TRUE(services.messages.empty());
    EXPECT_TRUE(button(*f, 1)->isEnabled());
}

TEST_F(MainWindow, WithoutAccdbOnlyTheJetProviderAndMdbFilesAreOffered) {
    services.registeredClasses.remove(".accdb");
    auto f = create();
    f->show();
    EXPECT_FALSE(f->AceAvailable);
    EXPECT_EQ(f->ProviderPrefix, "Provider=Microsoft.Jet.OLEDB.4.0;");
    EXPECT_EQ(f->AccessFilter, "Accessファイル(*.mdb)|*.mdb");
}

TEST_F(MainWindow, OldEngineFallsBackToTheNewestRegisteredVersionedName) {
    services.engineVersionText = "7.0";
    services.registeredClasses << "Excel.Application.11"
                               << "Excel.Application.9";
    auto f = create();
    f->show();
    EXPECT_EQ(f->ExcelProgID, "Excel.Application.11");
    EXPECT_EQ(f->ExcelVersion, 11.0);
    EXPECT_FALSE(f->XlsxCapable);
    EXPECT_EQ(f->ExcelFilter, "Excelファイル(*.xls)|*.xls");
}

TEST_F(MainWindow, NoUsableEngineDisablesTheEightButtonsAndSaysSo) {
    services.engineVersionText = "0";
    auto f = create();
    EXPECT_EQ(f->ExcelProgID, "");
    f->show();
    ASSERT_EQ(services.messages.size(), 1u);
    EXPECT_EQ(services.messages[0].text, "該当Excelがありません");
    EXPECT_EQ(services.messages[0].caption, "Tesmoraエラー");
    for (int n : {12, 1, 2, 4, 3, 5, 13, 17}) EXPECT_FALSE(button(*f, n)->isEnabled()) << n;
    EXPECT_TRUE(button(*f, 8)->isEnabled());
    // Nothing can be opened from the command line either.
    f->OpenFromCommandLine(dir.file("none.mdb"), "");
    EXPECT_EQ(services.messages.size(), 1u);
}

TEST_F(MainWindow, EngineThatCannotBeAskedIsReportedAndTheWindowStillComesUp) {
    services.workbookEngineAvailable = false;
    auto f = create();
    EXPECT_EQ(services.errors.size(), 1u);
    EXPECT_EQ(f->ExcelProgID, "Excel.Application");
    EXPECT_EQ(f->ExcelVersion, 0.0);
    f->show();
    EXPECT_FALSE(f->XlsxCapable);
    EXPECT_TRUE(button(*f, 1)->isEnabled());

    services.clearRecords();
    services.workbookEngineAvailable = true;
    services.engineVersionText = "sixteen";
    auto g = create();
    EXPECT_EQ(services.errors.size(), 1u);
    EXPECT_EQ(g->ExcelVersion, 0.0);
}

TEST_F(MainWindow, CloseIsRefusedInEditModeAndConfirmedInSelectionMode) {
    auto f = create();
    f->show();
    f->setRadioGroupIndex(1);
    EXPECT_FALSE(f->close());
    ASSERT_EQ(services.messages.size(), 1u);
    EXPECT_EQ(services.messages[0].text, "選択モード以外は終了できません");
    EXPECT_EQ(services.messages[0].caption, "警告");
    EXPECT_EQ(services.messages[0].buttons, platform::Buttons::Ok);

    f->setRadioGroupIndex(0);
    services.answerNextQuestion(Answer::Cancel);
    EXPECT_FALSE(f->close());
    EXPECT_TRUE(f->isVisible());
    EXPECT_EQ(services.messages.back().text, "Tesmoraを終了しますか？");
    EXPECT_EQ(services.messages.back().caption, "終了の確認");
    EXPECT_EQ(services.messages.back().buttons, platform::Buttons::OkCancel);

    services.answerNextQuestion(Answer::Ok);
    button(*f, 8)->click();
    EXPECT_FALSE(f->isVisible());
}

TEST_F(MainWindow, JobButtonsRefuseWhileNoTableIsShown) {
    auto f = create();
    f->show();
    struct Case {
        int button;
        const char* caption;
    } cases[] = {{3, "一覧出力の中止"},
                 {4, "文書登録の中止"},
                 {5, "文書出力の中止"},
                 {13, "雛形編集の中止"},
                 {17, "文書出力の中止"}};
    for (const Case& c : cases) {
        services.clearRecords();
        button(*f, c.button)->click();
        ASSERT_EQ(services.messages.size(), 1u) << c.button;
        EXPECT_EQ(services.messages[0].text, "データベースが開いていません") << c.button;
        EXPECT_EQ(services.messages[0].caption, QString::fromUtf8(c.caption)) << c.button;
    }
}

TEST_F(MainWindow, SystemStoreIsReachedThroughJetWithTheBuiltInPassword) {
    // The program folder of the tests is the build's, where the generator put
    // the installed store.
    TForm1 f(services);
    const QString folder = QCoreApplication::applicationDirPath() + '/';
    EXPECT_EQ(f.ProgramFolder, folder);
    EXPECT_EQ(f.ADOConnection2.connectionString(),
              "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + folder +
                  "SystemData.mdb;Persist Security Info=False;Jet OLEDB:Database "
                  "Password=R#27M8XK4$QPLVWC");
    EXPECT_FALSE(f.ADOConnection2.connected());  // only while a store operation runs
    if (!QFile::exists(folder + "SystemData.mdb")) GTEST_SKIP() << "store not generated";
    f.ADOConnection2.open();
    EXPECT_TRUE(f.ADOConnection2.tableNames().contains("お気に入り"));
    f.ADOConnection2.close();
}
