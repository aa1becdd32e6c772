#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>

#include "DemoDatabase.h"
#include "db/Db.h"
#include "platform/ScriptedServices.h"
#include "support/TempDir.h"
#include "view/RecordGrid.h"
#include "view/RecordModel.h"
#include "view/TForm1.h"
#include "view/TForm15.h"

using platform::ScriptedServices;

namespace {

class TableView : public ::testing::Test {
protected:
    void SetUp() override {
        path = dir.file(QStringLiteral("会員名簿.mdb"));
        demo::writeDemoDatabase(path, 60);
        form = std::make_unique<TForm1>(services, dir.path());
        form->Form15 = new TForm15(form.get());
        form->show();
        services.clearRecords();
        form->OpenDatabase(path, demo::kMemberTable);
        ASSERT_EQ(form->DatabasePath, path);
        services.clearRecords();
    }
    void TearDown() override { form.reset(); }

    int column(const QString& name) const {
        for (size_t i = 0; i < form->FieldDescriptors.size(); ++i)
            if (form->FieldDescriptors[i].FieldName == name) return int(i);
        ADD_FAILURE() << name.toStdString();
        return -1;
    }
    QAbstractItemModel* model() const { return form->DBGrid1->model(); }
    QString cell(int row, const QString& field) const {
        return model()->index(row, column(field)).data().toString();
    }
    void setMode(int index) {
        form->setRadioGroupIndex(index);
        form->RadioGroup1Click();
    }
    // Plays the user in the field-settings dialog.
    void settings(int col, std::function<void(QDialog&)> script) {
        services.answerNextDialog(std::move(script));
        form->DBGrid1TitleClick(col);
    }
    static void chooseCondition(QDialog& d, int condition, const QString& a, const QString& b = QString()) {
        d.findChild<QComboBox*>(QStringLiteral("ComboBox1"))->setCurrentIndex(condition);
        d.findChild<QComboBox*>(QStringLiteral("ComboBox3"))->setEditText(a);
        d.findChild<QComboBox*>(QStringLiteral("ComboBox4"))->setEditText(b);
    }
    static void ok(QDialog& d) { d.findChild<QPushButton*>(QStringLiteral("Button1"))->click(); }
    // Stores text in a cell the way typing does, then leaves the record.
    void typeInto(int row, const QString& field, const QString& text) {
        const QModelIndex i = model()->index(row, column(field));
        form->DBGrid1->setCurrentIndex(i);
        ASSERT_TRUE(model()->setData(i, text, Qt::EditRole));
        form->DBGrid1->setCurrentIndex(model()->index(row == 0 ? 1 : 0, column(field)));
    }

    testsupport::TempDir dir;
    QString path;
    ScriptedServices services;
    std::unique_ptr<TForm1> form;
};

}  // namespace

TEST_F(TableView, ShowTableFillsDescriptorsLayoutAndPanels) {
    EXPECT_EQ(form->FieldDescriptors.size(), 11u);
    EXPECT_EQ(form->CurrentSql, QStringLiteral("SELECT * FROM [会員]"));
    EXPECT_EQ(form->PrimaryKeyFields, QStringList{QStringLiteral("会員番号")});
    EXPECT_EQ(form->panelText(0), QStringLiteral("データ数：60"));
    EXPECT_EQ(form->panelText(1), QString());
    EXPECT_EQ(form->panelText(2), QStringLiteral("選択モード（入力不可）"));
    ASSERT_EQ(form->MemoEditors.size(), 1u);
    EXPECT_EQ(form->MemoEditors[0].fieldName, QStringLiteral("備考"));
    EXPECT_EQ(form->MemoEditors[0].editor->windowTitle(), QStringLiteral("メモデータ編集－－備考"));
    EXPECT_EQ(model()->index(0, column(QStringLiteral("会員番号"))).data(Qt::BackgroundRole).value<QBrush>().color(),
              QColor(Qt::yellow));
    EXPECT_EQ(model()->index(0, column(QStringLiteral("氏名"))).data(Qt::BackgroundRole).value<QBrush>().color(),
              QColor(Qt::white));
    EXPECT_EQ(form->DBGrid1->columnWidth(1), 80);
    // One decimal by default on the float column.
    EXPECT_TRUE(cell(0, QStringLiteral("身長")).contains(QRegularExpression(QStringLiteral("^\\d+\\.\\d$"))));
}

