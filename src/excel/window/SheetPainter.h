#pragma once
// Draws the cells of a sheet as the workbook styles them: fills, grid lines,
// text with its number format, font, alignment and wrapping, borders, merged
// cells and pictures at their anchors. One painter serves the sheet window,
// the PNG rendering and printing; they differ only in the block they ask for,
// the scale and whether grid lines and shape outlines are wanted.
#include <QFont>
#include <QHash>
#include <QImage>
#include <QPointF>

#include "excel/Model.h"
#include "excel/window/PageLayout.h"
#include "excel/window/SheetGeometry.h"

class QPainter;

namespace excel {
class Worksheet;
}

namespace platform {
class DrawnText;
}

namespace excel::window {

// painter.save() for a scope; restored also when the engine throws midway.
class SavedState {
public:
    explicit SavedState(QPainter& painter);
    ~SavedState();
    SavedState(const SavedState&) = delete;
    SavedState& operator=(const SavedState&) = delete;

private:
    QPainter& painter_;
};

struct PaintOptions {
    bool gridLines = true;
    // Shapes that are not pictures (text boxes, charts) have no image of
    // their own here; the window outlines them so they can still be picked.
    bool shapeOutlines = false;
};

// The font a cell style asks for, at `scale` device units per point on a
// device of `deviceDpi`. Families that this desktop lacks are replaced by
// installed ones with the same shape (Japanese gothic and mincho faces by the
// Noto CJK ones).
QFont cellFont(const Font& font, double scale, double deviceDpi);

class SheetPainter {
public:
    // Both must outlive the painter.
    SheetPainter(const Worksheet& sheet, const SheetGeometry& geometry);

    // Draws rows x cols (0-based spans) with the block's top-left corner at
    // origin, in device units, at `scale` device units per point. Nothing is
    // drawn outside the block.
    void paintBlock(QPainter& painter, Span rows, Span cols, QPointF origin, double scale,
                    const PaintOptions& options);

    // The image of a picture, decoded once; a null image when it has none or
    // its bytes are not an image Qt can read.
    QImage pictureImage(const Picture& picture);

    // Notes every text drawn from now on (a print job puts the text map of
    // its PDF right with it); null stops noting.
    void noteTextIn(platform::DrawnText* drawn) { drawn_ = drawn; }

private:
    struct Block;
    void paintFills(QPainter& p, const Block& b);
    void paintGrid(QPainter& p, const Block& b);
    void paintTexts(QPainter& p, const Block& b);
    void paintCellText(QPainter& p, const Block& b, int row, int col, const QRectF& cellRect,
                       bool merged);
    void paintBorders(QPainter& p, const Block& b);
    void paintPictures(QPainter& p, const Block& b, const PaintOptions& options);

    const Worksheet& sheet_;
    const SheetGeometry& geometry_;
    QHash<QString, QImage> images_;
    platform::DrawnText* drawn_ = nullptr;
};

}  // namespace excel::window
