#include "excel/Workbook.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <cmath>
#include <cstring>

#include "excel/Csv.h"
#include "excel/NumberFormat.h"
#include "excel/WorkbookImpl.h"
#include "excel/XlsConvert.h"
#include "text/LocaleText.h"

namespace excel {

namespace {

const char* const officeDocumentTail = "/officeDocument";

int intAttr(const pugi::xml_node& n, const char* name, int fallback) {
    const pugi::xml_attribute a = n.attribute(name);
    return a ? a.as_int(fallback) : fallback;
}

// Indexes rows and cells; rows or cells without an "r" get one, so that
// cells inserted later keep their order without guessing.
void indexSheet(SheetData& s) {
    s.rows.clear();
    if (!s.sheetData) return;
    int lastRow = 0;
    for (pugi::xml_node row = s.sheetData.first_child(); row; row = row.next_sibling()) {
        if (!xml::is(row, "row")) continue;
        int r = intAttr(row, "r", lastRow + 1);
        if (r <= lastRow || r > 1048576)
            throw Error(ErrorCode::NotAWorkbook,
                        QStringLiteral("%1: rows out of order at row %2").arg(s.part).arg(r));
        if (!row.attribute("r")) row.append_attribute("r") = r;
        lastRow = r;
        RowIndex& index = s.rows[r];
        index.node = row;
        int lastCol = 0;
        for (pugi::xml_node c = row.first_child(); c; c = c.next_sibling()) {
            if (!xml::is(c, "c")) continue;
            int col = lastCol + 1;
            if (pugi::xml_attribute ref = c.attribute("r")) {
                const auto parsed = parseCellRef(xml::text(ref));
                if (!parsed || parsed->row != r)
                    throw Error(ErrorCode::NotAWorkbook,
                                QStringLiteral("%1: bad cell reference %2 in row %3")
                                    .arg(s.part, xml::text(ref))
                                    .arg(r));
                col = parsed->col;
            } else {
                c.append_attribute("r") = cellRefText({r, col}).toUtf8().constData();
            }
            if (col <= lastCol)
                throw Error(ErrorCode::NotAWorkbook,
                            QStringLiteral("%1: cells out of order in row %2").arg(s.part).arg(r));
            lastCol = col;
            index.cells[col] = c;
        }
    }
}

void readSheetLayout(SheetData& s) {
    if (pugi::xml_node fmt = xml::child(s.root, "sheetFormatPr")) {
        s.defaultRowHeight = fmt.attribute("defaultRowHeight").as_double(15);
        if (pugi::xml_attribute w = fmt.attribute("defaultColWidth"))
            s.defaultColumnWidth = w.as_double();
        else if (pugi::xml_attribute b = fmt.attribute("baseColWidth"))
            s.defaultColumnWidth = b.as_double() + 0.71;
    }
    for (pugi::xml_node col : xml::child(s.root, "cols").children()) {
        if (!xml::is(col, "col")) continue;
        ColumnInfo ci;
        ci.min = std::clamp(col.attribute("min").as_int(0), 0, 16384);
        ci.max = std::clamp(col.attribute("max").as_int(ci.min), ci.min, 16384);
        if (pugi::xml_attribute w = col.attribute("width")) ci.width = w.as_double(-1);
        const char* hidden = col.attribute("hidden").value();
        ci.hidden = std::strcmp(hidden, "1") == 0 || std::strcmp(hidden, "true") == 0;
        ci.style = col.attribute("style").as_int(0);
        s.columns.push_back(ci);
    }
    for (pugi::xml_node m : xml::child(s.root, "mergeCells").children())
        if (xml::is(m, "mergeCell"))
            if (auto r = parseRangeRef(xml::text(m.attribute("ref")))) s.merges.push_back(*r);
}

QString plainText(const pugi::xml_node& si) {
    // A rich text is the runs' texts in order; phonetic runs (rPh) are the
    // reading aids of Japanese text and not part of the value.
    if (pugi::xml_node t = xml::child(si, "t")) return xml::text(t);
    QString out;
    for (pugi::xml_node r = si.first_child(); r; r = r.next_sibling())
        if (xml::is(r, "r")) out += xml::text(xml::child(r, "t"));
    return out;
}

bool isTrue(const char* v) {
    return std::strcmp(v, "1") == 0 || std::strcmp(v, "true") == 0;
}

}  // namespace

// --- WorkbookImpl -------------------------------------------------------------

Styles& WorkbookImpl::stylesRef() {
    if (!styles) {
        Styles s;
        s.load(stylesPart.isEmpty() || !package->has(stylesPart) ? QByteArray()
                                                                 : package->read(stylesPart),
               themePart.isEmpty() || !package->has(themePart) ? QByteArray()
                                                               : package->read(themePart));
        styles = std::move(s);
    }
    return *styles;
}

const QString& WorkbookImpl::sharedString(int index) {
    if (!sharedStrings) {
        std::vector<QString> list;
        if (!sharedStringsPart.isEmpty() && package->has(sharedStringsPart)) {
            pugi::xml_document doc;
            xml::parse(doc, package->read(sharedStringsPart), sharedStringsPart);
            for (pugi::xml_node si = doc.document_element().first_child(); si;
                 si = si.next_sibling())
                if (xml::is(si, "si")) list.push_back(plainText(si));
        }
        sharedStrings = std::move(list);
    }
    static const QString empty;
    if (index < 0 || static_cast<size_t>(index) >= sharedStrings->size()) return empty;
    return (*sharedStrings)[static_cast<size_t>(index)];
}

xml::ContentTypes& WorkbookImpl::types() {
    if (!contentTypes) {
        xml::ContentTypes t;
        t.load(package->read(QStringLiteral("[Content_Types].xml")));
        contentTypes = std::move(t);
    }
    return *contentTypes;
}

xml::Relationships& WorkbookImpl::sheetRels(SheetData& sheet) {
    if (!sheet.relsLoaded) {
        const QString relsPart = relsPartOf(sheet.part);
        if (package->has(relsPart))
            sheet.rels.load(package->read(relsPart), relsPart);
        else
            sheet.rels.initEmpty();
        sheet.relsLoaded = true;
    }
    return sheet.rels;
}

void loadPackage(WorkbookImpl& impl) {
    Package& pkg = *impl.package;
    const QString rootRels = QStringLiteral("_rels/.rels");
    if (!pkg.has(rootRels) || !pkg.has(QStringLiteral("[Content_Types].xml")))
        throw Error(ErrorCode::NotAWorkbook,
                    QStringLiteral("%1 is not an OOXML package").arg(impl.path));
    pugi::xml_document rels;
    xml::parse(rels, pkg.read(rootRels), rootRels);
    for (pugi::xml_node r : rels.document_element().children())
        if (xml::text(r.attribute("Type")).endsWith(QLatin1String(officeDocumentTail)))
            impl.workbookPart = resolvePartPath(QString(), xml::text(r.attribute("Target")));
    if (impl.workbookPart.isEmpty() || !pkg.has(impl.workbookPart))
        throw Error(ErrorCode::NotAWorkbook,
                    QStringLiteral("%1 has no workbook part").arg(impl.path));

    xml::parse(impl.workbookDoc, pkg.read(impl.workbookPart), impl.workbookPart);
    const QString wbRels = relsPartOf(impl.workbookPart);
    if (!pkg.has(wbRels))
        throw Error(ErrorCode::NotAWorkbook, QStringLiteral("part %1 is missing").arg(wbRels));
    impl.workbookRels.load(pkg.read(wbRels), wbRels);

    pugi::xml_document relDoc;
    xml::parse(relDoc, pkg.read(wbRels), wbRels);
    for (pugi::xml_node r : relDoc.document_element().children()) {
        const QString type = xml::text(r.attribute("Type"));
        const QString target = resolvePartPath(impl.workbookPart, xml::text(r.attribute("Target")));
        if (type.endsWith(QLatin1String("/styles")))
            impl.stylesPart = target;
        else if (type.endsWith(QLatin1String("/sharedStrings")))
            impl.sharedStringsPart = target;
        else if (type.endsWith(QLatin1String("/theme")))
            impl.themePart = target;
    }

    pugi::xml_node root = impl.workbookDoc.document_element();
    for (pugi::xml_node s : xml::child(root, "sheets").children()) {
        if (!xml::is(s, "sheet")) continue;
        xml::Relationships::Rel rel;
        if (!impl.workbookRels.find(xml::relId(s), rel))
            throw Error(
                ErrorCode::NotAWorkbook,
                QStringLiteral("sheet %1 has no relationship").arg(xml::text(s.attribute("name"))));
        SheetEntry e;
        e.name = xml::text(s.attribute("name"));
        e.part = resolvePartPath(impl.workbookPart, rel.target);
        e.isWorksheet = rel.type.endsWith(QLatin1String("/worksheet"));
        if (!pkg.has(e.part))
            throw Error(ErrorCode::NotAWorkbook,
                        QStringLiteral("part %1 of sheet %2 is missing").arg(e.part, e.name));
        impl.sheets.push_back(e);
    }
    if (impl.sheets.empty())
        throw Error(ErrorCode::NotAWorkbook, QStringLiteral("%1 has no sheet").arg(impl.path));
    if (pugi::xml_node view = xml::child(xml::child(root, "bookViews"), "workbookView"))
        impl.active =
            std::clamp(view.attribute("activeTab").as_int(0), 0, int(impl.sheets.size()) - 1);
    for (pugi::xml_node d : xml::child(root, "definedNames").children()) {
        if (!xml::is(d, "definedName")) continue;
        DefinedName n;
        n.name = xml::text(d.attribute("name"));
        n.localSheet = d.attribute("localSheetId") ? d.attribute("localSheetId").as_int(-1) : -1;
        n.value = xml::text(d);
        impl.names.push_back(n);
    }
}

void WorkbookImpl::commit() {
    bool anyCellsChanged = false;
    for (size_t i = 0; i < sheetObjects.size(); ++i) {
        Worksheet& ws = *sheetObjects[i];
        SheetData* s = ws.data_.get();
        if (!s) continue;
        if (s->cellsChanged) {
            anyCellsChanged = true;
            // Cached results of formulas may be stale now; readers that do
            // not recalculate show nothing rather than a wrong value.
            for (auto& [r, row] : s->rows)
                for (auto& [c, cell] : row.cells)
                    if (xml::child(cell, "f"))
                        if (pugi::xml_node v = xml::child(cell, "v")) cell.remove_child(v);
            s->cellsChanged = false;
        }
        if (s->dirty) {
            package->write(s->part, xml::serialize(s->doc));
            s->dirty = false;
        }
        if (s->relsDirty) {
            package->write(relsPartOf(s->part), s->rels.serialize());
            s->relsDirty = false;
        }
        if (s->drawingDirty) {
            package->write(s->drawingPart, xml::serialize(s->drawing));
            package->write(relsPartOf(s->drawingPart), s->drawingRels.serialize());
            s->drawingDirty = false;
        }
    }
    pugi::xml_node root = workbookDoc.document_element();
    if (anyCellsChanged) {
        pugi::xml_node calc = xml::child(root, "calcPr");
        if (!calc)
            calc = xml::insertOrdered(
                root, "calcPr",
                {"fileVersion", "fileSharing", "workbookPr", "workbookProtection", "bookViews",
                 "sheets", "functionGroups", "externalReferences", "definedNames", "calcPr",
                 "oleSize", "customWorkbookViews", "pivotCaches", "smartTagPr", "smartTagTypes",
                 "webPublishing", "fileRecoveryPr", "webPublishObjects", "extLst"});
        if (!isTrue(calc.attribute("fullCalcOnLoad").value())) {
            calc.remove_attribute("fullCalcOnLoad");
            calc.append_attribute("fullCalcOnLoad") = "1";
            workbookDirty = true;
        }
    }
    if (formulaOverwritten) {
        // The calculation chain lists formula cells; one that lost its
        // formula makes Excel report the file as damaged.
        for (const QString& p : package->parts())
            if (p.endsWith(QLatin1String("calcChain.xml"))) {
                package->remove(p);
                types().removeOverride(p);
                contentTypesDirty = true;
            }
        if (workbookRels.removeByTypeTail(QStringLiteral("/calcChain"))) workbookRelsDirty = true;
        formulaOverwritten = false;
    }
    if (workbookDirty) package->write(workbookPart, xml::serialize(workbookDoc));
    if (workbookRelsDirty) package->write(relsPartOf(workbookPart), workbookRels.serialize());
    if (styles && styles->changed()) package->write(stylesPart, styles->serialize());
    if (contentTypesDirty)
        package->write(QStringLiteral("[Content_Types].xml"), contentTypes->serialize());
    workbookDirty = workbookRelsDirty = contentTypesDirty = false;
}

// --- cell index helpers ---------------------------------------------------

pugi::xml_node findCell(const SheetData& sheet, int row, int col) {
    auto r = sheet.rows.find(row);
    if (r == sheet.rows.end()) return {};
    auto c = r->second.cells.find(col);
    return c == r->second.cells.end() ? pugi::xml_node() : c->second;
}

namespace {

std::string elementName(const pugi::xml_node& context, const char* local) {
    return (xml::prefixOf(context) + QString::fromUtf8(local)).toStdString();
}

void widenDimension(SheetData& sheet, int row, int col) {
    pugi::xml_node dim = xml::child(sheet.root, "dimension");
    if (!dim) dim = xml::insertOrdered(sheet.root, "dimension", xml::worksheetOrder);
    RangeRef range{{row, col}, {row, col}};
    if (auto old = parseRangeRef(xml::text(dim.attribute("ref")))) {
        range.first = {std::min(old->first.row, row), std::min(old->first.col, col)};
        range.last = {std::max(old->last.row, row), std::max(old->last.col, col)};
    }
    dim.remove_attribute("ref");
    dim.append_attribute("ref") = rangeRefText(range).toUtf8().constData();
}

}  // namespace

pugi::xml_node ensureCell(SheetData& sheet, int row, int col) {
    if (!sheet.sheetData)
        throw Error(ErrorCode::Unsupported, QStringLiteral("%1 holds no cells").arg(sheet.part));
    auto rowIt = sheet.rows.find(row);
    if (rowIt == sheet.rows.end()) {
        auto next = sheet.rows.upper_bound(row);
        const std::string name = elementName(
            sheet.sheetData.first_child() ? sheet.sheetData.first_child() : sheet.root, "row");
        pugi::xml_node node = next == sheet.rows.end() ? sheet.sheetData.append_child(name.c_str())
                                                       : sheet.sheetData.insert_child_before(
                                                             name.c_str(), next->second.node);
        node.append_attribute("r") = row;
        rowIt = sheet.rows.emplace(row, RowIndex{node, {}}).first;
    }
    RowIndex& ri = rowIt->second;
    if (auto c = ri.cells.find(col); c != ri.cells.end()) return c->second;
    // spans is a reading hint that a new cell may contradict.
    ri.node.remove_attribute("spans");
    auto next = ri.cells.upper_bound(col);
    const std::string name = elementName(ri.node, "c");
    pugi::xml_node cell = next == ri.cells.end()
                              ? ri.node.append_child(name.c_str())
                              : ri.node.insert_child_before(name.c_str(), next->second);
    cell.append_attribute("r") = cellRefText({row, col}).toUtf8().constData();
    // A new cell takes the format of its row, else of its column, as a
    // typed cell does.
    int style = 0;
    if (isTrue(ri.node.attribute("customFormat").value()))
        style = ri.node.attribute("s").as_int(0);
    else
        for (const ColumnInfo& ci : sheet.columns)
            if (col >= ci.min && col <= ci.max) style = ci.style;
    if (style) cell.append_attribute("s") = style;
    ri.cells[col] = cell;
    widenDimension(sheet, row, col);
    return cell;
}

// --- Worksheet ------------------------------------------------------------

Worksheet::Worksheet(Workbook& book, int index) : book_(book), index_(index) {}
Worksheet::~Worksheet() = default;

bool Worksheet::isWorksheet() const {
    return book_.impl_->sheets[static_cast<size_t>(index_)].isWorksheet;
}

QString Worksheet::name() const {
    return book_.impl_->sheets[static_cast<size_t>(index_)].name;
}

SheetData& Worksheet::data() const {
    if (!data_) {
        WorkbookImpl& impl = *book_.impl_;
        const SheetEntry& e = impl.sheets[static_cast<size_t>(index_)];
        auto s = std::make_unique<SheetData>();
        s->part = e.part;
        s->isWorksheet = e.isWorksheet;
        xml::parse(s->doc, impl.package->read(e.part), e.part);
        s->root = s->doc.document_element();
        s->sheetData = xml::child(s->root, "sheetData");
        if (!s->sheetData && e.isWorksheet)
            throw Error(ErrorCode::NotAWorkbook, QStringLiteral("%1 has no sheetData").arg(e.part));
        indexSheet(*s);
        readSheetLayout(*s);
        data_ = std::move(s);
    }
    return *data_;
}

CellValue Worksheet::value(int row, int col) const {
    CellValue v;
    const pugi::xml_node c = findCell(data(), row, col);
    if (!c) return v;
    if (pugi::xml_node f = xml::child(c, "f")) v.formula = xml::text(f);
    const char* t = c.attribute("t").as_string("n");
    const pugi::xml_node vn = xml::child(c, "v");
    if (std::strcmp(t, "inlineStr") == 0) {
        v.type = CellType::String;
        v.text = plainText(xml::child(c, "is"));
        return v;
    }
    if (!vn) return v;
    const char* raw = vn.child_value();
    if (std::strcmp(t, "s") == 0) {
        v.type = CellType::String;
        v.text = book_.impl_->sharedString(QByteArray(raw).trimmed().toInt());
    } else if (std::strcmp(t, "str") == 0) {
        v.type = CellType::String;
        v.text = QString::fromUtf8(raw);
    } else if (std::strcmp(t, "b") == 0) {
        v.type = CellType::Boolean;
        v.boolean = isTrue(QByteArray(raw).trimmed().constData());
    } else if (std::strcmp(t, "e") == 0) {
        v.type = CellType::Error;
        v.text = QString::fromUtf8(raw);
    } else if (std::strcmp(t, "d") == 0) {
        const QDateTime dt = QDateTime::fromString(QString::fromUtf8(raw), Qt::ISODate);
        if (dt.isValid()) {
            v.type = CellType::Number;
            v.number = dateTimeToSerial(dt);
        }
    } else {
        bool ok = false;
        const double d = QByteArray(raw).trimmed().toDouble(&ok);
        if (ok) {
            v.type = CellType::Number;
            v.number = d;
        }
    }
    return v;
}

QString Worksheet::valueText(int row, int col) const {
    const CellValue v = value(row, col);
    switch (v.type) {
        case CellType::Empty:
            return {};
        case CellType::String:
        case CellType::Error:
            return v.text;
        case CellType::Boolean:
            return v.boolean ? QStringLiteral("True") : QStringLiteral("False");
        case CellType::Number:
            if (style(row, col).isDateFormat) {
                const QDateTime dt = serialToDateTime(v.number);
                if (dt.isValid()) {
                    // A time alone (serial below 1) is written as a time.
                    if (v.number < 1 && v.number >= 0)
                        return dt.time().toString(QStringLiteral("H:mm:ss"));
                    return text::formatDateTime(dt);
                }
            }
            return numberText(v.number);
    }
    return {};
}

QString Worksheet::displayText(int row, int col) const {
    const CellValue v = value(row, col);
    switch (v.type) {
        case CellType::Number:
            return formatNumber(v.number, style(row, col).numberFormat);
        case CellType::Boolean:
            return v.boolean ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
        default:
            return v.text;
    }
}

CellStyle Worksheet::style(int row, int col) const {
    const SheetData& s = data();
    int xf = 0;
    if (const pugi::xml_node c = findCell(s, row, col))
        xf = c.attribute("s").as_int(0);
    else if (auto r = s.rows.find(row);
             r != s.rows.end() && isTrue(r->second.node.attribute("customFormat").value()))
        xf = r->second.node.attribute("s").as_int(0);
    else
        for (const ColumnInfo& ci : s.columns)
            if (col >= ci.min && col <= ci.max) xf = ci.style;
    return book_.impl_->stylesRef().style(xf);
}

void Worksheet::forEachCell(
    const std::function<void(const CellRef&, const CellValue&)>& visit) const {
    const SheetData& s = data();
    for (const auto& [r, row] : s.rows)
        for (const auto& [c, node] : row.cells) {
            const CellValue v = value(r, c);
            if (v.type != CellType::Empty) visit({r, c}, v);
        }
}

RangeRef Worksheet::usedRange() const {
    const SheetData& s = data();
    RangeRef r{{0, 0}, {0, 0}};
    for (const auto& [rowNo, row] : s.rows) {
        if (row.cells.empty()) continue;
        if (!r.first.row) r.first.row = rowNo;
        r.last.row = rowNo;
        const int minCol = row.cells.begin()->first, maxCol = row.cells.rbegin()->first;
        r.first.col = r.first.col ? std::min(r.first.col, minCol) : minCol;
        r.last.col = std::max(r.last.col, maxCol);
    }
    if (!r.first.row) return RangeRef{{1, 1}, {1, 1}};
    return r;
}

double Worksheet::defaultColumnWidth() const {
    return data().defaultColumnWidth;
}
double Worksheet::defaultRowHeight() const {
    return data().defaultRowHeight;
}

double Worksheet::columnWidth(int col) const {
    for (const ColumnInfo& ci : data().columns)
        if (col >= ci.min && col <= ci.max)
            return ci.hidden ? 0 : (ci.width >= 0 ? ci.width : defaultColumnWidth());
    return defaultColumnWidth();
}

bool Worksheet::columnHidden(int col) const {
    for (const ColumnInfo& ci : data().columns)
        if (col >= ci.min && col <= ci.max) return ci.hidden;
    return false;
}

double Worksheet::rowHeight(int row) const {
    const SheetData& s = data();
    auto r = s.rows.find(row);
    if (r == s.rows.end()) return s.defaultRowHeight;
    if (isTrue(r->second.node.attribute("hidden").value())) return 0;
    return r->second.node.attribute("ht").as_double(s.defaultRowHeight);
}

bool Worksheet::rowHidden(int row) const {
    return rowHeight(row) == 0;
}

const std::vector<RangeRef>& Worksheet::merges() const {
    return data().merges;
}

std::optional<RangeRef> Worksheet::mergeAt(int row, int col) const {
    for (const RangeRef& m : data().merges)
        if (m.contains(row, col)) return m;
    return std::nullopt;
}

std::vector<Hyperlink> Worksheet::hyperlinks() const {
    SheetData& s = data();
    std::vector<Hyperlink> out;
    for (pugi::xml_node h : xml::child(s.root, "hyperlinks").children()) {
        if (!xml::is(h, "hyperlink")) continue;
        const auto range = parseRangeRef(xml::text(h.attribute("ref")));
        if (!range) continue;
        Hyperlink link;
        link.range = *range;
        link.location = xml::text(h.attribute("location"));
        link.display = xml::text(h.attribute("display"));
        link.tooltip = xml::text(h.attribute("tooltip"));
        const QString id = xml::relId(h);
        xml::Relationships::Rel rel;
        if (!id.isEmpty() && book_.impl_->sheetRels(s).find(id, rel)) link.target = rel.target;
        out.push_back(link);
    }
    return out;
}

PageSetup Worksheet::pageSetup() const {
    const SheetData& s = data();
    PageSetup p;
    if (pugi::xml_node m = xml::child(s.root, "pageMargins")) {
        p.margins.left = m.attribute("left").as_double(p.margins.left);
        p.margins.right = m.attribute("right").as_double(p.margins.right);
        p.margins.top = m.attribute("top").as_double(p.margins.top);
        p.margins.bottom = m.attribute("bottom").as_double(p.margins.bottom);
        p.margins.header = m.attribute("header").as_double(p.margins.header);
        p.margins.footer = m.attribute("footer").as_double(p.margins.footer);
    }
    if (pugi::xml_node ps = xml::child(s.root, "pageSetup")) {
        p.paperSize = ps.attribute("paperSize").as_int(p.paperSize);
        const char* o = ps.attribute("orientation").as_string("default");
        p.orientation = std::strcmp(o, "landscape") == 0  ? Orientation::Landscape
                        : std::strcmp(o, "portrait") == 0 ? Orientation::Portrait
                                                          : Orientation::Default;
        p.scale = ps.attribute("scale").as_int(100);
        p.fitToWidth = ps.attribute("fitToWidth").as_int(1);
        p.fitToHeight = ps.attribute("fitToHeight").as_int(1);
    }
    if (pugi::xml_node pr = xml::child(xml::child(s.root, "sheetPr"), "pageSetUpPr"))
        p.fitToPage = isTrue(pr.attribute("fitToPage").value());
    if (pugi::xml_node po = xml::child(s.root, "printOptions")) {
        p.centerHorizontally = isTrue(po.attribute("horizontalCentered").value());
        p.centerVertically = isTrue(po.attribute("verticalCentered").value());
        p.gridLines = isTrue(po.attribute("gridLines").value());
    }
    if (pugi::xml_node hf = xml::child(s.root, "headerFooter")) {
        p.header = xml::text(xml::child(hf, "oddHeader"));
        p.footer = xml::text(xml::child(hf, "oddFooter"));
    }
    // Print area and titles are names of the workbook scoped to this sheet;
    // the sheet prefix ("'売上'!") is dropped.
    auto local = [](const QString& v) {
        QStringList parts;
        for (QString piece : v.split(QLatin1Char(','))) {
            const qsizetype bang = piece.lastIndexOf(QLatin1Char('!'));
            parts << (bang >= 0 ? piece.mid(bang + 1) : piece);
        }
        return parts;
    };
    for (const DefinedName& n : book_.impl_->names) {
        if (n.localSheet != index_) continue;
        if (n.name == QLatin1String("_xlnm.Print_Area"))
            p.printArea = local(n.value).join(QLatin1Char(','));
        if (n.name == QLatin1String("_xlnm.Print_Titles"))
            for (const QString& piece : local(n.value)) {
                if (piece.contains(QRegularExpression(QStringLiteral("^\\$?\\d"))))
                    p.printTitleRows = piece;
                else
                    p.printTitleColumns = piece;
            }
    }
    return p;
}

RangeRef Worksheet::storedSelection() const {
    const SheetData& s = data();
    pugi::xml_node view = xml::child(xml::child(s.root, "sheetViews"), "sheetView");
    pugi::xml_node sel;
    for (pugi::xml_node n : view.children())
        if (xml::is(n, "selection")) sel = n;  // the last pane's selection is the active one
    if (sel) {
        const QString sqref = xml::text(sel.attribute("sqref")).section(QLatin1Char(' '), 0, 0);
        if (auto r = parseRangeRef(sqref)) return *r;
        if (auto c = parseCellRef(xml::text(sel.attribute("activeCell")))) return RangeRef{*c, *c};
    }
    return RangeRef{{1, 1}, {1, 1}};
}

// --- writing ------------------------------------------------------------------

namespace {

void setStringValue(pugi::xml_node cell, const QString& text) {
    cell.remove_attribute("t");
    cell.append_attribute("t") = "inlineStr";
    pugi::xml_node is = cell.append_child(elementName(cell, "is").c_str());
    pugi::xml_node t = is.append_child(elementName(cell, "t").c_str());
    const QString safe = xml::xmlSafe(text);
    if (!safe.isEmpty() &&
        (safe.front().isSpace() || safe.back().isSpace() || safe.contains(QLatin1Char('\n'))))
        t.append_attribute("xml:space") = "preserve";
    t.text().set(safe.toUtf8().constData());
}

// Removes what the cell holds, keeping its reference and style.
bool clearValue(pugi::xml_node cell) {
    bool hadFormula = false;
    for (pugi::xml_node c = cell.first_child(); c;) {
        pugi::xml_node next = c.next_sibling();
        if (xml::is(c, "f")) hadFormula = true;
        if (!xml::is(c, "extLst")) cell.remove_child(c);
        c = next;
    }
    cell.remove_attribute("t");
    return hadFormula;
}

void setNumberValue(pugi::xml_node cell, double number) {
    pugi::xml_node v = cell.prepend_child(elementName(cell, "v").c_str());
    // The shortest text that reads back as the same double.
    v.text().set(text::formatDouble(number).toUtf8().constData());
}

}  // namespace

// Shifts the relative references of a formula by rows and columns, leaving
// "$"-fixed parts, string literals and quoted sheet names alone; a reference
// pushed off the sheet becomes #REF!.
QString shiftFormula(const QString& formula, int rows, int cols) {
    static const QRegularExpression ref(
        QStringLiteral("^(\\$?)([A-Za-z]{1,3})(\\$?)([0-9]{1,7})(?![A-Za-z0-9_(.!])"));
    QString out;
    out.reserve(formula.size() + 8);
    const qsizetype n = formula.size();
    for (qsizetype i = 0; i < n;) {
        const QChar c = formula[i];
        if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            qsizetype j = i + 1;
            while (j < n && !(formula[j] == c && (j + 1 >= n || formula[j + 1] != c)))
                j += formula[j] == c ? 2 : 1;
            out += formula.mid(i, j + 1 - i);
            i = j + 1;
            continue;
        }
        const bool startsName =
            i == 0 || !(formula[i - 1].isLetterOrNumber() || formula[i - 1] == QLatin1Char('_') ||
                        formula[i - 1] == QLatin1Char('.'));
        if (startsName && (c.isLetter() || c == QLatin1Char('$'))) {
            const auto m = ref.match(QStringView(formula).mid(i));
            if (m.hasMatch()) {
                int col = 0;
                for (QChar l : m.captured(2)) col = col * 26 + (l.toUpper().unicode() - 'A' + 1);
                int row = m.captured(4).toInt();
                if (m.captured(1).isEmpty()) col += cols;
                if (m.captured(3).isEmpty()) row += rows;
                if (col < 1 || col > 16384 || row < 1 || row > 1048576)
                    out += QStringLiteral("#REF!");
                else
                    out +=
                        m.captured(1) + columnLetters(col) + m.captured(3) + QString::number(row);
                i += m.capturedLength(0);
                continue;
            }
        }
        out += c;
        ++i;
    }
    return out;
}

