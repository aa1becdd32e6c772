// list-bench [ROWS]: list output of ROWS records of ten columns (default
// 100,000). Runs tesmora-list to CSV beside the sqlite3 shell's CSV export of
// the same query piped through iconv into CP932, then the same records as a
// printed list into a PDF; wall and CPU time of each (CSV: best of three
// runs; the PDF, which takes long, once).
#include <sys/resource.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFont>
#include <QPageLayout>
#include <QPdfWriter>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>

#include "db/Db.h"
#include "output/CsvList.h"
#include "output/PrintedList.h"

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

// Best of some runs of a program (through sh when it is a pipeline).
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

// Ten columns as a member list has them: key, five texts, date, currency,
// float, yes/no.
void makeDatabase(const QString& path, int rows) {
    db::createDatabase(path);
    db::Connection c;
    c.setConnectionString(connectionString(path));
    c.open();
    c.execute(QStringLiteral(
        "CREATE TABLE [名簿] (ID INTEGER PRIMARY KEY, 氏名 NCHAR(20), フリガナ NCHAR(30), "
        "郵便番号 NCHAR(8), 住所 NCHAR(60), 電話 NCHAR(15), 生年月日 TIMESTAMP, 会費 CURRENCY, "
        "身長 DOUBLE PRECISION, 会員 BIT)"));
    db::Command insert(c);
    insert.setCommandText(QStringLiteral(
        "INSERT INTO [名簿] VALUES (:D1, :D2, :D3, :D4, :D5, :D6, :D7, :D8, :D9, :D10)"));
    db::Transaction t(c);
    for (int i = 1; i <= rows; ++i) {
        insert.clearParameters();
        insert.addParameter(i, db::ParamType::Integer);
        insert.addParameter(QStringLiteral("山田 太郎%1").arg(i), db::ParamType::Text);
        insert.addParameter(QStringLiteral("ヤマダ タロウ"), db::ParamType::Text);
        insert.addParameter(QStringLiteral("060-%1").arg(i % 10000, 4, 10, QLatin1Char('0')),
                            db::ParamType::Text);
        insert.addParameter(
            QStringLiteral("北海道札幌市中央区北%1条西%2丁目").arg(i % 30).arg(i % 20),
            db::ParamType::Text);
        insert.addParameter(QStringLiteral("011-222-%1").arg(i % 10000, 4, 10, QLatin1Char('0')),
                            db::ParamType::Text);
        insert.addParameter(QDateTime(QDate(1950, 1, 1).addDays(i % 20000), QTime(0, 0)),
                            db::ParamType::DateTime);
        insert.addParameter(double(i % 100) * 100.0, db::ParamType::Float);
        insert.addParameter(150.0 + (i % 500) / 10.0, db::ParamType::Float);
        insert.addParameter(i % 3 != 0, db::ParamType::Boolean);
        insert.execute();
    }
    t.commit();
}

void row(const char* what, const Timing& t, double units, const char* unit) {
    std::printf("%-44s %9.0f ms wall %9.0f ms CPU   %9.0f %s/s (wall)  %9.0f %s/s (CPU)\n", what,
                t.wallMs, t.cpuMs, units / (t.wallMs / 1000.0), unit, units / (t.cpuMs / 1000.0),
                unit);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("TZ")) qputenv("TZ", ":/etc/localtime");
    QApplication app(argc, argv);
    QApplication::setFont(QFont(QStringLiteral("Noto Sans CJK JP"), 9));
    const int rows = argc > 1 ? std::atoi(argv[1]) : 100000;
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
    std::printf("%d records of 10 columns written in %lld ms\n\n", rows, t.elapsed());

    const QString csv = dir.filePath(QStringLiteral("list.csv"));
    const Timing ours =
        bestOf(3, tool, {database, QStringLiteral("名簿"), QStringLiteral("--csv"), csv});
    const QString shell =
        QStringLiteral("sqlite3 -csv -header '%1' 'SELECT * FROM [名簿]' | iconv -t CP932 > '%2'")
            .arg(database, dir.filePath(QStringLiteral("reference.csv")));
    const Timing reference = bestOf(3, QStringLiteral("/bin/sh"), {QStringLiteral("-c"), shell});

    db::Connection c;
    c.setConnectionString(connectionString(database));
    c.open();
    const output::ListRecords records{c, QStringLiteral("SELECT * FROM [名簿]"), rows};
    db::DataSet fields(c);
    fields.setCommandText(QStringLiteral("SELECT * FROM [名簿] WHERE 1 = 0"));
    fields.open();
    const std::vector<output::ListColumn> columns = output::allColumns(fields);
    const Timing inProcess = bestOf(3, [&] { output::writeCsvList(csv, records, columns); });

    std::printf("CSV, CP932 (goal: 300,000 records/s)\n");
    row("  tesmora-list --csv (whole program)", ours, rows, "rec");
    row("  writeCsvList in process", inProcess, rows, "rec");
    row("  sqlite3 -csv | iconv -t CP932", reference, rows, "rec");
    std::printf("  ratio (wall) %.2fx of the reference\n\n", ours.wallMs / reference.wallMs);

    const QString pdf = dir.filePath(QStringLiteral("list.pdf"));
    int pages = 0;
    const Timing printed = bestOf(1, [&] {
        QPdfWriter writer(pdf);
        writer.setResolution(1200);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                         QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter));
        pages = output::printList(writer, 96, columns, records).pages;
    });
    const Timing printedTool =
        bestOf(1, tool, {database, QStringLiteral("名簿"), QStringLiteral("--pdf"), pdf});
    std::printf("Printed list into a PDF (A4, 1200 dpi, %d pages)\n", pages);
    row("  tesmora-list --pdf (whole program)", printedTool, pages, "pg");
    row("  printList in process", printed, pages, "pg");
    return 0;
}
