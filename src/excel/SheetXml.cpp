#include "excel/SheetXml.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "excel/Error.h"
#include "excel/XmlScanner.h"

namespace excel {

namespace {

using xml::Scanner;
using Token = Scanner::Token;

bool isTrue(std::string_view v) {
    return v == "1" || v == "true";
}

std::string_view trimmed(std::string_view v) {
    while (!v.empty() &&
           (v.front() == ' ' || v.front() == '\t' || v.front() == '\n' || v.front() == '\r'))
        v.remove_prefix(1);
    while (!v.empty() &&
           (v.back() == ' ' || v.back() == '\t' || v.back() == '\n' || v.back() == '\r'))
        v.remove_suffix(1);
    return v;
}

bool parseDouble(std::string_view v, double& out) {
    v = trimmed(v);
    if (!v.empty() && v.front() == '+') v.remove_prefix(1);
    if (v.empty()) return false;
    const auto r = std::from_chars(v.data(), v.data() + v.size(), out);
    return r.ec == std::errc() && r.ptr == v.data() + v.size() && std::isfinite(out);
}

template <class T>
bool parseInt(std::string_view v, T& out) {
    v = trimmed(v);
    if (v.empty()) return false;
    const auto r = std::from_chars(v.data(), v.data() + v.size(), out);
    return r.ec == std::errc() && r.ptr == v.data() + v.size();
}

// "AB12" -> column and row; false for anything else ("$" is not allowed in
// a cell's own reference).
bool parseReference(std::string_view ref, int& row, int& col) {
    size_t i = 0;
    col = 0;
    while (i < ref.size() &&
           ((ref[i] >= 'A' && ref[i] <= 'Z') || (ref[i] >= 'a' && ref[i] <= 'z'))) {
        col = col * 26 + ((ref[i] & ~0x20) - 'A' + 1);
        if (col > 16384) return false;
        ++i;
    }
    if (i == 0 || i == ref.size()) return false;
    row = 0;
    for (; i < ref.size(); ++i) {
        if (ref[i] < '0' || ref[i] > '9') return false;
        row = row * 10 + (ref[i] - '0');
        if (row > 1048576) return false;
    }
    return row >= 1;
}

// An attribute written back as it was read; a value read between single
// quotes may hold double quotes, which must be escaped between double ones.
void appendAttribute(QByteArray& out, const Scanner::Attribute& a) {
    out.append(' ');
    out.append(a.name.data(), qsizetype(a.name.size()));
    out.append("=\"");
    if (a.quote == '\'' && a.value.find('"') != std::string_view::npos) {
        for (char c : a.value) c == '"' ? void(out.append("&quot;")) : void(out.append(c));
    } else {
        out.append(a.value.data(), qsizetype(a.value.size()));
    }
    out.append('"');
}

QString partError(const QString& part, const QString& what) {
    return QStringLiteral("%1: %2").arg(part, what);
}

// Appends the decoded text of the element just started, descendants included.
void appendElementText(Scanner& sc, std::vector<char16_t>& out) {
    if (sc.token() == Token::Empty) return;
    int depth = 1;
    while (depth > 0) {
        switch (sc.next()) {
            case Token::Start:
                ++depth;
                break;
            case Token::End:
                --depth;
                break;
            case Token::Text:
                xml::appendDecoded(out, sc.text(), sc.cdata());
                break;
            case Token::Eof:
                sc.fail("an element that is never closed");
            default:
                break;
        }
    }
}

// The raw text of a simple element such as <v>. The common single run
// without references comes back as a view into the input; anything else
// (references, a CDATA section beside plain text) is decoded and joined into
// scratch as UTF-8, and decodedAlready tells so.
std::string_view simpleText(Scanner& sc, std::string& scratch, bool& decodedAlready) {
    decodedAlready = false;
    if (sc.token() == Token::Empty) return {};
    std::string_view runs[4];
    bool cdata[4] = {};
    int count = 0;
    int depth = 1;
    while (depth > 0) {
        switch (sc.next()) {
            case Token::Start:
                ++depth;
                break;
            case Token::End:
                --depth;
                break;
            case Token::Text:
                if (depth == 1) {
                    if (count == 4) sc.fail("a value split into too many pieces");
                    runs[count] = sc.text();
                    cdata[count++] = sc.cdata();
                }
                break;
            case Token::Eof:
                sc.fail("an element that is never closed");
            default:
                break;
        }
    }
    if (count == 0) return {};
    if (count == 1 && !cdata[0] && runs[0].find('&') == std::string_view::npos &&
        runs[0].find('\r') == std::string_view::npos)
        return runs[0];
    std::vector<char16_t> joined;
    for (int i = 0; i < count; ++i) xml::appendDecoded(joined, runs[i], cdata[i]);
    scratch = QString(reinterpret_cast<const QChar*>(joined.data()), qsizetype(joined.size()))
                  .toUtf8()
                  .toStdString();
    decodedAlready = true;
    return scratch;
}

}  // namespace

// Reads rows and cells from the scanner it is given; keeps what it needs
// (the last row read) from one slice of the part to the next.
struct CellReader {
    Scanner* scanner = nullptr;
    CellStore& cells;
    const QString& part;
    std::string scratch;
    int lastRow = 0;
    std::size_t lastWidth = 0;

