#include "documents/Bindings.h"

namespace documents {

namespace {
constexpr int kSortFieldLength = 200;
}

bool isPictureCell(const QString& cell) {
    return cell.startsWith(QLatin1Char('#'));
}

QStringList pictureNumbers(const QString& cell) {
    if (!isPictureCell(cell)) return {};
    // Kept whole: a figure binding of 10 x 100 blocks lists a thousand numbers.
    return cell.mid(1).split(QLatin1Char(','));
}

QString pictureCell(const QStringList& numbers) {
    return QLatin1Char('#') + numbers.join(QLatin1Char(','));
}

QString cellMarker(const QString& field) {
    return QLatin1Char('(') + field + QLatin1Char(')');
}

Hyperlink parseHyperlink(const QString& boundField) {
    Hyperlink link;
    if (!boundField.startsWith(QLatin1Char('%'))) {
        link.linkField = boundField;
        return link;
    }
    const QString rest = boundField.mid(1);
    const qsizetype second = rest.indexOf(QLatin1Char('%'));
    if (second < 0) {
        link.display = Hyperlink::Display::CellText;
        link.linkField = rest;
    } else {
        link.display = Hyperlink::Display::Field;
        link.linkField = rest.left(second);
        link.displayField = rest.mid(second + 1);
    }
    return link;
}

QString hyperlinkText(const Hyperlink& link) {
    switch (link.display) {
        case Hyperlink::Display::None:
            return link.linkField;
        case Hyperlink::Display::CellText:
            return QLatin1Char('%') + link.linkField;
        case Hyperlink::Display::Field:
            return QLatin1Char('%') + link.linkField + QLatin1Char('%') + link.displayField;
    }
    return link.linkField;
}

SortKey parseSortKey(const QString& key) {
    SortKey k;
    if (key.isEmpty()) return k;
    k.field = key.mid(1, kSortFieldLength);
    k.descending = key.startsWith(QLatin1Char('-'));
    return k;
}

QString sortKeyText(const QString& field, bool descending) {
    return (descending ? QLatin1Char('-') : QLatin1Char('+')) + field;
}

}  // namespace documents
