#pragma once
// The checks the field-settings dialog makes before it accepts a filter.
// Plain code: the dialog gathers its controls into FilterInput, and shows the
// message and moves the focus that FilterVerdict names.
#include <QDate>
#include <QString>

namespace view {

// Which control takes the focus after a refusal.
enum class FilterFocus { None, ListA, ListB, DateA };

struct FilterInput {
    int fieldType = 0;
    int condition = 0;  // index of the chosen condition item
    QString a;          // list A as typed (numbers, texts)
    QString b;          // list B as typed
    QDate dateA;        // date pickers (date-time columns)
    QDate dateB;
    QString booleanText;  // "True" or "False" (boolean columns)
};

struct FilterVerdict {
    bool accepted = false;
    QString message;  // shown under kFilterRefusalCaption when refused
    FilterFocus focus = FilterFocus::None;
    // What is stored when accepted; texts exactly as typed.
    int condition = 0;
    QString a;
    QString b;
};

inline const QString kFilterRefusalCaption = QStringLiteral("設定の中止");

FilterVerdict validateFilter(const FilterInput& input);

}  // namespace view
