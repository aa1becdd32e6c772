#include "ProgramFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <functional>
#include <stdexcept>

#include "db/Db.h"
#include "documents/StoreLayout.h"

namespace programfiles {

namespace {

// Builds a database under a temporary name, then renames it over `path`, so
// an interrupted build never leaves a half-made store behind.
void buildDatabase(const QString& path, const std::function<void(db::Connection&)>& fill,
                   const QString& password = {}) {
    const QString temp = path + QStringLiteral(".part");
    QFile::remove(temp);
    try {
        db::createDatabase(temp);
        {
            db::Connection c;
            c.setConnectionString(
                QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"%1\"").arg(temp));
            c.open();
            db::Transaction t(c);
            fill(c);
            t.commit();
        }
        if (!password.isEmpty()) db::setDatabasePassword(temp, QString(), password);
    } catch (...) {
        QFile::remove(temp);
        throw;
    }
    QFile::remove(path);
    if (!QFile::rename(temp, path)) {
        QFile::remove(temp);
        throw std::runtime_error(("cannot write " + path).toStdString());
    }
}

}  // namespace

void writeSystemMarker(const QString& path) {
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        throw std::runtime_error(("cannot write " + path).toStdString());
    f.write("Tesmora program folder\n");
    if (!f.commit()) throw std::runtime_error(("cannot write " + path).toStdString());
}

void writeTemplateDatabase(const QString& path) {
    buildDatabase(path, [](db::Connection& c) {
        c.execute(QStringLiteral("CREATE TABLE ベーステーブル (SYS_Q_ID COUNTER PRIMARY KEY)"));
    });
}

void writeSystemStore(const QString& path) {
    buildDatabase(
        path, [](db::Connection& c) { documents::upgradeStoreLayout(c); },
        QString::fromLatin1(kStorePassword));
}

void writeAll(const QString& folder) {
    QDir dir(folder);
    if (!dir.exists() && !dir.mkpath(QStringLiteral(".")))
        throw std::runtime_error(("cannot create " + folder).toStdString());
    // A file already there is the user's (the store holds registrations and
    // favourites): it is never written again. Start-up brings an older store
    // up to date in place.
    const auto missing = [&](const char* name) {
        const QString path = dir.filePath(QString::fromLatin1(name));
        return QFileInfo::exists(path) ? QString() : path;
    };
    if (const QString p = missing("System.dt"); !p.isEmpty()) writeSystemMarker(p);
    if (const QString p = missing("DBTemplate.mdb"); !p.isEmpty()) writeTemplateDatabase(p);
    if (const QString p = missing("SystemData.mdb"); !p.isEmpty()) writeSystemStore(p);
}

}  // namespace programfiles
