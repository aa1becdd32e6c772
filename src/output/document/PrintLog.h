#pragma once
// The print log: one row in "_印刷記録_" of the user's database for every
// record a document saves or prints, naming when (日時), how (種別), which
// document (名前), the serial number printed (番号) and the record's value
// of the document's log field (対象). The table is created on first need.
// The output-record dialog reads the history of one record back.
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

namespace db {
class Command;
class Connection;
}  // namespace db

namespace docoutput {

inline const QString kPrintLogTable = QStringLiteral("_印刷記録_");
inline const QString kCreatePrintLogSql = QStringLiteral(
    "CREATE TABLE _印刷記録_ (日時 TIMESTAMP,種別 NCHAR(4),名前 NCHAR(50),番号 INTEGER,"
    "対象 NCHAR(50),PRIMARY KEY (日時))");
inline const QString kKindSave = QStringLiteral("保存");
inline const QString kKindPrint = QStringLiteral("印刷");

// 名前 and 対象 hold at most this many characters.
inline constexpr int kLogTextWidth = 50;

// The text stored for a name or target: trimmed of blanks, then cut to the
// column's width, so that a long value never fails the row and a lookup
// compares what was stored.
QString logText(const QString& value);

// True when the database's user tables include the print log.
bool hasPrintLog(db::Connection& userDatabase);
// Creates the table when it is missing; true when it was created now.
bool ensurePrintLog(db::Connection& userDatabase);

// Appends rows to the print log of one database. The table must exist.
// Rows are gathered in one transaction that is committed at least every
// half second and by flush(): committing every row alone would cost a disk
// sync per record, many times the cost of the record's sheet.
class PrintLog {
public:
    explicit PrintLog(db::Connection& userDatabase);
    // Commits what is pending; an error then is lost, so callers flush.
    ~PrintLog();
    PrintLog(const PrintLog&) = delete;
    PrintLog& operator=(const PrintLog&) = delete;

    // One row. 日時 is the current time, or one millisecond after the latest
    // row of the table when the clock has not moved past it: the column is
    // the key, and a run writes many rows within one millisecond.
    // Throws db::Error when the row cannot be written.
    void append(const QString& kind, const QString& documentName, std::optional<int> serial,
                const QString& target);

    // Commits the rows appended so far. Throws db::Error.
    void flush();

    // The time the next row would get; exposed for tests.
    QDateTime nextTime();

private:
    db::Connection& db_;
    std::unique_ptr<db::Command> insert_;
    QDateTime last_;
    bool lastRead_ = false;
    bool inTransaction_ = false;
    qint64 transactionStart_ = 0;
};

// The output history of one record under one document, newest first, as
// lines "日時 : 種別<番号>". Empty when the database has no print log.
QStringList printHistory(db::Connection& userDatabase, const QString& documentName,
                         const QString& target);

}  // namespace docoutput