    void readCell(StoredRow& row, int rowNo, int& lastCol) {
        Scanner& sc = *scanner;
        int col = lastCol + 1;
        std::string_view type;
        CellExtra extra;
        StoredCell cell;
        for (const Scanner::Attribute& a : sc.attributes()) {
            const size_t colon = a.name.rfind(':');
            const std::string_view local =
                colon == std::string_view::npos ? a.name : a.name.substr(colon + 1);
            if (local == "r") {
                int r = 0;
                if (!parseReference(a.value, r, col) || r != rowNo)
                    throw Error(ErrorCode::NotAWorkbook,
                                partError(part, QStringLiteral("bad cell reference %1 in row %2")
                                                    .arg(QString::fromUtf8(
                                                        a.value.data(), qsizetype(a.value.size())))
                                                    .arg(rowNo)));
            } else if (local == "s") {
                if (!parseInt(a.value, cell.style)) cell.style = 0;
            } else if (local == "t") {
                type = a.value;
            } else {
                appendAttribute(extra.attributes, a);
            }
        }
        if (col <= lastCol)
            throw Error(ErrorCode::NotAWorkbook,
                        partError(part, QStringLiteral("cells out of order in row %1").arg(rowNo)));
        lastCol = col;
        cell.col = std::uint16_t(col);
        const std::uint64_t key = CellStore::key(rowNo, col);

        std::string_view value;
        bool valueDecoded = false;
        bool hasValue = false;
        bool inlineText = false;
        bool verbatim = type == "d";
        const char* childrenBegin = sc.tokenEnd();
        const char* childrenEnd = childrenBegin;
        if (sc.token() == Token::Start) {
            for (;;) {
                const Token t = sc.next();
                if (t == Token::Text) continue;
                if (t == Token::End) {
                    childrenEnd = sc.tokenBegin();
                    break;
                }
                if (t == Token::Eof) sc.fail("a cell that is never closed");
                if (sc.is("v")) {
                    value = simpleText(sc, scratch, valueDecoded);
                    hasValue = true;
                } else if (sc.is("f")) {
                    Formula f;
                    for (const Scanner::Attribute& a : sc.attributes())
                        appendAttribute(f.attributes, a);
                    const bool shared = sc.attribute("t") == "shared";
                    if (shared) parseInt(sc.attribute("si"), f.sharedIndex);
                    if (sc.token() == Token::Start) f.text = sc.elementText();
                    if (shared && f.sharedIndex >= 0 && !f.text.isEmpty())
                        cells.sharedMasters[f.sharedIndex] = key;
                    cells.formulas[key] = std::move(f);
                    cell.flags |= StoredCell::HasFormula;
                } else if (sc.is("is")) {
                    inlineText = true;
                    if (!readInlineText()) verbatim = true;
                } else if (sc.is("extLst")) {
                    const char* from = sc.tokenBegin();
                    if (sc.token() == Token::Start) sc.skipElement();
                    extra.extLst = QByteArray(from, qsizetype(sc.tokenEnd() - from));
                } else {
                    // Markup we do not model is kept as written.
                    verbatim = true;
                    if (sc.token() == Token::Start) sc.skipElement();
                }
            }
        }

        const bool isInline = type == "inlineStr" || (inlineText && type.empty());
        // readInlineText left its characters at the end of the pool.
        if (inlineText && !isInline) cells.texts.discard();
        if (isInline) {
            cell.kind = CellKind::Text;
            cell.text = cells.texts.end();
        } else if (!hasValue) {
            cell.kind = CellKind::None;
        } else if (type == "s") {
            std::uint32_t index = 0;
            if (parseInt(value, index)) {
                cell.kind = CellKind::SharedText;
                cell.text = index;
            }
        } else if (type == "str" || type == "e") {
            cell.kind = type == "e" ? CellKind::Error : CellKind::Text;
            auto& chars = cells.texts.chars();
            if (valueDecoded)
                xml::appendDecoded(chars, value, true);
            else
                xml::appendDecoded(chars, value);
            cell.text = cells.texts.end();
        } else if (type == "b") {
            cell.kind = CellKind::Boolean;
            cell.number = isTrue(trimmed(value)) ? 1 : 0;
        } else if (type == "d") {
            // An ISO date; the caller turns it into a serial number (it
            // needs the workbook's date system). Kept verbatim for writing.
            cell.kind = CellKind::Text;
            cell.text = cells.texts.add(QString::fromUtf8(value.data(), qsizetype(value.size())));
        } else {
            double d = 0;
            if (parseDouble(value, d)) {
                cell.kind = CellKind::Number;
                cell.number = d;
            }
        }
        if (verbatim) {
            extra.verbatimType = QByteArray(type.data(), qsizetype(type.size()));
            extra.verbatim = QByteArray(childrenBegin, qsizetype(childrenEnd - childrenBegin));
        }
        if (!extra.attributes.isEmpty() || !extra.verbatim.isEmpty() || !extra.extLst.isEmpty() ||
            verbatim) {
            cells.extras[key] = std::move(extra);
            cell.flags |= StoredCell::HasExtra;
        }
        row.cells.push_back(cell);
    }

