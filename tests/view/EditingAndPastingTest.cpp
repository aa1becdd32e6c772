// The record and clipboard buttons of the main window in edit mode, on a real
// database file that the sqlite3 shell reads back afterwards.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QToolButton>

#include "db/Db.h"
#include "platform/ScriptedServices.h"
#include "support/TempDir.h"
#include "view/PageBrowser.h"
#include "view/RecordGrid.h"
#include "view/TForm1.h"
#include "view/TForm15.h"
#include "view/TForm58.h"

using platform::Answer;

inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace {

struct QuietBrowser : view::PageBrowser {
    void back() override {}
    void forward() override {}
    void goSearchPage() override {}
    void navigate(const QUrl&) override {}
};

void build(const QString& path) {
    db::createDatabase(path);
    db::Connection c;
    c.setConnectionString(
        QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"%1\"").arg(path));
    c.open();
    for (const char* sql : {
             "CREATE TABLE [会員] ([Limit] INTEGER, [氏名] NCHAR(10), [年齢] BYTE, [入会日] "
             "TIMESTAMP, "
             "[会費] CURRENCY, [有効] BIT, [身長] DOUBLE PRECISION, [備考] MEMO, [連絡先] "
             "NCHAR(100), "
             "PRIMARY KEY ([Limit]))",
             "INSERT INTO [会員] ([Limit], [氏名], [年齢], [備考]) VALUES (-1, \"山田\", 40, "
             "\"メモ\")",
             "INSERT INTO [会員] ([Limit], [氏名], [年齢]) VALUES (-2, \"佐藤\", 35)",
             "INSERT INTO [会員] ([Limit], [氏名], [年齢]) VALUES (7, \"鈴木\", 28)",
             "CREATE TABLE [支店] ([コード] NCHAR(6) NOT NULL PRIMARY KEY, [名称] NCHAR(10))",
             "INSERT INTO [支店] VALUES (\"-1\", \"本店\")",
             "CREATE TABLE [日程] ([日] TIMESTAMP, [区分] BYTE, [件名] NCHAR(10), PRIMARY KEY "
             "([日], [区分]))",
             "INSERT INTO [日程] VALUES (DATEVALUE(\"1899/12/30\"), 255, \"初回\")",
             "CREATE TABLE [連番] ([ID] COUNTER PRIMARY KEY, [名] NCHAR(10))",
             "INSERT INTO [連番] ([名]) VALUES (\"一\")",
             "CREATE TABLE [空] ([ID] INTEGER, [名] NCHAR(10), PRIMARY KEY ([ID]))",
         })
        c.execute(QString::fromUtf8(sql));
}

class Editing : public ::testing::Test {
protected:
    void SetUp() override {
        path = dir.file(QStringLiteral("会員.mdb"));
        build(path);
        form = std::make_unique<TForm1>(services, dir.path());
        form->Form15 = new TForm15(form.get());
        form->Form58 = new TForm58(services, std::make_unique<QuietBrowser>(), form.get());
        form->show();
        show(QStringLiteral("会員"));
    }
    void TearDown() override { form.reset(); }

    void show(const QString& table) {
        if (form->radioGroupIndex() != 0) setMode(0);
        if (form->DatabasePath.isEmpty())
            form->OpenDatabase(path, table);
        else {
            form->ComboBox1->setCurrentText(table);
            form->ComboBox1Change();
        }
        ASSERT_EQ(form->ComboBox1->currentText(), table);
        setMode(1);
        services.clearRecords();
    }
    void setMode(int index) {
        form->setRadioGroupIndex(index);
        form->RadioGroup1Click();
    }
    int column(const QString& name) const {
        for (size_t i = 0; i < form->FieldDescriptors.size(); ++i)
            if (form->FieldDescriptors[i].FieldName == name) return int(i);
        ADD_FAILURE() << name.toStdString();
        return -1;
    }
    void at(int row, const QString& field) {
        form->DBGrid1->setCurrentIndex(form->DBGrid1->model()->index(row, column(field)));
    }
    // What the sqlite3 shell reads from the file.
    QString sqlite(const QString& query) {
        QProcess p;
        p.start(QStringLiteral("sqlite3"), {path, query});
        EXPECT_TRUE(p.waitForFinished(20000));
        return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    }