namespace {

// A cell about to lose its formula may be the master of a shared formula,
// whose text the other cells of the group refer to. Those cells get the
// formula written out in full first, so they keep computing what they did.
void detachSharedFormula(SheetData& sheet, pugi::xml_node cell) {
    const pugi::xml_node f = xml::child(cell, "f");
    if (!f || std::strcmp(f.attribute("t").value(), "shared") != 0 || !*f.child_value()) return;
    const auto master = parseCellRef(xml::text(cell.attribute("r")));
    const auto group = parseRangeRef(xml::text(f.attribute("ref")));
    if (!master || !group) return;
    const QString text = xml::text(f);
    const std::string si = f.attribute("si").value();
    for (auto it = sheet.rows.lower_bound(group->first.row);
         it != sheet.rows.end() && it->first <= group->last.row; ++it)
        for (auto& [col, other] : it->second.cells) {
            if (other == cell || !group->contains(it->first, col)) continue;
            pugi::xml_node of = xml::child(other, "f");
            if (!of || si != of.attribute("si").value() ||
                std::strcmp(of.attribute("t").value(), "shared") != 0)
                continue;
            of.remove_attribute("t");
            of.remove_attribute("si");
            of.remove_attribute("ref");
            of.text().set(shiftFormula(text, it->first - master->row, col - master->col)
                              .toUtf8()
                              .constData());
        }
}

}  // namespace

