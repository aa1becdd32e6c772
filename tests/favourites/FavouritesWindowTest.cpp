// The favourites dialog with the main window: a generated program folder,
// real database files, the store read back with the sqlite3 shell.
#include <gtest/gtest.h>
#include <utime.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QToolButton>

#include "ProgramFiles.h"
#include "accessfile/AccessFixtures.h"
#include "db/Db.h"
#include "favourites/FavouriteStore.h"
#include "favourites/TForm9.h"
#include "platform/ScriptedServices.h"
#include "support/TempDir.h"
#include "view/RecordGrid.h"
#include "view/TForm1.h"
#include "view/TForm15.h"

using platform::Answer;

namespace {

void makeDatabase(const QString& path, const QStringList& statements,
                  const QString& password = QString()) {
    db::createDatabase(path);
    {
        db::Connection c;
        c.setConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path);
        c.open();
        for (const QString& s : statements) c.execute(s);
    }
    if (!password.isEmpty()) db::setDatabasePassword(path, "", password);
}

const QStringList kTables = {
    "CREATE TABLE [Members] ([ID] COUNTER PRIMARY KEY, [氏名] NCHAR(20))",
    "INSERT INTO [Members] ([氏名]) VALUES (\"青木\")",
    "CREATE TABLE [支部] ([名称] NCHAR(10))",
};

QByteArray bytesOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void touch(const QString& path, int secondsFromNow) {
    struct utimbuf times;
    times.actime = times.modtime = time(nullptr) + secondsFromNow;
    utime(QFile::encodeName(path).constData(), &times);
}

QToolButton* button(QDialog& d, int n) {
    return d.findChild<QToolButton*>(QStringLiteral("SpeedButton%1").arg(n));
}

class Favourites : public ::testing::Test {
protected:
    void SetUp() override {
        programfiles::writeAll(dir.path());
        a = dir.file("会員.mdb");
        b = dir.file("商品.mdb");
        makeDatabase(a, kTables);
        makeDatabase(b, kTables);
        form = std::make_unique<TForm1>(services, dir.path());
        form->Form15 = new TForm15(form.get());
        form->show();
        services.clearRecords();
    }
    void TearDown() override { form.reset(); }

    void openWithDialog(const QString& path) {
        services.answerNextOpen({path});
        form->SpeedButton1->click();
    }
    // Runs the favourites dialog with script playing the user.
    void favourites(const platform::ScriptedServices::DialogScript& script) {
        services.answerNextDialog(script);
        form->SpeedButton12->click();
    }
    int addFavourite(const QString& name, const QString& database, const QString& table,
                     const QString& backup = QString()) {
        form->ADOConnection2.open();
        const int id = favourites::FavouriteStore(form->ADOConnection2).insert(name, database, table, backup);
        form->ADOConnection2.close();
        return id;
    }
    // Rows of the store's favourites as the sqlite3 shell prints them.
    QStringList stored() {
        QProcess p;
        p.start("sqlite3", {"-batch", dir.file("SystemData.mdb"),
                            "SELECT 登録名, データベース, テーブル, バックアップ FROM お気に入り "
                            "ORDER BY ID"});
        EXPECT_TRUE(p.waitForFinished(10000));
        QStringList rows = QString::fromUtf8(p.readAllStandardOutput()).split('\n');
        rows.removeAll(QString());
        return rows;
    }
    // Opens the favourite at row of the list.
    void openFavourite(int row) {
        favourites([row](QDialog& d) {
            d.findChild<QListWidget*>("ListBox1")->setCurrentRow(row);
            button(d, 4)->click();
        });
    }

    testsupport::TempDir dir;
    platform::ScriptedServices services;
    std::unique_ptr<TForm1> form;
    QString a, b;
};

}  // namespace