    // Reads <is>; the plain text is appended to the pool's characters, to be
    // ended by the caller. False when the element is
    // more than one plain <t> (runs with fonts, phonetic readings), which is
    // then kept verbatim.
    bool readInlineText() {
        Scanner& sc = *scanner;
        auto& text = cells.texts.chars();
        if (sc.token() == Token::Empty) return true;
        int plainTexts = 0;
        bool rich = false;
        for (;;) {
            const Token t = sc.next();
            if (t == Token::Text) continue;
            if (t == Token::End) break;
            if (t == Token::Eof) sc.fail("an inline string that is never closed");
            if (sc.is("t")) {
                ++plainTexts;
                appendElementText(sc, text);
            } else if (sc.is("r")) {
                rich = true;
                if (sc.token() == Token::Empty) continue;
                for (;;) {
                    const Token u = sc.next();
                    if (u == Token::Text) continue;
                    if (u == Token::End) break;
                    if (u == Token::Eof) sc.fail("a text run that is never closed");
                    if (sc.is("t"))
                        appendElementText(sc, text);
                    else if (sc.token() == Token::Start)
                        sc.skipElement();
                }
            } else {
                rich = true;
                if (sc.token() == Token::Start) sc.skipElement();
            }
        }
        return !rich && plainTexts <= 1;
    }