// A text is a number only when the number reads back as exactly that text:
// "0600001", "+5", "1.50" and 16-digit codes stay texts, so no value a user
// wrote is altered on its way into a form.
static std::optional<double> numberThatKeepsText(const QString& text) {
    if (text.isEmpty() || text.size() > 32) return std::nullopt;
    for (QChar c : text)
        if (!(c.isDigit() && c.unicode() < 128) && c != QLatin1Char('-') && c != QLatin1Char('.'))
            return std::nullopt;
    const auto d = text::parseDouble(text);
    if (!d || !std::isfinite(*d) || numberText(*d) != text) return std::nullopt;
    return d;
}

void Worksheet::setCellText(int row, int col, const QString& text) {
    SheetData& s = data();
    WorkbookImpl& impl = *book_.impl_;
    if (text.isEmpty()) {
        const pugi::xml_node existing = findCell(s, row, col);
        if (!existing) return;  // nothing to clear; no empty cell is created
        detachSharedFormula(s, existing);
        if (clearValue(existing)) impl.formulaOverwritten = true;
    } else {
        std::optional<double> number = numberThatKeepsText(text);
        std::optional<QDateTime> date;
        if (!number && text.size() <= 32 && text.front().isDigit())
            date = text::parseDateTime(text);
        pugi::xml_node cell = ensureCell(s, row, col);
        detachSharedFormula(s, cell);
        if (clearValue(cell)) impl.formulaOverwritten = true;
        if (number) {
            setNumberValue(cell, *number);
        } else if (date) {
            setNumberValue(cell, dateTimeToSerial(*date));
            const int xf = cell.attribute("s").as_int(0);
            const int dateXf = impl.stylesRef().dateStyleFor(xf);
            if (dateXf != xf) {
                cell.remove_attribute("s");
                cell.append_attribute("s") = dateXf;
            }
        } else {
            setStringValue(cell, text);
        }
    }
    s.dirty = s.cellsChanged = true;
    impl.modified = true;
}

