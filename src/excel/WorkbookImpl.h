#pragma once
// Internals shared by the engine's source files; not part of the interface.
#include <map>
#include <optional>
#include <pugixml.hpp>
#include <vector>

#include "excel/Package.h"
#include "excel/Styles.h"
#include "excel/Workbook.h"
#include "excel/XlsConvert.h"
#include "excel/Xml.h"
#include "text/Cp932.h"

namespace excel {

struct RowIndex {
    pugi::xml_node node;
    std::map<int, pugi::xml_node> cells;
};

struct ColumnInfo {
    int min = 0, max = 0;
    double width = -1;  // -1: default
    bool hidden = false;
    int style = 0;
};

// One sheet's part, parsed, with an index of its rows and cells.
struct SheetData {
    QString part;
    bool isWorksheet = true;
    pugi::xml_document doc;
    pugi::xml_node root;
    pugi::xml_node sheetData;  // null for chart sheets
    std::map<int, RowIndex> rows;
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

struct DefinedName {
    QString name;
    int localSheet = -1;
    QString value;
};

struct WorkbookImpl {
    QString path;
    SourceFormat format = SourceFormat::Xlsx;
    text::Encoding csvEncoding = text::Encoding::Utf8;
    std::unique_ptr<ConvertedFile> converted;  // an .xls read through LibreOffice
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

    QString stylesPart, sharedStringsPart, themePart;
    std::optional<Styles> styles;
    std::optional<std::vector<QString>> sharedStrings;
    std::optional<xml::ContentTypes> contentTypes;
    bool contentTypesDirty = false;

    Styles& stylesRef();
    const QString& sharedString(int index);
    xml::ContentTypes& types();
    xml::Relationships& sheetRels(SheetData& sheet);
    // Writes every changed part into the package.
    void commit();
};

// Reads the parts of a freshly opened package into impl (workbook, sheets,
// names). Throws NotAWorkbook for a package that is no workbook.
void loadPackage(WorkbookImpl& impl);
void loadDrawing(WorkbookImpl& impl, SheetData& sheet);
// Builds the package of a one-sheet workbook from rows of texts (CSV).
void buildFromRows(WorkbookImpl& impl, Workbook& book,
                   const std::vector<std::vector<QString>>& rows, const QString& sheetName);
// Cell helpers over a sheet's index.
pugi::xml_node findCell(const SheetData& sheet, int row, int col);
pugi::xml_node ensureCell(SheetData& sheet, int row, int col);

}  // namespace excel
