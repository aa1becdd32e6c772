// Scrolling the sheet window over 100,000 rows: time to open the workbook and
// paint the first screenful, the time of one repaint while paging down
// through the sheet, and a jump to the last row. Beside each repaint stands
// a bare grid of the same cells drawn as plain text with QPainter in the same
// run, so the ratio holds on any machine. Usage: sheet-bench [FILE.xlsx]
// (default: 100,000 rows made by make_sheets.py with openpyxl).
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QProcess>
#include <QScrollBar>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "excel/Workbook.h"
#include "excel/window/SheetView.h"

namespace {

constexpr int kFrames = 300;
const QSize kWindow(1280, 800);

double ms(const QElapsedTimer& t) {
    return t.nsecsElapsed() / 1e6;
}

long peakMemoryMb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss / 1024;
}

// The reference: the same visible cells as plain text in a plain grid.
class BareGrid : public QWidget {
public:
    explicit BareGrid(excel::Worksheet& sheet) : sheet_(sheet) {}
    int firstRow = 1;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), Qt::white);
        const int h = 20, w = 64;
        for (int r = 0; r * h < height(); ++r) {
            for (int c = 0; c * w < width(); ++c) {
                QRect cell(c * w, r * h, w, h);
                p.drawRect(cell);
                p.drawText(cell, Qt::AlignLeft | Qt::AlignVCenter,
                           sheet_.displayText(firstRow + r, c + 1));
            }
        }
    }

private:
    excel::Worksheet& sheet_;
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    QString file = argc > 1 ? QString::fromLocal8Bit(argv[1]) : dir.filePath("tall.xlsx");
    if (argc <= 1) {
        std::printf("making 100,000 rows with openpyxl...\n");
        int rc = QProcess::execute("/usr/bin/python3", {TESMORA_MAKE_SHEETS, dir.path(), "--tall"});
        if (rc != 0) {
            std::fprintf(stderr, "sheet-bench: make_sheets.py failed (%d)\n", rc);
            return 1;
        }
    }

    // Painting into an image runs the paint synchronously on any platform.
    QImage frame(kWindow, QImage::Format_ARGB32_Premultiplied);
    QElapsedTimer t;
    t.start();
    auto book = excel::Workbook::open(file);
    excel::Worksheet& sheet = book->activeSheet();
    sheet.value(1, 1);  // the engine parses a sheet on first use
    double open = ms(t);
    t.restart();
    excel::window::SheetView view;
    view.resize(kWindow);
    view.setSheet(&sheet);
    view.show();
    view.render(&frame);
    double first = ms(t);
    int rows = sheet.usedRange().last.row;

    QScrollBar* bar = view.verticalScrollBar();
    std::vector<double> ours, bare;
    BareGrid grid(sheet);
    grid.resize(kWindow);
    grid.show();
    int step = std::max(1, bar->maximum() / kFrames);
    for (int i = 0; i < kFrames; ++i) {
        bar->setValue(i * step);
        t.restart();
        view.render(&frame);
        ours.push_back(ms(t));
        grid.firstRow = 1 + i * rows / kFrames;
        t.restart();
        grid.render(&frame);
        bare.push_back(ms(t));
    }
    t.restart();
    bar->setValue(bar->maximum());
    view.render(&frame);
    double last = ms(t);

    double oursMedian = median(ours), bareMedian = median(bare);
    std::printf("rows: %d\n", rows);
    std::printf("engine opens the file: %8.1f ms\n", open);
    std::printf("window's first paint:  %8.1f ms\n", first);
    std::printf(
        "repaint while paging:  %8.2f ms median, %8.2f ms worst (bare grid %.2f ms, ratio %.2f)\n",
        oursMedian, *std::max_element(ours.begin(), ours.end()), bareMedian,
        bareMedian > 0 ? oursMedian / bareMedian : 0.0);
    std::printf("jump to the last row:  %8.2f ms\n", last);
    std::printf("peak memory:           %8ld MB\n", peakMemoryMb());
    return 0;
}
