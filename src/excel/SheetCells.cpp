// Reading and writing the cells of a worksheet: values as the automation
// layer gives them, styles, typed text, shared formulas, and the cell access
// a calculator uses.
#include <QRegularExpression>
#include <cmath>
#include <cstdio>

#include "excel/NumberFormat.h"
#include "excel/TypedText.h"
#include "excel/Workbook.h"
#include "excel/WorkbookImpl.h"
#include "text/LocaleText.h"

namespace excel {

namespace {

int rowOfKey(std::uint64_t key) {
    return int(key >> 16);
}
int colOfKey(std::uint64_t key) {
    return int(key & 0xFFFF);
}

// The value of one of our own " name=\"value\"" attribute lists.
QByteArray attributeOf(const QByteArray& attributes, const char* name) {
    const QByteArray needle = QByteArray(" ") + name + "=\"";
    const qsizetype at = attributes.indexOf(needle);
    if (at < 0) return {};
    const qsizetype from = at + needle.size();
    const qsizetype to = attributes.indexOf('"', from);
    return to < 0 ? QByteArray() : attributes.mid(from, to - from);
}

QByteArray withoutAttributes(const QByteArray& attributes,
                             std::initializer_list<const char*> names) {
    QByteArray out = attributes;
    for (const char* name : names) {
        const QByteArray needle = QByteArray(" ") + name + "=\"";
        const qsizetype at = out.indexOf(needle);
        if (at < 0) continue;
        const qsizetype end = out.indexOf('"', at + needle.size());
        if (end >= 0) out.remove(at, end + 1 - at);
    }
    return out;
}

// Adds text to the pool without the characters a workbook part cannot hold
// (control characters but tab and line breaks, lone surrogates).
std::uint32_t addSafeText(TextPool& pool, QStringView text) {
    auto& chars = pool.chars();
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = text[i].unicode();
        if (u < 0x20 && u != 0x09 && u != 0x0A && u != 0x0D) continue;
        if (u == 0xFFFE || u == 0xFFFF) continue;
        if (u >= 0xD800 && u <= 0xDBFF) {
            if (i + 1 < n && text[i + 1].isLowSurrogate()) {
                chars.push_back(u);
                chars.push_back(text[++i].unicode());
            }
            continue;
        }
        if (u >= 0xDC00 && u <= 0xDFFF) continue;
        chars.push_back(u);
    }
    return pool.end();
}

QString formulaText(const CellStore& cells, int row, int col) {
    const auto it = cells.formulas.find(CellStore::key(row, col));
    if (it == cells.formulas.end()) return {};
    const Formula& f = it->second;
    if (!f.text.isEmpty() || f.sharedIndex < 0) return f.text;
    // One of the cells a shared formula was filled into: the master's text,
    // moved by the distance between the two cells.
    const auto master = cells.sharedMasters.find(f.sharedIndex);
    if (master == cells.sharedMasters.end()) return {};
    const auto m = cells.formulas.find(master->second);
    if (m == cells.formulas.end()) return {};
    return shiftFormula(m->second.text, row - rowOfKey(master->second),
                        col - colOfKey(master->second));
}

CellValue valueOf(WorkbookImpl& impl, const CellStore& cells, int row, const StoredCell& c) {
    CellValue v;
    if (c.flags & StoredCell::HasFormula) v.formula = formulaText(cells, row, c.col);
    switch (c.kind) {
        case CellKind::None:
            break;
        case CellKind::Number:
            v.type = CellType::Number;
            v.number = c.number;
            break;
        case CellKind::SharedText:
            v.type = CellType::String;
            v.text = impl.sharedString(c.text).toString();
            break;
        case CellKind::Text:
            v.type = CellType::String;
            v.text = cells.texts.text(c.text);
            break;
        case CellKind::Boolean:
            v.type = CellType::Boolean;
            v.boolean = c.number != 0;
            break;
        case CellKind::Error:
            v.type = CellType::Error;
            v.text = cells.texts.text(c.text);
            break;
    }
    return v;
}

// The style a cell takes when it is created: that of its row when the row
// has a format of its own, else that of its column, as a typed cell does.
std::uint32_t defaultStyle(const SheetData& s, const StoredRow* row, int col) {
    if (row)
        if (const RowFormat* f = s.cells.rowFormat(*row); f && f->customFormat)
            return std::uint32_t(f->style);
    for (const ColumnInfo& ci : s.columns)
        if (col >= ci.min && col <= ci.max) return std::uint32_t(ci.style);
    return 0;
}

StoredCell& ensureCell(SheetData& s, int row, int col) {
    if (!s.sheetData)
        throw Error(ErrorCode::Unsupported, QStringLiteral("%1 holds no cells").arg(s.part));
    StoredRow& r = s.cells.ensureRow(row);
    return s.cells.ensure(r, col, defaultStyle(s, &r, col));
}

// A cell about to lose its formula may be the master of a shared formula,
// whose text the other cells of the group refer to. Those cells get the
// formula written out in full first, so they keep computing what they did.
void detachSharedFormula(CellStore& cells, int row, int col) {
    const auto it = cells.formulas.find(CellStore::key(row, col));
    if (it == cells.formulas.end() || it->second.sharedIndex < 0 || it->second.text.isEmpty())
        return;
    const Formula master = it->second;
    const auto group = parseRangeRef(QString::fromUtf8(attributeOf(master.attributes, "ref")));
    if (group) {
        for (std::size_t i = cells.lowerRow(group->first.row);
             i < cells.rows().size() && cells.rows()[i].row <= group->last.row; ++i) {
            const StoredRow& r = cells.rows()[i];
            for (const StoredCell& c : r.cells) {
                if (c.col < group->first.col || c.col > group->last.col) continue;
                if (r.row == row && c.col == col) continue;
                auto other = cells.formulas.find(CellStore::key(r.row, c.col));
                if (other == cells.formulas.end() ||
                    other->second.sharedIndex != master.sharedIndex ||
                    !other->second.text.isEmpty())
                    continue;
                other->second.text = shiftFormula(master.text, r.row - row, c.col - col);
                other->second.attributes =
                    withoutAttributes(other->second.attributes, {"t", "si", "ref"});
                other->second.sharedIndex = -1;
            }
        }
    }
    cells.sharedMasters.erase(master.sharedIndex);
}

// Removes what the cell holds, keeping its style, its own attributes and its
// extension list. True when it held a formula.
bool clearValue(CellStore& cells, int row, StoredCell& cell) {
    const bool hadFormula = cell.flags & StoredCell::HasFormula;
    const std::uint64_t key = CellStore::key(row, cell.col);
    if (hadFormula) {
        detachSharedFormula(cells, row, cell.col);
        cells.formulas.erase(key);
        cell.flags &= std::uint8_t(~StoredCell::HasFormula);
    }
    if (cell.flags & StoredCell::HasExtra) {
        auto it = cells.extras.find(key);
        if (it != cells.extras.end()) {
            it->second.verbatim.clear();
            it->second.verbatimType.clear();
        }
    }
    cell.kind = CellKind::None;
    cell.number = 0;
    return hadFormula;
}

// Stores a value as it is; a formula the cell keeps is not touched.
void storeValue(CellStore& cells, StoredCell& cell, const CellValue& v) {
    switch (v.type) {
        case CellType::Empty:
            cell.kind = CellKind::None;
            break;
        case CellType::Number:
            cell.kind = CellKind::Number;
            cell.number = v.number;
            break;
        case CellType::Boolean:
            cell.kind = CellKind::Boolean;
            cell.number = v.boolean ? 1 : 0;
            break;
        case CellType::String:
            cell.kind = CellKind::Text;
            cell.text = addSafeText(cells.texts, v.text);
            break;
        case CellType::Error:
            cell.kind = CellKind::Error;
            cell.text = addSafeText(cells.texts, v.text);
            break;
    }
}

}  // namespace