    // Reads rows up to the end of sheetData (true) or of the slice (false).
    bool readRows() {
        Scanner& sc = *scanner;
        for (;;) {
            const Token t = sc.next();
            if (t == Token::Text) continue;
            if (t == Token::End) return true;  // </sheetData>
            if (t == Token::Eof) return false;
            if (!sc.is("row")) {
                if (t == Token::Start) sc.skipElement();
                continue;
            }
            int r = lastRow + 1;
            if (sc.hasAttribute("r") && !parseInt(sc.attribute("r"), r)) r = -1;
            if (r <= lastRow || r > 1048576)
                throw Error(ErrorCode::NotAWorkbook,
                            partError(part, QStringLiteral("rows out of order at row %1").arg(r)));
            lastRow = r;
            StoredRow& row = cells.ensureRow(r);
            // Rows of a list are alike: room for as many cells as the last.
            row.cells.reserve(lastWidth);
            RowFormat format;
            for (const Scanner::Attribute& a : sc.attributes()) {
                const size_t colon = a.name.rfind(':');
                const std::string_view local =
                    colon == std::string_view::npos ? a.name : a.name.substr(colon + 1);
                if (local == "r" || local == "spans") continue;  // spans: a hint we may contradict
                appendAttribute(format.attributes, a);
                if (local == "ht") parseDouble(a.value, format.height);
                if (local == "hidden") format.hidden = isTrue(a.value);
                if (local == "customFormat") format.customFormat = isTrue(a.value);
                if (local == "s") parseInt(a.value, format.style);
            }
            if (!format.attributes.isEmpty()) {
                cells.rowFormats.push_back(std::move(format));
                row.format = std::uint32_t(cells.rowFormats.size());
            }
            if (t == Token::Empty) continue;
            int lastCol = 0;
            for (;;) {
                const Token u = sc.next();
                if (u == Token::Text) continue;
                if (u == Token::End) break;
                if (u == Token::Eof) sc.fail("a row that is never closed");
                if (sc.is("c"))
                    readCell(row, r, lastCol);
                else if (u == Token::Start)
                    sc.skipElement();
            }
            lastWidth = row.cells.size();
        }
    }
};

namespace {

void appendReference(QByteArray& out, int row, int col) {
    char letters[4];
    int n = 0;
    while (col > 0) {
        letters[n++] = char('A' + (col - 1) % 26);
        col = (col - 1) / 26;
    }
    while (n > 0) out.append(letters[--n]);
    char digits[12];
    const auto r = std::to_chars(digits, digits + sizeof digits, row);
    out.append(digits, qsizetype(r.ptr - digits));
}

void appendInt(QByteArray& out, long long v) {
    char digits[24];
    const auto r = std::to_chars(digits, digits + sizeof digits, v);
    out.append(digits, qsizetype(r.ptr - digits));
}

}  // namespace

void appendNumber(QByteArray& out, double value) {
    if (value == std::floor(value) && std::fabs(value) < 1e15) {
        appendInt(out, static_cast<long long>(value));
        return;
    }
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, qsizetype(r.ptr - buf));
}

SheetXmlReader::SheetXmlReader(const QString& part, CellStore& cells)
    : part_(part),
      reader_(std::make_unique<CellReader>(CellReader{nullptr, cells, part_, {}, {}, 0})) {}

SheetXmlReader::~SheetXmlReader() = default;

void SheetXmlReader::feed(const char* data, qsizetype size) {
    if (phase_ == Phase::Tail) {
        skeleton_.append(data, size);
        return;
    }
    pending_.append(data, size);
    if (phase_ == Phase::Head) findSheetData(false);
    if (phase_ == Phase::Rows) readRows(false);
}

void SheetXmlReader::findSheetData(bool final) {
    Scanner sc(pending_.constData(), pending_.constData() + pending_.size(), part_);
    int depth = 0;
    try {
        for (;;) {
            const Token t = sc.next();
            if (t == Token::Eof) return;  // not yet (or never: a sheet without cells)
            if (t == Token::Start) {
                ++depth;
                if (depth == 2 && sc.is("sheetData")) {
                    const qsizetype headEnd = sc.tokenEnd() - pending_.constData();
                    const std::string_view name = sc.name();
                    rowTag_ = "<" + QByteArray(name.data(), qsizetype(name.size() - 9)) + "row";
                    endTag_ = "</" + QByteArray(name.data(), qsizetype(name.size()));
                    skeleton_ = pending_.left(headEnd);
                    pending_.remove(0, headEnd);
                    phase_ = Phase::Rows;
                    hasSheetData_ = true;
                    return;
                }
            } else if (t == Token::End) {
                --depth;
            } else if (t == Token::Empty && depth == 1 && sc.is("dimension")) {
                // The rows the sheet says it spans, to size the store once.
                const std::string_view ref = sc.attribute("ref");
                const size_t colon = ref.find(':');
                int firstRow = 0, lastRow = 0, col = 0;
                if (colon != std::string_view::npos &&
                    parseReference(ref.substr(0, colon), firstRow, col) &&
                    parseReference(ref.substr(colon + 1), lastRow, col) && lastRow >= firstRow)
                    reader_->cells.rows().reserve(std::size_t(lastRow - firstRow + 1));
            } else if (t == Token::Empty && depth == 1 && sc.is("sheetData")) {
                skeleton_ = pending_;
                pending_.clear();
                phase_ = Phase::Tail;
                hasSheetData_ = true;
                return;
            }
        }
    } catch (const Error&) {
        // A tag cut off at the end of what arrived so far reads as malformed;
        // only the whole part can tell.
        if (final) throw;
    }
}

