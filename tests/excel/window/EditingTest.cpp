// Editing in place, saving, and closing with and without saving; the saved
// file is read back with openpyxl.
#include <QInputMethodEvent>
#include <QJsonObject>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QToolButton>

#include "ShownBook.h"
#include "excel/Fixtures.h"

namespace {

// openpyxl's view of a few cells of the first sheet.
QJsonObject savedCells(const QString& file) {
    return exceltest::readBack(
        file,
        QStringLiteral(
            "ws = wb.worksheets[0]\n"
            "cells = {a: ws[a].value for a in ('A11', 'A12', 'A14', 'A15', 'B14', 'B15', 'C14')}\n"
            "print(json.dumps({k: (v if v is None or isinstance(v, (int, float)) else str(v))"
            " for k, v in cells.items()}))\n"));
}

void typeText(QWidget* target, const QString& text) {
    // Japanese text comes from the input method, never as key presses.
    QInputMethodEvent event;
    event.setCommitString(text);
    QCoreApplication::sendEvent(target, &event);
}

// Answers the save question with the button of that name.
platform::ScriptedServices::DialogScript answer(const char* button) {
    return [button](QDialog& dialog) {
        auto* b = dialog.findChild<QPushButton*>(QString::fromLatin1(button));
        ASSERT_NE(b, nullptr) << button;
        b->click();
    };
}

}  // namespace

class Editing : public ShownBook {
protected:
    void SetUp() override { open(QStringLiteral("shown.xlsx")); }
    QLineEdit* editor() const { return view().cellEditor(); }
};

TEST_F(Editing, TypingReplacesEnterAndTabMoveEscapeCancels) {
    click(14, 1);
    type(QStringLiteral("abc"));
    ASSERT_TRUE(view().isEditing());
    EXPECT_EQ(cellText(14, 1), "");  // nothing is written before Enter
    key(Qt::Key_Return);
    EXPECT_EQ(cellText(14, 1), "abc");
    EXPECT_EQ(excel.SelectionAddress(), "A15");
    type(QStringLiteral("42"));
    key(Qt::Key_Tab);
    EXPECT_EQ(excel.Book->activeSheet().value(15, 1).type, excel::CellType::Number);
    EXPECT_EQ(excel.SelectionAddress(), "B15");
    typeText(&view(), QStringLiteral("東京都"));
    ASSERT_TRUE(view().isEditing());
    key(Qt::Key_Return);
    EXPECT_EQ(cellText(15, 2), "東京都");
    // Escape leaves the cell as it was.
    click(11, 1);
    type(QStringLiteral("zzz"));
    key(Qt::Key_Escape);
    EXPECT_FALSE(view().isEditing());
    EXPECT_EQ(cellText(11, 1), "");
    EXPECT_TRUE(window()->isWindowModified());
}

TEST_F(Editing, F2AndDoubleClickKeepTheValueDeleteClears) {
    QString before = cellText(12, 1);
    ASSERT_FALSE(before.isEmpty());
    click(12, 1);
    key(Qt::Key_F2);
    ASSERT_NE(editor(), nullptr);
    EXPECT_EQ(editor()->text(), before);
    type(QStringLiteral("!"));
    key(Qt::Key_Return);
    EXPECT_EQ(cellText(12, 1), before + "!");

    EXPECT_EQ(excel.SelectionAddress(), "A13");
    QTest::mouseDClick(viewport(), Qt::LeftButton, {}, sheettest::cellCentre(view(), 6, 2));
    ASSERT_NE(editor(), nullptr);
    EXPECT_EQ(editor()->text(), "123456");  // the value, not "123,456"
    key(Qt::Key_Escape);
    EXPECT_EQ(excel.SelectionAddress(), "B6");

    click(12, 1);
    click(13, 2, Qt::ShiftModifier);
    key(Qt::Key_Delete);
    EXPECT_EQ(cellText(12, 1), "");
    // A value left unchanged by F2 and Enter is not rewritten.
    click(6, 2);
    key(Qt::Key_F2);
    key(Qt::Key_Return);
    EXPECT_EQ(excel.Book->activeSheet().value(6, 2).number, 123456);
}