TEST_F(Favourites, AddChangeAndDeleteKeepTheStore) {
    favourites([](QDialog& d) {
        // Nothing open: nothing to add.
        EXPECT_FALSE(button(d, 1)->isEnabled());
        EXPECT_FALSE(button(d, 4)->isEnabled());
        EXPECT_FALSE(button(d, 8)->isVisible());
        EXPECT_EQ(d.findChild<QLabel*>("Label4")->text(), "ﾊﾞｯｸｱｯﾌﾟなし");
        button(d, 5)->click();
    });
    openWithDialog(a);
    services.answerNextQuestion(Answer::Ok);  // バックアップは設定通りですか？
    favourites([&](QDialog& d) {
        auto* edit = d.findChild<QLineEdit*>("Edit1");
        button(d, 1)->click();
        edit->setText("会員名簿");
        button(d, 1)->click();
        edit->setText("別名");
        button(d, 1)->click();  // the same database and table again
        EXPECT_EQ(d.findChild<QListWidget*>("ListBox1")->count(), 1);
        EXPECT_TRUE(button(d, 8)->isVisible());
        button(d, 5)->click();
    });
    ASSERT_EQ(services.messages.size(), 3u);
    EXPECT_EQ(services.messages[0].text, "登録名称が未記入です");
    EXPECT_EQ(services.messages[0].caption, "追加の中止");
    EXPECT_EQ(services.messages[1].text, "バックアップは設定通りですか？");
    EXPECT_EQ(services.messages[2].text, "<会員名簿>で登録済です");
    EXPECT_EQ(stored(), QStringList({"会員名簿|" + a + "|Members|"}));
    EXPECT_FALSE(form->ADOConnection2.connected());

    // A backup chosen with 設定 reaches the store with 変更, under the
    // backup's extension.
    services.clearRecords();
    services.answerNextSave(dir.file("控え.bak"));
    favourites([&](QDialog& d) {
        d.findChild<QLineEdit*>("Edit1")->setText("新しい名前");
        button(d, 6)->click();
        EXPECT_EQ(d.findChild<QLabel*>("Label4")->text(), "ﾊﾞｯｸｱｯﾌﾟあり");
        button(d, 2)->click();
        button(d, 5)->click();
    });
    EXPECT_TRUE(services.messages.empty()) << services.messageTexts().join(";").toStdString();
    EXPECT_EQ(services.fileRequests.back().filter, "Accessファイル(*.mdb,*.accdb)|*.mdb;*.accdb");
    EXPECT_EQ(stored(), QStringList({"新しい名前|" + a + "|Members|" + dir.file("控え.mdb")}));

    services.answerNextQuestion(Answer::Cancel);
    services.answerNextQuestion(Answer::Ok);
    favourites([&](QDialog& d) {
        button(d, 3)->click();
        EXPECT_EQ(d.findChild<QListWidget*>("ListBox1")->count(), 1);
        button(d, 3)->click();
        EXPECT_EQ(d.findChild<QListWidget*>("ListBox1")->count(), 0);
        EXPECT_FALSE(button(d, 2)->isEnabled());
        EXPECT_EQ(d.findChild<QLineEdit*>("Edit1")->text(), "");
        button(d, 5)->click();
    });
    EXPECT_EQ(services.messages.back().text, "この登録を削除しますか？");
    EXPECT_TRUE(stored().isEmpty());
}

TEST_F(Favourites, BackupPathsThatWouldLoseDataAreRefused) {
    addFavourite("会員", a, "Members", dir.file("a_backup.mdb"));
    const QString existing = dir.file("既存.mdb");
    QFile f(existing);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("keep me");
    f.close();
    openWithDialog(b);

    services.answerNextSave(a);                  // a favourite's database
    services.answerNextSave(b);                  // the open database
    services.answerNextSave(existing);           // an existing file: asked, declined
    services.answerNextQuestion(Answer::Cancel);
    services.answerNextSave(existing);           // asked again, agreed
    services.answerNextQuestion(Answer::Ok);
    QStringList backups;
    favourites([&](QDialog& d) {
        auto* form9 = static_cast<TForm9*>(&d);
        for (int i = 0; i < 4; ++i) {
            button(d, 6)->click();
            backups << form9->BackupFile;
        }
        button(d, 5)->click();
    });
    EXPECT_EQ(backups, QStringList({dir.file("a_backup.mdb"), dir.file("a_backup.mdb"),
                                    dir.file("a_backup.mdb"), existing}));
    ASSERT_EQ(services.messages.size(), 4u);
    EXPECT_EQ(services.messages[0].text, "データベースのファイルはバックアップに使えません");
    EXPECT_EQ(services.messages[0].caption, "バックアップ設定の中止");
    EXPECT_EQ(services.messages[1].text, "データベースのファイルはバックアップに使えません");
    EXPECT_EQ(services.messages[2].buttons, platform::Buttons::OkCancel);
    EXPECT_TRUE(services.messages[2].text.contains("既にあります"));
    EXPECT_EQ(bytesOf(existing), "keep me");

    // 追加 carries the selected entry's backup: another database may not
    // back up into it.
    services.clearRecords();
    favourites([&](QDialog& d) {
        d.findChild<QLineEdit*>("Edit1")->setText("商品");
        button(d, 1)->click();
        button(d, 5)->click();
    });
    ASSERT_EQ(services.messages.size(), 1u);
    EXPECT_EQ(services.messages[0].text, "<会員>のバックアップに使われています");
    EXPECT_EQ(services.messages[0].caption, "追加の中止");
    EXPECT_EQ(stored().size(), 1);
}