void Worksheet::setCellString(int row, int col, const QString& text) {
    SheetData& s = data();
    WorkbookImpl& impl = *book_.impl_;
    pugi::xml_node cell = text.isEmpty() ? findCell(s, row, col) : ensureCell(s, row, col);
    if (!cell) return;
    detachSharedFormula(s, cell);
    if (clearValue(cell)) impl.formulaOverwritten = true;
    if (!text.isEmpty()) setStringValue(cell, text);
    s.dirty = s.cellsChanged = true;
    impl.modified = true;
}

void Worksheet::setRangeText(const RangeRef& range, const QString& text) {
    SheetData& s = data();
    if (text.isEmpty()) {
        // Clearing visits only the cells that exist, so "A1:IV65536" costs
        // what the sheet holds, not sixteen million cells.
        for (auto it = s.rows.lower_bound(range.first.row);
             it != s.rows.end() && it->first <= range.last.row; ++it) {
            std::vector<int> cols;
            for (const auto& [c, node] : it->second.cells)
                if (c >= range.first.col && c <= range.last.col) cols.push_back(c);
            for (int c : cols) setCellText(it->first, c, text);
        }
        return;
    }
    const qint64 count =
        qint64(range.last.row - range.first.row + 1) * (range.last.col - range.first.col + 1);
    if (count > 1000000)
        throw Error(ErrorCode::TooLarge,
                    QStringLiteral("range %1 has %2 cells").arg(rangeRefText(range)).arg(count));
    for (int r = range.first.row; r <= range.last.row; ++r)
        for (int c = range.first.col; c <= range.last.col; ++c) setCellText(r, c, text);
}

