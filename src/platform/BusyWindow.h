#pragma once
// A window busy with a long job: disabled, with the busy cursor, for the
// lifetime of this object. The destructor gives both back, so every way out
// of the job (an error included) leaves the user a working window.
#include <QPointer>
#include <QWidget>

#include "platform/Services.h"

namespace platform {

class BusyWindow {
public:
    BusyWindow(Services& services, QWidget* window) : cursor_(services), window_(window) {
        if (window_ && window_->isEnabled())
            window_->setEnabled(false);
        else
            window_ = nullptr;  // someone else gives it back
    }
    ~BusyWindow() {
        if (window_) window_->setEnabled(true);
    }
    BusyWindow(const BusyWindow&) = delete;
    BusyWindow& operator=(const BusyWindow&) = delete;

private:
    BusyCursor cursor_;
    QPointer<QWidget> window_;
};

}  // namespace platform