void SheetXmlReader::readRows(bool final) {
    // Only whole rows are read: the slice ends before the last row that
    // began, or takes everything once the end of sheetData has arrived.
    // ("<row" cannot occur in text, where "<" is always escaped.)
    qsizetype cut = pending_.size();
    bool ended = false;
    const qsizetype end =
        pending_.indexOf(endTag_, std::max<qsizetype>(0, searchedTo_ - endTag_.size() - 64));
    if (end >= 0) {
        // The end tag counts once its ">" has arrived too.
        qsizetype at = end + endTag_.size();
        while (at < pending_.size() && (pending_[at] == ' ' || pending_[at] == '\t' ||
                                        pending_[at] == '\n' || pending_[at] == '\r'))
            ++at;
        ended = at < pending_.size();
    }
    if (!ended) {
        if (final)
            throw Error(ErrorCode::NotAWorkbook,
                        partError(part_, QStringLiteral("sheetData is never closed")));
        cut = -1;
        for (qsizetype at = pending_.lastIndexOf(rowTag_); at > 0;
             at = pending_.lastIndexOf(rowTag_, at - 1)) {
            const qsizetype after = at + rowTag_.size();
            if (after < pending_.size()) {
                const char c = pending_[after];
                if (c == ' ' || c == '>' || c == '/' || c == '\t' || c == '\n' || c == '\r') {
                    cut = at;
                    break;
                }
            } else {
                continue;
            }
        }
        if (cut <= 0) {
            searchedTo_ = pending_.size();
            return;  // not one whole row yet
        }
    }
    Scanner sc(pending_.constData(), pending_.constData() + cut, part_);
    reader_->scanner = &sc;
    const bool done = reader_->readRows();
    reader_->scanner = nullptr;
    if (ended) {
        if (!done) sc.fail("sheetData is never closed");
        const qsizetype tail = sc.tokenBegin() - pending_.constData();
        skeleton_.append(pending_.constData() + tail, pending_.size() - tail);
        pending_.clear();
        phase_ = Phase::Tail;
        return;
    }
    pending_.remove(0, cut);
    searchedTo_ = pending_.size();
}

SheetXml SheetXmlReader::finish() {
    if (phase_ == Phase::Head) findSheetData(true);
    if (phase_ == Phase::Rows) readRows(true);
    SheetXml result;
    result.hasSheetData = hasSheetData_;
    result.skeleton = phase_ == Phase::Head ? std::move(pending_) : std::move(skeleton_);
    return result;
}

SheetXml readSheetXml(const QByteArray& bytes, const QString& part, CellStore& cells) {
    SheetXmlReader reader(part, cells);
    reader.feed(bytes.constData(), bytes.size());
    return reader.finish();
}

