// Waiting on the sheet window, and dialogs floating above it.
#include <QDialog>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

#include "ShownBook.h"
#include "excel/window/Waits.h"
#include "platform/QtServices.h"

namespace {

// The shape of the program's floating dialogs: a note and an OK button.
class PickDialog : public QDialog {
public:
    explicit PickDialog(QWidget* owner) : QDialog(owner) {
        setObjectName(QStringLiteral("PickDialog"));
        auto* layout = new QVBoxLayout(this);
        ok = new QPushButton(QStringLiteral("OK"), this);
        ok->setObjectName(QStringLiteral("OkButton"));
        layout->addWidget(ok);
        connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    }
    QPushButton* ok;
};

// Runs step once the wait has started (the next turn of its event loop).
void whileWaiting(std::function<void()> step) {
    QTimer::singleShot(0, std::move(step));
}

}  // namespace

class Waits : public ShownBook {
protected:
    void SetUp() override {
        open(QStringLiteral("shown.xlsx"));
        caller.setObjectName(QStringLiteral("Caller"));
        caller.show();
    }
    QWidget caller;
    // The desktop's own floating dialogs, for the tests of how they float.
    platform::QtServices desktop{true};
};

TEST_F(Waits, WaitUntilClosedKeepsTheCallerDisabledAndTheSheetLive) {
    bool checked = false;
    whileWaiting([&] {
        EXPECT_FALSE(caller.isEnabled());
        EXPECT_TRUE(window()->isEnabled());
        click(11, 1);  // the user still works in the sheet
        EXPECT_EQ(excel.SelectionAddress(), "A11");
        checked = true;
        window()->close();
    });
    excel::window::waitUntilClosed(excel, &caller);
    EXPECT_TRUE(checked);
    EXPECT_FALSE(excel.ExcelAlive());
    EXPECT_TRUE(caller.isEnabled());
    // Nothing shown or already closed: nothing to wait for.
    excel::window::waitUntilClosed(excel, &caller);
    excel::TUGExcel hidden(QStringLiteral("Excel.Application"));
    hidden.OpenBook(path, false);
    excel::window::waitUntilClosed(hidden, &caller);
    EXPECT_TRUE(caller.isEnabled());
}

TEST_F(Waits, WaitEndsWhenTheProgramClosesTheBook) {
    whileWaiting([&] { excel.CloseBook(false); });
    excel::window::waitUntilClosed(window(), &caller);
    EXPECT_FALSE(excel.BookOpen);
    EXPECT_TRUE(caller.isEnabled());
}

TEST_F(Waits, DialogFloatsAboveTheSheetUntilAnswered) {
    PickDialog dialog(&caller);
    bool checked = false;
    whileWaiting([&] {
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_FALSE(caller.isEnabled());
        EXPECT_TRUE(dialog.isEnabled());
        EXPECT_TRUE(dialog.windowFlags() & Qt::WindowStaysOnTopHint);
        EXPECT_EQ(dialog.windowHandle()->transientParent(), window()->windowHandle());
        clickShape(QStringLiteral("Picture 5"));
        EXPECT_EQ(excel.SelectionAddress(), "#5");
        checked = true;
        dialog.ok->click();
    });
    EXPECT_EQ(excel::window::showAbove(desktop, dialog, excel, &caller), QDialog::Accepted);
    EXPECT_TRUE(checked);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(caller.isEnabled());
    EXPECT_EQ(dialog.parentWidget(), &caller);  // back with its owner
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowStaysOnTopHint);
}

TEST_F(Waits, DialogOutlivesASheetClosedUnderIt) {
    PickDialog dialog(&caller);
    whileWaiting([&] {
        window()->close();
        EXPECT_TRUE(dialog.isVisible());
        dialog.reject();  // the user answers afterwards
    });
    EXPECT_EQ(excel::window::showAbove(desktop, dialog, excel, &caller), QDialog::Rejected);
    EXPECT_FALSE(excel.ExcelAlive());
    EXPECT_TRUE(caller.isEnabled());
}

TEST_F(Waits, SheetShownFromAModalDialogTakesInput) {
    excel.CloseBook(false);
    QDialog modal(&caller);
    modal.setObjectName(QStringLiteral("ModalCaller"));
    bool checked = false;
    QTimer::singleShot(0, [&] {
        excel.OpenBook(path, true);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window()));
        // Through the window system, as a real click arrives: a window
        // blocked by the modal dialog would drop it.
        QPoint at = viewport()->mapTo(window(), sheettest::cellCentre(view(), 11, 1));
        QTest::mouseClick(window()->windowHandle(), Qt::LeftButton, {}, at);
        EXPECT_EQ(excel.SelectionAddress(), "A11");
        checked = true;
        excel.CloseBook(false);
        modal.reject();
    });
    modal.exec();
    EXPECT_TRUE(checked);
}

TEST_F(Waits, TheScriptedDoubleAnswersAFloatingDialog) {
    // The user picks a picture in the sheet, then confirms in the dialog: the
    // way registration's dialogs are driven in tests.
    PickDialog dialog(&caller);
    bool played = false;
    services.answerNextDialog([&](QDialog& shown) {
        EXPECT_EQ(&shown, &dialog);
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_TRUE(dialog.isEnabled());
        EXPECT_FALSE(caller.isEnabled());
        clickShape(QStringLiteral("Picture 5"));
        EXPECT_EQ(excel.SelectionAddress(), "#5");
        played = true;
        dialog.ok->click();
    });
    EXPECT_EQ(excel::window::showAbove(services, dialog, excel, &caller), QDialog::Accepted);
    EXPECT_TRUE(played);
    EXPECT_EQ(services.floatingShown, QStringList{"PickDialog"});
    EXPECT_TRUE(caller.isEnabled());
    EXPECT_EQ(dialog.parentWidget(), &caller);
}
