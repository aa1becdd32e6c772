#pragma once
// The plain values that describe what a sheet looks like: cell references and
// ranges, resolved cell styles, pictures and their anchors, hyperlinks and the
// page setup. The workbook (Workbook.h) hands these out; the sheet window
// paints from them and the HTML writer renders them. Nothing here touches a
// file or a window.
#include <QByteArray>
#include <QColor>
#include <QString>
#include <optional>

namespace excel {

// A cell position, both numbers 1-based (A1 is row 1, column 1).
struct CellRef {
    int row = 0;
    int col = 0;
    bool valid() const { return row >= 1 && col >= 1; }
    friend bool operator==(const CellRef&, const CellRef&) = default;
};

// An inclusive rectangle of cells; first is top-left, last bottom-right.
struct RangeRef {
    CellRef first;
    CellRef last;
    bool contains(int row, int col) const {
        return row >= first.row && row <= last.row && col >= first.col && col <= last.col;
    }
    bool singleCell() const { return first == last; }
    friend bool operator==(const RangeRef&, const RangeRef&) = default;
};

enum class CellType { Empty, Number, String, Boolean, Error };

// What a cell holds. A date is a Number whose style has a date format
// (CellStyle::isDateFormat); formula is the text without the leading "=".
struct CellValue {
    CellType type = CellType::Empty;
    double number = 0;
    QString text;  // String and Error cells
    bool boolean = false;
    QString formula;
};

struct Font {
    QString family = QStringLiteral("Calibri");
    double size = 11;  // points
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    QColor color;  // invalid = automatic (black)
};

enum class BorderStyle {
    None,
    Thin,
    Medium,
    Thick,
    Dashed,
    Dotted,
    Double,
    Hair,
    MediumDashed,
    DashDot,
    MediumDashDot,
    DashDotDot,
    MediumDashDotDot,
    SlantDashDot
};

struct BorderLine {
    BorderStyle style = BorderStyle::None;
    QColor color;  // invalid = automatic
};

struct Borders {
    BorderLine left, right, top, bottom;
};

enum class HAlign { General, Left, Center, Right, Fill, Justify, CenterContinuous, Distributed };
enum class VAlign { Bottom, Top, Center, Justify, Distributed };

// A cell's style with every index resolved.
struct CellStyle {
    Font font;
    QColor fill;  // invalid = no fill
    Borders borders;
    HAlign hAlign = HAlign::General;
    VAlign vAlign = VAlign::Bottom;
    bool wrap = false;
    bool shrinkToFit = false;
    int indent = 0;
    int rotation = 0;  // degrees as stored (0-180, 255 = vertical text)
    int numFmtId = 0;
    QString numberFormat = QStringLiteral("General");
    bool isDateFormat = false;
};

// Where a drawing object sits. Cell positions are 1-based like CellRef;
// offsets and sizes are in EMU (914400 per inch, 12700 per point).
struct AnchorPoint {
    CellRef cell;
    qint64 colOffset = 0;
    qint64 rowOffset = 0;
};

struct Anchor {
    enum class Kind { TwoCell, OneCell, Absolute };
    Kind kind = Kind::TwoCell;
    AnchorPoint from;              // TwoCell, OneCell
    AnchorPoint to;                // TwoCell
    qint64 x = 0, y = 0;           // Absolute: position from the sheet's top-left
    qint64 width = 0, height = 0;  // OneCell, Absolute: extent; TwoCell: from the shape's xfrm
};

// A picture of the sheet's drawing. Other shapes (text boxes, charts) are
// listed with isPicture false and no image.
struct Picture {
    QString name;  // "Picture 3"
    int id = 0;
    QString description;
    bool isPicture = true;
    Anchor anchor;
    QString imagePart;  // package path of the image, "" when none
    QString contentType;
};

struct Hyperlink {
    RangeRef range;
    QString target;    // external address, "" for a link inside the workbook
    QString location;  // place inside the workbook ("Sheet2!A1"), may be ""
    QString display;
    QString tooltip;
};

enum class Orientation { Default, Portrait, Landscape };

struct PageMargins {  // inches
    double left = 0.7, right = 0.7, top = 0.75, bottom = 0.75, header = 0.3, footer = 0.3;
};

struct PageSetup {
    int paperSize = 9;  // 9 = A4, 1 = Letter, as stored in the workbook
    Orientation orientation = Orientation::Default;
    PageMargins margins;
    int scale = 100;
    bool fitToPage = false;
    int fitToWidth = 1;
    int fitToHeight = 1;
    bool centerHorizontally = false;
    bool centerVertically = false;
    bool gridLines = false;
    QString printArea;          // "$A$1:$H$40" without the sheet name, "" when none
    QString printTitleRows;     // "$1:$2", "" when none
    QString printTitleColumns;  // "$A:$B", "" when none
    QString header;             // raw header/footer codes ("&C&P")
    QString footer;
};

// Converts between "AB12" and CellRef; nullopt when the text is not a plain
// A1 reference (dollar signs are accepted and ignored). Columns up to XFD.
std::optional<CellRef> parseCellRef(const QString& a1);
// "A1:C3" or a single cell; the corners are put in order.
std::optional<RangeRef> parseRangeRef(const QString& a1);
QString columnLetters(int col);  // 1 -> "A"; "" when out of 1..16384
QString cellRefText(const CellRef& ref);
QString rangeRefText(const RangeRef& range);  // "A1" for a single cell

}  // namespace excel