void Worksheet::addHyperlink(const CellRef& cell, const QString& target,
                             const QString& displayText) {
    SheetData& s = data();
    WorkbookImpl& impl = *book_.impl_;
    if (!s.sheetData)
        throw Error(ErrorCode::Unsupported, QStringLiteral("%1 holds no cells").arg(s.part));
    const QString ref = cellRefText(cell);
    xml::Relationships& rels = impl.sheetRels(s);
    pugi::xml_node links = xml::child(s.root, "hyperlinks");
    if (!links) links = xml::insertOrdered(s.root, "hyperlinks", xml::worksheetOrder);
    // A new link on a cell replaces the one it had.
    for (pugi::xml_node h = links.first_child(); h;) {
        pugi::xml_node next = h.next_sibling();
        if (xml::is(h, "hyperlink") && xml::text(h.attribute("ref")) == ref) {
            const QString id = xml::relId(h);
            if (!id.isEmpty()) rels.remove(id);
            links.remove_child(h);
        }
        h = next;
    }
    const QString id = rels.add(
        QStringLiteral(
            "http://schemas.openxmlformats.org/officeDocument/2006/relationships/hyperlink"),
        target, true);
    pugi::xml_node h = links.append_child(elementName(links, "hyperlink").c_str());
    h.append_attribute("ref") = ref.toUtf8().constData();
    // The r prefix must be declared on the root; sheets from every writer
    // we know declare it, and we add it when one does not.
    if (!s.root.attribute("xmlns:r"))
        s.root.append_attribute("xmlns:r") =
            "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    h.append_attribute("r:id") = id.toUtf8().constData();
    if (!displayText.isNull()) {
        h.append_attribute("display") = xml::xmlSafe(displayText).toUtf8().constData();
        setCellString(cell.row, cell.col, displayText);
    } else if (value(cell.row, cell.col).type == CellType::Empty) {
        setCellString(cell.row, cell.col, target);
    }
    s.dirty = s.relsDirty = true;
    impl.modified = true;
}