void writeSheetCells(QByteArray& out, const CellStore& cells, const QByteArray& prefix) {
    const auto open = [&](const char* name) {
        out.append('<');
        out.append(prefix);
        out.append(name);
    };
    const auto close = [&](const char* name) {
        out.append("</");
        out.append(prefix);
        out.append(name);
        out.append('>');
    };
    for (const StoredRow& row : cells.rows()) {
        open("row r=\"");
        appendInt(out, row.row);
        out.append('"');
        if (const RowFormat* f = cells.rowFormat(row)) out.append(f->attributes);
        if (row.cells.empty()) {
            out.append("/>");
            continue;
        }
        out.append('>');
        for (const StoredCell& cell : row.cells) {
            const std::uint64_t key = CellStore::key(row.row, cell.col);
            const CellExtra* extra = nullptr;
            if (cell.flags & StoredCell::HasExtra) {
                auto it = cells.extras.find(key);
                if (it != cells.extras.end()) extra = &it->second;
            }
            const Formula* formula = nullptr;
            if (cell.flags & StoredCell::HasFormula) {
                auto it = cells.formulas.find(key);
                if (it != cells.formulas.end()) formula = &it->second;
            }
            open("c r=\"");
            appendReference(out, row.row, cell.col);
            out.append('"');
            if (cell.style) {
                out.append(" s=\"");
                appendInt(out, cell.style);
                out.append('"');
            }
            if (extra && !extra->verbatim.isEmpty()) {
                if (!extra->verbatimType.isEmpty()) {
                    out.append(" t=\"");
                    out.append(extra->verbatimType);
                    out.append('"');
                }
                out.append(extra->attributes);
                out.append('>');
                out.append(extra->verbatim);
                close("c");
                continue;
            }
            const char* type = nullptr;
            switch (cell.kind) {
                case CellKind::SharedText:
                    type = "s";
                    break;
                case CellKind::Text:
                    type = formula ? "str" : "inlineStr";
                    break;
                case CellKind::Boolean:
                    type = "b";
                    break;
                case CellKind::Error:
                    type = "e";
                    break;
                default:
                    break;
            }
            if (type) {
                out.append(" t=\"");
                out.append(type);
                out.append('"');
            }
            if (extra) out.append(extra->attributes);
            const bool hasValue = cell.kind != CellKind::None;
            if (!formula && !hasValue && !(extra && !extra->extLst.isEmpty())) {
                out.append("/>");
                continue;
            }
            out.append('>');
            if (formula) {
                open("f");
                out.append(formula->attributes);
                if (formula->text.isEmpty()) {
                    out.append("/>");
                } else {
                    out.append('>');
                    xml::appendEscaped(out, formula->text);
                    close("f");
                }
            }
            if (hasValue && !(cell.kind == CellKind::Text && !formula)) {
                open("v>");
                switch (cell.kind) {
                    case CellKind::Number:
                        appendNumber(out, cell.number);
                        break;
                    case CellKind::Boolean:
                        out.append(cell.number != 0 ? '1' : '0');
                        break;
                    case CellKind::SharedText:
                        appendInt(out, cell.text);
                        break;
                    default:
                        xml::appendEscaped(out, cells.texts.view(cell.text));
                        break;
                }
                close("v");
            } else if (hasValue) {
                const QStringView t = cells.texts.view(cell.text);
                open("is>");
                open("t");
                if (!t.isEmpty() &&
                    (t.front().isSpace() || t.back().isSpace() || t.contains(QLatin1Char('\n'))))
                    out.append(" xml:space=\"preserve\"");
                out.append('>');
                xml::appendEscaped(out, t);
                close("t");
                close("is");
            }
            if (extra) out.append(extra->extLst);
            close("c");
        }
        close("row");
    }
}

void readSharedStrings(const QByteArray& bytes, const QString& part, TextPool& pool) {
    Scanner sc(bytes.constData(), bytes.constData() + bytes.size(), part);
    bool reserved = false;
    for (;;) {
        const Token t = sc.next();
        if (t == Token::Eof) return;
        if (t != Token::Start && t != Token::Empty) continue;
        if (!reserved && sc.is("sst")) {
            std::size_t count = 0;
            if (parseInt(sc.attribute("uniqueCount"), count) && count < 16 * 1024 * 1024)
                pool.reserve(count, std::size_t(bytes.size() / 2));
            reserved = true;
            continue;
        }
        if (!sc.is("si")) continue;
        if (t == Token::Start) {
            for (;;) {
                const Token u = sc.next();
                if (u == Token::Text) continue;
                if (u == Token::End) break;
                if (u == Token::Eof) sc.fail("a shared string that is never closed");
                if (sc.is("t")) {
                    appendElementText(sc, pool.chars());
                } else if (sc.is("r")) {
                    if (u == Token::Empty) continue;
                    for (;;) {
                        const Token v = sc.next();
                        if (v == Token::Text) continue;
                        if (v == Token::End) break;
                        if (v == Token::Eof) sc.fail("a text run that is never closed");
                        if (sc.is("t"))
                            appendElementText(sc, pool.chars());
                        else if (v == Token::Start)
                            sc.skipElement();
                    }
                } else if (u == Token::Start) {
                    sc.skipElement();  // phonetic readings and their properties
                }
            }
        }
        pool.end();
    }
}

}  // namespace excel
