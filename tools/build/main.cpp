#include <QCoreApplication>
#include <iostream>

#include "BuildTool.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    args.removeFirst();
    return buildtool::run(args, std::cout, std::cerr);
}