// --- Workbook -------------------------------------------------------------

Workbook::Workbook() : impl_(std::make_unique<WorkbookImpl>()) {}
Workbook::~Workbook() = default;

std::unique_ptr<Workbook> Workbook::open(const QString& path) {
    const QFileInfo info(path);
    if (!info.isFile())
        throw Error(ErrorCode::FileNotFound, QStringLiteral("file not found: %1").arg(path));
    const QString ext = info.suffix().toLower();
    std::unique_ptr<Workbook> book(new Workbook);
    WorkbookImpl& impl = *book->impl_;
    impl.path = info.absoluteFilePath();
    if (ext == QLatin1String("csv")) {
        impl.format = SourceFormat::Csv;
        const CsvTable table = readCsvFile(path);
        impl.csvEncoding = table.encoding;
        buildFromRows(impl, *book, table.rows, info.completeBaseName());
    } else {
        QString packagePath = path;
        std::unique_ptr<ConvertedFile> converted;
        if (ext == QLatin1String("xls")) {
            impl.format = SourceFormat::Xls;
            converted = convertXlsToXlsx(path);
            packagePath = converted->path();
        } else if (ext != QLatin1String("xlsx") && ext != QLatin1String("xlsm") &&
                   ext != QLatin1String("xltx") && ext != QLatin1String("xltm")) {
            throw Error(
                ErrorCode::Unsupported,
                QStringLiteral("%1: workbooks of type .%2 are not supported").arg(path, ext));
        }
        impl.package = Package::open(packagePath);
        impl.converted = std::move(converted);
        loadPackage(impl);
        for (size_t i = 0; i < impl.sheets.size(); ++i)
            impl.sheetObjects.emplace_back(new Worksheet(*book, static_cast<int>(i)));
        // The first sheet is parsed now, so a malformed workbook fails when
        // it is opened rather than at the first cell read.
        impl.sheetObjects[static_cast<size_t>(impl.active)]->data();
    }
    return book;
}

