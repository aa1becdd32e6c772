#include "excel/CellStore.h"

#include <sys/mman.h>

#include <cstdint>

#include <algorithm>

#include "excel/Error.h"

namespace excel {

std::uint32_t TextPool::add(QStringView text) {
    chars_.insert(chars_.end(), reinterpret_cast<const char16_t*>(text.utf16()),
                  reinterpret_cast<const char16_t*>(text.utf16()) + text.size());
    return end();
}

std::uint32_t TextPool::end() {
    if (chars_.size() > 0xFFFFFFFFu || ends_.size() >= 0xFFFFFFFFu)
        throw Error(ErrorCode::TooLarge,
                    QStringLiteral("a sheet holds more text than the engine keeps"));
    ends_.push_back(std::uint32_t(chars_.size()));
    return std::uint32_t(ends_.size() - 1);
}

QStringView TextPool::view(std::uint32_t index) const {
    if (index >= ends_.size()) return {};
    const std::uint32_t start = index ? ends_[index - 1] : 0;
    return QStringView(chars_.data() + start, qsizetype(ends_[index] - start));
}

namespace {

// Asks for huge pages behind a large buffer not yet written: filling a
// sheet's pool of tens of megabytes otherwise takes one page fault per 4 KB.
void adviseHugePages(const void* data, std::size_t bytes) {
    constexpr std::uintptr_t huge = 2 << 20;
    const auto begin = (reinterpret_cast<std::uintptr_t>(data) + huge - 1) & ~(huge - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~(huge - 1);
    if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

}  // namespace

void TextPool::reserve(std::size_t texts, std::size_t characters) {
    ends_.reserve(texts);
    if (characters > chars_.capacity()) {
        chars_.reserve(characters);
        adviseHugePages(chars_.data(), chars_.capacity() * sizeof(char16_t));
    }
}

std::size_t CellStore::lowerRow(int row) const {
    return std::size_t(std::lower_bound(rows_.begin(), rows_.end(), row,
                                        [](const StoredRow& r, int n) { return r.row < n; }) -
                       rows_.begin());
}

const StoredRow* CellStore::findRow(int row) const {
    // Reads walk a sheet row by row: the row found last and the one after
    // it are tried before searching.
    for (std::size_t i = hint_; i < rows_.size() && i <= hint_ + 1; ++i)
        if (rows_[i].row == row) {
            hint_ = i;
            return &rows_[i];
        }
    if (!rows_.empty() && rows_.back().row == row) return &rows_.back();
    const std::size_t i = lowerRow(row);
    if (i < rows_.size() && rows_[i].row == row) {
        hint_ = i;
        return &rows_[i];
    }
    return nullptr;
}

StoredRow* CellStore::findRow(int row) {
    return const_cast<StoredRow*>(std::as_const(*this).findRow(row));
}

StoredRow& CellStore::ensureRow(int row) {
    if (!rows_.empty() && rows_.back().row == row) return rows_.back();
    if (rows_.empty() || rows_.back().row < row) {
        rows_.push_back(StoredRow{row, 0, {}});
        return rows_.back();
    }
    const std::size_t i = lowerRow(row);
    if (i < rows_.size() && rows_[i].row == row) return rows_[i];
    return *rows_.insert(rows_.begin() + std::ptrdiff_t(i), StoredRow{row, 0, {}});
}

namespace {
template <class Cells>
auto findIn(Cells& cells, int col) -> decltype(&cells[0]) {
    auto it = std::lower_bound(cells.begin(), cells.end(), col,
                               [](const StoredCell& c, int n) { return c.col < n; });
    return it != cells.end() && it->col == col ? &*it : nullptr;
}
}  // namespace

const StoredCell* CellStore::find(int row, int col) const {
    const StoredRow* r = findRow(row);
    return r ? findIn(r->cells, col) : nullptr;
}

StoredCell* CellStore::find(int row, int col) {
    StoredRow* r = findRow(row);
    return r ? findIn(r->cells, col) : nullptr;
}

StoredCell& CellStore::ensure(StoredRow& row, int col, std::uint32_t style, bool* created) {
    if (created) *created = false;
    auto& cells = row.cells;
    auto it = cells.empty() || cells.back().col < col
                  ? cells.end()
                  : std::lower_bound(cells.begin(), cells.end(), col,
                                     [](const StoredCell& c, int n) { return c.col < n; });
    if (it != cells.end() && it->col == col) return *it;
    StoredCell cell;
    cell.col = std::uint16_t(col);
    cell.style = style;
    if (created) *created = true;
    return *cells.insert(it, cell);
}

}  // namespace excel
