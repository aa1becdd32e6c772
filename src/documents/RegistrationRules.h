#pragma once
// The rules of the registration window that do not need a window: the start
// cell items of block output, the check of figure bindings against the
// block counts, the sort keys from the three sort rows, and how a binding's
// hyperlink setting is shown and changed.
#include <QString>
#include <QStringList>
#include <vector>

#include "documents/BindableFields.h"
#include "documents/Registry.h"

namespace documents {

// "A".."Z", "AA".."AZ": the start columns of block output.
QStringList startColumnItems();
// "1".."50": the start rows.
QStringList startRowItems();

// The first of cells (column 0 of the binding rows) that is a figure binding
// whose picture count is not blocks; -1 when all match.
int figureMismatchRow(const QStringList& cells, int blocks);

// One of the three sort rows as the window shows it.
struct SortRow {
    bool checked = false;
    QString field;
    bool descending = false;
};
// The three stored keys: a key is written only when its row and all rows
// before it are checked.
void sortKeysFrom(const SortRow rows[3], BlockSettings& settings);
// True when two checked rows (of those that count) name the same field.
bool sortFieldsRepeat(const SortRow rows[3]);

// How the hyperlink dialog opens for a binding's field text.
struct HyperlinkPreset {
    enum class Choice { Off, CellText, Field };
    QString label;        // "現設定：…" or the warning
    Choice choice = Choice::Off;
    QString displayField;  // Choice::Field only
};
HyperlinkPreset hyperlinkPreset(const QString& boundField, const FieldList& fields);
// The field text the binding gets for a choice in that dialog.
QString hyperlinkChoiceText(const QString& linkField, HyperlinkPreset::Choice choice,
                            const QString& displayField);

// A figure binding's numbers spread over a grid of across x down cells, row
// by row; missing cells empty, numbers beyond the last cell dropped.
std::vector<QStringList> figureGrid(const QString& figureText, int across, int down);

}  // namespace documents
