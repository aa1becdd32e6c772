#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>

#include "platform/ScriptedServices.h"
#include "view/TForm22.h"
#include "view/TForm58.h"

namespace {

struct FakeMemo : view::MemoBinding {
    QString stored;
    int writes = 0;
    QString text() const override { return stored; }
    void setText(const QString& t) override {
        stored = t;
        ++writes;
    }
};

void type(QWidget* w, const QString& text) {
    // keyClicks cannot send non-ASCII text; an input-method commit can.
    QInputMethodEvent e;
    e.setCommitString(text);
    QApplication::sendEvent(w, &e);
}

template <typename W>
W* control(QWidget& w, const char* name) {
    W* c = w.findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(c, nullptr) << name;
    return c;
}

// A memo editor over a fake field holding text, shown as the opener does.
struct MemoEditor : ::testing::Test {
    platform::ScriptedServices services;
    FakeMemo* m = nullptr;
    std::unique_ptr<TForm22> editor;
    TForm22& open(const QString& text, bool editable) {
        auto memo = std::make_unique<FakeMemo>();
        memo->stored = text;
        m = memo.get();
        editor = std::make_unique<TForm22>(services, QStringLiteral("備考"), std::move(memo));
        editor->Editable = editable;
        editor->FormShow();
        return *editor;
    }
};

}  // namespace

TEST_F(MemoEditor, ReadOnlyFieldShowsNoEditingButtons) {
    TForm22& form = open(QStringLiteral("長い備考"), false);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("メモデータ編集－－備考"));
    EXPECT_EQ(form.minimumSize(), QSize(298, 240));
    auto* edit = control<QPlainTextEdit>(form, "DBMemo1");
    EXPECT_EQ(edit->toPlainText(), QStringLiteral("長い備考"));
    EXPECT_TRUE(edit->isReadOnly());
    for (const char* b : {"SpeedButton2", "SpeedButton3", "SpeedButton4", "SpeedButton5"})
        EXPECT_TRUE(control<QToolButton>(form, b)->isHidden()) << b;
    EXPECT_EQ(control<QStatusBar>(form, "StatusBar1")->currentMessage(), QStringLiteral("データ編集不可"));
    form.show();
    type(edit, QStringLiteral("追記"));
    EXPECT_EQ(m->stored, QStringLiteral("長い備考"));
    EXPECT_EQ(m->writes, 0);
}

