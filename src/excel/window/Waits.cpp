#include "excel/window/Waits.h"

#include <QDialog>
#include <QEventLoop>
#include <QGuiApplication>
#include <QPointer>
#include <QWindow>

#include "excel/window/SheetWindow.h"
#include "excel/window/WindowPresenter.h"
#include "platform/BusyWindow.h"
#include "platform/Services.h"

namespace excel::window {

namespace {

// Lifts a dialog out of its owner for a scope so that disabling the caller
// does not disable it too, and puts it back afterwards.
class DetachedWhile {
public:
    explicit DetachedWhile(QDialog& dialog)
        : dialog_(&dialog), owner_(dialog.parentWidget()), flags_(dialog.windowFlags()) {
        dialog.setParent(nullptr, flags_ | Qt::Dialog | Qt::WindowStaysOnTopHint);
    }
    ~DetachedWhile() {
        if (dialog_) dialog_->setParent(owner_, flags_);
    }
    DetachedWhile(const DetachedWhile&) = delete;
    DetachedWhile& operator=(const DetachedWhile&) = delete;

private:
    QPointer<QDialog> dialog_;
    QPointer<QWidget> owner_;
    Qt::WindowFlags flags_;
};

}  // namespace

void waitUntilClosed(SheetWindow* sheet, QWidget* caller) {
    if (!sheet || !sheet->isOpen()) return;
    // Whatever the caller wrote into the book before waiting is shown now.
    sheet->refresh();
    platform::DisabledWindow disabled(caller);
    QEventLoop loop;
    QPointer<SheetWindow> watched(sheet);
    QObject::connect(sheet, &SheetWindow::closed, &loop, &QEventLoop::quit);
    QObject::connect(sheet, &QObject::destroyed, &loop, &QEventLoop::quit);
    if (watched && watched->isOpen()) loop.exec();
}

int showAbove(platform::Services& services, QDialog& dialog, SheetWindow* sheet, QWidget* caller) {
    if (sheet && sheet->isOpen()) sheet->refresh();
    DetachedWhile detached(dialog);
    platform::DisabledWindow disabled(caller == &dialog ? nullptr : caller);
    dialog.winId();
    QWindow* above = sheet && sheet->isOpen() && sheet->windowHandle()
                         ? sheet->windowHandle()
                         : QGuiApplication::modalWindow();
    return services.showFloating(&dialog, above);
}

void waitUntilClosed(const TUGExcel& excel, QWidget* caller) {
    waitUntilClosed(sheetWindowOf(excel), caller);
}

int showAbove(platform::Services& services, QDialog& dialog, const TUGExcel& excel,
              QWidget* caller) {
    return showAbove(services, dialog, sheetWindowOf(excel), caller);
}

}  // namespace excel::window
