#include "excel/window/WindowPresenter.h"

#include <QFileInfo>
#include <QPrinterInfo>

#include "excel/Error.h"
#include "excel/TUGExcel.h"
#include "excel/Workbook.h"
#include "excel/window/SheetPrinting.h"
#include "excel/window/SheetView.h"
#include "excel/window/SheetWindow.h"

namespace excel::window {

std::unique_ptr<QPrinter> defaultPrinter() {
    QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull())
        throw Error(ErrorCode::WriteFailed, QStringLiteral("no default printer is set up"));
    return std::make_unique<QPrinter>(info, QPrinter::HighResolution);
}

void registerSheetWindows(platform::Services& services, PrinterSource printers) {
    setPresenterFactory([&services, printers](Workbook& book) -> std::unique_ptr<BookPresenter> {
        return std::make_unique<WindowPresenter>(book, services, printers);
    });
}

WindowPresenter::WindowPresenter(Workbook& book, platform::Services& services,
                                 PrinterSource printers)
    : book_(book), services_(services), printers_(std::move(printers)) {}

WindowPresenter::~WindowPresenter() {
    if (window_) window_->closeWithoutAsking();
}

void WindowPresenter::setVisible(bool visible) {
    if (window_ && !window_->isOpen()) {
        throw Error(ErrorCode::NoWorkbook,
                    QStringLiteral("the window of %1 was closed by the user").arg(book_.path()));
    }
    if (!visible) {
        if (window_) window_->hide();
        return;
    }
    if (!window_) window_ = std::make_unique<SheetWindow>(book_, services_);
    window_->refresh();
    window_->present();
}

bool WindowPresenter::isOpen() const {
    return window_ ? window_->isOpen() : true;
}

QString WindowPresenter::caption() const {
    return QFileInfo(book_.path()).fileName();
}

Selection WindowPresenter::selection() const {
    if (window_) return window_->selection();
    Selection stored;
    stored.cells = book_.activeSheet().storedSelection();
    return stored;
}

void WindowPresenter::printActiveSheet() {
    if (!printers_) throw Error(ErrorCode::WriteFailed, QStringLiteral("no printer is available"));
    std::unique_ptr<QPrinter> printer = printers_();
    if (!printer) throw Error(ErrorCode::WriteFailed, QStringLiteral("no printer is available"));
    printer->setDocName(QFileInfo(book_.path()).fileName());
    printSheet(book_.activeSheet(), *printer);
}

void WindowPresenter::cellsChanged(const RangeRef& range) {
    if (window_ && window_->isOpen()) window_->cellsChanged(range);
}

void WindowPresenter::layoutChanged() {
    if (window_ && window_->isOpen()) window_->refresh();
}

void WindowPresenter::commitPendingEdit() {
    if (window_ && window_->isOpen() && window_->view().isEditing()) window_->view().commitEdit();
}

SheetWindow* sheetWindowOf(const TUGExcel& excel) {
    auto* presenter = dynamic_cast<WindowPresenter*>(excel.ExcelApp.get());
    return presenter ? presenter->window() : nullptr;
}

}  // namespace excel::window
