#include "excel/window/SheetSelection.h"

#include <algorithm>

namespace excel::window {

RangeRef SheetSelection::range() const {
    return RangeRef{{std::min(anchor.row, active.row), std::min(anchor.col, active.col)},
                    {std::max(anchor.row, active.row), std::max(anchor.col, active.col)}};
}

RangeRef expandToMerges(RangeRef range, const std::vector<RangeRef>& merges) {
    // Growing for one merge can make the range touch another: repeat until
    // nothing changes.
    for (bool grown = true; grown;) {
        grown = false;
        for (const RangeRef& m : merges) {
            bool touches = m.last.row >= range.first.row && m.first.row <= range.last.row &&
                           m.last.col >= range.first.col && m.first.col <= range.last.col;
            if (!touches) continue;
            RangeRef wider{
                {std::min(range.first.row, m.first.row), std::min(range.first.col, m.first.col)},
                {std::max(range.last.row, m.last.row), std::max(range.last.col, m.last.col)}};
            if (!(wider == range)) {
                range = wider;
                grown = true;
            }
        }
    }
    return range;
}

}  // namespace excel::window
