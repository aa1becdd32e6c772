// make-demo DEST: writes the demo member list used by scripts/run.
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>

#include "DemoDatabase.h"
#include "db/Db.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: make-demo DEST.mdb\n");
        return 2;
    }
    const QString dest = QFileInfo(args[1]).absoluteFilePath();
    try {
        QDir().mkpath(QFileInfo(dest).absolutePath());
        demo::writeDemoDatabase(dest);
    } catch (const db::Error& e) {
        std::fprintf(stderr, "make-demo: %s\n", qPrintable(e.message()));
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make-demo: %s: %s\n", qPrintable(dest), e.what());
        return 1;
    }
    return 0;
}
