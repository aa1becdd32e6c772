// The conversion: tables with their rows, then saved queries, into a
// temporary database beside the target, renamed only when all of it worked.
#include <sqlite3.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>
#include <cmath>
#include <map>

#include "accessfile/AccessFile.h"
#include "accessfile/ColumnPlan.h"
#include "accessfile/MdbReader.h"
#include "accessfile/ReaderProcess.h"
#include "accessfile/SavedQueries.h"
#include "accessfile/StoredValues.h"
#include "db/Db.h"
#include "db/Types.h"

namespace accessfile {

using namespace detail;

namespace {

// MSysObjects types of the objects that are not tables or queries.
constexpr int kTableType = 1;
constexpr int kOdbcLinkType = 4;
constexpr int kQueryType = 5;
constexpr int kLinkedTableType = 6;
constexpr qint64 kSystemFlags = 0x80000002;

QString bracket(const QString& name) {
    return QLatin1Char('[') + name + QLatin1Char(']');
}

QString connectionStringFor(const QString& path) {
    const QChar quote = path.contains(QLatin1Char('"')) ? QLatin1Char('\'') : QLatin1Char('"');
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + quote + path + quote;
}

[[noreturn]] void writeFailed(const QString& what) {
    throw Error(Error::Code::WriteFailed, what);
}

// The temporary database beside the target; removed unless kept.
class TemporaryTarget {
public:
    explicit TemporaryTarget(const QString& target) {
        const QFileInfo info(target);
        path_ = info.dir().filePath(
            QStringLiteral(".%1.%2.converting")
                .arg(info.fileName())
                .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
    }
    ~TemporaryTarget() {
        if (kept_) return;
        QFile::remove(path_);
        QFile::remove(path_ + QStringLiteral("-journal"));
    }
    QString path() const { return path_; }
    void moveTo(const QString& target) {
        if (::rename(QFile::encodeName(path_).constData(), QFile::encodeName(target).constData()) !=
            0)
            writeFailed(QStringLiteral("cannot rename %1 to %2").arg(path_, target));
        kept_ = true;
    }

private:
    QString path_;
    bool kept_ = false;
};

// One prepared statement on the target, finalized on destruction.
class Insert {
public:
    Insert(sqlite3* db, const QString& accessSql) : db_(db) {
        const QByteArray sql = db::translateSql(accessSql).toUtf8();
        if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &stmt_, nullptr) != SQLITE_OK)
            writeFailed(QString::fromUtf8(sqlite3_errmsg(db)));
    }
    ~Insert() { sqlite3_finalize(stmt_); }
    sqlite3_stmt* get() const { return stmt_; }
    // Runs the row; returns the engine's result code.
    int run() {
        const int rc = sqlite3_step(stmt_);
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
        return rc;
    }

private:
    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
};

// Thrown inside a table's copy when its key cannot hold the rows: the
// table is copied again without keys.
struct KeyProblem {
    QString detail;
};

class Conversion {
public:
    Conversion(MdbFile& file, db::Connection& target, Report& report, const Progress& progress)
        : file_(file), target_(target), report_(report), progress_(progress) {}

    void tables();
    void queries();
    void otherObjects();

private:
    void table(const CatalogObject& object);
    qint64 copyRows(const CatalogObject& object, bool withKeys);
    void note(ReportEntry::Kind kind, const QString& object, const QString& reason,
              const QString& detail = {}, qint64 count = 0, const QString& sql = {}) {
        ReportEntry e;
        e.kind = kind;
        e.object = object;
        e.reason = reason;
        e.detail = detail;
        e.count = count;
        e.sql = sql;
        report_.entries.push_back(e);
    }
    std::map<qint64, std::vector<QueryRow>> queryRows();

