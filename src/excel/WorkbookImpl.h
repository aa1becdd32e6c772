#pragma once
// Internals shared by the engine's source files; not part of the interface.
#include <future>
#include <map>
#include <optional>
#include <pugixml.hpp>
#include <vector>

#include "excel/CellStore.h"
#include "excel/Package.h"
#include "excel/Styles.h"
#include "excel/Workbook.h"
#include "excel/XlsConvert.h"
#include "excel/Xml.h"
#include "excel/formula/Parser.h"
#include "text/Cp932.h"

namespace excel {

struct ColumnInfo {
    int min = 0, max = 0;
    double width = -1;  // -1: default
    bool hidden = false;
    int style = 0;
};

// One sheet's part, parsed: its cells in a compact store, everything else
// (columns, merges, links, page setup, views) as a tree whose sheetData is
// empty; saving writes the cells back into it.
struct SheetData {
    QString part;
    bool isWorksheet = true;
    pugi::xml_document doc;
    pugi::xml_node root;
    pugi::xml_node sheetData;  // null for chart sheets
    CellStore cells;
    std::vector<ColumnInfo> columns;
    double defaultColumnWidth = 8.43;
    double defaultRowHeight = 15;
    std::vector<RangeRef> merges;
    bool dirty = false;
    bool cellsChanged = false;

    // Relationships of the sheet, read when first needed.
    bool relsLoaded = false;
    bool relsDirty = false;
    xml::Relationships rels;

    // The drawing (pictures, shapes) and its relationships.
    bool drawingLoaded = false;
    QString drawingPart;  // "" when the sheet has no drawing
    pugi::xml_document drawing;
    xml::Relationships drawingRels;
    bool drawingDirty = false;
};

struct SheetEntry {
    QString name;
    QString part;
    bool isWorksheet = true;
};

struct WorkbookImpl {
    QString path;
    SourceFormat format = SourceFormat::Xlsx;
    text::Encoding csvEncoding = text::Encoding::Utf8;
    std::shared_ptr<const ConvertedFile> converted;  // an .xls read through LibreOffice
    std::unique_ptr<Package> package;
    QString workbookPart;
    pugi::xml_document workbookDoc;
    bool workbookDirty = false;
    xml::Relationships workbookRels;
    bool workbookRelsDirty = false;
    std::vector<SheetEntry> sheets;
    std::vector<std::unique_ptr<Worksheet>> sheetObjects;
    std::vector<DefinedName> names;
    int active = 0;
    bool modified = false;
    bool formulaOverwritten = false;
    // Set by a calculator once every formula's cached value is current; any
    // later change of a value clears it. While it is clear, saving a sheet
    // whose cells changed drops its formulas' cached values (a reader that
    // does not recalculate then shows nothing rather than a stale result)
    // and asks readers to recalculate on opening.
    bool formulaResultsCurrent = false;
    bool calculating = false;
    // Formula cells the calculator leaves at their stored value (a function
    // it does not compute), found by the last calculation.
    std::vector<std::pair<int, CellRef>> uncalculated;
    // Parsed formulas by text, kept between calculations.
    std::unordered_map<QString, std::shared_ptr<const formula::Parsed>> parsedFormulas;

    QString stylesPart, sharedStringsPart, themePart;
    std::optional<Styles> styles;
    std::optional<TextPool> sharedStrings;
    bool date1904 = false;  // serial 0 is 1904-01-01 instead of 1899-12-31
    std::optional<xml::ContentTypes> contentTypes;
    bool contentTypesDirty = false;

    // Computes every formula whose result may be stale (formula/Calculator.cpp);
    // does nothing while results are current.
    void calculate();
    SheetData& sheetData(int index);
    Styles& stylesRef();
    // The shared string at index ("" when there is none), read on first use.
    QStringView sharedString(std::uint32_t index);
    // The shared strings read on a second thread while sheetPart is read
    // (an invalid future when not worth it), and kept once both are done.
    std::future<TextPool> readSharedStringsAlongside(const QString& sheetPart);
    void takeSharedStrings(std::future<TextPool>& pending);
    xml::ContentTypes& types();
    xml::Relationships& sheetRels(SheetData& sheet);
    // Writes every changed part into the package.
    void commit();
};

// Reads the parts of a freshly opened package into impl (workbook, sheets,
// names). Throws NotAWorkbook for a package that is no workbook.
void loadPackage(WorkbookImpl& impl);
void loadDrawing(WorkbookImpl& impl, SheetData& sheet);
// Builds the package of a one-sheet workbook (a CSV) whose cells the
// caller then fills; returns the sheet's data.
SheetData& buildOneSheetBook(WorkbookImpl& impl, Workbook& book, const QString& sheetName);
// Fills a fresh sheet from a CSV file; returns the file's encoding. Throws
// Error (FileNotFound, TooLarge, UnknownEncoding).
text::Encoding fillFromCsv(WorkbookImpl& impl, SheetData& sheet, const QString& path);
// Stores text into cell as typed into a sheet (TypedText.h).
void storeTypedText(WorkbookImpl& impl, CellStore& cells, StoredCell& cell, QStringView text);
// The part's XML with the cells written back into sheetData.
QByteArray serializeSheet(SheetData& sheet);

}  // namespace excel
