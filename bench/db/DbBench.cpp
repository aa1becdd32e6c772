// The database layer against the plain SQLite C API doing the same work in
// the same run:
//  (a) 100,000 parameterised INSERTs of ten columns in one transaction;
//  (b) opening a table of 1,000,000 rows: exact count, the first 100 rows,
//      then the last row found again by bookmark.
//  (d) every row of a sorted saved query of 100,000 rows read through a
//      data set, beside the sqlite3 shell reading the same view.
// Each (b) run happens in a child process so its peak memory is its own.
// Usage: db-bench [ROWS] [INSERTS] [VIEWROWS] (defaults 1000000, 100000 and
// 100000).
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>

#include "db/Db.h"

namespace {

const char kCreate[] =
    "CREATE TABLE [大表] ([番号] INTEGER, [氏名] NCHAR(20), [フリガナ] NCHAR(30), [郵便番号] "
    "NCHAR(7), "
    "[住所] NCHAR(60), [生年月日] TIMESTAMP, [金額] CURRENCY, [身長] DOUBLE PRECISION, [配信] BIT, "
    "[備考] MEMO)";

QString connectionString(const QString& path) {
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + path;
}

void createTable(const QString& path) {
    db::createDatabase(path);
    db::Connection c;
    c.setConnectionString(connectionString(path));
    c.open();
    c.execute(QString::fromUtf8(kCreate));
}

struct Row {
    int number;
    QString name, kana, zip, address;
    QDateTime birth;
    double amount, height;
    bool flag;
    QString note;
};

Row makeRow(int i) {
    static const char* names[] = {"佐藤　太郎", "鈴木　花子", "高橋　翔太", "田中　美咲",
                                  "山本　健一"};
    static const char* kana[] = {"サトウ タロウ", "スズキ ハナコ", "タカハシ ショウタ",
                                 "タナカ ミサキ", "ヤマモト ケンイチ"};
    unsigned x = unsigned(i) * 2654435761u;
    return {i,
            QString::fromUtf8(names[x % 5]),
            QString::fromUtf8(kana[(x >> 8) % 5]),
            QStringLiteral("1600023"),
            QStringLiteral("東京都新宿区西新宿%1丁目%2").arg(x % 9 + 1).arg(x % 977),
            QDateTime(QDate(1940, 1, 1).addDays(x % 23000), QTime(0, 0)),
            double(x % 100000) / 100.0,
            150.0 + double(x % 500) / 10.0,
            (x & 1) != 0,
            QStringLiteral("備考%1").arg(i)};
}

double insertThroughLayer(const QString& path, int count) {
    db::Connection c;
    c.setConnectionString(connectionString(path));
    c.open();
    QElapsedTimer t;
    t.start();
    db::Transaction tx(c);
    db::Command cmd(c);
    cmd.setCommandText(QStringLiteral(
        "INSERT INTO [大表] "
        "([番号],[氏名],[フリガナ],[郵便番号],[住所],[生年月日],[金額],[身長],[配信],[備考]) "
        "VALUES (:D1,:D2,:D3,:D4,:D5,:D6,:D7,:D8,:D9,:D10)"));
    for (int i = 1; i <= count; ++i) {
        Row r = makeRow(i);
        cmd.clearParameters();
        cmd.addParameter(r.number, db::ParamType::Integer);
        cmd.addParameter(r.name, db::ParamType::Text);
        cmd.addParameter(r.kana, db::ParamType::Text);
        cmd.addParameter(r.zip, db::ParamType::Text);
        cmd.addParameter(r.address, db::ParamType::Text);
        cmd.addParameter(r.birth, db::ParamType::DateTime);
        cmd.addParameter(r.amount, db::ParamType::Float);
        cmd.addParameter(r.height, db::ParamType::Float);
        cmd.addParameter(r.flag, db::ParamType::Boolean);
        cmd.addParameter(r.note, db::ParamType::Text);
        cmd.execute();
    }
    tx.commit();
    return t.nsecsElapsed() / 1e6;
}

void bindText(sqlite3_stmt* st, int pos, const QString& s) {
    QByteArray u = s.toUtf8();
    sqlite3_bind_text(st, pos, u.constData(), int(u.size()), SQLITE_TRANSIENT);
}

double insertPlain(const QString& path, int count) {
    sqlite3* h = nullptr;
    sqlite3_open(path.toUtf8().constData(), &h);
    QElapsedTimer t;
    t.start();
    sqlite3_exec(h, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(h, "INSERT INTO \"大表\" VALUES (?,?,?,?,?,?,?,?,?,?)", -1, &st, nullptr);
    for (int i = 1; i <= count; ++i) {
        Row r = makeRow(i);
        sqlite3_bind_int(st, 1, r.number);
        bindText(st, 2, r.name);
        bindText(st, 3, r.kana);
        bindText(st, 4, r.zip);
        bindText(st, 5, r.address);
        bindText(st, 6, r.birth.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        sqlite3_bind_double(st, 7, r.amount);
        sqlite3_bind_double(st, 8, r.height);
        sqlite3_bind_int(st, 9, r.flag ? 1 : 0);
        bindText(st, 10, r.note);
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    sqlite3_exec(h, "COMMIT", nullptr, nullptr, nullptr);
    double ms = t.nsecsElapsed() / 1e6;
    sqlite3_close(h);
    return ms;
}

void fillFast(const QString& path, int rows) {
    createTable(path);
    insertPlain(path, rows);
}

struct Measure {
    double ms = 0;
    long peakMb = 0;
    bool ok = false;
};

// Runs `work` in a child process; returns its time and peak resident memory.
Measure inChild(const std::function<double()>& work) {
    int fds[2];
    if (pipe(fds) != 0) return {};
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        double ms = -1;
        try {
            ms = work();
        } catch (const db::Error& e) {
            std::fprintf(stderr, "%s\n", e.message().toUtf8().constData());
        }
        ssize_t n = write(fds[1], &ms, sizeof ms);
        _exit(n == sizeof ms && ms >= 0 ? 0 : 1);
    }
    close(fds[1]);
    Measure m;
    double ms = -1;
    ssize_t n = read(fds[0], &ms, sizeof ms);
    close(fds[0]);
    int status = 0;
    rusage u{};
    wait4(pid, &status, 0, &u);
    m.ok = n == sizeof ms && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    m.ms = ms;
    m.peakMb = u.ru_maxrss / 1024;
    return m;
}

double openThroughLayer(const QString& path, int expectRows) {
    QElapsedTimer t;
    t.start();
    db::Connection c;
    c.setConnectionString(connectionString(path));
    c.open();
    db::DataSet ds(c);
    ds.setCommandText(QStringLiteral("SELECT * FROM [大表]"));
    ds.open();
    if (ds.recordCount() != expectRows)
        throw db::Error(db::Error::Code::Engine, QStringLiteral("wrong count"));
    qsizetype chars = 0;
    for (int r = 0; r < 100; ++r)
        for (int col = 0; col < ds.fieldCount(); ++col) chars += ds.textAt(r, col).size();
    ds.last();
    const auto mark = ds.bookmark();
    ds.first();
    if (!ds.gotoBookmark(mark))
        throw db::Error(db::Error::Code::Engine, QStringLiteral("bookmark lost"));
    for (int col = 0; col < ds.fieldCount(); ++col) chars += ds.field(col).asString().size();
    double ms = t.nsecsElapsed() / 1e6;
    return chars > 0 ? ms : -1;
}

double openPlain(const QString& path, int expectRows) {
    QElapsedTimer t;
    t.start();
    sqlite3* h = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &h, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(h, "SELECT count(*) FROM \"大表\"", -1, &st, nullptr);
    sqlite3_step(st);
    int count = sqlite3_column_int(st, 0);
    sqlite3_finalize(st);
    qsizetype chars = 0;
    sqlite3_prepare_v2(h, "SELECT * FROM \"大表\" LIMIT 100", -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW)
        for (int col = 0; col < 10; ++col) chars += sqlite3_column_bytes(st, col);
    sqlite3_finalize(st);
    sqlite3_prepare_v2(h, "SELECT * FROM \"大表\" WHERE rowid = (SELECT max(rowid) FROM \"大表\")",
                       -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW)
        for (int col = 0; col < 10; ++col) chars += sqlite3_column_bytes(st, col);
    sqlite3_finalize(st);
    sqlite3_close(h);
    double ms = t.nsecsElapsed() / 1e6;
    return count == expectRows && chars > 0 ? ms : -1;
}

const char kSortedView[] =
    "CREATE VIEW [並べた表] AS SELECT * FROM [大表] ORDER BY [身長] DESC, [番号]";

// Steps through every record of the saved query as output and export do,
// reading each field's text.
double readViewThroughLayer(const QString& path, int expectRows) {
    QElapsedTimer t;
    t.start();
    db::Connection c;
    c.setConnectionString(connectionString(path));
    c.open();
    db::DataSet ds(c);
    ds.setCommandText(QStringLiteral("SELECT * FROM [並べた表]"));
    ds.open();
    int rows = 0;
    qsizetype chars = 0;
    for (ds.first(); !ds.eof(); ds.next()) {
        for (int col = 0; col < ds.fieldCount(); ++col) chars += ds.field(col).asString().size();
        ++rows;
    }
    const double ms = t.nsecsElapsed() / 1e6;
    return rows == expectRows && chars > 0 ? ms : -1;
}

// The same query through the plain C API in this process: every column's
// bytes, no conversion. Shows how much of either side is the sort itself.
double readQueryPlain(const QString& path, int expectRows) {
    QElapsedTimer t;
    t.start();
    sqlite3* h = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &h, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(h, "SELECT * FROM \"大表\" ORDER BY \"身長\" DESC, \"番号\"", -1, &st,
                       nullptr);
    int rows = 0;
    qsizetype bytes = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
        ++rows;
        for (int col = 0; col < 10; ++col) bytes += sqlite3_column_bytes(st, col);
    }
    sqlite3_finalize(st);
    sqlite3_close(h);
    const double ms = t.nsecsElapsed() / 1e6;
    return rows == expectRows && bytes > 0 ? ms : -1;
}

double readViewWithShell(const QString& path) {
    QElapsedTimer t;
    t.start();
    QProcess shell;
    shell.setStandardOutputFile(QProcess::nullDevice());
    // The shell does not know the program's text collation, which the
    // view's text columns carry, so it runs the view's own query instead.
    shell.start(QStringLiteral("sqlite3"),
                {QStringLiteral("-batch"), path,
                 QStringLiteral("SELECT * FROM \"大表\" ORDER BY \"身長\" DESC, \"番号\"")});
    if (!shell.waitForFinished(600000) || shell.exitCode() != 0) return -1;
    return t.nsecsElapsed() / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    // As the program does: dates convert without looking at the zone file
    // again for every value.
    if (qEnvironmentVariableIsEmpty("TZ")) qputenv("TZ", ":/etc/localtime");
    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 1000000;
    const int inserts = argc > 2 ? std::atoi(argv[2]) : 100000;
    const int viewRows = argc > 3 ? std::atoi(argv[3]) : 100000;
    QTemporaryDir dir;

    std::printf("(a) %d parameterised INSERTs of 10 columns, one transaction\n", inserts);
    const QString layerFile = dir.filePath(QStringLiteral("layer.mdb"));
    const QString plainFile = dir.filePath(QStringLiteral("plain.mdb"));
    createTable(layerFile);
    createTable(plainFile);
    // Alternate the two so neither profits from a warmer cache.
    double plainMs = insertPlain(plainFile, inserts);
    double layerMs = insertThroughLayer(layerFile, inserts);
    std::printf(
        "    plain SQLite  %8.1f ms\n    db layer      %8.1f ms   ratio %.2fx (goal <= 1.5x)\n",
        plainMs, layerMs, layerMs / plainMs);

    std::printf("(b) open a %d-row table: exact count, first 100 rows, last row by bookmark\n",
                rows);
    const QString big = dir.filePath(QStringLiteral("big.mdb"));
    fillFast(big, rows);
    openPlain(big, rows);  // warm the file cache for both
    Measure p = inChild([&] { return openPlain(big, rows); });
    Measure l = inChild([&] { return openThroughLayer(big, rows); });
    if (!p.ok || !l.ok) {
        std::printf("    a run failed\n");
        return 1;
    }
    std::printf(
        "    plain SQLite  %8.1f ms  peak %4ld MB\n    db layer      %8.1f ms  peak %4ld MB   "
        "ratio %.2fx "
        "(goal < 500 ms, < 100 MB)\n",
        p.ms, p.peakMb, l.ms, l.peakMb, l.ms / p.ms);

    // The system store is connected for every store operation: one connect
    // with its password check.
    const QString store = dir.filePath(QStringLiteral("store.mdb"));
    createTable(store);
    db::setDatabasePassword(store, QString(), QStringLiteral("R#27M8XK4$QPLVWC"));
    QElapsedTimer t;
    t.start();
    const int connects = 50;
    for (int i = 0; i < connects; ++i) {
        db::Connection c;
        c.setConnectionString(connectionString(store) +
                              QStringLiteral(";Jet OLEDB:Database Password=R#27M8XK4$QPLVWC"));
        c.open();
    }
    std::printf("(c) connect to a password-protected store: %.2f ms each\n",
                t.nsecsElapsed() / 1e6 / connects);

    std::printf("(d) every row of a %d-row sorted saved query, each field's text\n", viewRows);
    const QString viewFile = dir.filePath(QStringLiteral("view.mdb"));
    fillFast(viewFile, viewRows);
    {
        db::Connection c;
        c.setConnectionString(connectionString(viewFile));
        c.open();
        c.execute(QString::fromUtf8(kSortedView));
    }
    readViewWithShell(viewFile);  // warm the file cache for both
    const double shellMs = readViewWithShell(viewFile);
    const double viewMs = readViewThroughLayer(viewFile, viewRows);
    if (shellMs < 0 || viewMs < 0) {
        std::printf("    a run failed (shell %.1f, layer %.1f)\n", shellMs, viewMs);
        return 1;
    }
    const double plainViewMs = readQueryPlain(viewFile, viewRows);
    std::printf("    sqlite3 shell %8.1f ms\n    db layer      %8.1f ms   ratio %.2fx (goal <= 2x)\n"
                "    (plain C API, bytes only: %.1f ms)\n",
                shellMs, viewMs, viewMs / shellMs, plainViewMs);
    return 0;
}
