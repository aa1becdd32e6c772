#pragma once
// Windows put out of the user's reach for a job, given back on every way out
// of it (an error included). DisabledWindow only disables, for waits in
// which the user works elsewhere; BusyWindow also shows the busy cursor,
// for long jobs of the window itself.
#include <QPointer>
#include <QWidget>

#include "platform/Services.h"

namespace platform {

class DisabledWindow {
public:
    explicit DisabledWindow(QWidget* window) : window_(window) {
        if (window_ && window_->isEnabled())
            window_->setEnabled(false);
        else
            window_ = nullptr;  // someone else gives it back
    }
    ~DisabledWindow() {
        if (window_) window_->setEnabled(true);
    }
    DisabledWindow(const DisabledWindow&) = delete;
    DisabledWindow& operator=(const DisabledWindow&) = delete;

private:
    QPointer<QWidget> window_;
};

class BusyWindow {
public:
    BusyWindow(Services& services, QWidget* window) : cursor_(services), disabled_(window) {}

private:
    BusyCursor cursor_;
    DisabledWindow disabled_;
};

}  // namespace platform