    testsupport::TempDir dir;
    QString path;
    platform::ScriptedServices services;
    std::unique_ptr<TForm1> form;
};

}  // namespace

TEST_F(Editing, AddStoresANewRecordWithTheNextFreeKeyAndDefaults) {
    at(0, QStringLiteral("氏名"));
    form->SpeedButton18->click();
    EXPECT_TRUE(services.errors.isEmpty()) << services.errors.join('\n').toStdString();
    EXPECT_EQ(form->panelText(0), QStringLiteral("データ数：4"));
    EXPECT_EQ(form->ADODataSet1.state(), db::DataSet::State::Browse);
    EXPECT_EQ(form->DBGrid1->currentIndex().row(), 3);
    EXPECT_EQ(sqlite(QStringLiteral(
                  "SELECT [Limit], quote(氏名), 年齢, 会費, 有効, 身長, quote(備考), quote(連絡先) "
                  "FROM 会員 WHERE [Limit] = -3")),
              QStringLiteral("-3|''|0|0.0|0|0.0|NULL|''"));
    EXPECT_EQ(sqlite(QStringLiteral(
                  "SELECT date(入会日) = date('now', 'localtime') FROM 会員 WHERE [Limit] = -3")),
              QStringLiteral("1"));
    // No card document for the table: nothing else opens.
    EXPECT_TRUE(services.dialogsShown.isEmpty());

    show(QStringLiteral("支店"));
    form->SpeedButton18->click();
    EXPECT_EQ(sqlite(QStringLiteral("SELECT コード FROM 支店 ORDER BY コード COLLATE BINARY")),
              QStringLiteral("-1\n-2"));

    // Several key columns: each gets its own first free value.
    show(QStringLiteral("日程"));
    form->SpeedButton18->click();
    EXPECT_EQ(sqlite(QStringLiteral("SELECT 日, 区分 FROM 日程 ORDER BY 日")),
              QStringLiteral("1899-12-30 00:00:00|255\n1899-12-31 00:00:00|254"));
}

TEST_F(Editing, AddThatTheDatabaseRefusesStaysInTheGridUnposted) {
    // A text key "-n" does not fit a one-character key column.
    db::Connection c;
    c.setConnectionString(
        QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"%1\"").arg(path));
    c.open();
    c.execute(QStringLiteral("CREATE TABLE [狭] ([記号] NCHAR(1) NOT NULL PRIMARY KEY)"));
    c.close();
    setMode(0);
    form->OpenDatabase(path, QStringLiteral("狭"));
    setMode(1);
    services.clearRecords();
    form->SpeedButton18->click();
    EXPECT_EQ(services.errors.size(), 1);
    EXPECT_EQ(form->ADODataSet1.state(), db::DataSet::State::Insert);
    EXPECT_EQ(sqlite(QStringLiteral("SELECT count(*) FROM 狭")), QStringLiteral("0"));
    form->ADODataSet1.cancel();
}

TEST_F(Editing, DeleteAsksAndDoesNothingWithoutARecord) {
    at(2, QStringLiteral("氏名"));
    services.answerNextQuestion(Answer::Cancel);
    form->SpeedButton6->click();
    ASSERT_EQ(services.messages.size(), 1u);
    EXPECT_EQ(services.messages[0].text, QStringLiteral("データを削除しますか？"));
    EXPECT_EQ(services.messages[0].caption, QStringLiteral("削除の確認"));
    EXPECT_EQ(sqlite(QStringLiteral("SELECT count(*) FROM 会員")), QStringLiteral("3"));
    services.answerNextQuestion(Answer::Ok);
    form->SpeedButton6->click();
    EXPECT_EQ(sqlite(QStringLiteral("SELECT group_concat(氏名) FROM 会員")),
              QStringLiteral("佐藤,山田"));
    EXPECT_EQ(form->panelText(0), QStringLiteral("データ数：2"));

    show(QStringLiteral("空"));
    form->SpeedButton6->click();  // no question: there is no record
    form->SpeedButton7->click();
    EXPECT_TRUE(services.messages.empty());
    EXPECT_TRUE(services.errors.isEmpty());
}

