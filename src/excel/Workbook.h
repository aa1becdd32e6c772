#pragma once
// The workbook engine. A Workbook is opened from an .xlsx/.xlsm package (or a
// .csv, or an .xls converted through LibreOffice), hands out its sheets, takes
// cell, hyperlink and picture changes, and saves atomically. Parts of the
// package that no change touches are copied to the saved file byte for byte;
// only the sheet, drawing and relationship parts that changed are rewritten.
//
// Reading is lazy: a sheet is read the first time it is used, the styles the
// first time a style or a date is needed, the shared strings the first time a
// shared text is read. A sheet's cells are kept compactly (CellStore.h): its
// part is inflated and scanned in pieces, never held whole, and only the rest
// of the part (columns, merges, links, page setup) becomes a tree. Saving
// writes the cells back into that tree's sheetData.
//
// Cell access: Worksheet::value() reads a cell (cached result and formula
// text), setCellText() writes text as a user types it; a calculator uses
// forEachFormula(), setFormulaResult(), setCellFormula() and setCellValue().
//
// Every failure (unreadable file, malformed part, unknown image) throws
// excel::Error; the workbook is left as it was before the failing call.
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

#include "excel/Error.h"
#include "excel/Model.h"

namespace excel {

class Workbook;
struct SheetData;
struct WorkbookImpl;
SheetData& buildOneSheetBook(WorkbookImpl&, Workbook&, const QString&);

class Worksheet {
public:
    ~Worksheet();
    Worksheet(const Worksheet&) = delete;
    Worksheet& operator=(const Worksheet&) = delete;

    QString name() const;
    // False for a chart sheet, which holds no cells.
    bool isWorksheet() const;
    Workbook& workbook() const { return book_; }

    // --- reading -----------------------------------------------------------
    CellValue value(int row, int col) const;
    // The value as the automation layer turned it into text: numbers in the
    // shortest form that reads back ("1.5", "600001"), dates "yyyy/MM/dd"
    // (with " H:mm:ss" when there is a time), booleans "True"/"False",
    // errors as stored ("#N/A"), an empty cell "".
    QString valueText(int row, int col) const;
    // The same text without a copy for text cells: a view into the sheet's
    // own store, valid until the workbook changes; other cells are written
    // into scratch and the view refers to it.
    QStringView valueTextView(int row, int col, QString& scratch) const;
    // The text the sheet shows for the cell, formatted by its number format.
    QString displayText(int row, int col) const;
    CellStyle style(int row, int col) const;
    // Visits the cells that hold a value, row by row, left to right.
    void forEachCell(const std::function<void(const CellRef&, const CellValue&)>& visit) const;
    // Bottom-right corner of the cells that hold a value or a style of their
    // own (A1 for an empty sheet); top-left is always reported as A1 by callers.
    RangeRef usedRange() const;

    double defaultColumnWidth() const;  // characters of the default font
    double defaultRowHeight() const;    // points
    double columnWidth(int col) const;  // characters; 0 when hidden
    double rowHeight(int row) const;    // points; 0 when hidden
    bool columnHidden(int col) const;
    bool rowHidden(int row) const;

    const std::vector<RangeRef>& merges() const;
    std::optional<RangeRef> mergeAt(int row, int col) const;
    std::vector<Picture> pictures() const;
    QByteArray imageBytes(const Picture& picture) const;  // "" when none
    std::vector<Hyperlink> hyperlinks() const;
    PageSetup pageSetup() const;
    // The selection stored with the sheet (active cell range); A1 when none.
    RangeRef storedSelection() const;

    // --- writing -----------------------------------------------------------
    // Writes text into a cell as a user types it: a number that reads back
    // as the same text becomes a number, a short date a date (keeping a date
    // format, adding one when the style has none), anything else a string.
    // Empty text clears the value and keeps the style.
    void setCellText(int row, int col, const QString& text);
    void setRangeText(const RangeRef& range, const QString& text);
    // Stores a string as it is, without any conversion.
    void setCellString(int row, int col, const QString& text);
    // Adds or replaces the hyperlink of a cell. displayText, when not null,
    // becomes the cell's text; a null one keeps the cell's text (an empty
    // cell then shows the target).
    void addHyperlink(const CellRef& cell, const QString& target, const QString& displayText);
    // Replaces the picture of the named shape by the image file at the same
    // anchor and size. Returns false when no shape has that name. An empty or
    // missing image file removes the picture. Throws for unreadable images.
    bool replacePicture(const QString& shapeName, const QString& imagePath);
    bool deletePicture(const QString& shapeName);

