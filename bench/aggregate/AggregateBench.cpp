// aggregate-bench [ROWS]: aggregation of one field over a table of ROWS
// records (default 1,000,000) and over a sorted saved query of a tenth of
// them. Runs tesmora-list --aggregate beside the sqlite3 shell computing the
// same figures (count, count of values, sum and average, and GROUP BY
// counts without letter case); best wall and CPU time of three runs each.
// Then the same aggregation in-process, without starting a program.
#include <sys/resource.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>

#include "aggregate/FieldTally.h"
#include "db/Db.h"
#include "db/FieldType.h"

namespace {

struct Timing {
    double wallMs = 1e18;
    double cpuMs = 1e18;
};

double childCpuMs() {
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000.0 +
           (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000.0;
}

double selfCpuMs() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000.0 +
           (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000.0;
}

Timing bestOf(int runs, const QString& program, const QStringList& args) {
    Timing best;
    for (int i = 0; i < runs; ++i) {
        const double cpu0 = childCpuMs();
        QElapsedTimer t;
        t.start();
        QProcess p;
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p.setStandardOutputFile(QProcess::nullDevice());
        p.start(program, args);
        if (!p.waitForFinished(-1) || p.exitCode() != 0) {
            std::fprintf(stderr, "%s failed\n", qPrintable(program));
            std::exit(1);
        }
        best.wallMs = std::min(best.wallMs, double(t.nsecsElapsed()) / 1e6);
        best.cpuMs = std::min(best.cpuMs, childCpuMs() - cpu0);
    }
    return best;
}

Timing bestOf(int runs, const std::function<void()>& work) {
    Timing best;
    for (int i = 0; i < runs; ++i) {
        const double cpu0 = selfCpuMs();
        QElapsedTimer t;
        t.start();
        work();
        best.wallMs = std::min(best.wallMs, double(t.nsecsElapsed()) / 1e6);
        best.cpuMs = std::min(best.cpuMs, selfCpuMs() - cpu0);
    }
    return best;
}

QString connectionString(const QString& path) {
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"%1\"").arg(path);
}

// A member list: key, an integer of a thousand values, a float, a name of
// five hundred values in two letter cases, a date.
void makeDatabase(const QString& path, int rows) {
    db::createDatabase(path);
    db::Connection c;
    c.setConnectionString(connectionString(path));
    c.open();
    c.execute(QStringLiteral(
        "CREATE TABLE [名簿] (ID INTEGER PRIMARY KEY, 点数 INTEGER, 身長 DOUBLE PRECISION, "
        "氏名 NCHAR(20), 入会日 TIMESTAMP)"));
    db::Command insert(c);
    insert.setCommandText(
        QStringLiteral("INSERT INTO [名簿] VALUES (:D1, :D2, :D3, :D4, :D5)"));
    db::Transaction t(c);
    for (int i = 1; i <= rows; ++i) {
        insert.clearParameters();
        insert.addParameter(i, db::ParamType::Integer);
        insert.addParameter((i * 7919) % 1000, db::ParamType::Integer);
        insert.addParameter(150.0 + (i % 500) / 10.0, db::ParamType::Float);
        const QString name = QStringLiteral("Member%1").arg(i % 500);
        insert.addParameter(i % 2 ? name : name.toUpper(), db::ParamType::Text);
        insert.addParameter(QDateTime(QDate(1990, 1, 1).addDays(i % 7000), QTime(0, 0)),
                            db::ParamType::DateTime);
        insert.execute();
    }
    t.commit();
    c.execute(QStringLiteral("CREATE VIEW [抜粋] AS SELECT * FROM [名簿] WHERE ID <= %1 "
                             "ORDER BY 氏名, ID")
                  .arg(rows / 10));
}

void row(const char* what, const Timing& t) {
    std::printf("%-58s %8.0f ms wall %8.0f ms CPU\n", what, t.wallMs, t.cpuMs);
}

void compare(const char* what, const Timing& ours, const Timing& shell) {
    std::printf("%-58s %8.2fx wall %8.2fx CPU   (goal: within 2x)\n\n", what,
                ours.wallMs / shell.wallMs, ours.cpuMs / shell.cpuMs);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("TZ")) qputenv("TZ", ":/etc/localtime");
    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 1000000;
    const QString tool = QCoreApplication::applicationDirPath() + QStringLiteral("/tesmora-list");
    if (!QFileInfo(tool).isExecutable()) {
        std::fprintf(stderr, "build tesmora-list first\n");
        return 1;
    }
    QTemporaryDir dir;
    const QString database = dir.filePath(QStringLiteral("bench.mdb"));
    QElapsedTimer t;
    t.start();
    makeDatabase(database, rows);
    std::printf("%d records written in %lld ms\n\n", rows, t.elapsed());

    struct Case {
        const char* title;
        QString table, field, shellSql;
        int type;
    };
    // The shell has no text collation of ours: its statements name the same
    // records with SQLite's own NOCASE order where one is needed.
    const QString figures = QStringLiteral(
        "SELECT count(*), count(%2), sum(%2), avg(%2) FROM %1; "
        "SELECT lower(%2), count(*) FROM %1 GROUP BY 1;");
    const QString table = QStringLiteral("[名簿]");
    const QString query =
        QStringLiteral("(SELECT ID, 点数, 身長, 氏名 COLLATE NOCASE AS 氏名, 入会日 FROM [名簿] "
                       "WHERE ID <= %1 ORDER BY 氏名, ID)")
            .arg(rows / 10);
    const Case cases[] = {
        {"integer field of the table", QStringLiteral("名簿"), QStringLiteral("点数"),
         figures.arg(table, QStringLiteral("点数")), db::ftInteger},
        {"text field of the table", QStringLiteral("名簿"), QStringLiteral("氏名"),
         figures.arg(table, QStringLiteral("氏名")), db::ftText},
        {"date field of the table", QStringLiteral("名簿"), QStringLiteral("入会日"),
         figures.arg(table, QStringLiteral("入会日")), db::ftDateTime},
        {"text field of the sorted saved query", QStringLiteral("抜粋"), QStringLiteral("氏名"),
         figures.arg(query, QStringLiteral("氏名")), db::ftText},
    };
    db::Connection c;
    c.setConnectionString(connectionString(database));
    c.open();
    for (const Case& k : cases) {
        std::printf("%s (%s.%s)\n", k.title, qPrintable(k.table), qPrintable(k.field));
        const Timing ours = bestOf(3, tool, {database, k.table, QStringLiteral("--aggregate"), k.field});
        const Timing shell = bestOf(3, QStringLiteral("sqlite3"), {database, k.shellSql});
        const Timing inProcess = bestOf(3, [&] {
            aggregate::aggregateField(c, QStringLiteral("SELECT * FROM [%1]").arg(k.table),
                                      k.field, k.type);
        });
        row("  tesmora-list --aggregate", ours);
        row("  sqlite3 shell: count, sum, avg, GROUP BY lower()", shell);
        row("  in-process aggregateField (no program start)", inProcess);
        compare("  tesmora-list / sqlite3", ours, shell);
    }
    return 0;
}
