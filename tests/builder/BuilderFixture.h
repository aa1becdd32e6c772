#pragma once
// Sources made by other writers (openpyxl, plain bytes for CSV), the
// template database, and read-back through the sqlite3 shell.
#include <QByteArray>
#include <QDir>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

#include "ProgramFiles.h"
#include "support/TempDir.h"

namespace buildertest {

// Runs python3 with openpyxl; the script gets args as sys.argv[1:].
inline void python(const QString& script, const QStringList& args = {}) {
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"), QStringList{QStringLiteral("-c"), script} + args);
    ASSERT_TRUE(p.waitForFinished(120000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
}

// Rows of a query through the sqlite3 shell, one "a|b|c" line each.
inline QStringList sqlite(const QString& file, const QString& sql) {
    QProcess p;
    p.start(QStringLiteral("sqlite3"), {QStringLiteral("-nullvalue"), QStringLiteral("<NULL>"), file, sql});
    p.waitForFinished(60000);
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    return QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

inline void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// Files in dir, hidden ones (temporary files) included.
inline QStringList filesIn(const QString& dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

struct Folder {
    testsupport::TempDir dir;
    QString templatePath = dir.file(QStringLiteral("DBTemplate.mdb"));
    Folder() { programfiles::writeTemplateDatabase(templatePath); }
    QString file(const QString& name) const { return dir.file(name); }
};

}  // namespace buildertest
