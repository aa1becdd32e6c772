#pragma once
// Workbooks written by another writer (openpyxl, see make_fixtures.py), made
// once per test run, and a way to read our output back with openpyxl.
#include <QJsonObject>
#include <QString>
#include <QStringList>

namespace exceltest {

// Folder holding the generated fixtures; fails the test run when python3
// with openpyxl is missing.
QString fixture(const QString& name);
// Copies a fixture into dir and returns the copy's path.
QString copyFixture(const QString& name, const QString& dir);
// Runs a python snippet with openpyxl; the snippet gets the file as
// sys.argv[1] and prints one JSON object, which is returned.
QJsonObject readBack(const QString& file, const QString& script);
// Runs a program and returns its exit code; output lands in out.
int runProgram(const QString& program, const QStringList& args, QString* out = nullptr,
               int timeoutMs = 60000);

}  // namespace exceltest

#include <ostream>
// Readable QString values in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
