#include <QApplication>
#include <QFont>
#include <iostream>
#include <memory>

#include "OutputTool.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("TZ")) qputenv("TZ", ":/etc/localtime");
    // Printing and Web pages draw with the program's fonts; saving
    // workbooks starts faster without the window system.
    bool draws = false;
    for (int i = 1; i < argc; ++i)
        draws = draws || std::string(argv[i]) == "--pdf" || std::string(argv[i]) == "--web";
    std::unique_ptr<QCoreApplication> app;
    if (draws) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QApplication>(argc, argv);
        QApplication::setFont(QFont(QStringLiteral("Noto Sans CJK JP"), 9));
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    return outputtool::run(args, QCoreApplication::applicationDirPath(), std::cout, std::cerr);
}
