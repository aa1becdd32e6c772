#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/ScriptedServices.h"

using platform::Answer;
using platform::Buttons;
using platform::ScriptedServices;

TEST(ScriptedServices, RecordsMessagesAndAnswersQuestionsInOrder) {
    ScriptedServices s;
    s.answerNextQuestion(Answer::Cancel);
    s.answerNextQuestion(Answer::Ok);
    EXPECT_EQ(s.message(nullptr, "a", "c1"), Answer::Ok);
    EXPECT_EQ(s.message(nullptr, "b", "c2", Buttons::OkCancel), Answer::Cancel);
    EXPECT_EQ(s.message(nullptr, "c", "c3", Buttons::OkCancel), Answer::Ok);
    ASSERT_EQ(s.messages.size(), 3u);
    EXPECT_EQ(s.messages[1].caption, "c2");
    EXPECT_EQ(s.messages[1].buttons, Buttons::OkCancel);
    EXPECT_EQ(s.messageTexts(), QStringList({"a", "b", "c"}));
}

TEST(ScriptedServices, UnexpectedDialogsAndUnusedAnswersFailTheTest) {
    EXPECT_NONFATAL_FAILURE(
        {
            ScriptedServices s;
            s.message(nullptr, "続けますか", "確認", Buttons::OkCancel);
        },
        "unexpected question");
    EXPECT_NONFATAL_FAILURE(
        {
            ScriptedServices s;
            EXPECT_TRUE(s.openFiles(nullptr, {}).isEmpty());
        },
        "unexpected open dialog");
    EXPECT_NONFATAL_FAILURE(
        {
            ScriptedServices s;
            QDialog d;
            EXPECT_EQ(s.execDialog(&d), QDialog::Rejected);
        },
        "unexpected dialog");
    EXPECT_NONFATAL_FAILURE(
        {
            ScriptedServices s;
            s.answerNextSave("/tmp/x.csv");
        },
        "unused");
}

TEST(ScriptedServices, FileDialogsAnswerFromTheirQueuesAndKeepTheRequest) {
    ScriptedServices s;
    s.answerNextOpen({"/a.mdb"});
    s.answerNextSave("");
    platform::FileDialogRequest r;
    r.filter = "Accessファイル(*.mdb)|*.mdb";
    EXPECT_EQ(s.openFiles(nullptr, r), QStringList{"/a.mdb"});
    EXPECT_EQ(s.saveFile(nullptr, r), "");
    ASSERT_EQ(s.fileRequests.size(), 2u);
    EXPECT_EQ(s.fileRequests[0].filter, r.filter);
}

namespace {

// A small dialog shaped like the program's own: an edit box and two buttons.
struct PromptDialog : QDialog {
    PromptDialog() {
        setObjectName("Prompt");
        auto* layout = new QVBoxLayout(this);
        edit = new QLineEdit(this);
        edit->setObjectName("Edit1");
        ok = new QPushButton("OK", this);
        ok->setObjectName("Button1");
        layout->addWidget(edit);
        layout->addWidget(ok);
        connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    }
    void showEvent(QShowEvent* e) override {
        ++shows;
        QDialog::showEvent(e);
    }
    QLineEdit* edit;
    QPushButton* ok;
    int shows = 0;
};

}  // namespace

TEST(ScriptedServices, DialogScriptsDriveTheRealDialog) {
    ScriptedServices s;
    PromptDialog d;
    s.answerNextDialog([](QDialog& dialog) {
        dialog.findChild<QLineEdit*>("Edit1")->setText("secret");
        dialog.findChild<QPushButton*>("Button1")->click();
    });
    EXPECT_EQ(s.execDialog(&d), QDialog::Accepted);
    EXPECT_EQ(d.edit->text(), "secret");
    EXPECT_EQ(d.shows, 1);
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(s.dialogsShown, QStringList{"Prompt"});

    // A script that never closes the dialog would hang a real modal loop.
    EXPECT_NONFATAL_FAILURE(
        {
            s.answerNextDialog([](QDialog&) {});
            EXPECT_EQ(s.execDialog(&d), QDialog::Rejected);
        },
        "left open");
}

TEST(ScriptedServices, BusyCursorNestsAndDetectionIsScriptable) {
    ScriptedServices s;
    {
        platform::BusyCursor outer(s);
        platform::BusyCursor inner(s);
        EXPECT_EQ(s.busyDepth, 2);
    }
    EXPECT_EQ(s.busyDepth, 0);
    EXPECT_EQ(s.busyCalls, 2);
    EXPECT_EQ(s.workbookEngineVersion(), "16.0");
    s.workbookEngineAvailable = false;
    EXPECT_THROW(s.workbookEngineVersion(), std::runtime_error);
    EXPECT_TRUE(s.isClassRegistered(".accdb"));
    EXPECT_FALSE(s.isClassRegistered("Excel.Application.11"));
}