QString Workbook::path() const {
    return impl_->path;
}
SourceFormat Workbook::sourceFormat() const {
    return impl_->format;
}
int Workbook::sheetCount() const {
    return static_cast<int>(impl_->sheets.size());
}

Worksheet& Workbook::sheet(int index) {
    if (index < 0 || index >= sheetCount())
        throw Error(ErrorCode::BadAddress, QStringLiteral("no sheet at index %1").arg(index));
    return *impl_->sheetObjects[static_cast<size_t>(index)];
}

Worksheet* Workbook::sheetByName(const QString& name) {
    for (int i = 0; i < sheetCount(); ++i)
        if (impl_->sheets[static_cast<size_t>(i)].name == name)
            return impl_->sheetObjects[static_cast<size_t>(i)].get();
    return nullptr;
}

int Workbook::activeSheetIndex() const {
    return impl_->active;
}
Worksheet& Workbook::activeSheet() {
    return sheet(impl_->active);
}

void Workbook::setActiveSheet(int index) {
    if (index < 0 || index >= sheetCount())
        throw Error(ErrorCode::BadAddress, QStringLiteral("no sheet at index %1").arg(index));
    if (index == impl_->active) return;
    WorkbookImpl& impl = *impl_;
    // The active tab and the selected tab must agree, or a reader shows the
    // sheets as a group.
    for (int i : {impl.active, index}) {
        SheetData& s = sheet(i).data();
        pugi::xml_node view = xml::child(xml::child(s.root, "sheetViews"), "sheetView");
        if (!view) continue;
        view.remove_attribute("tabSelected");
        if (i == index) view.append_attribute("tabSelected") = "1";
        s.dirty = true;
    }
    pugi::xml_node root = impl.workbookDoc.document_element();
    pugi::xml_node views = xml::child(root, "bookViews");
    pugi::xml_node view = xml::child(views, "workbookView");
    if (!view) {
        if (!views)
            views = xml::insertOrdered(
                root, "bookViews",
                {"fileVersion", "fileSharing", "workbookPr", "workbookProtection", "bookViews"});
        view = views.append_child(
            (xml::prefixOf(root) + QStringLiteral("workbookView")).toUtf8().constData());
    }
    view.remove_attribute("activeTab");
    view.append_attribute("activeTab") = index;
    impl.workbookDirty = true;
    impl.active = index;
    impl.modified = true;
}

