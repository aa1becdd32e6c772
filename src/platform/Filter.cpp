#include "platform/Services.h"

namespace platform {

QString toQtFilter(const QString& formFilter) {
    if (formFilter.isEmpty()) return {};
    const QStringList parts = formFilter.split(QLatin1Char('|'));
    QStringList entries;
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        // A description without its pattern half still names something the
        // user may pick; it then matches every file.
        QString patterns = i + 1 < parts.size() ? parts[i + 1].trimmed() : QStringLiteral("*");
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        if (patterns.isEmpty()) patterns = QStringLiteral("*");
        // Qt reads the patterns from the last parenthesised group, so they go
        // after the description even when it already shows them.
        entries << QStringLiteral("%1 (%2)").arg(description, patterns);
    }
    return entries.join(QStringLiteral(";;"));
}

}  // namespace platform
