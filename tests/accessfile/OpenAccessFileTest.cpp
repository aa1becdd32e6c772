// Opening a genuine Access file from the main window: the question, the
// save dialog, the report, and the converted file opened as any database.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>

#include "accessfile/AccessFile.h"
#include "accessfile/AccessFixtures.h"
#include "db/Db.h"
#include "platform/ScriptedServices.h"
#include "support/TempDir.h"
#include "view/RecordGrid.h"
#include "view/TForm1.h"
#include "view/TForm15.h"

using platform::Answer;

namespace {

class OpenAccessFile : public ::testing::Test {
protected:
    void SetUp() override {
        form = std::make_unique<TForm1>(services, dir.path());
        form->Form15 = new TForm15(form.get());
        form->show();
        services.clearRecords();
        source = fixtures::copyFile(fixtures::sample(QStringLiteral("testV2003.mdb")),
                                    dir.file(QStringLiteral("顧客.mdb")));
    }
    void TearDown() override { form.reset(); }
    void open(const QString& path) {
        services.answerNextOpen({path});
        form->SpeedButton1->click();
    }
    // An earlier database, open when the Access file is chosen.
    void openOurs() {
        const QString ours = dir.file(QStringLiteral("ours.mdb"));
        db::createDatabase(ours);
        db::Connection c;
        c.setConnectionString(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") +
                              ours);
        c.open();
        c.execute(QStringLiteral("CREATE TABLE [会員] ([氏名] NCHAR(20))"));
        c.close();
        open(ours);
        ASSERT_EQ(form->DatabasePath, ours);
        services.clearRecords();
    }
    QStringList filesHere() const { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden); }

    testsupport::TempDir dir;
    platform::ScriptedServices services;
    std::unique_ptr<TForm1> form;
    QString source;
};

}  // namespace

TEST_F(OpenAccessFile, AgreeingConvertsBesideTheOriginalShowsTheReportAndOpensTheNewFile) {
    const QString expected = dir.file(QStringLiteral("顧客_tesmora.mdb"));
    services.answerNextQuestion(Answer::Ok);
    services.answerNextSave(expected);
    QString shownReport;
    services.answerNextDialog([&](QDialog& d) {
        EXPECT_EQ(d.windowTitle(), QStringLiteral("変換報告"));
        shownReport = d.findChild<QPlainTextEdit*>(QStringLiteral("Memo1"))->toPlainText();
        d.findChild<QPushButton*>(QStringLiteral("Button1"))->click();
    });
    open(source);

    ASSERT_EQ(services.messages.size(), 1u);
    EXPECT_EQ(services.messages[0].caption, QStringLiteral("Accessファイルの変換"));
    EXPECT_TRUE(services.messages[0].text.contains(QStringLiteral("顧客.mdb")));
    // The save dialog proposes the "_tesmora" name beside the original.
    const platform::FileDialogRequest& save = services.fileRequests.back();
    EXPECT_EQ(save.fileName, expected);
    EXPECT_EQ(save.defaultSuffix, QStringLiteral("mdb"));
    EXPECT_TRUE(shownReport.contains(QStringLiteral("テーブル「Table1」: 2件")))
        << shownReport.toStdString();
    EXPECT_TRUE(shownReport.contains(accessfile::reportPathFor(expected)));

    EXPECT_EQ(form->DatabasePath, expected);
    EXPECT_FALSE(form->DBGrid1->isHidden());
    EXPECT_EQ(form->ComboBox1->count(), 4);
    EXPECT_EQ(form->ComboBox1->currentText(), QStringLiteral("Table1"));
    EXPECT_EQ(form->ADODataSet1.recordCount(), 2);
    EXPECT_TRUE(services.errors.isEmpty()) << services.errors.join('\n').toStdString();
    EXPECT_EQ(services.busyDepth, 0);
}

TEST_F(OpenAccessFile, DecliningOrCancellingTheSaveDialogChangesNothing) {
    openOurs();
    services.answerNextQuestion(Answer::Cancel);
    open(source);
    EXPECT_EQ(form->DatabasePath, dir.file(QStringLiteral("ours.mdb")));
    EXPECT_FALSE(form->DBGrid1->isHidden());

    services.answerNextQuestion(Answer::Ok);
    services.answerNextSave(QString());
    open(source);
    EXPECT_EQ(form->DatabasePath, dir.file(QStringLiteral("ours.mdb")));
    EXPECT_EQ(form->ComboBox1->currentText(), QStringLiteral("会員"));
    EXPECT_EQ(filesHere(), (QStringList{QStringLiteral("ours.mdb"), QStringLiteral("顧客.mdb")}));
    // No password prompt: the file was never taken for one of ours.
    EXPECT_TRUE(services.dialogsShown.isEmpty());
}

TEST_F(OpenAccessFile, AFailedConversionNamesItsReasonAndLeavesTheOpenDatabase) {
    openOurs();
    // Cut short, as a copy broken off half-way would be.
    QFile f(source);
    ASSERT_TRUE(f.resize(f.size() / 2 + 10));
    services.answerNextQuestion(Answer::Ok);
    services.answerNextSave(dir.file(QStringLiteral("顧客_tesmora.mdb")));
    open(source);
    ASSERT_EQ(services.messages.size(), 2u);
    EXPECT_EQ(services.messages[1].caption, QStringLiteral("変換の中止"));
    EXPECT_TRUE(services.messages[1].text.startsWith(QStringLiteral("ファイルが壊れている")))
        << services.messages[1].text.toStdString();
    EXPECT_EQ(form->DatabasePath, dir.file(QStringLiteral("ours.mdb")));
    EXPECT_EQ(filesHere(), (QStringList{QStringLiteral("ours.mdb"), QStringLiteral("顧客.mdb")}));
    EXPECT_EQ(services.busyDepth, 0);
}

TEST_F(OpenAccessFile, TheCommandLineTakesTheSameWayAndKeepsItsTable) {
    services.answerNextQuestion(Answer::Ok);
    services.answerNextSave(dir.file(QStringLiteral("new.mdb")));
    services.answerNextDialog([](QDialog& d) { d.accept(); });
    form->OpenFromCommandLine(source, QStringLiteral("Table3"));
    EXPECT_EQ(form->DatabasePath, dir.file(QStringLiteral("new.mdb")));
    EXPECT_EQ(form->ComboBox1->currentText(), QStringLiteral("Table3"));
}
