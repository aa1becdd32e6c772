#include "output/PrintedList.h"

#include <QFontMetrics>
#include <QPagedPaintDevice>
#include <QPainter>
#include <algorithm>

#include "db/Db.h"
#include "platform/PdfTextMap.h"

namespace output {

int PrintedListLayout::pageCount(int records) const {
    const int perPage = std::max(1, recordRowsPerPage());
    const int pagesPerGroup = records <= 0 ? 1 : (records + perPage - 1) / perPage;
    return pagesPerGroup * int(groups.size());
}

PrintedListLayout layoutPrintedList(int printerDpi, int screenDpi, int pageWidth, int pageHeight,
                                    const std::vector<ListColumn>& columns) {
    PrintedListLayout layout;
    // A printer coarser than the screen would give a scale of 0: every row
    // 0 high and a division by zero for the lines of a page.
    layout.scale = screenDpi > 0 ? std::max(1, printerDpi / screenDpi) : 1;
    const int s = layout.scale;
    layout.margin = 2 * s;
    layout.rowHeight = 20 * s;
    layout.pageWidth = pageWidth;
    layout.pageHeight = pageHeight;
    // Top line for the page number, one for the names, at least one record.
    layout.linesPerPage = std::max(3, pageHeight / layout.rowHeight);

    ColumnGroup group;
    int x = 0;
    for (const ListColumn& c : columns) {
        const int width = c.width * s;
        if (x + width > pageWidth && !group.columns.empty()) {
            group.right = x;
            layout.groups.push_back(std::move(group));
            group = ColumnGroup();
            x = 0;
        }
        group.columns.push_back({c.field, c.name, c.type, x, width});
        x += width;
    }
    if (!group.columns.empty()) {
        group.right = x;
        layout.groups.push_back(std::move(group));
    }
    // A lone column wider than the page is cut at the page edge.
    if (pageWidth > 0)
        for (ColumnGroup& g : layout.groups) g.right = std::min(g.right, pageWidth);
    return layout;
}

QString pageHeaderText(int page, bool firstOfGroup) {
    return QLatin1String(firstOfGroup ? " (" : "  (") + QString::number(page) +
           QStringLiteral("頁)");
}

namespace {

class PagePainter {
public:
    PagePainter(QPainter& painter, const PrintedListLayout& layout, const ColumnGroup& group,
                platform::DrawnText* drawn)
        : p_(painter),
          l_(layout),
          g_(group),
          ascent_(QFontMetrics(painter.font()).ascent()),
          drawn_(drawn) {}

    // Text with its top-left corner at (x, y), as the printer's canvas
    // writes it; not clipped to its column.
    void text(int x, int y, const QString& s) {
        p_.drawText(QPoint(x, y + ascent_), s);
        if (drawn_) drawn_->add(s, p_.font());
    }

    void rule(int line) {
        const int y = l_.rowHeight * line;
        p_.drawLine(0, y, g_.right, y);
    }

    void beginPage(int page, bool first) {
        text(l_.margin, l_.margin, pageHeaderText(page, first));
        line_ = 1;
        rule(line_);
        for (const PrintedColumn& c : g_.columns)
            text(c.x, l_.rowHeight * line_ + l_.margin, QLatin1Char(' ') + c.name);
        ++line_;
        rule(line_);
    }

    void record(const std::vector<QVariant>& values) {
        for (const PrintedColumn& c : g_.columns)
            text(c.x, l_.rowHeight * line_ + l_.margin,
                 QLatin1Char(' ') + db::valueText(values[size_t(c.field)], c.type));
        ++line_;
        rule(line_);
    }

    bool full() const { return line_ >= l_.linesPerPage; }

    // Vertical rules, then white over whatever text ran past the last column.
    void closePage() {
        const int bottom = l_.rowHeight * line_;
        for (const PrintedColumn& c : g_.columns) p_.drawLine(c.x, l_.rowHeight, c.x, bottom);
        p_.drawLine(g_.right, l_.rowHeight, g_.right, bottom);
        const int left = g_.right + 2;
        if (left < l_.pageWidth)
            p_.fillRect(QRect(left, 0, l_.pageWidth - left, bottom), Qt::white);
    }

private:
    QPainter& p_;
    const PrintedListLayout& l_;
    const ColumnGroup& g_;
    int ascent_;
    platform::DrawnText* drawn_;
    int line_ = 1;
};

}  // namespace

PrintedListResult paintPrintedList(QPainter& painter, QPagedPaintDevice& device,
                                   const PrintedListLayout& layout, const ListRecords& records,
                                   const ProgressFn& progress, platform::DrawnText* drawn) {
    QPen pen(Qt::black);
    pen.setWidth(2);
    painter.setPen(pen);
    Progress percent(progress, qint64(records.total) * qint64(layout.groups.size()));
    int page = 1;
    qint64 printed = 0;
    int listed = 0;
    bool firstPage = true;
    for (const ColumnGroup& group : layout.groups) {
        PagePainter pages(painter, layout, group, drawn);
        if (!firstPage) device.newPage();
        firstPage = false;
        pages.beginPage(page++, true);
        forEachRecord(records, [&](int k, const std::vector<QVariant>& values) {
            // A new page only for a record that needs one, so the list never
            // ends on a page holding nothing but the names.
            if (pages.full()) {
                pages.closePage();
                device.newPage();
                pages.beginPage(page++, false);
            }
            pages.record(values);
            percent.done(++printed);
            listed = k;
        });
        pages.closePage();
    }
    return {page - 1, listed};
}

PrintedListResult printList(QPagedPaintDevice& printer, int screenDpi,
                            const std::vector<ListColumn>& columns, const ListRecords& records,
                            const ProgressFn& progress, platform::DrawnText* drawn) {
    const PrintedListLayout layout = layoutPrintedList(printer.logicalDpiX(), screenDpi,
                                                       printer.width(), printer.height(), columns);
    QPainter painter;
    if (!painter.begin(&printer))
        throw ListError(ListError::Code::PrintFailed,
                        QStringLiteral("the printer cannot be started"));
    // Text of a row stays inside its row height.
    QFont font = painter.font();
    font.setPixelSize(std::max(1, layout.rowHeight * 11 / 20));
    painter.setFont(platform::printableFont(font));
    platform::DrawnText ownDrawn;
    if (!drawn) drawn = &ownDrawn;
    const PrintedListResult result =
        paintPrintedList(painter, printer, layout, records, progress, drawn);
    if (!painter.end())
        throw ListError(ListError::Code::PrintFailed,
                        QStringLiteral("the print job could not be finished"));
    // A PDF file reads back as the text that was drawn, not as the radicals
    // that share the glyphs of common kanji.
    if (const QString pdf = platform::pdfFileOf(printer); !pdf.isEmpty()) {
        try {
            platform::correctPdfTextMap(pdf, *drawn);
        } catch (const std::exception& e) {
            throw ListError(ListError::Code::PrintFailed, QString::fromUtf8(e.what()));
        }
    }
    return result;
}

}  // namespace output
