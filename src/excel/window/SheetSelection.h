#pragma once
#include <QStringList>
#include <vector>

#include "excel/Model.h"

namespace excel::window {

// What the user has selected in the sheet window: a range of cells (the
// active cell is where typing goes, the anchor is where a Shift or drag
// extension started) or one or more drawing objects, by name.
struct SheetSelection {
    CellRef anchor{1, 1};
    CellRef active{1, 1};
    QStringList shapes;  // non-empty when drawing objects are selected

    RangeRef range() const;
    bool hasShapes() const { return !shapes.isEmpty(); }
};

// The range grown until no merged area sticks out of it: selecting part of a
// merged area selects all of it, as a spreadsheet does.
RangeRef expandToMerges(RangeRef range, const std::vector<RangeRef>& merges);

}  // namespace excel::window
