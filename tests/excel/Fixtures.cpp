#include "Fixtures.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>

namespace exceltest {

int runProgram(const QString& program, const QStringList& args, QString* out, int timeoutMs) {
    QProcess p;
    p.setProcessChannelMode(QProcess::SeparateChannels);
    p.start(program, args);
    if (!p.waitForStarted(10000)) return -1;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return -2;
    }
    if (out)
        *out = QString::fromUtf8(p.readAllStandardOutput()) +
               QString::fromUtf8(p.readAllStandardError());
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -3;
}

QString fixture(const QString& name) {
    static QTemporaryDir dir;
    static bool made = false;
    if (!made) {
        QString out;
        const int rc =
            runProgram(QStringLiteral("/usr/bin/python3"),
                       {QStringLiteral(TESMORA_SOURCE_TESTS "/excel/make_fixtures.py"), dir.path()},
                       &out, 180000);
        if (rc != 0) {
            ADD_FAILURE() << "fixtures could not be generated (python3-openpyxl missing?): "
                          << out.toStdString();
            return {};
        }
        made = true;
    }
    return dir.filePath(name);
}

QString copyFixture(const QString& name, const QString& dir) {
    const QString target = QDir(dir).filePath(name);
    QFile::remove(target);
    EXPECT_TRUE(QFile::copy(fixture(name), target)) << name.toStdString();
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
    return target;
}

QJsonObject readBack(const QString& file, const QString& script) {
    const QString program = QStringLiteral(
                                "import sys, json, openpyxl, warnings\n"
                                "warnings.simplefilter('ignore')\n"
                                "wb = openpyxl.load_workbook(sys.argv[1])\n") +
                            script;
    QString out;
    const int rc =
        runProgram(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), program, file}, &out);
    EXPECT_EQ(rc, 0) << out.toStdString();
    const QJsonDocument doc = QJsonDocument::fromJson(out.toUtf8());
    EXPECT_TRUE(doc.isObject()) << out.toStdString();
    return doc.object();
}

}  // namespace exceltest