TEST_F(TableView, ModesSwitchButtonsAndHints) {
    EXPECT_FALSE(form->SpeedButton18->isVisibleTo(form.get()));
    EXPECT_TRUE(form->SpeedButton14->isVisibleTo(form.get()));
    setMode(1);
    EXPECT_TRUE(form->SpeedButton18->isVisibleTo(form.get()));
    EXPECT_TRUE(form->SpeedButton6->isVisibleTo(form.get()));
    EXPECT_FALSE(form->SpeedButton14->isVisibleTo(form.get()));
    EXPECT_FALSE(form->SpeedButton1->isEnabled());
    EXPECT_FALSE(form->ComboBox1->isEnabled());
    EXPECT_TRUE(form->SpeedButton9->isVisibleTo(form.get()));
    form->DBGrid1->setCurrentIndex(model()->index(0, column(QStringLiteral("氏名"))));
    EXPECT_EQ(form->panelText(2), QStringLiteral("氏名：20文字入力"));
    form->DBGrid1->setCurrentIndex(model()->index(0, column(QStringLiteral("生年月日"))));
    EXPECT_EQ(form->panelText(2), QStringLiteral("生年月日：日付入力"));
    EXPECT_TRUE(model()->flags(model()->index(0, column(QStringLiteral("氏名")))) & Qt::ItemIsEditable);

    setMode(0);
    EXPECT_TRUE(form->SpeedButton1->isEnabled());
    EXPECT_FALSE(model()->flags(model()->index(0, column(QStringLiteral("氏名")))) & Qt::ItemIsEditable);

    form->ComboBox1->setCurrentText(demo::kSavedQuery);
    form->ComboBox1Change();
    EXPECT_TRUE(form->IsQueryView);
    setMode(1);
    EXPECT_EQ(form->panelText(2), QStringLiteral("クエリー表示中（入力不可）"));
    EXPECT_FALSE(form->SpeedButton18->isVisibleTo(form.get()));
    EXPECT_FALSE(model()->flags(model()->index(0, 1)) & Qt::ItemIsEditable);
}

TEST_F(TableView, EditsAreTrimmedAndPostedWhenLeavingTheRecordOrTheMode) {
    setMode(1);
    typeInto(3, QStringLiteral("氏名"), QStringLiteral("  山田　一郎\t "));
    EXPECT_EQ(cell(3, QStringLiteral("氏名")), QStringLiteral("山田　一郎"));

    // A pending edit is stored when the mode changes.
    const QModelIndex i = model()->index(5, column(QStringLiteral("電話番号")));
    form->DBGrid1->setCurrentIndex(i);
    ASSERT_TRUE(model()->setData(i, QStringLiteral(" 03-0000-0000 "), Qt::EditRole));
    setMode(0);
    EXPECT_EQ(form->ADODataSet1.state(), db::DataSet::State::Browse);
    form->SpeedButton9->click();  // re-reads the table
    EXPECT_EQ(cell(5, QStringLiteral("電話番号")), QStringLiteral("03-0000-0000"));
    EXPECT_EQ(cell(3, QStringLiteral("氏名")), QStringLiteral("山田　一郎"));
}

