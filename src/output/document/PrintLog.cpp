#include "output/document/PrintLog.h"

#include "db/Db.h"
#include "text/Text.h"

namespace docoutput {

QString logText(const QString& value) {
    return text::trimBlanksAndControls(value).left(kLogTextWidth);
}

bool hasPrintLog(db::Connection& userDatabase) {
    return userDatabase.tableNames().contains(kPrintLogTable);
}

bool ensurePrintLog(db::Connection& userDatabase) {
    if (hasPrintLog(userDatabase)) return false;
    userDatabase.execute(kCreatePrintLogSql);
    return true;
}

namespace {

// A 日時 value as the engine hands it back: typed, or the stored text when
// a user's edit left one the column type does not recognise.
QDateTime storedTime(const QVariant& v) {
    if (v.typeId() == QMetaType::QDateTime) return v.toDateTime();
    const QString s = v.toString();
    for (const char* format : {"yyyy-MM-dd HH:mm:ss.zzz", "yyyy-MM-dd HH:mm:ss"}) {
        const QDateTime t = QDateTime::fromString(s, QLatin1String(format));
        if (t.isValid()) return t;
    }
    return {};
}

}  // namespace

PrintLog::PrintLog(db::Connection& userDatabase) : db_(userDatabase) {}
PrintLog::~PrintLog() {
    try {
        flush();
    } catch (...) {
        if (inTransaction_) db_.rollback();
    }
}

void PrintLog::flush() {
    if (!inTransaction_) return;
    inTransaction_ = false;
    db_.commit();
}

QDateTime PrintLog::nextTime() {
    if (!lastRead_) {
        // Rows of an earlier run (or another program) may lie ahead of the
        // clock; the new ones follow them.
        db::Command latest(db_);
        latest.setCommandText(
            QStringLiteral("SELECT [日時] FROM [_印刷記録_] ORDER BY [日時] DESC LIMIT 1"));
        latest.query([this](const std::vector<QVariant>& row) {
            if (!row.empty()) last_ = storedTime(row[0]);
        });
        lastRead_ = true;
    }
    QDateTime now = QDateTime::currentDateTime();
    if (last_.isValid() && now <= last_) now = last_.addMSecs(1);
    return now;
}

void PrintLog::append(const QString& kind, const QString& documentName, std::optional<int> serial,
                      const QString& target) {
    const QDateTime at = nextTime();
    if (!inTransaction_) {
        db_.begin();
        inTransaction_ = true;
        transactionStart_ = QDateTime::currentMSecsSinceEpoch();
    }
    if (!insert_) {
        insert_ = std::make_unique<db::Command>(db_);
        insert_->setCommandText(QStringLiteral(
            "INSERT INTO [_印刷記録_] ([日時],[種別],[名前],[番号],[対象]) VALUES (:A,:B,:C,:D,:E)"));
    }
    insert_->clearParameters();
    insert_->addParameter(at, db::ParamType::DateTime);
    insert_->addParameter(kind, db::ParamType::Text);
    insert_->addParameter(logText(documentName), db::ParamType::Text);
    insert_->addParameter(serial ? QVariant(*serial) : QVariant(), db::ParamType::Integer);
    insert_->addParameter(logText(target), db::ParamType::Text);
    insert_->execute();
    last_ = at;
    if (QDateTime::currentMSecsSinceEpoch() - transactionStart_ >= 500) flush();
}

QStringList printHistory(db::Connection& userDatabase, const QString& documentName,
                         const QString& target) {
    QStringList lines;
    if (!hasPrintLog(userDatabase)) return lines;
    db::Command q(userDatabase);
    q.setCommandText(QStringLiteral(
        "SELECT [日時],[種別],[番号] FROM [_印刷記録_] WHERE [名前] = :A AND [対象] = :B "
        "ORDER BY [日時] DESC"));
    q.addParameter(logText(documentName), db::ParamType::Text);
    q.addParameter(logText(target), db::ParamType::Text);
    q.query([&lines](const std::vector<QVariant>& row) {
        lines << db::valueText(row[0], db::ftDateTime) + QStringLiteral(" : ") +
                     text::trimBlanksAndControls(db::valueText(row[1], db::ftText)) +
                     QLatin1Char('<') + db::valueText(row[2], db::ftInteger) + QLatin1Char('>');
    });
    return lines;
}

}  // namespace docoutput