TEST_F(Favourites, OpeningAFavouriteBacksItUpWhenLeftChangedAndRestoresIt) {
    const QString backup = dir.file("控え/会員.mdb");
    QDir(dir.path()).mkdir("控え");
    addFavourite("会員", a, "MEMBERS", backup);
    openFavourite(0);
    EXPECT_TRUE(services.messages.empty()) << services.messageTexts().join(";").toStdString();
    EXPECT_EQ(form->DatabasePath, a);
    EXPECT_EQ(form->BackupPath, backup);
    EXPECT_EQ(form->ComboBox1->currentText(), "Members");
    EXPECT_FALSE(form->DBGrid1->isHidden());

    // Left unchanged: no copy. Left changed: copied on leaving.
    openWithDialog(b);
    EXPECT_FALSE(QFile::exists(backup));
    openFavourite(0);
    form->ADOConnection1.execute("INSERT INTO [Members] ([氏名]) VALUES (\"阿部\")");
    touch(a, 5);
    openWithDialog(b);
    ASSERT_TRUE(QFile::exists(backup));
    const QByteArray saved = bytesOf(a);
    EXPECT_EQ(bytesOf(backup), saved);

    // Changed again, then restored from the backup.
    openFavourite(0);
    form->ComboBox1->setCurrentIndex(1);
    form->ComboBox1Change();
    form->ADOConnection1.execute("INSERT INTO [Members] ([氏名]) VALUES (\"上田\")");
    services.clearRecords();
    services.answerNextQuestion(Answer::Ok);
    bool enabledAfter = false;
    favourites([&](QDialog& d) {
        button(d, 8)->click();
        enabledAfter = d.isEnabled();
        button(d, 5)->click();
    });
    EXPECT_EQ(services.messageTexts(), QStringList({"バックアップで復元して良いですか？"}));
    EXPECT_TRUE(enabledAfter);
    EXPECT_EQ(services.busyDepth, 0);
    EXPECT_EQ(bytesOf(a), saved);
    EXPECT_EQ(form->DatabasePath, a);
    EXPECT_EQ(form->ComboBox1->currentText(), "支部");
    EXPECT_FALSE(form->DBGrid1->isHidden());
    EXPECT_TRUE(form->RadioGroup1->isHidden());
    db::DataSet rows(form->ADOConnection1);
    rows.setCommandText("SELECT * FROM [Members]");
    rows.open();
    EXPECT_EQ(rows.recordCount(), 2);
}

