#include <QApplication>
#include <QFont>
#include <iostream>

#include "ListTool.h"

int main(int argc, char** argv) {
    // Without TZ the C library looks at /etc/localtime again for every date
    // it converts; naming the same file once lets it keep what it read.
    if (qEnvironmentVariableIsEmpty("TZ")) qputenv("TZ", ":/etc/localtime");
    // The printed list is drawn with the program's fonts, but never needs a screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setFont(QFont(QStringLiteral("Noto Sans CJK JP"), 9));
    QStringList args = app.arguments();
    args.removeFirst();
    return listtool::run(args, std::cout, std::cerr);
}
