// What TUGExcel::SelectionAddress answers for what the user selects with the
// mouse and the keyboard in the sheet window.
#include <QLabel>
#include <QTabBar>

#include "ShownBook.h"

class Selection : public ShownBook {
protected:
    void SetUp() override { open(QStringLiteral("shown.xlsx")); }
};

TEST_F(Selection, ACellAMergedCellAndARange) {
    click(11, 1);
    EXPECT_EQ(excel.SelectionAddress(), "A11");
    // Part of a merged area selects all of it: its top-left answers.
    click(5, 3);
    EXPECT_EQ(excel.SelectionAddress(), "B5");
    // Dragging up and left still answers the top-left cell.
    QTest::mousePress(viewport(), Qt::LeftButton, {}, sheettest::cellCentre(view(), 15, 3));
    QTest::mouseMove(viewport(), sheettest::cellCentre(view(), 12, 1));
    QTest::mouseRelease(viewport(), Qt::LeftButton, {}, sheettest::cellCentre(view(), 12, 1));
    EXPECT_EQ(excel.SelectionAddress(), "A12");
    EXPECT_EQ(window()->findChild<QLabel*>(QStringLiteral("AddressLabel"))->text(), "A12:C15");
    // Shift+click extends from the anchor.
    click(17, 3);
    click(14, 2, Qt::ShiftModifier);
    EXPECT_EQ(excel.SelectionAddress(), "B14");
    EXPECT_EQ(window()->selection().cells, (excel::RangeRef{{14, 2}, {17, 3}}));
}

TEST_F(Selection, KeyboardMovesAndExtends) {
    click(11, 1);
    key(Qt::Key_Down);
    key(Qt::Key_Right, Qt::ShiftModifier);
    key(Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(excel.SelectionAddress(), "A12");
    EXPECT_EQ(window()->selection().cells, (excel::RangeRef{{12, 1}, {13, 2}}));
    // Stepping right out of the merged B4:C4 lands beyond it.
    click(4, 2);
    key(Qt::Key_Right);
    EXPECT_EQ(excel.SelectionAddress(), "D4");
    key(Qt::Key_Up);
    key(Qt::Key_Up);
    key(Qt::Key_Up);
    key(Qt::Key_Up);
    EXPECT_EQ(excel.SelectionAddress(), "D1");  // the top row stops it
}

TEST_F(Selection, PicturesAndOtherShapes) {
    clickShape(QStringLiteral("Picture 3"));
    EXPECT_EQ(excel.SelectionAddress(), "#3");
    clickShape(QStringLiteral("Picture 5"), Qt::ControlModifier);
    EXPECT_EQ(window()->selection().shapeNames.size(), 2);
    EXPECT_EQ(excel.SelectionAddress(), "");
    clickShape(QStringLiteral("Picture 5"));
    EXPECT_EQ(excel.SelectionAddress(), "#5");
    clickShape(QStringLiteral("TextBox 7"));
    EXPECT_EQ(excel.SelectionAddress(), "");
    // Back on a cell, the cell answers again.
    click(2, 1);
    EXPECT_EQ(excel.SelectionAddress(), "A1");
}

TEST_F(Selection, FollowsTheSheetTheProgramOrTheUserActivates) {
    ASSERT_TRUE(excel.SelectSheet(QStringLiteral("Sheet2")));
    window()->refresh();
    auto* tabs = window()->findChild<QTabBar*>(QStringLiteral("SheetTabs"));
    ASSERT_NE(tabs, nullptr);
    EXPECT_EQ(tabs->currentIndex(), 1);
    EXPECT_EQ(view().sheet()->name(), "Sheet2");
    tabs->setCurrentIndex(0);
    EXPECT_EQ(excel.SheetName(), "帳票");
    EXPECT_EQ(window()->windowTitle(), "shown.xlsx[*]");
}

TEST_F(ShownBook, ASheetThatCannotBeReadIsReportedAndTheUserStays) {
    open(QStringLiteral("broken.xlsx"));
    auto* tabs = window()->findChild<QTabBar*>(QStringLiteral("SheetTabs"));
    tabs->setCurrentIndex(1);
    EXPECT_EQ(services.errors.size(), 1);
    EXPECT_EQ(tabs->currentIndex(), 0);
    EXPECT_EQ(excel.SheetName(), "帳票");
    EXPECT_TRUE(view().readable());
    click(11, 1);
    EXPECT_EQ(excel.SelectionAddress(), "A11");
}

TEST_F(ShownBook, StylesThatCannotBeReadAreReportedWithoutEndingTheProgram) {
    open(QStringLiteral("badstyles.xlsx"));  // styles are read when first drawn
    ASSERT_NE(window(), nullptr);
    QImage shot(view().size(), QImage::Format_RGB32);
    view().render(&shot);               // painting needs the styles
    QCoreApplication::processEvents();  // the report comes after the paint
    EXPECT_EQ(services.errors.size(), 1);
    EXPECT_FALSE(view().readable());
    EXPECT_TRUE(excel.ExcelAlive());
}
