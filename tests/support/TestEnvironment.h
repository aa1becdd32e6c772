#pragma once
// Fixes what tests must not inherit from the machine: Japanese locale,
// Tokyo time zone, offscreen windows.
#include <QLocale>

#include <cstdlib>

namespace testsupport {

inline void prepareEnvironment() {
    setenv("TZ", "Asia/Tokyo", 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    tzset();
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
}

}  // namespace testsupport
