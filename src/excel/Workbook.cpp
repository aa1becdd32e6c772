#include "excel/Workbook.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <cmath>
#include <cstring>
#include <future>

#include "excel/Csv.h"
#include "excel/NumberFormat.h"
#include "excel/SheetXml.h"
#include "excel/WorkbookImpl.h"
#include "excel/XlsConvert.h"

namespace excel {

namespace {

const char* const officeDocumentTail = "/officeDocument";

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

bool isTrue(const char* v) {
    return std::strcmp(v, "1") == 0 || std::strcmp(v, "true") == 0;
}

// Cached results of formulas may be stale after a change; readers that do
// not recalculate show nothing rather than a wrong value.
void forgetFormulaResults(CellStore& cells) {
    for (StoredRow& row : cells.rows())
        for (StoredCell& cell : row.cells)
            if (cell.flags & StoredCell::HasFormula) {
                cell.kind = CellKind::None;
                if (cell.flags & StoredCell::HasExtra) {
                    auto it = cells.extras.find(CellStore::key(row.row, cell.col));
                    if (it != cells.extras.end()) it->second.verbatim.clear();
                }
            }
}

// Readers trust <dimension ref>: it must cover every cell.
void widenDimension(SheetData& sheet) {
    if (!sheet.sheetData) return;
    RangeRef range{{0, 0}, {0, 0}};
    for (const StoredRow& row : sheet.cells.rows()) {
        if (row.cells.empty()) continue;
        if (!range.first.row) range.first = {row.row, row.cells.front().col};
        range.last.row = row.row;
        range.first.col = std::min<int>(range.first.col, row.cells.front().col);
        range.last.col = std::max<int>(range.last.col, row.cells.back().col);
    }
    if (!range.first.row) return;
    pugi::xml_node dim = xml::child(sheet.root, "dimension");
    if (!dim) dim = xml::insertOrdered(sheet.root, "dimension", xml::worksheetOrder);
    if (auto old = parseRangeRef(xml::text(dim.attribute("ref")))) {
        range.first = {std::min(old->first.row, range.first.row),
                       std::min(old->first.col, range.first.col)};
        range.last = {std::max(old->last.row, range.last.row),
                      std::max(old->last.col, range.last.col)};
    }
    const QByteArray ref = rangeRefText(range).toUtf8();
    if (ref == dim.attribute("ref").value()) return;
    dim.remove_attribute("ref");
    dim.append_attribute("ref") = ref.constData();
}

// An ISO date cell (t="d") holds its date as text; it is a serial number
// like any other date once the book's date system is known. The cell keeps
// its markup for writing while it is not changed.
void settleIsoDates(SheetData& sheet, bool date1904) {
    for (const auto& [key, extra] : sheet.cells.extras) {
        if (extra.verbatimType != "d") continue;
        StoredCell* cell = sheet.cells.find(int(key >> 16), int(key & 0xFFFF));
        if (!cell || cell->kind != CellKind::Text) continue;
        const QDateTime dt =
            QDateTime::fromString(sheet.cells.texts.text(cell->text).trimmed(), Qt::ISODate);
        if (dt.isValid()) {
            cell->kind = CellKind::Number;
            cell->number = dateTimeToSerial(dt, date1904);
        } else {
            cell->kind = CellKind::None;
        }
    }
}

std::string elementName(const pugi::xml_node& context, const char* local) {
    return (xml::prefixOf(context) + QString::fromUtf8(local)).toStdString();
}

}  // namespace

// --- WorkbookImpl -------------------------------------------------------------

SheetData& WorkbookImpl::sheetData(int index) {
    return sheetObjects[static_cast<size_t>(index)]->data();
}

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

std::future<TextPool> WorkbookImpl::readSharedStringsAlongside(const QString& sheetPart) {
    // Only worth a thread when both parts are large: a big list keeps its
    // texts in the shared strings and its rows in the sheet, and reading the
    // two side by side takes as long as the longer one.
    constexpr qint64 worthIt = 256 * 1024;
    if (sharedStrings || sharedStringsPart.isEmpty() ||
        !package->readableAlongside(sharedStringsPart) ||
        package->declaredSize(sharedStringsPart) < worthIt ||
        package->declaredSize(sheetPart) < worthIt)
        return {};
    return std::async(std::launch::async, [package = package.get(), part = sharedStringsPart] {
        TextPool pool;
        readSharedStrings(package->read(part), part, pool);
        return pool;
    });
}

void WorkbookImpl::takeSharedStrings(std::future<TextPool>& pending) {
    if (!pending.valid()) return;
    try {
        sharedStrings = pending.get();
    } catch (...) {
        // A broken part (or a failure to read it here) is reported where a
        // shared text is first used, by reading it again then.
    }
}

QStringView WorkbookImpl::sharedString(std::uint32_t index) {
    if (!sharedStrings) {
        TextPool pool;
        if (!sharedStringsPart.isEmpty() && package->has(sharedStringsPart))
            readSharedStrings(package->read(sharedStringsPart), sharedStringsPart, pool);
        sharedStrings = std::move(pool);
    }
    return sharedStrings->view(index);
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
    impl.date1904 = isTrue(xml::child(root, "workbookPr").attribute("date1904").value());
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
    // A saved file carries current results for readers that do not calculate.
    calculate();
    bool anyCellsChanged = false;
    for (size_t i = 0; i < sheetObjects.size(); ++i) {
        Worksheet& ws = *sheetObjects[i];
        SheetData* s = ws.data_.get();
        if (!s) continue;
        if (s->cellsChanged) {
            anyCellsChanged = true;
            if (!formulaResultsCurrent) forgetFormulaResults(s->cells);
            widenDimension(*s);
            s->cellsChanged = false;
        }
        if (s->dirty) {
            package->write(s->part, serializeSheet(*s));
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
    // Readers are still asked to recalculate on opening: it costs them little
    // and covers the formulas we leave at their stored values.
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

QByteArray serializeSheet(SheetData& sheet) {
    if (!sheet.sheetData) return xml::serialize(sheet.doc);
    // The tree holds everything but the cells; a marker in the empty
    // sheetData shows where they go.
    static const char marker[] = "tesmora-cells";
    pugi::xml_node pi = sheet.sheetData.append_child(pugi::node_pi);
    pi.set_name(marker);
    const QByteArray skeleton = xml::serialize(sheet.doc);
    sheet.sheetData.remove_child(pi);
    const QByteArray placeholder = QByteArray("<?") + marker + "?>";
    const qsizetype at = skeleton.indexOf(placeholder);
    if (at < 0)
        throw Error(ErrorCode::WriteFailed,
                    QStringLiteral("%1: the cells could not be placed").arg(sheet.part));
    QByteArray out;
    std::size_t cells = 0;
    for (const StoredRow& row : sheet.cells.rows()) cells += row.cells.size();
    out.reserve(skeleton.size() + qsizetype(std::min<std::size_t>(cells * 40, 512u << 20)));
    out.append(skeleton.constData(), at);
    writeSheetCells(out, sheet.cells, xml::prefixOf(sheet.sheetData).toUtf8());
    out.append(skeleton.constData() + at + placeholder.size(),
               skeleton.size() - at - placeholder.size());
    return out;
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
        // Inline texts go to the sheet's pool; sized once from the part
        // (a text takes at most as many characters as it took bytes, and
        // markup takes most of a part) it is not copied while it fills.
        s->cells.texts.reserve(
            0, std::size_t(std::min<qint64>(impl.package->declaredSize(e.part) / 8, 64 << 20)));
        SheetXmlReader reader(e.part, s->cells);
        std::future<TextPool> sharedStrings = impl.readSharedStringsAlongside(e.part);
        impl.package->readChunks(
            e.part, [&](const char* data, qsizetype size) { reader.feed(data, size); });
        const SheetXml parts = reader.finish();
        impl.takeSharedStrings(sharedStrings);
        xml::parse(s->doc, parts.skeleton, e.part);
        s->root = s->doc.document_element();
        s->sheetData = xml::child(s->root, "sheetData");
        if (!s->sheetData && e.isWorksheet)
            throw Error(ErrorCode::NotAWorkbook, QStringLiteral("%1 has no sheetData").arg(e.part));
        settleIsoDates(*s, impl.date1904);
        readSheetLayout(*s);
        data_ = std::move(s);
    }
    return *data_;
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
    const StoredRow* r = s.cells.findRow(row);
    const RowFormat* f = r ? s.cells.rowFormat(*r) : nullptr;
    if (!f) return s.defaultRowHeight;
    if (f->hidden) return 0;
    return f->height >= 0 ? f->height : s.defaultRowHeight;
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

namespace {

bool isPackageName(const QString& ext) {
    return ext == QLatin1String("xlsx") || ext == QLatin1String("xlsm") ||
           ext == QLatin1String("xltx") || ext == QLatin1String("xltm");
}

}  // namespace

SourceFormat detectSourceFormat(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw Error(ErrorCode::FileNotFound, QStringLiteral("cannot read %1").arg(path));
    const QByteArray head = f.read(4096);
    const QString ext = QFileInfo(path).suffix().toLower();
    if (head.startsWith(QByteArrayLiteral("PK\x03\x04"))) return SourceFormat::Xlsx;
    // An OLE compound file, or a bare BIFF stream of the oldest versions.
    if (head.startsWith(QByteArrayLiteral("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1")) ||
        (head.size() >= 4 && head[0] == 0x09 &&
         (head[1] == 0x00 || head[1] == 0x02 || head[1] == 0x04 || head[1] == 0x08) &&
         head[3] == 0x00))
        return SourceFormat::Xls;
    if (head.contains('\0'))
        throw Error(ErrorCode::Unsupported,
                    QStringLiteral("%1 is not a workbook or CSV file of a known kind").arg(path));
    // Text. Under a workbook name it is a Web page or text saved as a
    // workbook, which LibreOffice reads; a package name on text is a damaged
    // package.
    if (ext == QLatin1String("xls")) return SourceFormat::Xls;
    if (isPackageName(ext))
        throw Error(ErrorCode::NotAWorkbook,
                    QStringLiteral("%1 is not a workbook package (it holds text)").arg(path));
    return SourceFormat::Csv;
}

std::unique_ptr<Workbook> Workbook::open(const QString& path) {
    const QFileInfo info(path);
    if (!info.isFile())
        throw Error(ErrorCode::FileNotFound, QStringLiteral("file not found: %1").arg(path));
    // What a file is comes from its first bytes, not its name: output works
    // in a copy named without an extension, and names arrive in any case.
    const SourceFormat format = detectSourceFormat(path);
    std::unique_ptr<Workbook> book(new Workbook);
    WorkbookImpl& impl = *book->impl_;
    impl.path = info.absoluteFilePath();
    impl.format = format;
    if (format == SourceFormat::Csv) {
        SheetData& sheet = buildOneSheetBook(impl, *book, info.completeBaseName());
        impl.csvEncoding = fillFromCsv(impl, sheet, path);
    } else {
        QString packagePath = path;
        std::shared_ptr<const ConvertedFile> converted;
        if (format == SourceFormat::Xls) {
            converted = convertXlsToXlsx(path);
            packagePath = converted->path();
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
    impl.modified = false;
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

const std::vector<DefinedName>& Workbook::definedNames() const {
    return impl_->names;
}

bool Workbook::uses1904Dates() const {
    return impl_->date1904;
}

bool Workbook::modified() const {
    return impl_->modified;
}

void Workbook::save() {
    saveIn(impl_->format, impl_->path);
}

SourceFormat Workbook::formatForName(const QString& path) {
    const QString ext = QFileInfo(path).suffix().toLower();
    if (ext == QLatin1String("xls")) return SourceFormat::Xls;
    if (ext == QLatin1String("csv")) return SourceFormat::Csv;
    return SourceFormat::Xlsx;
}

void Workbook::saveAs(const QString& path) {
    saveIn(formatForName(path), path);
}

void Workbook::saveIn(SourceFormat format, const QString& path) {
    WorkbookImpl& impl = *impl_;
    if (!impl.package) throw Error(ErrorCode::NoWorkbook, QStringLiteral("nothing to save"));
    switch (format) {
        case SourceFormat::Csv:
            // A CSV of our own keeps its encoding; any other book's sheet is
            // written the way the desktop writes CSV, in CP932.
            writeCsvFile(path, activeSheet(),
                         impl.format == SourceFormat::Csv ? impl.csvEncoding : text::Encoding::Cp932);
            if (impl.format != SourceFormat::Csv) impl.csvEncoding = text::Encoding::Cp932;
            break;
        case SourceFormat::Xls:
            impl.commit();
            saveXlsFromPackage(*impl.package, path);
            break;
        case SourceFormat::Xlsx:
            impl.commit();
            impl.package->saveTo(path);
            break;
    }
    impl.path = QFileInfo(path).absoluteFilePath();
    impl.format = format;
    impl.modified = false;
}

// A CSV becomes the smallest package a reader accepts: one sheet, one style,
// whose cells the caller fills, so it can be read, written and saved as a
// workbook like any other.
SheetData& buildOneSheetBook(WorkbookImpl& impl, Workbook& book, const QString& sheetName) {
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
    SheetData& data = impl.sheetObjects[0]->data();
    // Written whole when the book is saved as a package.
    data.dirty = data.cellsChanged = true;
    return data;
}

}  // namespace excel
