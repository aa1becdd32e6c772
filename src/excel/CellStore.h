#pragma once
// The cells of one sheet, held compactly so that a sheet of a million cells
// costs tens of megabytes, not hundreds: a row is a sorted vector of 16-byte
// cells; a number is stored in the cell itself, a text as an index into a
// pool of texts (the workbook's shared strings, or the sheet's own pool for
// texts written inline); formulas and the few cells that carry markup we
// keep verbatim live in side tables keyed by position.
//
// This is storage only: Worksheet (Workbook.h) is the interface that turns
// these into CellValue and applies the rules of typed text.
#include <QByteArray>
#include <QString>
#include <QStringView>
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace excel {

// Texts back to back in one UTF-16 buffer, addressed by index. Texts are
// only ever added; a view stays valid until the next add.
class TextPool {
public:
    std::uint32_t add(QStringView text);
    // Building a text in place: begin(), append into chars(), then end().
    std::vector<char16_t>& chars() { return chars_; }
    std::uint32_t end();
    // Drops characters appended since the last end().
    void discard() { chars_.resize(ends_.empty() ? 0 : ends_.back()); }
    QStringView view(std::uint32_t index) const;
    QString text(std::uint32_t index) const { return view(index).toString(); }
    std::size_t size() const { return ends_.size(); }
    void reserve(std::size_t texts, std::size_t characters);

private:
    std::vector<char16_t> chars_;
    std::vector<std::uint32_t> ends_;  // text i is [ends_[i-1], ends_[i])
};

enum class CellKind : std::uint8_t {
    None,        // no value (a styled cell, or a formula without a cached result)
    Number,      // number (dates are numbers with a date format)
    SharedText,  // index into the workbook's shared strings
    Text,        // index into the sheet's own text pool
    Boolean,     // number 0 or 1
    Error,       // index into the sheet's own text pool ("#N/A")
};

struct StoredCell {
    enum Flag : std::uint8_t { HasFormula = 1, HasExtra = 2 };
    union {
        double number = 0;
        std::uint32_t text;
    };
    std::uint32_t style = 0;
    std::uint16_t col = 0;
    CellKind kind = CellKind::None;
    std::uint8_t flags = 0;
};
static_assert(sizeof(StoredCell) == 16, "a cell must stay 16 bytes");

struct StoredRow {
    int row = 0;
    std::uint32_t format = 0;       // 1-based index into CellStore::rowFormats, 0 = none
    std::vector<StoredCell> cells;  // ascending by col
};

// What a row element carries besides its cells.
struct RowFormat {
    QByteArray attributes;  // as written, without r and spans (" ht=\"30\" customHeight=\"1\"")
    double height = -1;     // points; -1 = default
    bool hidden = false;
    bool customFormat = false;
    int style = 0;
};

struct Formula {
    QString text;           // as written, without "="; "" for the rest of a shared group
    QByteArray attributes;  // the element's attributes as written (t, ref, si, ca, ...)
    int sharedIndex = -1;   // si of a shared formula
};

// What a cell carries that the compact cell does not: kept so that a cell
// the program never touches is written back as it was read.
struct CellExtra {
    QByteArray attributes;    // attributes other than r, s and t, as written
    QByteArray verbatimType;  // t of a verbatim cell
    QByteArray verbatim;      // the cell's children as written (rich text, ISO dates);
                              // dropped when a new value is stored
    QByteArray extLst;        // kept through value changes
};

class CellStore {
public:
    static std::uint64_t key(int row, int col) {
        return (std::uint64_t(std::uint32_t(row)) << 16) | std::uint16_t(col);
    }

    std::vector<StoredRow>& rows() { return rows_; }
    const std::vector<StoredRow>& rows() const { return rows_; }
    const StoredRow* findRow(int row) const;
    StoredRow* findRow(int row);
    // The row, inserted in order when missing (appending is the cheap case).
    StoredRow& ensureRow(int row);
    // Index of the first row at or after row.
    std::size_t lowerRow(int row) const;

    const StoredCell* find(int row, int col) const;
    StoredCell* find(int row, int col);
    // The cell, created with style when missing. References to other cells
    // of the same row are invalidated by a creation.
    StoredCell& ensure(StoredRow& row, int col, std::uint32_t style, bool* created = nullptr);

    const RowFormat* rowFormat(const StoredRow& row) const {
        return row.format ? &rowFormats[row.format - 1] : nullptr;
    }

    std::vector<RowFormat> rowFormats;
    std::unordered_map<std::uint64_t, Formula> formulas;
    std::unordered_map<std::uint64_t, CellExtra> extras;
    // si of a shared formula -> position of the cell holding its text.
    std::unordered_map<int, std::uint64_t> sharedMasters;
    // Inline texts, cached string results of formulas and error texts.
    TextPool texts;

private:
    std::vector<StoredRow> rows_;
    // Where the last lookup found its row: reads walk a sheet row by row.
    mutable std::size_t hint_ = 0;
};

}  // namespace excel