TEST_F(TableView, FilterAndSortRequeryKeepWidthsAndMarkTheTitle) {
    const int kana = column(QStringLiteral("フリガナ"));
    form->DBGrid1->setColumnWidth(kana, 155);
    settings(kana, [](QDialog& d) {
        chooseCondition(d, 9, QStringLiteral("サトウ"));
        d.findChild<QToolButton*>(QStringLiteral("SpeedButton1"))->click();
        ok(d);
    });
    EXPECT_EQ(form->CurrentSql, QStringLiteral("SELECT * FROM [会員] WHERE [フリガナ] LIKE \"%サトウ%\" ORDER BY [フリガナ]"));
    const int rows = model()->rowCount();
    ASSERT_GT(rows, 0);
    ASSERT_LT(rows, 60);
    for (int r = 0; r < rows; ++r) EXPECT_TRUE(cell(r, QStringLiteral("フリガナ")).contains(QStringLiteral("サトウ")));
    EXPECT_EQ(form->panelText(0), QStringLiteral("データ数：") + QString::number(rows));
    EXPECT_EQ(form->panelText(1), QStringLiteral("フィルタ設定中"));
    EXPECT_EQ(model()->headerData(kana, Qt::Horizontal, Qt::BackgroundRole).value<QBrush>().color(), QColor(Qt::yellow));
    EXPECT_EQ(form->DBGrid1->columnWidth(kana), 155);

    // A secondary descending sort, and the decimals of the float column.
    const int height = column(QStringLiteral("身長"));
    settings(height, [](QDialog& d) {
        d.findChild<QToolButton*>(QStringLiteral("SpeedButton2"))->click();
        d.findChild<QCheckBox*>(QStringLiteral("CheckBox1"))->setChecked(true);
        d.findChild<QSpinBox*>(QStringLiteral("UpDown1"))->setValue(3);
        ok(d);
    });
    EXPECT_EQ(form->OrderByClause, QStringLiteral(" ORDER BY [フリガナ],[身長] DESC"));
    EXPECT_TRUE(cell(0, QStringLiteral("身長")).contains(QRegularExpression(QStringLiteral("^\\d+\\.\\d{3}$"))));

    form->SpeedButton9->click();
    EXPECT_EQ(form->CurrentSql, QStringLiteral("SELECT * FROM [会員]"));
    EXPECT_EQ(form->OrderByClause, QString());
    EXPECT_EQ(form->panelText(0), QStringLiteral("データ数：60"));
    EXPECT_EQ(form->panelText(1), QString());
    EXPECT_EQ(form->FieldDescriptors[size_t(height)].Decimals, 3);
    EXPECT_EQ(form->DBGrid1->columnWidth(kana), 155);
    EXPECT_NE(model()->headerData(kana, Qt::Horizontal, Qt::BackgroundRole).value<QBrush>().color(), QColor(Qt::yellow));
}

TEST_F(TableView, TextValueWithQuoteFiltersForThatText) {
    setMode(1);
    typeInto(2, QStringLiteral("氏名"), QStringLiteral("5\" OR \"1\"=\"1"));
    setMode(0);
    settings(column(QStringLiteral("氏名")), [](QDialog& d) {
        chooseCondition(d, 3, QStringLiteral("5\" OR \"1\"=\"1"));
        ok(d);
    });
    EXPECT_TRUE(services.errors.isEmpty()) << services.errors.join(QLatin1Char('\n')).toStdString();
    ASSERT_EQ(model()->rowCount(), 1);
    EXPECT_EQ(cell(0, QStringLiteral("氏名")), QStringLiteral("5\" OR \"1\"=\"1"));
}

TEST_F(TableView, RefusedValueKeepsTheDialogAndCancelChangesNothing) {
    const QString before = form->CurrentSql;
    settings(column(QStringLiteral("年会費")), [this](QDialog& d) {
        chooseCondition(d, 7, QStringLiteral("5000"), QStringLiteral("3000"));
        ok(d);
        // Refused: the dialog is still open, not accepted, with list A to correct.
        EXPECT_TRUE(d.isVisible());
        EXPECT_NE(d.result(), QDialog::Accepted);
        auto* listA = d.findChild<QComboBox*>(QStringLiteral("ComboBox3"));
        EXPECT_TRUE(d.focusWidget() == listA || (d.focusWidget() && d.focusWidget()->parent() == listA));
        ASSERT_EQ(services.messages.size(), 1u);
        EXPECT_EQ(services.messages[0].text, QStringLiteral("比較値A・Bが同値又は逆順です"));
        EXPECT_EQ(services.messages[0].caption, QStringLiteral("設定の中止"));
        d.findChild<QPushButton*>(QStringLiteral("Button2"))->click();
    });
    EXPECT_EQ(form->CurrentSql, before);
    EXPECT_EQ(form->FieldDescriptors[size_t(column(QStringLiteral("年会費")))].FilterCondition, 0);
    // A memo title opens nothing at all.
    form->DBGrid1TitleClick(column(QStringLiteral("備考")));
    EXPECT_TRUE(services.dialogsShown.size() == 1);
}

