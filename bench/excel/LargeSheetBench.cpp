// Opening a large sheet and reading every cell through TUGExcel::GetCell, as
// the database builder reads a 100,000-row list: once from an .xlsx written
// by openpyxl, once from a CSV of the same values. Beside each stands a
// Python reference on the same file in the same run (openpyxl in read-only
// mode, the csv module). Each side runs in a process of its own, so the peak
// memory printed is its own.
//
// usage: large-sheet-bench [ROWS] (default 100,000; 8 columns)
#include <sys/resource.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <ctime>

#include "excel/TUGExcel.h"

namespace {

const char* const script = TESMORA_BENCH_DIR "/large_sheet.py";

double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + t.tv_nsec / 1e9;
}

double peakMb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss / 1024.0;
}

// Child: open the file, read every cell of the used range, print
// "open_s read_s cpu_s cells peak_mb" (wall times, then CPU time, which
// holds on a busy machine).
int readAll(const QString& path) {
    QElapsedTimer t;
    t.start();
    const double cpu0 = cpuSeconds();
    excel::TUGExcel x(QStringLiteral("Excel.Application"));
    x.OpenBook(path, false);
    const double open = t.nsecsElapsed() / 1e9;
    const int lastCol = x.ColumnNumber(x.UsedRangeEnd(2));
    const int lastRow = x.UsedRangeEnd(3).toInt();
    std::vector<QString> columns;
    for (int c = 1; c <= lastCol; ++c) columns.push_back(x.ColumnName(c));
    qint64 cells = 0, chars = 0;
    for (int r = 1; r <= lastRow; ++r) {
        const QString row = QString::number(r);
        for (const QString& col : columns) {
            const QString v = x.GetCell(col + row);
            if (!v.isEmpty()) ++cells;
            chars += v.size();
        }
    }
    const double total = t.nsecsElapsed() / 1e9;
    const double cpu = cpuSeconds() - cpu0;
    x.CloseBook(false);
    std::printf("%.3f %.3f %.3f %lld %.0f\n", open, total - open, cpu,
                static_cast<long long>(cells), peakMb());
    return chars > 0 ? 0 : 1;
}

// The program's output; false when it failed.
bool run(const QString& program, const QStringList& args, QString* output = nullptr) {
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(program, args);
    if (!p.waitForFinished(-1) || p.exitCode() != 0) {
        std::fprintf(stderr, "%s %s failed\n", qPrintable(program), qPrintable(args.join(' ')));
        return false;
    }
    if (output) *output = QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc == 3 && QByteArray(argv[1]) == "--read")
        return readAll(QString::fromLocal8Bit(argv[2]));
    const int rows = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100000;
    QTemporaryDir dir;
    const QString python = QStringLiteral("/usr/bin/python3");
    if (!run(python, {QString::fromUtf8(script), QStringLiteral("make"), dir.path(),
                      QString::number(rows)}))
        return 1;
    std::printf("%d rows x 8 columns (+ header); seconds to open and read every cell\n", rows);
    std::printf("%-18s %-24s %7s %7s %7s %7s %8s\n", "file", "reader", "open", "read", "total",
                "cpu", "peak MB");
    for (const char* name : {"large.xlsx", "large-shared.xlsx", "large.csv"}) {
        const QString file = dir.filePath(QString::fromLatin1(name));
        const bool csv = file.endsWith(QLatin1String(".csv"));
        QString oursOut, refOut;
        if (!run(QCoreApplication::applicationFilePath(), {QStringLiteral("--read"), file},
                 &oursOut) ||
            !run(python,
                 {QString::fromUtf8(script), csv ? QStringLiteral("csv") : QStringLiteral("xlsx"),
                  file},
                 &refOut))
            return 1;
        const QStringList ours = oursOut.split(QLatin1Char(' '));
        const QStringList ref = refOut.split(QLatin1Char(' '));
        if (ours.size() != 5 || ref.size() != 3) return 1;
        const double oursTotal = ours[0].toDouble() + ours[1].toDouble();
        std::printf("%-18s %-24s %7s %7s %7.3f %7s %8s  (%s cells)\n", name, "TUGExcel::GetCell",
                    qPrintable(ours[0]), qPrintable(ours[1]), oursTotal, qPrintable(ours[2]),
                    qPrintable(ours[4]), qPrintable(ours[3]));
        std::printf("%-18s %-24s %7s %7s %7s %7s %8s  (%s cells)\n", name,
                    csv ? "python csv module" : "openpyxl read-only", "", "", qPrintable(ref[0]),
                    "", qPrintable(ref[2]), qPrintable(ref[1]));
        std::printf("%-18s %-24s %23.2fx\n", name, "ratio (wall)", oursTotal / ref[0].toDouble());
    }
    std::printf("goal: each file opened and read in under 0.5 s and 120 MB\n");
    return 0;
}
