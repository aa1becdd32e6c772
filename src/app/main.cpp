// The program: checks its folder, creates its windows once each, in a fixed
// order, and runs until the main window closes. Always exits with 0.
#include <QApplication>
#include <QCommandLineParser>
#include <QFont>
#include <QLocale>
#include <QTimer>
#include <memory>

#include "app/StartupChecks.h"
#include "db/Db.h"
#include "documents/StoreLayout.h"
#include "documents/TForm12.h"
#include "documents/TForm8.h"
#include "platform/QtServices.h"
#include "view/TForm1.h"
#include "view/TForm15.h"
#include "view/ProgramFiles.h"

#ifndef TESMORA_WORKBOOK_ENGINE
#define TESMORA_WORKBOOK_ENGINE 0
#endif
#if TESMORA_WORKBOOK_ENGINE
#include "excel/window/WindowPresenter.h"
#endif

namespace {

// The one place where an error nobody foresaw ends up when a handler did not
// catch it: the user sees it and the action ends where it stood, instead of
// the error unwinding through the event loop and ending the program.
class Application : public QApplication {
public:
    using QApplication::QApplication;
    platform::Services* services = nullptr;

    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& e) {
            if (services) services->showError(activeWindow(), e);
            return false;
        }
    }
};

int run(QApplication& application, platform::QtServices& services) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Tesmora"));
    parser.addHelpOption();
    const QCommandLineOption favourite(
        QStringLiteral("favourite"), QStringLiteral("open the favourite registered under NAME"),
        QStringLiteral("NAME"));
    parser.addOption(favourite);
    parser.addPositionalArgument(QStringLiteral("database"),
                                 QStringLiteral("database file to open"),
                                 QStringLiteral("[DATABASE"));
    parser.addPositionalArgument(QStringLiteral("table"),
                                 QStringLiteral("table or saved query to show"),
                                 QStringLiteral("[TABLE]]"));
    parser.process(application);
    const QStringList arguments = parser.positionalArguments();

    const QString folder = QCoreApplication::applicationDirPath() + '/';
    app::FolderAccess access;
    if (const std::optional<QString> failure = app::checkProgramFolder(folder, access)) {
        services.message(nullptr, *failure, app::kStartupCaption);
        return 0;
    }
    // A store written by an earlier version is brought to the current layout
    // in place, rows kept, before any window reads it. When that fails the
    // store is left as it was and the user is told; databases can still be
    // opened and edited, and each store operation reports its own failure.
    platform::runGuarded(services, nullptr, [&] {
        db::Connection store;
        store.setConnectionString(view::systemStoreConnectionString(folder));
        store.open();
        documents::upgradeStoreLayout(store);
    });

    // Created once each, main window first; kept until the program ends.
    TForm1 form1(services, folder);
    form1.Form8 = new TForm8(services, &form1);
    form1.Form12 = new TForm12(&form1);
    auto* form15 = new TForm15(&form1);
    form1.Form15 = form15;

    form1.show();
    if (parser.isSet(favourite)) {
        const QString name = parser.value(favourite);
        QTimer::singleShot(0, &form1, [&form1, name] { form1.OpenFavouriteByName(name); });
    } else if (!arguments.isEmpty()) {
        const QString database = arguments.value(0);
        const QString table = arguments.value(1);
        QTimer::singleShot(
            0, &form1, [&form1, database, table] { form1.OpenFromCommandLine(database, table); });
    }
    application.exec();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // Without TZ the C library looks at /etc/localtime again for every date
    // it converts (a list of a hundred thousand dates would stat the file a
    // hundred thousand times); naming the same file lets it keep what it read.
    if (qEnvironmentVariableIsEmpty("TZ")) qputenv("TZ", ":/etc/localtime");
    Application application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tesmora"));
    QApplication::setApplicationVersion(QStringLiteral("1.0.1"));
    QApplication::setFont(QFont(QStringLiteral("Noto Sans CJK JP"), 9));
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));

    platform::QtServices services(TESMORA_WORKBOOK_ENGINE != 0);
    application.services = &services;
#if TESMORA_WORKBOOK_ENGINE
    // Workbooks that a job shows to the user open in our sheet window.
    excel::window::registerSheetWindows(services);
#endif
    platform::runGuarded(services, nullptr, [&] { run(application, services); });
    application.services = nullptr;  // the services go before the application
    return 0;
}
