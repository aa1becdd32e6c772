#pragma once
#include <QString>
#include <QTemporaryDir>

namespace testsupport {

// A fresh folder per test, removed afterwards; path() ends without a slash.
class TempDir {
public:
    TempDir();
    QString path() const { return dir_.path(); }
    QString file(const QString& name) const { return dir_.filePath(name); }

private:
    QTemporaryDir dir_;
};

// Folder of this source tree's tests/ (for fixtures).
QString testDataDir();

}  // namespace testsupport
