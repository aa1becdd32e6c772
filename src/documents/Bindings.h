#pragma once
// The forms a binding's two texts take, and the sort keys of a document,
// in one place for everyone who writes or reads them (registration, output,
// the card view, document files).
#include <QString>
#include <QStringList>

namespace documents {

inline const QString kDateField = QStringLiteral("!日付");
inline const QString kSerialField = QStringLiteral("!通し番号");

// A figure binding's cell text starts with "#".
bool isPictureCell(const QString& cell);
// The picture numbers of a figure binding, all of them ("#3,4,7" gives 3, 4,
// 7); empty for a cell address.
QStringList pictureNumbers(const QString& cell);
// "#" + the numbers joined by ",".
QString pictureCell(const QStringList& numbers);

// The marker the registration window writes into a bound cell of the
// template: "(氏名)", "(!日付)", "(!通し番号)".
QString cellMarker(const QString& field);

// A hyperlink binding's field text: "%" + link field, optionally followed by
// "%" + the field whose value is shown.
struct Hyperlink {
    enum class Display {
        None,      // not a hyperlink: the text is a plain binding
        CellText,  // "%" + field: the template's own cell text is shown
        Field,     // "%" + field + "%" + display field
    };
    Display display = Display::None;
    QString linkField;     // the bound field without the markings
    QString displayField;  // Display::Field only
};
Hyperlink parseHyperlink(const QString& boundField);
QString hyperlinkText(const Hyperlink& link);

// A sort key: "+" + field (ascending) or "-" + field (descending).
struct SortKey {
    QString field;  // at most 200 characters are used
    bool descending = false;
};
// nullopt-like: an empty key gives an empty field.
SortKey parseSortKey(const QString& key);
QString sortKeyText(const QString& field, bool descending);

}  // namespace documents