TEST_F(Editing, SaveButtonAndCtrlSWriteTheSameFile) {
    click(14, 1);
    type(QStringLiteral("saved"));
    key(Qt::Key_Return);
    window()->findChild<QToolButton*>(QStringLiteral("SaveButton"))->click();
    EXPECT_FALSE(window()->isWindowModified());
    EXPECT_EQ(savedCells(path)["A14"].toString(), "saved");

    typeText(&view(), QStringLiteral("二回目"));
    // Ctrl+S while still typing keeps what was typed.
    QApplication::setActiveWindow(window());
    QTest::keyClick(editor(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_FALSE(view().isEditing());
    QJsonObject saved = savedCells(path);
    EXPECT_EQ(saved["A15"].toString(), "二回目");
    EXPECT_TRUE(services.errors.isEmpty()) << services.errors.join('\n').toStdString();
}

TEST_F(Editing, ClosingWithChangesAsksAndDoesWhatTheUserChose) {
    click(14, 1);
    type(QStringLiteral("maybe"));
    key(Qt::Key_Return);

    services.answerNextDialog(answer("CancelButton"));
    window()->close();
    EXPECT_TRUE(excel.ExcelAlive());
    EXPECT_TRUE(window()->isVisible());
    EXPECT_EQ(services.dialogsShown, QStringList{"SaveChangesDialog"});

    services.answerNextDialog(answer("DontSaveButton"));
    window()->close();
    EXPECT_FALSE(excel.ExcelAlive());
    EXPECT_TRUE(savedCells(path)["A14"].isNull());
    // The user has closed it: showing it again is refused, not faked.
    EXPECT_THROW(excel.SetVisible(true), excel::Error);
    // Closing with save afterwards (as list output does) must not bring the
    // discarded edit back into the file.
    excel.CloseBook(true);
    EXPECT_TRUE(savedCells(path)["A14"].isNull());
}

TEST_F(Editing, SavingOnCloseWritesTheFile) {
    click(14, 2);
    type(QStringLiteral("kept"));
    key(Qt::Key_Return);
    services.answerNextDialog(answer("SaveButton"));
    window()->close();
    EXPECT_FALSE(excel.ExcelAlive());
    EXPECT_EQ(savedCells(path)["B14"].toString(), "kept");
}

TEST_F(Editing, ClosingWithoutChangesOrFromTheProgramNeverAsks) {
    // Hiding is not closing: the book stays alive for the program.
    excel.SetVisible(false);
    EXPECT_TRUE(excel.ExcelAlive());
    excel.SetVisible(true);
    window()->close();  // no dialog queued: a question would fail the test
    EXPECT_FALSE(excel.ExcelAlive());

    excel.CloseBook(false);
    open(QStringLiteral("shown.xlsx"));
    excel.SetCell(QStringLiteral("C14"), QStringLiteral("program"));
    excel.CloseBook(false);
    EXPECT_FALSE(excel.ExcelAlive());
    EXPECT_TRUE(savedCells(path)["C14"].isNull());
    EXPECT_TRUE(services.dialogsShown.isEmpty());
}

TEST_F(Editing, TheProgramReadsAndWritesPastWhatTheUserIsStillTyping) {
    // Typed but not confirmed: the program's read takes it, as the user sees it.
    click(14, 1);
    typeText(&view(), QStringLiteral("山田"));
    ASSERT_TRUE(view().isEditing());
    EXPECT_EQ(excel.GetCell(QStringLiteral("A14")), "山田");
    EXPECT_FALSE(view().isEditing());

    // Reading the selection while typing keeps the typed value too.
    click(15, 1);
    type(QStringLiteral("abc"));
    EXPECT_EQ(excel.SelectionAddress(), "A15");
    EXPECT_EQ(cellText(15, 1), "abc");

    // A value the program writes into the cell being typed in is the one
    // that stays: confirming later cannot bring the typed text back over it.
    click(14, 2);
    type(QStringLiteral("old"));
    excel.SetCell(QStringLiteral("B14"), QStringLiteral("program"));
    key(Qt::Key_Return);
    EXPECT_EQ(cellText(14, 2), "program");
    EXPECT_TRUE(window()->isWindowModified());
}

TEST_F(Editing, CellsTheProgramWritesAreRedrawnAtOnce) {
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window()));
    // Counts the paints that reach the screen; grab() would paint anyway.
    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::Paint) ++paints;
            return false;
        }
    } counter;
    viewport()->installEventFilter(&counter);
    QCoreApplication::processEvents();
    counter.paints = 0;
    excel.SetCell(QStringLiteral("B14"), QStringLiteral("登録済"));
    QCoreApplication::processEvents();
    EXPECT_GT(counter.paints, 0);

    // A value written past the shown grid grows it so the user can reach it.
    const int before = view().verticalScrollBar()->maximum();
    excel.SetCell(QStringLiteral("A5000"), QStringLiteral("末尾"));
    EXPECT_GT(view().verticalScrollBar()->maximum(), before);
    EXPECT_GT(view().cellViewportRect({5000, 1}).height(), 0);
    viewport()->removeEventFilter(&counter);
}
