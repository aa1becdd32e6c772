#include "support/TempDir.h"

#include <QDir>

#include <stdexcept>

namespace testsupport {

TempDir::TempDir() : dir_(QDir::tempPath() + QStringLiteral("/tesmora-test-XXXXXX")) {
    if (!dir_.isValid()) throw std::runtime_error("cannot create a temporary folder");
}

QString testDataDir() {
    QByteArray env = qgetenv("TESMORA_TEST_DATA");
    if (!env.isEmpty()) return QString::fromLocal8Bit(env);
    return QStringLiteral(TESMORA_SOURCE_TESTS);
}

}  // namespace testsupport