// Stores text as the user typed it (see TypedText.h): into a cell formatted
// as text ("@") always as text; a date gets a date format when its cell has
// none.
void storeTypedText(WorkbookImpl& impl, CellStore& cells, StoredCell& cell, QStringView text) {
    if (cell.style && impl.stylesRef().style(int(cell.style)).numberFormat == QLatin1String("@")) {
        cell.kind = CellKind::Text;
        cell.text = addSafeText(cells.texts, text);
        return;
    }
    const TypedValue typed = classifyTypedText(text);
    switch (typed.kind) {
        case TypedValue::Kind::Number:
            cell.kind = CellKind::Number;
            cell.number = typed.number;
            break;
        case TypedValue::Kind::Date:
            cell.kind = CellKind::Number;
            cell.number = dateTimeToSerial(typed.date, impl.date1904);
            cell.style = std::uint32_t(impl.stylesRef().dateStyleFor(int(cell.style)));
            break;
        case TypedValue::Kind::Text:
            cell.kind = CellKind::Text;
            cell.text = addSafeText(cells.texts, text);
            break;
    }
}

// --- reading ------------------------------------------------------------------

namespace {

// A date-time as the program writes dates, "yyyy/MM/dd" with " H:mm:ss" when
// the time is not midnight (text::formatDateTime gives the same text; this
// is read for every date cell of a large sheet, so it avoids QLocale).
QString dateText(const QDateTime& dt) {
    const QDate d = dt.date();
    const QTime t = dt.time();
    char buf[32];
    int n = std::snprintf(buf, sizeof buf, "%04d/%02d/%02d", d.year(), d.month(), d.day());
    if (t.isValid() && t != QTime(0, 0))
        n += std::snprintf(buf + n, sizeof buf - size_t(n), " %d:%02d:%02d", t.hour(), t.minute(),
                           t.second());
    return QString::fromLatin1(buf, n);
}

}  // namespace