TEST_F(Favourites, RestoreChecksTheBackupAndEndsClosedWhenTheDatabaseWillNotOpen) {
    openWithDialog(a);
    favourites([](QDialog& d) {
        button(d, 8)->click();
        button(d, 5)->click();
    });
    EXPECT_EQ(services.messageTexts(), QStringList({"バックアップは未設定です"}));

    // A backup that is no database, or not this one's (another password).
    const QString junk = dir.file("junk.mdb");
    QFile f(junk);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("not a database");
    f.close();
    const QString other = dir.file("other.mdb");
    makeDatabase(other, kTables, "別の合言葉");
    const QByteArray before = bytesOf(a);
    for (const QString& backup : {junk, other, dir.file("gone.mdb")}) {
        services.clearRecords();
        form->BackupPath = backup;
        favourites([](QDialog& d) {
            button(d, 8)->click();
            button(d, 5)->click();
        });
        ASSERT_EQ(services.messages.size(), 1u);
        EXPECT_EQ(services.messages[0].caption, "バックアップ復元の中止");
    }
    EXPECT_EQ(services.messages[0].text, "バックアップファイルがありません");
    EXPECT_EQ(bytesOf(a), before);
    EXPECT_FALSE(form->DBGrid1->isHidden());

    // A backup without the shown table: the first table is shown.
    const QString backup = dir.file("backup.mdb");
    makeDatabase(backup, {"CREATE TABLE [別表] ([x] INTEGER)"});
    form->BackupPath = backup;
    services.clearRecords();
    services.answerNextQuestion(Answer::Ok);
    favourites([](QDialog& d) {
        button(d, 8)->click();
        button(d, 5)->click();
    });
    EXPECT_EQ(form->ComboBox1->currentText(), "別表");
    EXPECT_EQ(bytesOf(a), bytesOf(backup));

    // A database that does not open again leaves the window closed.
    form->closeForRestore();
    QFile::remove(a);
    services.clearRecords();
    form->reopenAfterRestore("別表");
    EXPECT_EQ(services.messageTexts(), QStringList({"データベースを開けません"}));
    EXPECT_EQ(form->DatabasePath, "");
    EXPECT_TRUE(form->DBGrid1->isHidden());
    EXPECT_FALSE(form->ADOConnection1.connected());
}

TEST_F(Favourites, AMovedDatabaseIsLookedForAndAMissingTableClosesTheWindow) {
    const QString moved = dir.file("移動前.mdb");
    addFavourite("会員", moved, "Members");
    services.answerNextQuestion(Answer::Cancel);  // 探しますか？ no: the dialog stays
    services.answerNextQuestion(Answer::Ok);
    services.answerNextOpen({a});
    favourites([](QDialog& d) {
        button(d, 4)->click();
        EXPECT_TRUE(d.isVisible());
        button(d, 4)->click();
    });
    EXPECT_EQ(services.messages[0].text, "ファイルがありません。探しますか？");
    EXPECT_EQ(services.messages[0].caption, "開く確認");
    EXPECT_EQ(services.fileRequests.back().fileName, moved);
    EXPECT_EQ(form->DatabasePath, a);
    EXPECT_EQ(stored(), QStringList({"会員|" + a + "|Members|"}));

    addFavourite("消えた表", b, "消えた");
    services.clearRecords();
    openFavourite(1);
    EXPECT_EQ(services.messageTexts(), QStringList({"テーブルがありません"}));
    EXPECT_EQ(services.messages[0].caption, "お気に入りを開くを中止");
    EXPECT_EQ(form->DatabasePath, "");
    EXPECT_EQ(form->ComboBox1->count(), 0);
    EXPECT_TRUE(form->DBGrid1->isHidden());
    EXPECT_FALSE(form->ADOConnection1.connected());
}

TEST_F(Favourites, ByNameFromTheCommandLineAndAGenuineAccessFileIsOfferedForConversion) {
    addFavourite("会員", a, "支部");
    form->OpenFavouriteByName("会員");
    EXPECT_EQ(form->DatabasePath, a);
    EXPECT_EQ(form->ComboBox1->currentText(), "支部");

    form->OpenFavouriteByName("無い");
    EXPECT_EQ(services.messageTexts(), QStringList({"<無い>は登録されていません"}));
    EXPECT_EQ(form->DatabasePath, a);

    const QString access = fixtures::copyFile(fixtures::sample("testV2003.mdb"), dir.file("顧客.mdb"));
    addFavourite("顧客", access, "Table1");
    services.clearRecords();
    services.answerNextQuestion(Answer::Cancel);
    form->OpenFavouriteByName("顧客");
    ASSERT_EQ(services.messages.size(), 1u);
    EXPECT_EQ(services.messages[0].caption, "Accessファイルの変換");
    EXPECT_EQ(form->DatabasePath, a);  // declined: nothing changed
}
