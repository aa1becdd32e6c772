#include "excel/window/PageLayout.h"

#include <QRectF>
#include <algorithm>
#include <cmath>

namespace excel::window {

namespace {

// A title span repeats on a page only when the page starts below (or right
// of) it; the page that holds the titles themselves shows them in place.
bool repeatsTitles(int pageFirst, const std::optional<Span>& titles) {
    return titles && titles->count() > 0 && pageFirst > titles->last;
}

struct PageCounts {
    size_t across;
    size_t down;
};

PageCounts countPages(const AxisLayout& rows, const AxisLayout& cols, const PageRequest& r,
                      QSizeF room, double scale) {
    return {splitAxis(cols, r.cols, room.width() / scale, r.titleCols).size(),
            splitAxis(rows, r.rows, room.height() / scale, r.titleRows).size()};
}

// The largest whole percentage (10 to 100) at which the area fits the asked
// number of pages; 10 when even that does not fit, as a spreadsheet stops there.
int fittingPercent(const AxisLayout& rows, const AxisLayout& cols, const PageRequest& r,
                   QSizeF room) {
    auto fits = [&](int percent) {
        PageCounts n = countPages(rows, cols, r, room, percent / 100.0);
        return (r.fitWidth <= 0 || n.across <= static_cast<size_t>(r.fitWidth)) &&
               (r.fitHeight <= 0 || n.down <= static_cast<size_t>(r.fitHeight));
    };
    if (fits(100)) return 100;
    int low = 10, high = 100;  // fits(high) is false; find the largest that fits
    if (!fits(low)) return low;
    while (high - low > 1) {
        int mid = (low + high) / 2;
        (fits(mid) ? low : high) = mid;
    }
    return low;
}

}  // namespace

std::vector<Span> splitAxis(const AxisLayout& axis, Span span, double room,
                            std::optional<Span> titles) {
    std::vector<Span> pieces;
    span.first = std::max(span.first, 0);
    span.last = std::min(span.last, axis.count() - 1);
    int index = span.first;
    while (index <= span.last) {
        double available = room;
        if (repeatsTitles(index, titles)) available -= axis.length(titles->first, titles->last);
        Span piece{index, index};
        double used = axis.size(index);
        // Tiny tolerance: widths summed from fractions must not push the
        // last column that exactly fits onto the next page.
        while (piece.last < span.last && used + axis.size(piece.last + 1) <= available + 1e-6) {
            used += axis.size(++piece.last);
        }
        pieces.push_back(piece);
        index = piece.last + 1;
    }
    return pieces;
}

PageLayout layoutPages(const AxisLayout& rows, const AxisLayout& cols, const PageRequest& r) {
    PageLayout layout;
    QRectF paper(QPointF(0, 0), r.paper);
    layout.printable = paper.marginsRemoved(r.margins);
    if (layout.printable.width() <= 1 || layout.printable.height() <= 1) {
        // Margins wider than the paper: print on the whole sheet of paper
        // rather than refusing or dividing by nothing.
        layout.printable = paper;
    }
    QSizeF room = layout.printable.size();
    int percent =
        r.fitToPage ? fittingPercent(rows, cols, r, room) : std::clamp(r.scalePercent, 10, 400);
    layout.scale = percent / 100.0;

    std::vector<Span> across = splitAxis(cols, r.cols, room.width() / layout.scale, r.titleCols);
    std::vector<Span> down = splitAxis(rows, r.rows, room.height() / layout.scale, r.titleRows);
    layout.pagesAcross = static_cast<int>(across.size());
    layout.pagesDown = static_cast<int>(down.size());

    auto addPage = [&](const Span& rowSpan, const Span& colSpan) {
        PrintedPage page{rowSpan, colSpan, std::nullopt, std::nullopt};
        if (repeatsTitles(rowSpan.first, r.titleRows)) page.titleRows = r.titleRows;
        if (repeatsTitles(colSpan.first, r.titleCols)) page.titleCols = r.titleCols;
        layout.pages.push_back(page);
    };
    if (r.overThenDown) {
        for (const Span& rowSpan : down)
            for (const Span& colSpan : across) addPage(rowSpan, colSpan);
    } else {
        for (const Span& colSpan : across)
            for (const Span& rowSpan : down) addPage(rowSpan, colSpan);
    }
    return layout;
}

}  // namespace excel::window