TEST_F(Editing, UndoWritesTheEarlierTextBackIntoItsOwnCellOnly) {
    // Rows in key order: 佐藤 (-2), 山田 (-1), 鈴木 (7).
    auto* model = form->DBGrid1->model();
    at(1, QStringLiteral("氏名"));
    ASSERT_EQ(form->SavedCellText, QStringLiteral("山田"));
    ASSERT_TRUE(model->setData(model->index(1, column(QStringLiteral("氏名"))),
                               QStringLiteral("  山田 花子 "), Qt::EditRole));
    form->SpeedButton7->click();  // posts the typed text, then writes the old one back
    EXPECT_EQ(sqlite(QStringLiteral("SELECT 氏名 FROM 会員 WHERE [Limit] = -1")),
              QStringLiteral("山田"));

    // Typed into another record of the same column: the saved text is the
    // first record's, which must never land here.
    at(0, QStringLiteral("氏名"));
    ASSERT_TRUE(model->setData(model->index(0, column(QStringLiteral("氏名"))),
                               QStringLiteral("佐藤 次郎"), Qt::EditRole));
    form->SpeedButton7->click();
    EXPECT_EQ(form->ADODataSet1.field(column(QStringLiteral("氏名"))).asString(),
              QStringLiteral("佐藤 次郎"));
    at(2, QStringLiteral("氏名"));  // leaving the record stores what was typed
    EXPECT_EQ(sqlite(QStringLiteral("SELECT 氏名 FROM 会員 WHERE [Limit] = -2")),
              QStringLiteral("佐藤 次郎"));

    // A memo column is left alone.
    at(1, QStringLiteral("備考"));
    form->SpeedButton7->click();
    EXPECT_EQ(sqlite(QStringLiteral("SELECT 備考 FROM 会員 WHERE [Limit] = -1")),
              QStringLiteral("メモ"));
    EXPECT_TRUE(services.errors.isEmpty());
}

TEST_F(Editing, PasteChecksTheTypeAndUndoRestoresTheTextBeforeIt) {
    struct Case {
        const char* field;
        const char* clipboard;
        const char* message;  // "" when stored
        const char* stored;
    };
    const Case cases[] = {
        {"年齢", "12\t34", "データ型が一致しません", "40"},
        {"年齢", "300", "データ型が一致しません", "40"},
        {"年齢", "-1", "データ型が一致しません", "40"},
        {"年齢", "52", "", "52"},
        {"有効", "true", "", "1"},
        {"入会日", "2024/3/5", "", "2024-03-05 00:00:00"},
        {"会費", "1.23456", "", "1.2346"},
        {"会費", "12円", "データ型が一致しません", "1.2346"},
        {"氏名", "12\t34", "", "12\t34"},
        {"氏名", " 山田 ", "", "山田"},
    };
    for (const Case& c : cases) {
        services.clearRecords();
        at(1, QString::fromUtf8(c.field));
        services.clipboard = QString::fromUtf8(c.clipboard);
        form->SpeedButton11->click();
        EXPECT_EQ(services.messageTexts().join('|'), QString::fromUtf8(c.message))
            << c.field << " " << c.clipboard;
        if (*c.message) EXPECT_EQ(services.messages[0].caption, QStringLiteral("貼り付けの中止"));
        EXPECT_EQ(sqlite(QStringLiteral("SELECT %1 FROM 会員 WHERE [Limit] = -1")
                             .arg(QString::fromUtf8(c.field))),
                  QString::fromUtf8(c.stored))
            << c.field << " " << c.clipboard;
    }

    // Copy one record's name, paste it into another; undo brings its own back.
    at(1, QStringLiteral("氏名"));
    form->SpeedButton10->click();
    EXPECT_EQ(services.clipboard, QStringLiteral("山田"));
    at(0, QStringLiteral("氏名"));
    form->SpeedButton11->click();
    EXPECT_EQ(sqlite(QStringLiteral("SELECT 氏名 FROM 会員 WHERE [Limit] = -2")),
              QStringLiteral("山田"));
    form->SpeedButton7->click();
    EXPECT_EQ(sqlite(QStringLiteral("SELECT 氏名 FROM 会員 WHERE [Limit] = -2")),
              QStringLiteral("佐藤"));

    // Memo cells take part in neither.
    services.clipboard = QStringLiteral("unchanged");
    at(1, QStringLiteral("備考"));
    form->SpeedButton10->click();
    form->SpeedButton11->click();
    EXPECT_EQ(services.clipboard, QStringLiteral("unchanged"));
    EXPECT_EQ(sqlite(QStringLiteral("SELECT 備考 FROM 会員 WHERE [Limit] = -1")),
              QStringLiteral("メモ"));
}