TEST_F(TableView, SavedQueryFilterJoinsItsWhereAndKeepsItsOrder) {
    form->ComboBox1->setCurrentText(demo::kSavedQuery);
    form->ComboBox1Change();
    const int all = model()->rowCount();
    settings(column(QStringLiteral("郵便番号")), [](QDialog& d) {
        chooseCondition(d, 3, QStringLiteral("0600001"));
        ok(d);
    });
    EXPECT_TRUE(form->CurrentSql.contains(QStringLiteral("WHERE ([郵便番号] = \"0600001\") And ")));
    EXPECT_TRUE(form->CurrentSql.endsWith(QStringLiteral("ORDER BY [フリガナ]")));
    EXPECT_LT(model()->rowCount(), all);
    for (int r = 0; r < model()->rowCount(); ++r) EXPECT_EQ(cell(r, QStringLiteral("郵便番号")), QStringLiteral("0600001"));
}

TEST_F(TableView, DoubleClickOpensLinksOnlyInEditMode) {
    setMode(1);
    typeInto(0, QStringLiteral("住所"), QStringLiteral("https://example.com/地図"));
    typeInto(1, QStringLiteral("住所"), QStringLiteral("rm -rf /"));
    form->DBGrid1->setCurrentIndex(model()->index(0, column(QStringLiteral("住所"))));
    form->DBGrid1DblClick();
    ASSERT_EQ(services.openedUrls.size(), 1u);
    EXPECT_EQ(services.openedUrls[0].host(), QStringLiteral("example.com"));
    form->DBGrid1->setCurrentIndex(model()->index(1, column(QStringLiteral("住所"))));
    form->DBGrid1DblClick();
    EXPECT_EQ(services.openedUrls.size(), 1u);
    setMode(0);
    form->DBGrid1->setCurrentIndex(model()->index(0, column(QStringLiteral("住所"))));
    form->DBGrid1DblClick();
    EXPECT_EQ(services.openedUrls.size(), 1u);
}

TEST_F(TableView, MemoEditorTextIsStoredWhenTheGridPosts) {
    setMode(1);
    const int memo = column(QStringLiteral("備考"));
    form->DBGrid1->setCurrentIndex(model()->index(7, memo));
    services.answerNextDialog([](QDialog& d) {
        auto* edit = d.findChild<QPlainTextEdit*>(QStringLiteral("DBMemo1"));
        EXPECT_FALSE(edit->isReadOnly());
        edit->setPlainText(QStringLiteral("  書き換えた備考"));
        d.accept();
    });
    form->DBGrid1KeyDown(Qt::Key_Return);
    EXPECT_EQ(form->ADODataSet1.state(), db::DataSet::State::Edit);
    setMode(0);
    form->SpeedButton9->click();
    form->ADODataSet1.moveTo(7);
    // Memo fields are not text fields: the trim leaves them alone.
    EXPECT_EQ(form->ADODataSet1.fieldByName(QStringLiteral("備考")).asString(), QStringLiteral("  書き換えた備考"));
}

