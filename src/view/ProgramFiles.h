#pragma once
// The files the program keeps in its own folder (the folder of the
// executable, nowhere else) and how the system store is reached. Start-up
// checks them; the main window connects to the store with the string below.
#include <QString>

namespace view {

inline const QString kSystemMarkerFile = QStringLiteral("System.dt");
inline const QString kWriteTestFile = QStringLiteral("Temp.dt");
inline const QString kTemplateDatabase = QStringLiteral("DBTemplate.mdb");
inline const QString kSystemStore = QStringLiteral("SystemData.mdb");

// Built into the program: the store is protected by this database password.
inline const QString kSystemStorePassword = QStringLiteral("R#27M8XK4$QPLVWC");

// programFolder ends with '/'. The store always goes through the Jet
// provider, whatever provider user databases use.
inline QString systemStoreConnectionString(const QString& programFolder) {
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + programFolder +
           kSystemStore +
           QStringLiteral(";Persist Security Info=False;Jet OLEDB:Database Password=") +
           kSystemStorePassword;
}

}  // namespace view
