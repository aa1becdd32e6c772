#include <QCoreApplication>
#include <iostream>

#include "SqlTool.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    args.removeFirst();
    return sqltool::run(args, std::cout, std::cerr);
}
