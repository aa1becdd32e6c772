#include "excel/window/SheetPrinting.h"

#include <QPainter>
#include <QPrinter>
#include <QRegularExpression>
#include <QScrollBar>
#include <algorithm>

#include "excel/Error.h"
#include "excel/Workbook.h"
#include "platform/PdfTextMap.h"
#include "excel/window/SheetGeometry.h"
#include "excel/window/SheetPainter.h"
#include "excel/window/SheetView.h"

namespace excel::window {

namespace {

constexpr double kPointsPerInch = 72.0;
constexpr int kMaxImageSide = 8000;  // a print area of thousands of rows still renders

// "$1:$3" -> rows 0..2; "$A:$B" -> columns 0..1 (0-based). Only the first
// area of a list is used, as a sheet has one set of titles.
std::optional<Span> titleSpan(const QString& text, bool rows) {
    QString first = text.section(QLatin1Char(','), 0, 0).remove(QLatin1Char('$')).trimmed();
    if (first.contains(QLatin1Char('!'))) first = first.section(QLatin1Char('!'), -1);
    QStringList parts = first.split(QLatin1Char(':'));
    if (parts.isEmpty() || parts.size() > 2 || parts.front().isEmpty()) return std::nullopt;
    auto index = [&](const QString& part) -> int {
        if (rows) {
            bool ok = false;
            int row = part.toInt(&ok);
            return ok ? row - 1 : -1;
        }
        auto ref = parseCellRef(part + QStringLiteral("1"));
        return ref ? ref->col - 1 : -1;
    };
    int a = index(parts.front());
    int b = index(parts.back());
    if (a < 0 || b < 0) return std::nullopt;
    return Span{std::min(a, b), std::max(a, b)};
}

}  // namespace

QPageSize paperForCode(int code) {
    switch (code) {
        case 1:
            return QPageSize(QPageSize::Letter);
        case 5:
            return QPageSize(QPageSize::Legal);
        case 8:
            return QPageSize(QPageSize::A3);
        case 11:
            return QPageSize(QPageSize::A5);
        case 12:
            return QPageSize(QPageSize::JisB4);
        case 13:
            return QPageSize(QPageSize::JisB5);
        case 33:
            return QPageSize(QPageSize::B4);
        case 34:
            return QPageSize(QPageSize::B5);
        case 43:
            return QPageSize(QPageSize::Postcard);
        case 70:
            return QPageSize(QPageSize::A6);
        default:
            return QPageSize(QPageSize::A4);
    }
}

std::optional<RangeRef> printAreaOf(const PageSetup& setup) {
    // A print area of several pieces prints its first one here.
    QString area = setup.printArea.section(QLatin1Char(','), 0, 0);
    if (area.contains(QLatin1Char('!'))) area = area.section(QLatin1Char('!'), -1);
    return parseRangeRef(area);
}

std::pair<Span, Span> printedArea(const Worksheet& sheet, const SheetGeometry& geometry) {
    if (auto range = printAreaOf(sheet.pageSetup())) {
        return {Span{range->first.row - 1, range->last.row - 1},
                Span{range->first.col - 1, range->last.col - 1}};
    }
    RangeRef used = sheet.usedRange();
    QRectF extent = geometry.rangeRect(RangeRef{{1, 1}, used.last});
    for (const Picture& picture : sheet.pictures())
        extent = extent.united(geometry.anchorRect(picture.anchor));
    // The last row or column a picture reaches into belongs to the page.
    int lastRow = geometry.rows().indexAt(std::max(0.0, extent.bottom() - 0.01));
    int lastCol = geometry.cols().indexAt(std::max(0.0, extent.right() - 0.01));
    return {Span{0, std::max(lastRow, used.last.row - 1)},
            Span{0, std::max(lastCol, used.last.col - 1)}};
}

PageRequest pageRequestFor(const Worksheet& sheet, const SheetGeometry& geometry) {
    PageSetup setup = sheet.pageSetup();
    PageRequest request;
    QSizeF paper = paperForCode(setup.paperSize).size(QPageSize::Point);
    if (setup.orientation == Orientation::Landscape) paper.transpose();
    request.paper = paper;
    const PageMargins& m = setup.margins;
    request.margins = QMarginsF(m.left, m.top, m.right, m.bottom) * kPointsPerInch;
    auto [rows, cols] = printedArea(sheet, geometry);
    request.rows = rows;
    request.cols = cols;
    request.titleRows = titleSpan(setup.printTitleRows, true);
    request.titleCols = titleSpan(setup.printTitleColumns, false);
    request.scalePercent = setup.scale > 0 ? setup.scale : 100;
    request.fitToPage = setup.fitToPage;
    request.fitWidth = setup.fitToWidth;
    request.fitHeight = setup.fitToHeight;
    request.centerHorizontally = setup.centerHorizontally;
    request.centerVertically = setup.centerVertically;
    return request;
}

SheetPrintJob::SheetPrintJob(QPrinter& printer) : printer_(printer) {}

SheetPrintJob::~SheetPrintJob() {
    if (painter_.isActive()) painter_.end();
}

void SheetPrintJob::finish() {
    if (!painter_.isActive()) return;
    if (!painter_.end())
        throw Error(ErrorCode::WriteFailed,
                    QStringLiteral("the print job on '%1' could not be completed")
                        .arg(printer_.printerName().isEmpty() ? printer_.outputFileName()
                                                              : printer_.printerName()));
    // A PDF file reads back as the text that was drawn, not as the radicals
    // that share the glyphs of common kanji.
    if (const QString pdf = platform::pdfFileOf(printer_); !pdf.isEmpty()) {
        try {
            platform::correctPdfTextMap(pdf, drawn_);
        } catch (const std::exception& e) {
            throw Error(ErrorCode::WriteFailed, QString::fromUtf8(e.what()));
        }
    }
}

void printSheet(const Worksheet& sheet, QPrinter& printer) {
    SheetPrintJob job(printer);
    job.add(sheet);
    job.finish();
}

void SheetPrintJob::add(const Worksheet& sheet) {
    QPrinter& printer = printer_;
    QPainter& painter = painter_;
    SheetGeometry geometry(sheet, 1, 1);
    PageRequest request = pageRequestFor(sheet, geometry);
    PageSetup setup = sheet.pageSetup();
    printer.setPageSize(paperForCode(setup.paperSize));
    printer.setPageOrientation(setup.orientation == Orientation::Landscape ? QPageLayout::Landscape
                                                                           : QPageLayout::Portrait);
    printer.setFullPage(true);
    printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);
    if (printer.docName().isEmpty()) printer.setDocName(sheet.name());
    PageLayout layout = layoutPages(geometry.rows(), geometry.cols(), request);
    // Styles and drawings are read on first use; reading them before the job
    // starts keeps a malformed part from leaving half a job in the printer.
    sheet.style(1, 1);
    sheet.pictures();