    // --- cell access for calculation ----------------------------------------
    // A calculator reads cells through value() (cached result and formula
    // text; each cell of a shared formula gets its own shifted text) and
    // forEachFormula(), and writes results back with setFormulaResult().
    // None of these apply the rules of typed text.

    // Visits every cell that holds a formula, row by row, left to right.
    void forEachFormula(const std::function<void(const CellRef&, const QString&)>& visit) const;
    // Stores result as the cached value of the formula in the cell, keeping
    // the formula. Returns false, storing nothing, when the cell holds no
    // formula. An Empty result leaves the formula without a cached value.
    bool setFormulaResult(int row, int col, const CellValue& result);
    // Puts a formula (text without "=") into the cell, without a cached
    // value, keeping the cell's style.
    void setCellFormula(int row, int col, const QString& formula);
    // Stores value as it is (its formula field is ignored): any formula the
    // cell held goes, its style stays. An Empty value clears the cell.
    void setCellValue(int row, int col, const CellValue& value);

private:
    friend class Workbook;
    friend struct WorkbookImpl;
    friend SheetData& buildOneSheetBook(WorkbookImpl&, Workbook&, const QString&);
    Worksheet(Workbook& book, int index);
    SheetData& data() const;  // parses on first use

    Workbook& book_;
    int index_;
    mutable std::unique_ptr<SheetData> data_;
};

enum class SourceFormat { Xlsx, Csv, Xls };

// A name defined in the workbook ("_xlnm.Print_Area", or a user's name for a
// cell or range), as stored: value is a formula text such as "Sheet1!$A$1".
struct DefinedName {
    QString name;
    int localSheet = -1;  // index of the sheet it belongs to; -1 for the whole book
    QString value;
};

class Workbook {
public:
    // Opens by content (detectSourceFormat): a package, a legacy workbook
    // through LibreOffice, or a CSV as a one-sheet workbook, whatever the
    // name. Throws excel::Error.
    static std::unique_ptr<Workbook> open(const QString& path);
    ~Workbook();
    Workbook(const Workbook&) = delete;
    Workbook& operator=(const Workbook&) = delete;

    QString path() const;
    SourceFormat sourceFormat() const;
    int sheetCount() const;
    Worksheet& sheet(int index);                  // 0-based
    Worksheet* sheetByName(const QString& name);  // case-sensitive; null when none
    int activeSheetIndex() const;
    Worksheet& activeSheet();
    void setActiveSheet(int index);

    const std::vector<DefinedName>& definedNames() const;
    // True when the book counts its date serials from 1904-01-01 (as books
    // from old Macintosh spreadsheets do); false for the usual 1900 system.
    bool uses1904Dates() const;

    // Formula cells left at the value stored in the file because they use
    // a function the engine does not compute ("'Sheet1'!C5"); such a book
    // asks readers to recalculate when it is saved.
    QStringList uncalculatedCells() const;

    bool modified() const;
    // Saves to the file it was opened from (or last saved as), in the format
    // it was read in.
    void save();
    // Saves under path in the format its name asks for (formatForName): a
    // name ending ".xls" gets a genuine legacy workbook through LibreOffice,
    // ".csv" the active sheet as CSV, any other name a package. The source
    // stays untouched; the workbook then refers to path, in that format.
    void saveAs(const QString& path);
    static SourceFormat formatForName(const QString& path);

    WorkbookImpl& impl() const { return *impl_; }

private:
    Workbook();
    void saveIn(SourceFormat format, const QString& path);
    std::unique_ptr<WorkbookImpl> impl_;
    friend class Worksheet;
};

// What a file holds, from its first bytes: a zip package, a legacy workbook
// (an OLE compound file or a bare BIFF stream), or text, which is a CSV file
// unless its name says .xls (a Web page or text saved under that name, which
// LibreOffice reads). Throws Error: FileNotFound, Unsupported for other
// binary files, NotAWorkbook for text under a package name.
SourceFormat detectSourceFormat(const QString& path);

// Shifts a formula's relative references (used when a shared formula is
// written out for the cells of its group).
QString shiftFormula(const QString& formula, int rows, int cols);

}  // namespace excel
