#include <QApplication>
#include <QFont>
#include <iostream>
#include <memory>

#include "ListTool.h"

int main(int argc, char** argv) {
    // Without TZ the C library looks at /etc/localtime again for every date
    // it converts; naming the same file once lets it keep what it read.
    if (qEnvironmentVariableIsEmpty("TZ")) qputenv("TZ", ":/etc/localtime");
    // Only the printed list draws text; the other modes start faster without
    // the fonts and the window system.
    bool draws = false;
    for (int i = 1; i < argc; ++i) draws = draws || std::string(argv[i]) == "--pdf";
    std::unique_ptr<QCoreApplication> app;
    if (draws) {
        // Drawn with the program's fonts, but never on a screen.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QApplication>(argc, argv);
        QApplication::setFont(QFont(QStringLiteral("Noto Sans CJK JP"), 9));
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    return listtool::run(args, std::cout, std::cerr);
}
