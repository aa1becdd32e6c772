#include <QCoreApplication>
#include <iostream>

#include "DocsTool.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    args.removeFirst();
    return docstool::run(args, QCoreApplication::applicationDirPath(), std::cout, std::cerr);
}