bool Workbook::modified() const {
    return impl_->modified;
}

void Workbook::save() {
    WorkbookImpl& impl = *impl_;
    if (impl.format == SourceFormat::Csv) {
        writeCsvFile(impl.path, activeSheet(), impl.csvEncoding);
        impl.modified = false;
        return;
    }
    if (impl.format == SourceFormat::Xls) {
        impl.commit();
        saveXlsFromPackage(*impl.package, impl.path);
        impl.modified = false;
        return;
    }
    saveAs(impl.path);
}

void Workbook::saveAs(const QString& path) {
    WorkbookImpl& impl = *impl_;
    if (!impl.package) throw Error(ErrorCode::NoWorkbook, QStringLiteral("nothing to save"));
    impl.commit();
    impl.package->saveTo(path);
    impl.path = QFileInfo(path).absoluteFilePath();
    if (impl.format != SourceFormat::Xlsx) impl.format = SourceFormat::Xlsx;
    impl.modified = false;
}

}  // namespace excel

namespace excel {

// A CSV becomes the smallest package a reader accepts: one sheet, one style,
// filled cell by cell as typed, so it can be read, written and saved as a
// workbook like any other.
void buildFromRows(WorkbookImpl& impl, Workbook& book,
                   const std::vector<std::vector<QString>>& rows, const QString& sheetName) {
    static const char contentTypes[] =
        R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
        R"(<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">)"
        R"(<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>)"
        R"(<Default Extension="xml" ContentType="application/xml"/>)"
        R"(<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>)"
        R"(<Override PartName="/xl/worksheets/sheet1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>)"
        R"(<Override PartName="/xl/styles.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml"/>)"
        R"(</Types>)";
    static const char rootRels[] =
        R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
        R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
        R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/>)"
        R"(</Relationships>)";
    static const char workbookRels[] =
        R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
        R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
        R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet1.xml"/>)"
        R"(<Relationship Id="rId2" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles" Target="styles.xml"/>)"
        R"(</Relationships>)";
    static const char styles[] =
        R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
        R"(<styleSheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)"
        R"(<fonts count="1"><font><sz val="11"/><name val="Noto Sans CJK JP"/></font></fonts>)"
        R"(<fills count="2"><fill><patternFill patternType="none"/></fill><fill><patternFill patternType="gray125"/></fill></fills>)"
        R"(<borders count="1"><border><left/><right/><top/><bottom/><diagonal/></border></borders>)"
        R"(<cellStyleXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" borderId="0"/></cellStyleXfs>)"
        R"(<cellXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" borderId="0" xfId="0"/></cellXfs>)"
        R"(<cellStyles count="1"><cellStyle name="Normal" xfId="0" builtinId="0"/></cellStyles>)"
        R"(</styleSheet>)";
    static const char sheet[] =
        R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
        R"(<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">)"
        R"(<sheetData/></worksheet>)";
    // Sheet names hold at most 31 characters and none of : \ / ? * [ ].
    QString name = sheetName;
    name.remove(QRegularExpression(QStringLiteral("[:\\\\/?*\\[\\]]")));
    name = name.left(31);
    if (name.isEmpty()) name = QStringLiteral("Sheet1");
    pugi::xml_document wb;
    pugi::xml_node w = wb.append_child("workbook");
    w.append_attribute("xmlns") = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
    w.append_attribute("xmlns:r") =
        "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    pugi::xml_node s = w.append_child("sheets").append_child("sheet");
    s.append_attribute("name") = xml::xmlSafe(name).toUtf8().constData();
    s.append_attribute("sheetId") = 1;
    s.append_attribute("r:id") = "rId1";

    impl.package = Package::create();
    impl.package->write(QStringLiteral("[Content_Types].xml"), contentTypes);
    impl.package->write(QStringLiteral("_rels/.rels"), rootRels);
    impl.package->write(QStringLiteral("xl/workbook.xml"), xml::serialize(wb));
    impl.package->write(QStringLiteral("xl/_rels/workbook.xml.rels"), workbookRels);
    impl.package->write(QStringLiteral("xl/styles.xml"), styles);
    impl.package->write(QStringLiteral("xl/worksheets/sheet1.xml"), sheet);
    loadPackage(impl);
    impl.sheetObjects.emplace_back(new Worksheet(book, 0));
    Worksheet& ws = *impl.sheetObjects[0];
    int r = 0;
    for (const auto& row : rows) {
        ++r;
        if (r > 1048576)
            throw Error(ErrorCode::TooLarge, QStringLiteral("the CSV has more than 1048576 rows"));
        int c = 0;
        for (const QString& field : row) {
            if (++c > 16384) break;
            if (!field.isEmpty()) ws.setCellText(r, c, field);
        }
    }
    impl.modified = false;
}

}  // namespace excel