    // A later sheet of the same job starts a page of its own, on its own
    // paper.
    if (painter.isActive()) printer.newPage();
    if (!painter.isActive() && !painter.begin(&printer)) {
        throw Error(ErrorCode::WriteFailed,
                    QStringLiteral("printer '%1' could not start a print job")
                        .arg(printer.printerName().isEmpty() ? printer.outputFileName()
                                                             : printer.printerName()));
    }
    SheetPainter sheetPainter(sheet, geometry);
    sheetPainter.noteTextIn(&drawn_);
    PaintOptions options;
    options.gridLines = setup.gridLines;
    options.shapeOutlines = false;
    // Device units per paper point; the sheet's own points shrink or grow by
    // the print scale on top of that.
    double device = printer.resolution() / kPointsPerInch;
    double scale = device * layout.scale;
    const AxisLayout& rowAxis = geometry.rows();
    const AxisLayout& colAxis = geometry.cols();

    bool first = true;
    for (const PrintedPage& page : layout.pages) {
        if (!first) printer.newPage();
        first = false;
        double titleWidth =
            page.titleCols ? colAxis.length(page.titleCols->first, page.titleCols->last) : 0;
        double titleHeight =
            page.titleRows ? rowAxis.length(page.titleRows->first, page.titleRows->last) : 0;
        double width = titleWidth + colAxis.length(page.cols.first, page.cols.last);
        double height = titleHeight + rowAxis.length(page.rows.first, page.rows.last);
        QPointF at = layout.printable.topLeft();
        if (request.centerHorizontally)
            at.rx() += std::max(0.0, (layout.printable.width() - width * layout.scale) / 2);
        if (request.centerVertically)
            at.ry() += std::max(0.0, (layout.printable.height() - height * layout.scale) / 2);
        // Paper points of the body's top-left, right of and below the titles.
        QPointF body = at + QPointF(titleWidth, titleHeight) * layout.scale;
        painter.save();
        painter.setClipRect(
            QRectF(layout.printable.topLeft() * device, layout.printable.size() * device));
        if (page.titleRows && page.titleCols)
            sheetPainter.paintBlock(painter, *page.titleRows, *page.titleCols, at * device, scale,
                                    options);
        if (page.titleRows)
            sheetPainter.paintBlock(painter, *page.titleRows, page.cols,
                                    QPointF(body.x(), at.y()) * device, scale, options);
        if (page.titleCols)
            sheetPainter.paintBlock(painter, page.rows, *page.titleCols,
                                    QPointF(at.x(), body.y()) * device, scale, options);
        sheetPainter.paintBlock(painter, page.rows, page.cols, body * device, scale, options);
        painter.restore();
    }
    ++sheets_;
}

QImage renderSheetImage(Worksheet& sheet, QSize screenful) {
    SheetView view;
    view.setAttribute(Qt::WA_DontShowOnScreen, true);
    view.setFrameShape(QFrame::NoFrame);
    view.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view.setSheet(&sheet);
    QSize size = screenful;
    QPoint scroll;
    if (auto area = printAreaOf(sheet.pageSetup())) {
        SheetGeometry geometry(sheet, area->last.row, area->last.col);
        QRectF points = geometry.rangeRect(*area);
        double s = view.scale();
        size = QSize(
            std::min(int(points.width() * s) + view.rowHeaderWidth() + 1, kMaxImageSide),
            std::min(int(points.height() * s) + view.columnHeaderHeight() + 1, kMaxImageSide));
        scroll = QPoint(int(points.left() * s), int(points.top() * s));
        view.growTo(area->last.row, area->last.col);
    }
    view.resize(size);
    view.show();  // lays out the viewport; never mapped on a screen
    view.horizontalScrollBar()->setValue(scroll.x());
    view.verticalScrollBar()->setValue(scroll.y());
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    view.render(&image);
    if (view.failure()) throw *view.failure();  // never an empty grid passed off as the sheet
    return image;
}

}  // namespace excel::window
