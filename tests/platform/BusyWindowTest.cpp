#include <gtest/gtest.h>

#include <QWidget>
#include <stdexcept>

#include "platform/BusyWindow.h"
#include "platform/ScriptedServices.h"

TEST(BusyWindow, GivesTheWindowBackOnEveryExitAndLeavesOthersDisabling) {
    platform::ScriptedServices services;
    QWidget window;
    try {
        platform::BusyWindow busy(services, &window);
        EXPECT_FALSE(window.isEnabled());
        EXPECT_EQ(services.busyDepth, 1);
        throw std::runtime_error("job failed");
    } catch (const std::runtime_error&) {
    }
    EXPECT_TRUE(window.isEnabled());
    EXPECT_EQ(services.busyDepth, 0);

    // Disabled by someone else: still disabled afterwards.
    window.setEnabled(false);
    { platform::BusyWindow busy(services, &window); }
    EXPECT_FALSE(window.isEnabled());

    // A window that goes away during the job is no fault.
    auto* gone = new QWidget;
    {
        platform::BusyWindow busy(services, gone);
        delete gone;
    }
    EXPECT_EQ(services.busyDepth, 0);
}