CellValue Worksheet::value(int row, int col) const {
    book_.impl_->calculate();
    const SheetData& s = data();
    const StoredCell* c = s.cells.find(row, col);
    return c ? valueOf(*book_.impl_, s.cells, row, *c) : CellValue{};
}

namespace {

// The text of a stored cell as valueText() gives it; text cells are handed
// out as views into their pool, everything else is written into scratch.
QStringView cellText(WorkbookImpl& impl, const CellStore& cells, const StoredCell& c,
                     QString& scratch) {
    switch (c.kind) {
        case CellKind::None:
            break;
        case CellKind::SharedText:
            return impl.sharedString(c.text);
        case CellKind::Text:
        case CellKind::Error:
            return cells.texts.view(c.text);
        case CellKind::Boolean:
            scratch = c.number != 0 ? QStringLiteral("True") : QStringLiteral("False");
            return scratch;
        case CellKind::Number:
            if (impl.stylesRef().isDate(int(c.style))) {
                const QDateTime dt = serialToDateTime(c.number, impl.date1904);
                if (dt.isValid()) {
                    // A time alone (serial below 1) is written on day zero of
                    // the program's date-times, as a time field of its own
                    // database is, so that it reads back as the same value.
                    scratch = c.number < 1 && c.number >= 0
                                  ? dateText(QDateTime(QDate(1899, 12, 30), dt.time(), Qt::UTC))
                                  : dateText(dt);
                    return scratch;
                }
            }
            scratch = numberText(c.number);
            return scratch;
    }
    scratch.clear();
    return scratch;
}

}  // namespace

QString Worksheet::valueText(int row, int col) const {
    QString scratch;
    const QStringView text = valueTextView(row, col, scratch);
    return text.data() == scratch.constData() ? scratch : text.toString();
}

QStringView Worksheet::valueTextView(int row, int col, QString& scratch) const {
    book_.impl_->calculate();
    const SheetData& s = data();
    const StoredCell* c = s.cells.find(row, col);
    if (!c) {
        scratch.clear();
        return scratch;
    }
    return cellText(*book_.impl_, s.cells, *c, scratch);
}

QString Worksheet::displayText(int row, int col) const {
    book_.impl_->calculate();
    const CellValue v = value(row, col);
    switch (v.type) {
        case CellType::Number:
            return formatNumber(v.number, style(row, col).numberFormat, book_.impl_->date1904);
        case CellType::Boolean:
            return v.boolean ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
        default:
            return v.text;
    }
}

CellStyle Worksheet::style(int row, int col) const {
    const SheetData& s = data();
    int xf = 0;
    if (const StoredCell* c = s.cells.find(row, col))
        xf = int(c->style);
    else
        xf = int(defaultStyle(s, s.cells.findRow(row), col));
    return book_.impl_->stylesRef().style(xf);
}

void Worksheet::forEachCell(
    const std::function<void(const CellRef&, const CellValue&)>& visit) const {
    book_.impl_->calculate();
    const SheetData& s = data();
    WorkbookImpl& impl = *book_.impl_;
    for (const StoredRow& row : s.cells.rows())
        for (const StoredCell& c : row.cells)
            if (c.kind != CellKind::None || (c.flags & StoredCell::HasFormula))
                visit({row.row, c.col}, valueOf(impl, s.cells, row.row, c));
}