    MdbFile& file_;
    db::Connection& target_;
    Report& report_;
    const Progress& progress_;
};

bool reservedName(const QString& name) {
    return name.startsWith(QLatin1String("sqlite_"), Qt::CaseInsensitive) ||
           name.compare(QLatin1String("tesmora_catalog"), Qt::CaseInsensitive) == 0;
}

void Conversion::tables() {
    for (const CatalogObject& o : file_.objects()) {
        if (o.flags & kSystemFlags) continue;
        if (o.type == kOdbcLinkType || o.type == kLinkedTableType) {
            note(ReportEntry::Kind::TableNotCarried, o.name, QStringLiteral("linked"), o.connect);
            continue;
        }
        if (o.type != kTableType) continue;
        if (reservedName(o.name) || o.name.contains(QLatin1Char(']'))) {
            note(ReportEntry::Kind::TableNotCarried, o.name, QStringLiteral("reserved-name"));
            continue;
        }
        table(o);
    }
}

void Conversion::table(const CatalogObject& object) {
    progress_();
    const size_t mark = report_.entries.size();
    qint64 rows = 0;
    try {
        db::Transaction attempt(target_);
        rows = copyRows(object, true);
        attempt.commit();
    } catch (const KeyProblem& problem) {
        // The key the file declares does not hold the rows (a damaged index
        // or numbers entered around it): the rows matter more than the key.
        report_.entries.resize(mark);
        db::Transaction attempt(target_);
        rows = copyRows(object, false);
        attempt.commit();
        note(ReportEntry::Kind::KeyChanged, object.name, QStringLiteral("key-not-unique"),
             problem.detail);
    }
    if (rows >= 0) note(ReportEntry::Kind::TableCarried, object.name, {}, {}, rows);
}

// Copies one table; returns its row count, or -1 when it has nothing to carry.
qint64 Conversion::copyRows(const CatalogObject& object, bool withKeys) {
    TableCursor cursor(file_, object);
    const std::vector<Column>& columns = cursor.columns();
    const QStringList key = withKeys ? cursor.primaryKey() : QStringList();
    int autoNumbers = 0;
    for (const Column& c : columns) autoNumbers += c.autoNumber ? 1 : 0;

    struct Target {
        int source;
        ColumnPlan plan;
        qint64 notKept = 0, rounded = 0;
    };
    std::vector<Target> carried;
    std::vector<std::pair<int, qint64>> leftBehind;  // column, non-NULL values
    QStringList definitions, names, markers;
    bool keyIsCounter = false;
    for (size_t i = 0; i < columns.size(); ++i) {
        const Column& c = columns[i];
        const bool onlyKey = key.size() == 1 && key.first() == c.name;
        const bool asCounter = withKeys && autoNumbers == 1 && (onlyKey || key.isEmpty());
        ColumnPlan plan = planColumn(c, file_.format(), asCounter);
        const QString where = object.name + QLatin1Char('.') + c.name;
        if (!plan.carried) {
            leftBehind.emplace_back(int(i), 0);
            continue;
        }
        if (c.autoNumber && !plan.counter)
            note(ReportEntry::Kind::KeyChanged, where, QStringLiteral("autonumber-not-key"),
                 key.join(QStringLiteral(", ")));
        if (c.guidAutoNumber)
            note(ReportEntry::Kind::KeyChanged, where, QStringLiteral("guid-autonumber"));
        keyIsCounter = keyIsCounter || (plan.counter && onlyKey);
        definitions << bracket(c.name) + QLatin1Char(' ') + plan.type;
        names << bracket(c.name);
        markers << QStringLiteral(":P%1").arg(markers.size());
        carried.push_back({int(i), plan});
    }
    if (carried.empty()) {
        note(ReportEntry::Kind::TableNotCarried, object.name, QStringLiteral("no-columns"));
        return -1;
    }
    if (!key.isEmpty() && !keyIsCounter) {
        QStringList keyColumns;
        for (const QString& k : key) keyColumns << bracket(k);
        definitions
            << QStringLiteral("PRIMARY KEY (%1)").arg(keyColumns.join(QStringLiteral(", ")));
    }
    try {
        target_.execute(QStringLiteral("CREATE TABLE %1 (%2)")
                            .arg(bracket(object.name), definitions.join(QStringLiteral(", "))));
    } catch (const db::Error& e) {
        writeFailed(QStringLiteral("table %1: %2").arg(object.name, e.message()));
    }
    Insert insert(target_.handle(), QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                        .arg(bracket(object.name), names.join(QStringLiteral(", ")),
                                             markers.join(QStringLiteral(", "))));
    sqlite3_stmt* st = insert.get();

    auto expect = [&](int c, int bytes) {
        if (cursor.size(c) < bytes)
            throw Error(Error::Code::Damaged,
                        QStringLiteral("table %1, column %2, row %3: %4 bytes where %5 belong")
                            .arg(object.name, columns[size_t(c)].name)
                            .arg(cursor.rowsRead())
                            .arg(cursor.size(c))
                            .arg(bytes));
        return cursor.data(c);
    };
    auto bindText = [&](int position, const QString& text) {
        const QByteArray utf8 = text.toUtf8();
        sqlite3_bind_text(st, position, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    };

    while (cursor.next()) {
        for (size_t k = 0; k < carried.size(); ++k) {
            Target& t = carried[k];
            const int c = t.source;
            const int pos = int(k) + 1;
            const Column& col = columns[size_t(c)];
            if (col.type == kBool) {
                sqlite3_bind_int(st, pos, cursor.boolValue(c) ? 1 : 0);
                continue;
            }
            if (cursor.isNull(c)) {
                // A NULL in the counter column would be numbered anew by the
                // engine; the column then keeps its values as a plain integer.
                if (t.plan.counter)
                    throw KeyProblem{QStringLiteral("an auto-number without a value")};
                continue;  // bindings were cleared: NULL
            }
            switch (col.type) {
                case kByte:
                    sqlite3_bind_int(st, pos, *expect(c, 1));
                    break;
                case kInt:
                    sqlite3_bind_int(st, pos, stored::int16At(expect(c, 2)));
                    break;
                case kLong:
                    sqlite3_bind_int64(st, pos, stored::int32At(expect(c, 4)));
                    break;
                case kMoney: {
                    const stored::Decimal d =
                        stored::currencyFromScaled(stored::int64At(expect(c, 8)));
                    if (!d.exact) ++t.rounded;
                    sqlite3_bind_double(st, pos, d.value);
                    break;
                }
                case kNumeric: {
                    const stored::Decimal d = stored::numericFromBytes(expect(c, 17), col.scale);
                    if (!d.exact) ++t.rounded;
                    sqlite3_bind_double(st, pos, d.value);
                    break;
                }
                case kFloat:
                case kDouble: {
                    const double v = col.type == kFloat
                                         ? stored::singleAsDecimal(stored::singleAt(expect(c, 4)))
                                         : stored::doubleAt(expect(c, 8));
                    if (std::isnan(v))
                        ++t.notKept;
                    else
                        sqlite3_bind_double(st, pos, v);
                    break;
                }
                case kDateTime: {
                    const auto dt = stored::dateTimeFromDays(stored::doubleAt(expect(c, 8)));
                    if (dt)
                        bindText(pos, db::storageDateTime(*dt));
                    else
                        ++t.notKept;
                    break;
                }
                case kText:
                    bindText(pos, file_.text(cursor.data(c), cursor.size(c)));
                    break;
                case kMemo: {
                    const QByteArray bytes = cursor.longValue(c);
                    bindText(pos,
                             file_.text(reinterpret_cast<const unsigned char*>(bytes.constData()),
                                        bytes.size()));
                    break;
                }
                case kRepId:
                    bindText(pos, stored::guidText(expect(c, 16)));
                    break;
                case kBinary:
                    sqlite3_bind_blob(st, pos, cursor.data(c), cursor.size(c), SQLITE_TRANSIENT);
                    break;
                default:
                    break;
            }
        }
        for (auto& [c, values] : leftBehind)
            if (!cursor.isNull(c)) ++values;
        if ((cursor.rowsRead() & 1023) == 0) progress_();
        const int rc = insert.run();
        if (rc == SQLITE_DONE) continue;
        const QString message = QString::fromUtf8(sqlite3_errmsg(target_.handle()));
        if ((rc & 0xff) == SQLITE_CONSTRAINT && (withKeys && (!key.isEmpty() || autoNumbers > 0)))
            throw KeyProblem{message};
        writeFailed(QStringLiteral("table %1, row %2: %3")
                        .arg(object.name)
                        .arg(cursor.rowsRead())
                        .arg(message));
    }
    if (cursor.rowsRead() < cursor.recordedRows())
        throw Error(Error::Code::Damaged,
                    QStringLiteral("table %1 records %2 rows; %3 could be read")
                        .arg(object.name)
                        .arg(cursor.recordedRows())
                        .arg(cursor.rowsRead()));
    for (const Target& t : carried) {
        const QString where = object.name + QLatin1Char('.') + columns[size_t(t.source)].name;
        const int type = columns[size_t(t.source)].type;
        if (t.notKept > 0)
            note(ReportEntry::Kind::ValuesNotKept, where,
                 type == kDateTime ? QStringLiteral("date-out-of-range")
                                   : QStringLiteral("not-a-number"),
                 {}, t.notKept);
        if (t.rounded > 0)
            note(ReportEntry::Kind::ValuesRounded, where,
                 type == kMoney ? QStringLiteral("currency-digits")
                                : QStringLiteral("decimal-digits"),
                 {}, t.rounded);
    }
    for (const auto& [c, values] : leftBehind) {
        const Column& col = columns[size_t(c)];
        note(ReportEntry::Kind::ColumnNotCarried, object.name + QLatin1Char('.') + col.name,
             planColumn(col, file_.format(), false).notCarried,
             QStringLiteral("type 0x%1").arg(col.type, 2, 16, QLatin1Char('0')), values);
    }
    return cursor.rowsRead();
}

std::map<qint64, std::vector<QueryRow>> Conversion::queryRows() {
    std::map<qint64, std::vector<QueryRow>> out;
    TableCursor cursor(file_, QStringLiteral("MSysQueries"));
    const int attribute = cursor.columnIndex(QStringLiteral("Attribute"));
    const int expression = cursor.columnIndex(QStringLiteral("Expression"));
    const int flag = cursor.columnIndex(QStringLiteral("Flag"));
    const int name1 = cursor.columnIndex(QStringLiteral("Name1"));
    const int name2 = cursor.columnIndex(QStringLiteral("Name2"));
    const int objectId = cursor.columnIndex(QStringLiteral("ObjectId"));
    if (attribute < 0 || objectId < 0)
        throw Error(Error::Code::Damaged, QStringLiteral("the query table lacks its columns"));
    const auto& columns = cursor.columns();
    auto integer = [&](int c) -> qint64 {
        if (c < 0 || cursor.isNull(c)) return 0;
        switch (columns[size_t(c)].type) {
            case kByte:
                return cursor.size(c) >= 1 ? *cursor.data(c) : 0;
            case kInt:
                return cursor.size(c) >= 2 ? stored::int16At(cursor.data(c)) : 0;
            default:
                return cursor.size(c) >= 4 ? stored::int32At(cursor.data(c)) : 0;
        }
    };
    auto text = [&](int c) -> QString {
        if (c < 0 || cursor.isNull(c)) return {};
        if (columns[size_t(c)].type == kMemo) {
            const QByteArray b = cursor.longValue(c);
            return file_.text(reinterpret_cast<const unsigned char*>(b.constData()), b.size());
        }
        return file_.text(cursor.data(c), cursor.size(c));
    };
    while (cursor.next()) {
        QueryRow r;
        r.attribute = int(integer(attribute));
        r.flag = int(integer(flag));
        r.expression = text(expression);
        r.name1 = text(name1);
        r.name2 = text(name2);
        out[integer(objectId)].push_back(r);
    }
    return out;
}

void Conversion::queries() {
    struct Pending {
        QString name;
        QString sql;
        QString error;
    };
    std::vector<Pending> pending;
    std::map<qint64, std::vector<QueryRow>> rows;
    bool rowsRead = false;
    for (const CatalogObject& o : file_.objects()) {
        // Names beginning with "~" are the hidden record sources of forms
        // and reports, which go with them.
        if (o.type != kQueryType || (o.flags & kSystemFlags) || o.name.startsWith(QLatin1Char('~')))
            continue;
        if (!rowsRead) {
            rows = queryRows();
            rowsRead = true;
        }
        const QueryDefinition q = buildQuery(rows[o.id], int(o.flags));
        if (q.kind != QueryDefinition::Kind::Select)
            note(ReportEntry::Kind::QueryNotCarried, o.name, kindName(q.kind), {}, 0, q.sql);
        else if (!q.problem.isEmpty())
            note(ReportEntry::Kind::QueryNotCarried, o.name, QStringLiteral("untranslatable"),
                 q.problem);
        else if (reservedName(o.name) || o.name.contains(QLatin1Char(']')))
            note(ReportEntry::Kind::QueryNotCarried, o.name, QStringLiteral("reserved-name"), {}, 0,
                 q.sql);
        else
            pending.push_back({o.name, q.sql, {}});
    }
    // A query may read another query: whatever failed is tried again while
    // the previous round saved at least one more.
    bool progress = true;
    while (progress && !pending.empty()) {
        progress = false;
        for (auto it = pending.begin(); it != pending.end();) {
            progress_();
            try {
                db::Transaction attempt(target_);
                target_.execute(
                    QStringLiteral("CREATE VIEW %1 AS %2").arg(bracket(it->name), it->sql));
                // Preparing the query resolves every name and function in it.
                const QByteArray probe =
                    db::translateSql(QStringLiteral("SELECT * FROM %1").arg(bracket(it->name)))
                        .toUtf8();
                sqlite3_stmt* st = nullptr;
                const int rc = sqlite3_prepare_v2(target_.handle(), probe.constData(),
                                                  int(probe.size()), &st, nullptr);
                const QString message = QString::fromUtf8(sqlite3_errmsg(target_.handle()));
                sqlite3_finalize(st);
                if (rc != SQLITE_OK) throw db::Error(db::Error::Code::Engine, message);
                attempt.commit();
                note(ReportEntry::Kind::QueryCarried, it->name, {}, {}, 0, it->sql);
                it = pending.erase(it);
                progress = true;
            } catch (const db::Error& e) {
                it->error = e.message();
                ++it;
            }
        }
    }
    for (const Pending& p : pending)
        note(ReportEntry::Kind::QueryNotCarried, p.name, QStringLiteral("untranslatable"), p.error,
             0, p.sql);
}

void Conversion::otherObjects() {
    static const std::map<int, QString> kinds = {{-32768, QStringLiteral("form")},
                                                 {-32764, QStringLiteral("report")},
                                                 {-32766, QStringLiteral("macro")},
                                                 {-32761, QStringLiteral("module")}};
    for (const CatalogObject& o : file_.objects()) {
        auto k = kinds.find(o.type);
        if (k != kinds.end() && !(o.flags & kSystemFlags) && !o.name.startsWith(QLatin1Char('~')))
            note(ReportEntry::Kind::ObjectNotCarried, o.name, k->second);
    }
    // Relationships are rows of their own table, one per column pair.
    QStringList seen;
    try {
        TableCursor cursor(file_, QStringLiteral("MSysRelationships"));
        const int name = cursor.columnIndex(QStringLiteral("szRelationship"));
        while (name >= 0 && cursor.next()) {
            if (cursor.isNull(name)) continue;
            const QString n = file_.text(cursor.data(name), cursor.size(name));
            if (n.startsWith(QLatin1String("MSys")) || seen.contains(n)) continue;
            seen << n;
            note(ReportEntry::Kind::ObjectNotCarried, n, QStringLiteral("relationship"));
        }
    } catch (const Error&) {
        // A file without the relationship table has no relationships.
    }
}

void checkTarget(const QString& source, const QString& target, const Options& options) {
    const QFileInfo t(target);
    if (target.isEmpty() || t.fileName().isEmpty())
        throw Error(Error::Code::TargetInvalid, QStringLiteral("no target file named"));
    if (!t.dir().exists())
        throw Error(Error::Code::TargetInvalid,
                    QStringLiteral("the folder %1 does not exist").arg(t.absolutePath()));
    if (t.exists()) {
        struct stat a {
        }, b{};
        const bool same = ::stat(QFile::encodeName(source).constData(), &a) == 0 &&
                          ::stat(QFile::encodeName(target).constData(), &b) == 0 &&
                          a.st_dev == b.st_dev && a.st_ino == b.st_ino;
        if (same)
            throw Error(Error::Code::TargetInvalid,
                        QStringLiteral("the target is the original file itself"));
        if (!t.isFile())
            throw Error(Error::Code::TargetInvalid, QStringLiteral("%1 is not a file").arg(target));
        if (!options.replaceExisting)
            throw Error(Error::Code::TargetInvalid,
                        QStringLiteral("%1 exists already").arg(target));
    }
}

void writeReportFile(Report& report) {
    const QString path = reportPathFor(report.target);
    QSaveFile f(path);
    if (f.open(QIODevice::WriteOnly)) {
        f.write(reportText(report).toUtf8());
        if (f.commit()) {
            report.reportFile = path;
            return;
        }
    }
    report.reportFile.clear();
}

// Reads source and writes the whole new database at path, flushed to disk.
void convertInto(const QString& source, const QString& path, Report& report,
                 const Progress& progress) {
    MdbFile file(source);
    report.format = file.format();
    try {
        db::createDatabase(path);
        db::Connection connection;
        connection.setConnectionString(connectionStringFor(path));
        connection.open();
        // The file is flushed once at the end, before it is renamed; until
        // then nothing needs to survive a crash.
        connection.useAsScratchFile();
        connection.execute(QStringLiteral("PRAGMA cache_size = -65536"));
        Conversion conversion(file, connection, report, progress);
        {
            db::Transaction all(connection);
            conversion.tables();
            all.commit();
        }
        conversion.queries();
        conversion.otherObjects();
        connection.close();
    } catch (const db::Error& e) {
        writeFailed(e.message());
    }
    if (!db::syncFile(path)) writeFailed(QStringLiteral("cannot flush %1 to disk").arg(path));
}

}  // namespace

Report convert(const QString& source, const QString& target, const Options& options) {
    if (detectFormat(source) == Format::NotAccess) {
        if (!QFileInfo(source).isFile())
            throw Error(Error::Code::Unreadable, QStringLiteral("cannot read %1").arg(source));
        throw Error(Error::Code::NotAccess,
                    QStringLiteral("not an Access database: %1").arg(source));
    }
    checkTarget(source, target, options);
    Report report;
    report.source = QFileInfo(source).absoluteFilePath();
    report.target = QFileInfo(target).absoluteFilePath();
    TemporaryTarget temporary(report.target);
    const QString path = temporary.path();
    runInChildProcess(
        [&](Report& r, const Progress& progress) { convertInto(report.source, path, r, progress); },
        report, options.stallSeconds);
    temporary.moveTo(report.target);
    if (options.writeReportFile) writeReportFile(report);
    return report;
}

int Report::tablesCarried() const {
    int n = 0;
    for (const ReportEntry& e : entries) n += e.kind == ReportEntry::Kind::TableCarried ? 1 : 0;
    return n;
}

qint64 Report::rowsCarried() const {
    qint64 n = 0;
    for (const ReportEntry& e : entries)
        if (e.kind == ReportEntry::Kind::TableCarried) n += e.count;
    return n;
}

int Report::queriesCarried() const {
    int n = 0;
    for (const ReportEntry& e : entries) n += e.kind == ReportEntry::Kind::QueryCarried ? 1 : 0;
    return n;
}

int Report::notCarried() const {
    int n = 0;
    for (const ReportEntry& e : entries)
        n += e.kind != ReportEntry::Kind::TableCarried && e.kind != ReportEntry::Kind::QueryCarried;
    return n;
}

}  // namespace accessfile
