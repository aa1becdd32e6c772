// Reading a source: the header row of a list, and each cell's text as the
// value its field stores.
#include "excel/Model.h"
#include "excel/Workbook.h"
#include "builder/Builder.h"
#include "db/Db.h"
#include "text/Cp932.h"
#include "text/LocaleText.h"

namespace builder {

namespace {

QString cellText(const excel::Worksheet& sheet, int row, int col) {
    return sheet.valueText(row, col);
}

bool isMergeTopLeft(const excel::Worksheet& sheet, int row, int col) {
    const auto merge = sheet.mergeAt(row, col);
    return merge && merge->first == excel::CellRef{row, col};
}

}  // namespace

std::vector<FieldDefinition> readHeaderFields(const excel::Worksheet& sheet,
                                              const QString& address, const QString& caption) {
    const std::optional<excel::CellRef> start = excel::parseCellRef(address);
    // A header starting at column IV or beyond has no room for a field list
    // the classic way of addressing could walk; refuse it like a bad selection.
    if (!start || start->col > kMaxHeaderColumn)
        throw Refusal(QStringLiteral("Excelの選択が不良です"), QStringLiteral("日付追加の中止"));
    const QString first = cellText(sheet, start->row, start->col);
    if (first.isEmpty()) throw Refusal(QStringLiteral("選択セルに項目名がありません"), caption);
    std::vector<FieldDefinition> fields;
    fields.push_back(FieldDefinition::text(excel::cellRefText(*start), first));
    for (int col = start->col + 1; col <= kMaxHeaderColumn; ++col) {
        if (isMergeTopLeft(sheet, start->row, col))
            throw Refusal(QStringLiteral("結合セルを含むことはできません"), caption);
        const QString name = cellText(sheet, start->row, col);
        if (name.isEmpty()) break;
        fields.push_back(FieldDefinition::text(excel::cellRefText({start->row, col}), name));
    }
    return fields;
}

namespace {

// Length of the longest start of text whose CP932 form fits in maxBytes.
qsizetype cp932PrefixLength(QStringView text, int maxBytes) {
    if (text.size() * 2 <= maxBytes) return text.size();  // cannot exceed, whatever it holds
    int bytes = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype step = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const char16_t c = text.at(i).unicode();
        // Half-width: ASCII and half-width katakana are one byte; every other
        // character takes two (one CP932 lacks is counted as two, never less).
        const int width = step == 1 && (c < 0x80 || (c >= 0xFF61 && c <= 0xFF9F)) ? 1 : 2;
        if (bytes + width > maxBytes) break;
        bytes += width;
        i += step;
    }
    return i;
}

std::optional<bool> parseLogical(QStringView text) {
    if (text.compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0) return true;
    if (text.compare(QLatin1String("FALSE"), Qt::CaseInsensitive) == 0) return false;
    return std::nullopt;
}

std::optional<qint64> parseWhole(QStringView text) {
    return text::parseInteger(text, INT32_MIN, INT32_MAX);
}

}  // namespace

QString truncateToCp932Bytes(const QString& text, int maxBytes) {
    return text.left(cp932PrefixLength(text, maxBytes));
}

QVariant convertCellText(const QString& text, int typeCode, int width) {
    switch (typeCode) {
        case btLogical: {
            const auto v = parseLogical(text);
            return v ? QVariant(*v) : QVariant();
        }
        case btInteger: {
            const auto v = parseWhole(text);
            return v ? QVariant(*v) : QVariant();
        }
        case btReal: {
            const auto v = text::parseDouble(text);
            return v ? QVariant(*v) : QVariant();
        }
        case btDate: {
            const auto v = text::parseDateTime(QStringView(text).trimmed());
            return v ? QVariant(*v) : QVariant();
        }
        case btText:
            return truncateToCp932Bytes(text, width);
        default:
            return text;
    }
}

void putCellText(db::RowWriter& row, int column, QStringView text, int typeCode, int width) {
    switch (typeCode) {
        case btLogical:
            if (const auto v = parseLogical(text)) return row.setBoolean(column, *v);
            return row.setNull(column);
        case btInteger:
            if (const auto v = parseWhole(text)) return row.setInteger(column, *v);
            return row.setNull(column);
        case btReal:
            if (const auto v = text::parseDouble(text)) return row.setDouble(column, *v);
            return row.setNull(column);
        case btDate:
            if (const auto v = text::parseDateTimeParts(text.trimmed()))
                return row.setDateTime(column, v->date, v->time);
            return row.setNull(column);
        case btText:
            return row.setText(column, text.left(cp932PrefixLength(text, width)));
        default:
            return row.setText(column, text);
    }
}

}  // namespace builder