RangeRef Worksheet::usedRange() const {
    const SheetData& s = data();
    RangeRef r{{0, 0}, {0, 0}};
    for (const StoredRow& row : s.cells.rows()) {
        if (row.cells.empty()) continue;
        if (!r.first.row) r.first.row = row.row;
        r.last.row = row.row;
        const int minCol = row.cells.front().col, maxCol = row.cells.back().col;
        r.first.col = r.first.col ? std::min(r.first.col, minCol) : minCol;
        r.last.col = std::max(r.last.col, maxCol);
    }
    if (!r.first.row) return RangeRef{{1, 1}, {1, 1}};
    return r;
}

void Worksheet::forEachFormula(
    const std::function<void(const CellRef&, const QString&)>& visit) const {
    const SheetData& s = data();
    for (const StoredRow& row : s.cells.rows())
        for (const StoredCell& c : row.cells)
            if (c.flags & StoredCell::HasFormula)
                visit({row.row, c.col}, formulaText(s.cells, row.row, c.col));
}

// --- writing ------------------------------------------------------------------

namespace {

// Marks a sheet whose cell values changed.
void valuesChanged(SheetData& s, WorkbookImpl& impl) {
    s.dirty = s.cellsChanged = true;
    impl.modified = true;
    impl.formulaResultsCurrent = false;
}

}  // namespace

void Worksheet::setCellText(int row, int col, const QString& text) {
    SheetData& s = data();
    WorkbookImpl& impl = *book_.impl_;
    if (text.isEmpty()) {
        StoredCell* existing = s.cells.find(row, col);
        if (!existing) return;  // nothing to clear; no empty cell is created
        if (clearValue(s.cells, row, *existing)) impl.formulaOverwritten = true;
    } else {
        StoredCell& cell = ensureCell(s, row, col);
        if (clearValue(s.cells, row, cell)) impl.formulaOverwritten = true;
        storeTypedText(impl, s.cells, cell, text);
    }
    valuesChanged(s, impl);
}

void Worksheet::setCellString(int row, int col, const QString& text) {
    CellValue v;
    if (!text.isEmpty()) {
        v.type = CellType::String;
        v.text = text;
    }
    setCellValue(row, col, v);
}

void Worksheet::setCellValue(int row, int col, const CellValue& value) {
    SheetData& s = data();
    WorkbookImpl& impl = *book_.impl_;
    StoredCell* cell =
        value.type == CellType::Empty ? s.cells.find(row, col) : &ensureCell(s, row, col);
    if (!cell) return;
    if (clearValue(s.cells, row, *cell)) impl.formulaOverwritten = true;
    storeValue(s.cells, *cell, value);
    valuesChanged(s, impl);
}

void Worksheet::setCellFormula(int row, int col, const QString& formula) {
    SheetData& s = data();
    WorkbookImpl& impl = *book_.impl_;
    StoredCell& cell = ensureCell(s, row, col);
    clearValue(s.cells, row, cell);
    // The calculation chain of the file does not list the new formula.
    impl.formulaOverwritten = true;
    Formula f;
    f.text = formula;
    s.cells.formulas[CellStore::key(row, col)] = std::move(f);
    cell.flags |= StoredCell::HasFormula;
    valuesChanged(s, impl);
}

bool Worksheet::setFormulaResult(int row, int col, const CellValue& result) {
    SheetData& s = data();
    StoredCell* cell = s.cells.find(row, col);
    if (!cell || !(cell->flags & StoredCell::HasFormula)) return false;
    if (cell->flags & StoredCell::HasExtra) {
        auto it = s.cells.extras.find(CellStore::key(row, col));
        if (it != s.cells.extras.end()) it->second.verbatim.clear();
    }
    storeValue(s.cells, *cell, result);
    // The sheet is written again, but no value a formula reads has changed.
    s.dirty = true;
    book_.impl_->modified = true;
    return true;
}

void Worksheet::setRangeText(const RangeRef& range, const QString& text) {
    SheetData& s = data();
    if (text.isEmpty()) {
        // Clearing visits only the cells that exist, so "A1:IV65536" costs
        // what the sheet holds, not sixteen million cells.
        WorkbookImpl& impl = *book_.impl_;
        bool changed = false;
        for (std::size_t i = s.cells.lowerRow(range.first.row);
             i < s.cells.rows().size() && s.cells.rows()[i].row <= range.last.row; ++i) {
            StoredRow& row = s.cells.rows()[i];
            for (StoredCell& c : row.cells)
                if (c.col >= range.first.col && c.col <= range.last.col) {
                    if (clearValue(s.cells, row.row, c)) impl.formulaOverwritten = true;
                    changed = true;
                }
        }
        if (changed) valuesChanged(s, impl);
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

}  // namespace excel
