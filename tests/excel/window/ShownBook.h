#pragma once
// A workbook opened visible through TUGExcel with the sheet window as its
// presenter and the scripted platform double answering.
#include <gtest/gtest.h>

#include <QTest>

#include "SheetFixtures.h"
#include "excel/Fixtures.h"
#include "excel/TUGExcel.h"
#include "excel/window/SheetView.h"
#include "excel/window/SheetWindow.h"
#include "excel/window/WindowPresenter.h"
#include "platform/ScriptedServices.h"
#include "support/TempDir.h"

class ShownBook : public ::testing::Test {
protected:
    void open(const QString& name, bool visible = true) {
        excel::window::registerSheetWindows(services, sheettest::pdfPrinters(dir.path()));
        path = sheettest::copySheet(name, dir.path());
        excel.OpenBook(path, visible);
    }
    void TearDown() override {
        excel.CloseBook(false);
        excel::setPresenterFactory({});
    }
    excel::window::SheetWindow* window() const { return excel::window::sheetWindowOf(excel); }
    excel::window::SheetView& view() const { return window()->view(); }
    QWidget* viewport() const { return view().viewport(); }
    void click(int row, int col, Qt::KeyboardModifiers modifiers = {}) {
        QTest::mouseClick(viewport(), Qt::LeftButton, modifiers,
                          sheettest::cellCentre(view(), row, col));
    }
    void clickShape(const QString& name, Qt::KeyboardModifiers modifiers = {}) {
        QRect area = view().shapeViewportRect(name);
        ASSERT_FALSE(area.isEmpty()) << name.toStdString();
        QTest::mouseClick(viewport(), Qt::LeftButton, modifiers, area.center());
    }
    // Keys go where the user's keys would: the cell editor while one is open.
    QWidget* focused() const {
        QWidget* w = window()->focusWidget();
        return w ? w : &view();
    }
    void key(int k, Qt::KeyboardModifiers modifiers = {}) {
        QTest::keyClick(focused(), static_cast<Qt::Key>(k), modifiers);
    }
    void type(const QString& ascii) {
        for (QChar c : ascii) QTest::keyClick(focused(), c.toLatin1());
    }
    QString cellText(int row, int col) const {
        return excel.Book->activeSheet().valueText(row, col);
    }

    testsupport::TempDir dir;
    platform::ScriptedServices services;
    excel::TUGExcel excel{QStringLiteral("Excel.Application")};
    QString path;
};
