// Converting genuine Access files, beside the shell pipeline a user would
// otherwise reach for: mdb-export of each table piped into the sqlite3
// shell's .import (which leaves every column untyped text), on the same
// files in the same run. The files are every sample file Access made, and a
// copy of one whose Table1 holds ROWS more rows (default 100,000).
// Both wall time and processor time (user + system, child processes
// included) are measured: on a shared machine the wall time says more about
// the neighbours than about the work.
// Usage: access-bench [ROWS]. Needs mdb-export, mdb-tables and sqlite3.
#include <sys/resource.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "accessfile/AccessFile.h"
#include "accessfile/AccessFixtures.h"

namespace {

struct Times {
    double wall = 0, cpu = 0;
};

double cpuSeconds() {
    double total = 0;
    for (int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage u{};
        getrusage(who, &u);
        total += u.ru_utime.tv_sec + u.ru_utime.tv_usec / 1e6 + u.ru_stime.tv_sec +
                 u.ru_stime.tv_usec / 1e6;
    }
    return total;
}

// Measures one run of work.
template <class Work>
Times measure(Work&& work) {
    const double cpu = cpuSeconds();
    QElapsedTimer t;
    t.start();
    work();
    return {t.nsecsElapsed() / 1e9, cpuSeconds() - cpu};
}

QStringList tablesOf(const QString& file) {
    QProcess p;
    p.start(QStringLiteral("mdb-tables"), {QStringLiteral("-1"), file});
    p.waitForFinished(-1);
    return QString::fromUtf8(p.readAllStandardOutput())
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QString shellQuoted(const QString& s) {
    QString q = s;
    q.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + q + QLatin1Char('\'');
}

// One run of the pipeline over every table of file.
Times pipeline(const QString& file, const QString& database) {
    QFile::remove(database);
    return measure([&] {
        for (const QString& table : tablesOf(file)) {
            const QString command =
                QStringLiteral("mdb-export %1 %2 | sqlite3 %3 '.mode csv' '.import /dev/stdin %4'")
                    .arg(shellQuoted(file), shellQuoted(table), shellQuoted(database),
                         shellQuoted(table).mid(1).chopped(1));
            QProcess p;
            p.start(QStringLiteral("bash"), {QStringLiteral("-c"), command});
            p.waitForFinished(-1);
            if (p.exitCode() != 0)
                std::fprintf(stderr, "pipeline failed on %s\n", qPrintable(table));
        }
    });
}

Times conversion(const QString& file, const QString& database, qint64* rows) {
    QFile::remove(database);
    QFile::remove(accessfile::reportPathFor(database));
    return measure([&] { *rows = accessfile::convert(file, database).rowsCarried(); });
}

// The run with the median processor time.
Times median(std::vector<Times> v) {
    std::sort(v.begin(), v.end(), [](const Times& a, const Times& b) { return a.cpu < b.cpu; });
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int extraRows = argc > 1 ? std::atoi(argv[1]) : 100000;
    QTemporaryDir dir;
    QStringList files;
    for (const char* name : {"testV2003.mdb", "testV2010.accdb", "queryTestV2003.mdb",
                             "testUnicodeCompV2003.mdb", "fixedNumericTestV2000.mdb"})
        files << fixtures::sample(QString::fromLatin1(name));
    std::printf("making a copy of testV2003.mdb with %d more rows...\n", extraRows);
    files << fixtures::makeLargeFile(dir.path(), extraRows);

    std::printf("%-26s %7s | %8s %8s %11s | %8s %8s %11s | %6s\n", "file", "rows", "wall s",
                "cpu s", "rows/cpu s", "wall s", "cpu s", "rows/cpu s", "ratio");
    std::printf("%-26s %7s | %-30s | %-30s |\n", "", "", "conversion",
                "mdb-export | sqlite3 .import");
    Times oursTotal, pipeTotal;
    qint64 rowsTotal = 0;
    auto line = [](const QString& name, qint64 rows, const Times& o, const Times& p) {
        std::printf("%-26s %7lld | %8.3f %8.3f %11.0f | %8.3f %8.3f %11.0f | %5.2fx\n",
                    qPrintable(name), static_cast<long long>(rows), o.wall, o.cpu, rows / o.cpu,
                    p.wall, p.cpu, rows / p.cpu, o.cpu / p.cpu);
    };
    for (const QString& file : files) {
        std::vector<Times> ours, pipe;
        qint64 rows = 0;
        for (int i = 0; i < 3; ++i) {
            ours.push_back(conversion(file, dir.filePath(QStringLiteral("ours.mdb")), &rows));
            pipe.push_back(pipeline(file, dir.filePath(QStringLiteral("pipe.db"))));
        }
        const Times o = median(ours), p = median(pipe);
        oursTotal.wall += o.wall;
        oursTotal.cpu += o.cpu;
        pipeTotal.wall += p.wall;
        pipeTotal.cpu += p.cpu;
        rowsTotal += rows;
        line(QFileInfo(file).fileName(), rows, o, p);
    }
    line(QStringLiteral("all files"), rowsTotal, oursTotal, pipeTotal);
    return 0;
}
