// tesmora-programfiles FOLDER: writes those of System.dt, DBTemplate.mdb and
// SystemData.mdb that FOLDER lacks (the build runs it for the executable's
// folder on every build); files already there are kept.
#include <QCoreApplication>
#include <iostream>

#include "ProgramFiles.h"
#include "db/Db.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2) {
        std::cerr << "usage: tesmora-programfiles FOLDER\n";
        return 2;
    }
    try {
        programfiles::writeAll(args[1]);
    } catch (const db::Error& e) {
        std::cerr << "tesmora-programfiles: " << e.message().toStdString() << "\n";
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "tesmora-programfiles: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