TEST_F(Editing, RefusedPasteIsCancelledAndAnAutoNumberIsNotWritable) {
    at(1, QStringLiteral("氏名"));
    services.clipboard = QStringLiteral("とても長い名前で十文字を超える");
    form->SpeedButton11->click();
    EXPECT_EQ(services.errors.size(), 1);
    EXPECT_EQ(form->ADODataSet1.state(), db::DataSet::State::Browse);
    EXPECT_EQ(form->ADODataSet1.field(column(QStringLiteral("氏名"))).asString(),
              QStringLiteral("山田"));
    EXPECT_EQ(sqlite(QStringLiteral("SELECT 氏名 FROM 会員 WHERE [Limit] = -1")),
              QStringLiteral("山田"));

    show(QStringLiteral("連番"));
    at(0, QStringLiteral("ID"));
    services.clipboard = QStringLiteral("5");
    form->SpeedButton11->click();
    ASSERT_EQ(services.messages.size(), 1u);
    EXPECT_EQ(services.messages[0].text, QStringLiteral("入力不可フィールドです"));
    EXPECT_EQ(services.messages[0].caption, QStringLiteral("貼り付けの中止"));
}

TEST_F(Editing, FolderFileAndAddressGoIntoTextCellsOnly) {
    // On a number cell none of the three even asks.
    at(1, QStringLiteral("年齢"));
    for (QToolButton* b : {form->SpeedButton19, form->SpeedButton15, form->SpeedButton16})
        b->click();
    EXPECT_TRUE(services.dialogsShown.isEmpty());

    at(1, QStringLiteral("連絡先"));
    services.answerNextFolder(dir.path());
    form->SpeedButton19->click();
    EXPECT_EQ(sqlite(QStringLiteral("SELECT 連絡先 FROM 会員 WHERE [Limit] = -1")), dir.path());
    services.answerNextOpen({path});
    form->SpeedButton15->click();
    EXPECT_EQ(sqlite(QStringLiteral("SELECT 連絡先 FROM 会員 WHERE [Limit] = -1")), path);
    EXPECT_TRUE(services.fileRequests.back().filter.isEmpty());

    services.answerNextDialog([](QDialog& d) {
        d.findChild<QLineEdit*>(QStringLiteral("Edit1"))
            ->setText(QStringLiteral("https://example.com/会員"));
        d.findChild<QPushButton*>(QStringLiteral("SpeedButton5"))->click();
    });
    form->SpeedButton16->click();
    EXPECT_EQ(sqlite(QStringLiteral("SELECT 連絡先 FROM 会員 WHERE [Limit] = -1")),
              QStringLiteral("https://example.com/会員"));

    // OK before any page arrived, or ｷｬﾝｾﾙ: nothing is pasted.
    services.answerNextDialog([](QDialog& d) {
        EXPECT_EQ(d.findChild<QLineEdit*>(QStringLiteral("Edit1"))->text(), TForm58::kLoadingText);
        d.findChild<QPushButton*>(QStringLiteral("SpeedButton5"))->click();
    });
    form->SpeedButton16->click();
    services.answerNextDialog([](QDialog& d) {
        d.findChild<QLineEdit*>(QStringLiteral("Edit1"))
            ->setText(QStringLiteral("https://example.org/"));
        d.findChild<QPushButton*>(QStringLiteral("SpeedButton6"))->click();
    });
    form->SpeedButton16->click();
    EXPECT_EQ(sqlite(QStringLiteral("SELECT 連絡先 FROM 会員 WHERE [Limit] = -1")),
              QStringLiteral("https://example.com/会員"));
    // Undo takes back the last paste only.
    form->SpeedButton7->click();
    EXPECT_EQ(sqlite(QStringLiteral("SELECT 連絡先 FROM 会員 WHERE [Limit] = -1")), path);
}