TEST_F(TableView, SelectionClearButtonEmptiesTheRowSelection) {
    form->DBGrid1->selectRow(2);
    form->DBGrid1->selectionModel()->select(model()->index(4, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    EXPECT_EQ(form->SelectedRows(), (QList<int>{2, 4}));
    form->SpeedButton14->click();
    EXPECT_TRUE(form->SelectedRows().isEmpty());
}

TEST_F(TableView, RefusedPostKeepsEditModeAndTheRecord) {
    setMode(1);
    const QModelIndex key = model()->index(2, column(QStringLiteral("会員番号")));
    form->DBGrid1->setCurrentIndex(key);
    ASSERT_TRUE(model()->setData(key, QStringLiteral("M00001"), Qt::EditRole));  // a taken key
    setMode(0);
    EXPECT_EQ(services.errors.size(), 1);
    EXPECT_EQ(form->radioGroupIndex(), 1);
    EXPECT_EQ(form->ADODataSet1.state(), db::DataSet::State::Edit);
    EXPECT_TRUE(form->SpeedButton18->isVisibleTo(form.get()));
    form->ADODataSet1.cancel();
    EXPECT_EQ(cell(2, QStringLiteral("会員番号")), QStringLiteral("M00003"));
}

// Sorting, filtering and "ﾌｨﾙﾀ解除" re-read the grid: the record being edited
// (in a cell or in the memo editor) is stored first; a refused record stops
// the re-query and stays in the grid for the user to correct.
TEST_F(TableView, RequeryStoresThePendingEditOrDoesNotHappen) {
    setMode(1);
    const int name = column(QStringLiteral("氏名"));
    const int memo = column(QStringLiteral("備考"));
    const QModelIndex i = model()->index(4, name);
    form->DBGrid1->setCurrentIndex(i);
    ASSERT_TRUE(model()->setData(i, QStringLiteral("編集中の氏名"), Qt::EditRole));
    form->SpeedButton9->click();
    EXPECT_EQ(form->ADODataSet1.state(), db::DataSet::State::Browse);
    EXPECT_EQ(cell(4, QStringLiteral("氏名")), QStringLiteral("編集中の氏名"));

    form->DBGrid1->setCurrentIndex(model()->index(6, memo));
    services.answerNextDialog([](QDialog& d) {
        d.findChild<QPlainTextEdit*>(QStringLiteral("DBMemo1"))->setPlainText(QStringLiteral("メモの続き"));
        d.accept();
    });
    form->DBGrid1KeyDown(Qt::Key_Return);
    const QString memberNumber = cell(6, QStringLiteral("会員番号"));
    settings(column(QStringLiteral("会員番号")), [&](QDialog& d) {
        chooseCondition(d, 3, memberNumber);
        ok(d);
    });
    ASSERT_EQ(model()->rowCount(), 1);
    EXPECT_EQ(cell(0, QStringLiteral("備考")), QStringLiteral("メモの続き"));

    form->SpeedButton9->click();
    const QModelIndex key = model()->index(2, column(QStringLiteral("会員番号")));
    form->DBGrid1->setCurrentIndex(key);
    ASSERT_TRUE(model()->setData(key, QStringLiteral("M00001"), Qt::EditRole));  // a taken key
    const QString sql = form->CurrentSql;
    form->SpeedButton9->click();
    const int dialogs = services.dialogsShown.size();
    form->DBGrid1TitleClick(name);
    EXPECT_EQ(services.dialogsShown.size(), dialogs);
    EXPECT_EQ(services.errors.size(), 2);
    EXPECT_EQ(form->CurrentSql, sql);
    EXPECT_EQ(form->ADODataSet1.state(), db::DataSet::State::Edit);
    EXPECT_EQ(cell(2, QStringLiteral("会員番号")), QStringLiteral("M00001"));
}

// After a re-query in edit mode the grid is on a cell again: the hint names
// its column and "ﾃﾞｰﾀ戻す" has that cell's text.
TEST_F(TableView, RequeryInEditModeKeepsTheColumnHintAndCellText) {
    setMode(1);
    const int name = column(QStringLiteral("氏名"));
    form->DBGrid1->setCurrentIndex(model()->index(3, name));
    settings(name, [](QDialog& d) {
        d.findChild<QToolButton*>(QStringLiteral("SpeedButton2"))->click();
        ok(d);
    });
    ASSERT_GT(model()->rowCount(), 0);
    EXPECT_EQ(form->panelText(2), QStringLiteral("氏名：20文字入力"));
    EXPECT_EQ(form->DBGrid1->currentIndex().row(), 0);
    EXPECT_EQ(form->SavedCellText, cell(0, QStringLiteral("氏名")));
    form->SpeedButton9->click();
    EXPECT_EQ(form->panelText(2), QStringLiteral("氏名：20文字入力"));
    EXPECT_EQ(form->SavedCellText, cell(0, QStringLiteral("氏名")));
    // In selection mode the re-query picks no rows for output by itself.
    setMode(0);
    form->SpeedButton9->click();
    EXPECT_TRUE(form->SelectedRows().isEmpty());
    EXPECT_EQ(form->panelText(2), QStringLiteral("選択モード（入力不可）"));
}

// On a 1280 x 800 screen every button of either mode can be reached, and the
// status bar shows a seven-digit count and the filter note whole.
TEST_F(TableView, ToolbarAndStatusBarFitACommonScreen) {
    form->resize(1280, 800);
    for (int mode : {0, 1}) {
        setMode(mode);
        QCoreApplication::processEvents();
        form->layout()->activate();
        for (int n = 1; n <= 19; ++n) {
            QToolButton* b = form->speedButton(n);
            if (!b->isVisibleTo(form.get())) continue;
            const QRect r(b->mapTo(form.get(), QPoint(0, 0)), b->size());
            EXPECT_TRUE(form->rect().contains(r)) << "mode " << mode << " " << b->text().toStdString();
            EXPECT_GE(b->width(), b->sizeHint().width()) << b->text().toStdString();
        }
    }
    EXPECT_LE(form->minimumSizeHint().width(), 1280);
    form->setPanelText(0, QStringLiteral("データ数：1000000"));
    form->setPanelText(1, QStringLiteral("フィルタ設定中"));
    QCoreApplication::processEvents();
    form->statusBar()->layout()->activate();
    for (int i : {0, 1}) {
        auto* panel = form->findChild<QLabel*>(QStringLiteral("StatusBar1Panel%1").arg(i));
        EXPECT_GE(panel->contentsRect().width(), panel->fontMetrics().horizontalAdvance(panel->text()))
            << panel->text().toStdString();
    }
    EXPECT_GE(form->findChild<QLabel*>(QStringLiteral("StatusBar1Panel1"))->width(), 80);
}

// A saved query whose table is gone cannot be opened: the error is shown and
// the grid stays empty, with no columns left over from the table before.
TEST_F(TableView, FailedOpenLeavesTheGridEmpty) {
    {
        db::Connection c;
        c.setConnectionString(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + path);
        c.open();
        c.execute(QStringLiteral("CREATE TABLE [一時] ([a] INTEGER)"));
        c.execute(QStringLiteral("CREATE VIEW [壊れた] AS SELECT [a] FROM [一時]"));
        c.execute(QStringLiteral("DROP TABLE [一時]"));
    }
    form->OpenDatabase(path, QStringLiteral("壊れた"));
    EXPECT_EQ(form->shownTableName(), QStringLiteral("壊れた"));
    EXPECT_EQ(services.errors.size(), 1);
    EXPECT_FALSE(form->ADODataSet1.active());
    EXPECT_TRUE(form->FieldDescriptors.empty());
    EXPECT_EQ(model()->rowCount(), 0);
    EXPECT_EQ(model()->columnCount(), 0);
    EXPECT_TRUE(form->MemoEditors.empty());
}

// Suggestions are offered up to 500 distinct values, 500 included.
TEST_F(TableView, SuggestionsStopAboveFiveHundredValues) {
    {
        db::Connection c;
        c.setConnectionString(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + path);
        c.open();
        c.execute(QStringLiteral("CREATE TABLE [番号表] ([n] INTEGER)"));
        db::Transaction t(c);
        for (int i = 1; i <= 500; ++i) c.execute(QStringLiteral("INSERT INTO [番号表] ([n]) VALUES (%1)").arg(i));
        c.execute(QStringLiteral("INSERT INTO [番号表] ([n]) VALUES (1)"));  // a repeated value counts once
        t.commit();
    }
    form->OpenDatabase(path, QStringLiteral("番号表"));
    ASSERT_EQ(form->shownTableName(), QStringLiteral("番号表"));
    int offered = -1;
    auto countSuggestions = [&](QDialog& d) {
        offered = d.findChild<QComboBox*>(QStringLiteral("ComboBox3"))->count();
        EXPECT_EQ(d.findChild<QComboBox*>(QStringLiteral("ComboBox4"))->count(), offered);
        d.findChild<QPushButton*>(QStringLiteral("Button2"))->click();
    };
    settings(0, countSuggestions);
    EXPECT_EQ(offered, 500);
    {
        db::Connection c;
        c.setConnectionString(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + path);
        c.open();
        c.execute(QStringLiteral("INSERT INTO [番号表] ([n]) VALUES (501)"));
    }
    settings(0, countSuggestions);
    EXPECT_EQ(offered, 0);
}
