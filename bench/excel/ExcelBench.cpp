// Document output throughput: one document = copy the template, open it,
// write 30 cells (Japanese texts, numbers, dates), replace one picture, save.
// Runs the engine and python3-openpyxl on the same template in the same run
// and prints documents per second for both, with where the engine's time goes.
// The engine also fills the same form carrying ten formula cells, which it
// calculates before each save, and prints how much slower that is.
//
// usage: excel-bench [DOCUMENTS] (default 500)
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <ctime>
#include <filesystem>

#include "excel/TUGExcel.h"

namespace {

QStringList cells() {
    QStringList out;
    for (const char* col : {"B", "D", "F"})
        for (int r = 3; r <= 12; ++r) out << QStringLiteral("%1%2").arg(QLatin1String(col)).arg(r);
    return out;
}

// The same thirty values the openpyxl reference writes (form_bench.py).
QStringList values(int i) {
    QStringList v = {QStringLiteral("山田太郎%1").arg(i),
                     QStringLiteral("東京都千代田区丸の内%1").arg(i),
                     QStringLiteral("株式会社テスモラ"),
                     QStringLiteral("0600001"),
                     QStringLiteral("備考：特になし"),
                     QStringLiteral("営業部"),
                     QStringLiteral("見積№%1").arg(i, 5, 10, QLatin1Char('0')),
                     QStringLiteral("ｶﾀｶﾅ"),
                     QStringLiteral("〒100-0005"),
                     QStringLiteral("以上")};
    v << QString::number(i) << QStringLiteral("12345") << QStringLiteral("-3.5")
      << QStringLiteral("0.25") << QStringLiteral("1000000") << QStringLiteral("42")
      << QStringLiteral("7") << QStringLiteral("3.14159") << QStringLiteral("99")
      << QStringLiteral("0");
    for (int k = 0; k < 10; ++k)
        v << QStringLiteral("2024/%1/%2").arg(1 + (i + k) % 12).arg(1 + (i + k) % 28);
    return v;
}

QString python(const QStringList& args, bool* ok) {
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"),
            QStringList{QStringLiteral(TESMORA_BENCH_DIR "/form_bench.py")} + args);
    *ok = p.waitForFinished(-1) && p.exitCode() == 0;
    if (!*ok) std::fprintf(stderr, "%s", p.readAllStandardError().constData());
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

struct Timing {
    bool ok = true;
    int n = 0;
    qint64 copyNs = 0, openNs = 0, cellsNs = 0, pictureNs = 0, saveNs = 0, totalNs = 0;
    double cpuSeconds = 0;
    double perSecond() const { return n / (totalNs / 1e9); }
    double perCpuSecond() const { return n / cpuSeconds; }
    void print(const char* label) const {
        auto ms = [this](qint64 ns) { return ns / 1e6 / n; };
        std::printf(
            "%s %8.1f documents/s, %.1f on CPU time (per document: copy %.3f ms, open %.3f ms, "
            "30 cells %.3f ms, picture %.3f ms, save %.3f ms)\n",
            label, perSecond(), perCpuSecond(), ms(copyNs), ms(openNs), ms(cellsNs),
            ms(pictureNs), ms(saveNs));
    }
};

// Fills documents from..to-1 from the template into outDir as document
// output does, adding the times to t.
void fill(Timing& t, const QString& tpl, const QString& outDir, const QString& photo, int from,
          int to) {
    const QStringList addresses = cells();
    t.n += to - from;
    QElapsedTimer total, step;
    excel::TUGExcel x(QStringLiteral("Excel.Application"));
    total.start();
    const std::clock_t cpuStart = std::clock();
    for (int i = from; i < to; ++i) {
        const QString out = QDir(outDir).filePath(QStringLiteral("doc_%1.xlsx").arg(i));
        step.start();
        // Copied the way shutil.copyfile copies on the reference side.
        std::filesystem::copy_file(tpl.toStdString(), out.toStdString(),
                                   std::filesystem::copy_options::overwrite_existing);
        t.copyNs += step.nsecsElapsed();
        step.start();
        x.OpenBook(out, false);
        x.SelectSheet(QStringLiteral("見積書"));
        t.openNs += step.nsecsElapsed();
        step.start();
        const QStringList v = values(i);
        for (int k = 0; k < addresses.size(); ++k) x.SetCell(addresses[k], v[k]);
        t.cellsNs += step.nsecsElapsed();
        step.start();
        x.ReplacePicture(QStringLiteral("Picture 1"), photo);
        t.pictureNs += step.nsecsElapsed();
        step.start();
        x.CloseBook(true);
        t.saveNs += step.nsecsElapsed();
        if (!x.LastCloseError.isEmpty()) {
            std::fprintf(stderr, "save failed: %s\n", qPrintable(x.LastCloseError));
            t.ok = false;
            return;
        }
    }
    t.totalNs += total.nsecsElapsed();
    t.cpuSeconds += double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int n = argc > 1 ? std::max(1, std::atoi(argv[1])) : 500;
    QTemporaryDir dir;
    bool ok = false;
    python({QStringLiteral("template"), dir.path()}, &ok);
    if (!ok) return 1;
    const QString tpl = dir.filePath(QStringLiteral("template.xlsx"));
    const QString photo = dir.filePath(QStringLiteral("photo.jpg"));
    QDir(dir.path()).mkdir(QStringLiteral("ours"));
    QDir(dir.path()).mkdir(QStringLiteral("formulas"));
    const QString formulaTpl = dir.filePath(QStringLiteral("template_formulas.xlsx"));
    // The two forms take turns in slices, so that the load of a shared
    // machine falls on both alike.
    Timing plain, withFormulas;
    for (int from = 0; from < n && plain.ok && withFormulas.ok; from += 50) {
        const int to = std::min(n, from + 50);
        fill(plain, tpl, dir.filePath(QStringLiteral("ours")), photo, from, to);
        fill(withFormulas, formulaTpl, dir.filePath(QStringLiteral("formulas")), photo, from, to);
    }
    if (!plain.ok || !withFormulas.ok) return 1;
    const double ours = plain.perSecond(), oursCpu = plain.perCpuSecond();
    double recalcUs = 0;
    {
        // One recalculation of the ten formulas after a changed cell.
        excel::TUGExcel x(QStringLiteral("Excel.Application"));
        x.OpenBook(dir.filePath(QStringLiteral("formulas/doc_0.xlsx")), false);
        const int rounds = 2000;
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < rounds; ++i) {
            x.SetCell(QStringLiteral("D3"), QString::number(i));
            x.GetCell(QStringLiteral("C16"));
        }
        recalcUs = t.nsecsElapsed() / 1e3 / rounds;
        x.CloseBook(false);
    }
    {
        // The last document carries its results (openpyxl wrote none).
        excel::TUGExcel x(QStringLiteral("Excel.Application"));
        x.OpenBook(dir.filePath(QStringLiteral("formulas/doc_%1.xlsx").arg(n - 1)), false);
        QStringList results;
        for (const char* a : {"C14", "C15", "C16", "C17", "C18", "E14", "E15", "E16", "E17", "E18"})
            results << x.GetCell(QLatin1String(a));
        std::printf("results:  %s%s\n", qPrintable(results.join(QStringLiteral(" | "))),
                    x.UncalculatedCells().isEmpty() ? "" : " (some not calculated)");
        x.CloseBook(false);
    }
    const QString theirs = python(
        {QStringLiteral("run"), tpl, dir.filePath(QStringLiteral("py")), QString::number(n)}, &ok);
    if (!ok) return 1;
    const double ref = theirs.section(QLatin1Char(' '), 0, 0).toDouble();
    const double refCpu = theirs.section(QLatin1Char(' '), 1, 1).toDouble();
    std::printf("template: %lld bytes, %d documents\n",
                static_cast<long long>(QFileInfo(tpl).size()), n);
    plain.print("engine:  ");
    withFormulas.print("formulas:");
    std::printf("formulas: %.1f%% fewer documents/s by wall time, %.1f%% by CPU time\n",
                100.0 * (1 - withFormulas.perSecond() / plain.perSecond()),
                100.0 * (1 - withFormulas.perCpuSecond() / plain.perCpuSecond()));
    std::printf("formulas: %.1f us per recalculation (a changed cell, then a read)\n", recalcUs);
    std::printf("openpyxl: %8.1f documents/s\n", ref);
    std::printf("ratio:    %8.1fx wall time; on CPU time %.1f vs %.1f documents/s, %.1fx\n",
                ref > 0 ? ours / ref : 0.0, oursCpu, refCpu, refCpu > 0 ? oursCpu / refCpu : 0.0);
    return 0;
}
