// make-demo [--program-folder DIR] DEST.mdb: writes the demo member list used
// by scripts/run (kept when it exists) and, given the program folder, the
// demo document's template beside it, registered in that folder's store.
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>

#include "DemoDatabase.h"
#include "db/Db.h"
#ifdef TESMORA_DEMO_DOCUMENT
#include "DemoDocument.h"
#endif

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    args.removeFirst();
    QString programFolder;
    if (args.size() >= 2 && args[0] == QLatin1String("--program-folder")) {
        programFolder = args[1];
        args = args.mid(2);
    }
    if (args.size() != 1) {
        std::fprintf(stderr, "usage: make-demo [--program-folder DIR] DEST.mdb\n");
        return 2;
    }
    const QString dest = QFileInfo(args[0]).absoluteFilePath();
    try {
        QDir().mkpath(QFileInfo(dest).absolutePath());
        // The user's demo data, once made, is theirs.
        if (!QFileInfo::exists(dest)) demo::writeDemoDatabase(dest);
#ifdef TESMORA_DEMO_DOCUMENT
        if (!programFolder.isEmpty()) {
            if (!programFolder.endsWith(QLatin1Char('/'))) programFolder += QLatin1Char('/');
            const QString templ =
                QFileInfo(dest).absolutePath() + QStringLiteral("/会員証.xlsx");
            if (!QFileInfo::exists(templ)) demo::writeDemoTemplate(templ);
            demo::registerDemoDocument(programFolder, dest, templ);
        }
#endif
    } catch (const db::Error& e) {
        std::fprintf(stderr, "make-demo: %s\n", qPrintable(e.message()));
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make-demo: %s: %s\n", qPrintable(dest), e.what());
        return 1;
    }
    return 0;
}