TEST_F(MemoEditor, TypingWritesTheFieldAndUndoIsOneStepOnly) {
    TForm22& form = open(QStringLiteral("一行目"), true);
    form.show();
    EXPECT_EQ(control<QStatusBar>(form, "StatusBar1")->currentMessage(), QStringLiteral("データ編集可能"));
    auto* edit = control<QPlainTextEdit>(form, "DBMemo1");
    EXPECT_EQ(m->writes, 0);  // loading is no change

    edit->moveCursor(QTextCursor::End);
    type(edit, QStringLiteral("A"));
    type(edit, QStringLiteral("B"));
    EXPECT_EQ(m->stored, QStringLiteral("一行目AB"));
    control<QToolButton>(form, "SpeedButton5")->click();
    EXPECT_EQ(m->stored, QStringLiteral("一行目A"));
    control<QToolButton>(form, "SpeedButton5")->click();
    EXPECT_EQ(m->stored, QStringLiteral("一行目A"));
    // Ctrl+Z is the same single step, never a deeper undo history.
    type(edit, QStringLiteral("C"));
    type(edit, QStringLiteral("D"));
    QTest::keyClick(edit, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(m->stored, QStringLiteral("一行目AC"));
    QTest::keyClick(edit, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(m->stored, QStringLiteral("一行目AC"));

    // Cut, copy and paste go through the desktop's clipboard service.
    edit->selectAll();
    control<QToolButton>(form, "SpeedButton3")->click();
    EXPECT_EQ(services.clipboard, QStringLiteral("一行目AC"));
    control<QToolButton>(form, "SpeedButton2")->click();
    EXPECT_EQ(m->stored, QString());
    services.clipboard = QStringLiteral("貼\n付");
    control<QToolButton>(form, "SpeedButton4")->click();
    EXPECT_EQ(m->stored, QStringLiteral("貼\n付"));

    // Closing stores nothing more and discards nothing.
    const int writes = m->writes;
    control<QToolButton>(form, "SpeedButton1")->click();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(m->writes, writes);
}

namespace {
struct FakeBrowser : view::PageBrowser {
    QStringList calls;
    void back() override { calls << QStringLiteral("back"); }
    void forward() override { calls << QStringLiteral("forward"); }
    void goSearchPage() override { calls << QStringLiteral("search"); }
    void navigate(const QUrl& url) override {
        calls << url.toString();
        // A redirect: the browser reports where it ended up.
        emit loaded(QUrl(url.toString() + QStringLiteral("landing")));
    }
};
}  // namespace

TEST(UrlWindow, ShowStartsAtSearchPageAndAddressFollowsTheBrowser) {
    platform::ScriptedServices services;
    auto browser = std::make_unique<FakeBrowser>();
    FakeBrowser* b = browser.get();
    TForm58 form(services, std::move(browser));
    EXPECT_EQ(form.windowTitle(), QStringLiteral("URL検索"));
    EXPECT_EQ(form.minimumSize(), QSize(553, 359));
    form.FormShow();
    EXPECT_EQ(form.Edit1->text(), QStringLiteral("－－－検索サイトを起動中－－－"));
    EXPECT_EQ(b->calls, QStringList{QStringLiteral("search")});

    form.Edit1->setText(QStringLiteral("https://example.org/"));
    control<QToolButton>(form, "SpeedButton4")->click();
    EXPECT_EQ(b->calls.last(), QStringLiteral("https://example.org/"));
    EXPECT_EQ(form.Edit1->text(), QStringLiteral("https://example.org/landing"));

    control<QToolButton>(form, "SpeedButton1")->click();
    control<QToolButton>(form, "SpeedButton2")->click();
    control<QToolButton>(form, "SpeedButton3")->click();
    EXPECT_EQ(b->calls.mid(2), (QStringList{QStringLiteral("back"), QStringLiteral("forward"), QStringLiteral("search")}));

    form.Edit1->setText(QStringLiteral("https://example.org/") + QString(3000, QLatin1Char('a')));
    control<QToolButton>(form, "SpeedButton4")->click();
    EXPECT_EQ(b->calls.last().size(), 1999);

    form.show();
    control<QPushButton>(form, "SpeedButton5")->click();
    EXPECT_EQ(form.result(), QDialog::Accepted);
}

TEST(UrlWindow, DesktopFallbackHandsOnlyWebPagesToTheDesktop) {
    platform::ScriptedServices services;
    TForm58 form(services, std::make_unique<view::DesktopPageBrowser>(services));
    form.FormShow();
    ASSERT_EQ(services.openedUrls.size(), 1u);
    EXPECT_EQ(services.openedUrls[0], view::searchPageUrl());
    EXPECT_EQ(form.Edit1->text(), view::searchPageUrl().toString());
    form.Edit1->setText(QStringLiteral("/usr/bin/xterm"));
    control<QToolButton>(form, "SpeedButton4")->click();
    EXPECT_EQ(services.openedUrls.size(), 1u);
    form.Edit1->setText(QStringLiteral("example.com/a"));
    control<QToolButton>(form, "SpeedButton4")->click();
    ASSERT_EQ(services.openedUrls.size(), 2u);
    EXPECT_EQ(services.openedUrls[1].host(), QStringLiteral("example.com"));
    control<QPushButton>(form, "SpeedButton6")->click();
    EXPECT_EQ(form.result(), QDialog::Rejected);
}
