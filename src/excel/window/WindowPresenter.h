#pragma once
// The engine's presenter for shown workbooks: a SheetWindow created on first
// show, and printing on the system's printer. registerSheetWindows() makes
// every TUGExcel show its workbooks this way.
#include <QPrinter>
#include <functional>
#include <memory>

#include "excel/BookPresenter.h"

namespace platform {
class Services;
}
namespace excel {
class TUGExcel;
class Workbook;
}  // namespace excel

namespace excel::window {

class SheetWindow;

// Hands out the printer for one print job; by default the desktop's default
// printer. Tests hand out PDF printers instead.
using PrinterSource = std::function<std::unique_ptr<QPrinter>()>;

// The desktop's default printer; throws excel::Error (WriteFailed) when the
// desktop has none set up, rather than printing into nowhere.
std::unique_ptr<QPrinter> defaultPrinter();

// Makes the sheet window the presenter of every shown workbook. services must
// outlive every TUGExcel that shows a workbook.
void registerSheetWindows(platform::Services& services, PrinterSource printers = defaultPrinter);

class WindowPresenter : public BookPresenter {
public:
    // book and services must outlive the presenter.
    WindowPresenter(Workbook& book, platform::Services& services, PrinterSource printers);
    // Closes the window without asking, as closing the book from the program does.
    ~WindowPresenter() override;

    // Showing a window the user has closed throws excel::Error (NoWorkbook):
    // the book is gone for the user, as a closed spreadsheet would be.
    void setVisible(bool visible) override;
    bool isOpen() const override;
    QString caption() const override;
    Selection selection() const override;
    void printActiveSheet() override;
    void cellsChanged(const RangeRef& range) override;
    void layoutChanged() override;
    void commitPendingEdit() override;

    // Null until the workbook was first shown.
    SheetWindow* window() const { return window_.get(); }

private:
    Workbook& book_;
    platform::Services& services_;
    PrinterSource printers_;
    std::unique_ptr<SheetWindow> window_;
};

// The window showing the workbook of excel; null when it shows none.
SheetWindow* sheetWindowOf(const TUGExcel& excel);

}  // namespace excel::window
