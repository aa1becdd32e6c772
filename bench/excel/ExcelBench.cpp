// Document output throughput: one document = copy the template, open it,
// write 30 cells (Japanese texts, numbers, dates), replace one picture, save.
// Runs the engine and python3-openpyxl on the same template in the same run
// and prints documents per second for both, with where the engine's time goes.
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
    const QStringList addresses = cells();

    qint64 copyNs = 0, openNs = 0, cellsNs = 0, pictureNs = 0, saveNs = 0;
    QElapsedTimer total, step;
    excel::TUGExcel x(QStringLiteral("Excel.Application"));
    total.start();
    const std::clock_t cpuStart = std::clock();
    for (int i = 0; i < n; ++i) {
        const QString out = dir.filePath(QStringLiteral("ours/doc_%1.xlsx").arg(i));
        step.start();
        // Copied the way shutil.copyfile copies on the reference side.
        std::filesystem::copy_file(tpl.toStdString(), out.toStdString(),
                                   std::filesystem::copy_options::overwrite_existing);
        copyNs += step.nsecsElapsed();
        step.start();
        x.OpenBook(out, false);
        x.SelectSheet(QStringLiteral("見積書"));
        openNs += step.nsecsElapsed();
        step.start();
        const QStringList v = values(i);
        for (int k = 0; k < addresses.size(); ++k) x.SetCell(addresses[k], v[k]);
        cellsNs += step.nsecsElapsed();
        step.start();
        x.ReplacePicture(QStringLiteral("Picture 1"), photo);
        pictureNs += step.nsecsElapsed();
        step.start();
        x.CloseBook(true);
        saveNs += step.nsecsElapsed();
        if (!x.LastCloseError.isEmpty()) {
            std::fprintf(stderr, "save failed: %s\n", qPrintable(x.LastCloseError));
            return 1;
        }
    }
    const double ours = n / (total.nsecsElapsed() / 1e9);
    // CPU time as well: the build machine is shared, and wall time then
    // measures the neighbours as much as the engine.
    const double oursCpu = n / (double(std::clock() - cpuStart) / CLOCKS_PER_SEC);
    const QString theirs = python(
        {QStringLiteral("run"), tpl, dir.filePath(QStringLiteral("py")), QString::number(n)}, &ok);
    if (!ok) return 1;
    const double ref = theirs.section(QLatin1Char(' '), 0, 0).toDouble();
    const double refCpu = theirs.section(QLatin1Char(' '), 1, 1).toDouble();
    auto ms = [n](qint64 ns) { return ns / 1e6 / n; };
    std::printf("template: %lld bytes, %d documents\n",
                static_cast<long long>(QFileInfo(tpl).size()), n);
    std::printf(
        "engine:   %8.1f documents/s (per document: copy %.3f ms, open %.3f ms, 30 cells %.3f ms, "
        "picture %.3f ms, save %.3f ms)\n",
        ours, ms(copyNs), ms(openNs), ms(cellsNs), ms(pictureNs), ms(saveNs));
    std::printf("openpyxl: %8.1f documents/s\n", ref);
    std::printf("ratio:    %8.1fx wall time; on CPU time %.1f vs %.1f documents/s, %.1fx\n",
                ref > 0 ? ours / ref : 0.0, oursCpu, refCpu, refCpu > 0 ? oursCpu / refCpu : 0.0);
    return 0;
}
