#include "view/Catalogue.h"

#include <QFileInfo>

#include "db/Db.h"
#include "text/Trim.h"

namespace view {

QString userConnectionString(const QString& providerPrefix, const QString& path) {
    return providerPrefix + QStringLiteral("Data Source=") + path +
           QStringLiteral(";Persist Security Info=False");
}

QString userConnectionStringWithPassword(const QString& providerPrefix, const QString& path,
                                         const QString& password) {
    return userConnectionString(providerPrefix, path) +
           QStringLiteral(";Jet OLEDB:Database Password=") + db::connectionStringValue(password);
}

namespace {

QString withOptionalPassword(QString text, const QString& password) {
    if (!password.isEmpty())
        text +=
            QStringLiteral("Jet OLEDB:Database Password=") + db::connectionStringValue(password);
    return text;
}

}  // namespace

QString catalogueConnectionString(const QString& providerPrefix, const QString& path,
                                  const QString& password) {
    return withOptionalPassword(providerPrefix + QStringLiteral("Data Source=") + path + ';',
                                password);
}

QString engineTypeConnectionString(const QString& path, const QString& password) {
    return withOptionalPassword(kJetProvider + QStringLiteral("Data Source=") + path + ';',
                                password);
}

QStringList listTablesAndQueries(const QString& catalogueConnection) {
    QStringList names;
    for (const db::CatalogEntry& entry : db::Catalog(catalogueConnection).tables()) {
        if (entry.type == QLatin1String("ACCESS TABLE") ||
            entry.type == QLatin1String("SYSTEM TABLE"))
            continue;
        names << entry.name;
    }
    return names;
}

bool isSavedQuery(const QString& catalogueConnection, const QString& name) {
    for (const db::CatalogEntry& entry : db::Catalog(catalogueConnection).tables())
        if (entry.name == name) return entry.type == QLatin1String("VIEW");
    return true;
}

QString savedQuerySql(const QString& catalogueConnection, const QString& name) {
    const std::optional<QString> text = db::Catalog(catalogueConnection).viewCommandText(name);
    if (!text) return QStringLiteral("SELECT * FROM [") + name + ']';
    return convertLikePatterns(*text);
}

QStringList primaryKeyFields(const QString& catalogueConnection, const QString& table) {
    QStringList names;
    for (const QString& column : db::Catalog(catalogueConnection).primaryKeyColumns(table))
        names << text::trimBlanksAndControls(column);
    return names;
}

bool isNewFormatDatabase(const QString& path, const QString& password) {
    // The extension is compared as written: only ".accdb" names the new format.
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf('.');
    if (dot >= 0 && name.mid(dot) == QLatin1String(".accdb")) return true;
    return db::Catalog(engineTypeConnectionString(path, password)).engineType() > 4;
}

QString convertLikePatterns(const QString& sql) {
    QString text = text::trimBlanksAndControls(sql);
    if (text.endsWith(';')) text.chop(1);
    // An unterminated quote leaves the text as it is; opening it then reports
    // the error the database gives.
    try {
        return db::convertLikeWildcards(text);
    } catch (const db::Error&) {
        return text;
    }
}

QString windowCaption(const QString& databasePath) {
    QString caption = QStringLiteral("Tesmora(1.0.1)");
    if (!databasePath.isEmpty())
        caption += QStringLiteral(" -- ") + QFileInfo(databasePath).fileName();
    return caption;
}

}  // namespace view
