#include "excel/Model.h"

namespace excel {

std::optional<CellRef> parseCellRef(const QString& a1) {
    int col = 0, row = 0;
    qsizetype i = 0;
    const qsizetype n = a1.size();
    if (i < n && a1[i] == QLatin1Char('$')) ++i;
    const qsizetype letters = i;
    while (i < n && a1[i].isLetter() && a1[i].unicode() < 128) {
        col = col * 26 + (a1[i].toUpper().unicode() - 'A' + 1);
        if (col > 16384) return std::nullopt;
        ++i;
    }
    if (i == letters) return std::nullopt;
    if (i < n && a1[i] == QLatin1Char('$')) ++i;
    const qsizetype digits = i;
    while (i < n && a1[i].unicode() >= '0' && a1[i].unicode() <= '9') {
        row = row * 10 + (a1[i].unicode() - '0');
        if (row > 1048576) return std::nullopt;
        ++i;
    }
    if (i == digits || i != n || row < 1) return std::nullopt;
    return CellRef{row, col};
}

std::optional<RangeRef> parseRangeRef(const QString& a1) {
    const qsizetype colon = a1.indexOf(QLatin1Char(':'));
    const auto first = parseCellRef(colon < 0 ? a1 : a1.left(colon));
    const auto last = colon < 0 ? first : parseCellRef(a1.mid(colon + 1));
    if (!first || !last) return std::nullopt;
    RangeRef r;
    r.first = {std::min(first->row, last->row), std::min(first->col, last->col)};
    r.last = {std::max(first->row, last->row), std::max(first->col, last->col)};
    return r;
}

QString columnLetters(int col) {
    if (col < 1 || col > 16384) return {};
    QString s;
    while (col > 0) {
        const int rem = (col - 1) % 26;
        s.prepend(QChar('A' + rem));
        col = (col - 1) / 26;
    }
    return s;
}

QString cellRefText(const CellRef& ref) {
    return columnLetters(ref.col) + QString::number(ref.row);
}

QString rangeRefText(const RangeRef& range) {
    if (range.singleCell()) return cellRefText(range.first);
    return cellRefText(range.first) + QLatin1Char(':') + cellRefText(range.last);
}

}  // namespace excel
