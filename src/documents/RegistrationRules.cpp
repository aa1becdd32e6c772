#include "documents/RegistrationRules.h"

#include "documents/Bindings.h"

namespace documents {

QStringList startColumnItems() {
    QStringList items;
    for (char c = 'A'; c <= 'Z'; ++c) items << QString(QLatin1Char(c));
    for (char c = 'A'; c <= 'Z'; ++c) items << QStringLiteral("A") + QLatin1Char(c);
    return items;
}

QStringList startRowItems() {
    QStringList items;
    for (int r = 1; r <= 50; ++r) items << QString::number(r);
    return items;
}

int figureMismatchRow(const QStringList& cells, int blocks) {
    for (int i = 0; i < cells.size(); ++i)
        if (isPictureCell(cells[i]) && pictureNumbers(cells[i]).size() != blocks) return i;
    return -1;
}

void sortKeysFrom(const SortRow rows[3], BlockSettings& settings) {
    QString* keys[3] = {&settings.Sort1, &settings.Sort2, &settings.Sort3};
    bool chain = true;
    for (int i = 0; i < 3; ++i) {
        chain = chain && rows[i].checked;
        *keys[i] = chain ? sortKeyText(rows[i].field, rows[i].descending) : QString();
    }
}

bool sortFieldsRepeat(const SortRow rows[3]) {
    if (!rows[0].checked || !rows[1].checked) return false;
    if (rows[0].field == rows[1].field) return true;
    return rows[2].checked && (rows[2].field == rows[0].field || rows[2].field == rows[1].field);
}

HyperlinkPreset hyperlinkPreset(const QString& boundField, const FieldList& fields) {
    const Hyperlink link = parseHyperlink(boundField);
    HyperlinkPreset preset;
    switch (link.display) {
        case Hyperlink::Display::None:
            preset.label = QStringLiteral("現設定：なし");
            break;
        case Hyperlink::Display::CellText:
            preset.label = QStringLiteral("現設定：セルデータ固定");
            preset.choice = HyperlinkPreset::Choice::CellText;
            break;
        case Hyperlink::Display::Field:
            if (indexOfField(fields, link.displayField) >= 0) {
                preset.label = QStringLiteral("現設定：<") + link.displayField +
                               QStringLiteral(">フィールド");
                preset.choice = HyperlinkPreset::Choice::Field;
                preset.displayField = link.displayField;
            } else {
                preset.label = QStringLiteral("警告：設定フィールドがありません");
            }
            break;
    }
    return preset;
}

QString hyperlinkChoiceText(const QString& linkField, HyperlinkPreset::Choice choice,
                            const QString& displayField) {
    Hyperlink link;
    link.linkField = linkField;
    if (choice == HyperlinkPreset::Choice::CellText) link.display = Hyperlink::Display::CellText;
    if (choice == HyperlinkPreset::Choice::Field) {
        link.display = Hyperlink::Display::Field;
        link.displayField = displayField;
    }
    return hyperlinkText(link);
}

std::vector<QStringList> figureGrid(const QString& figureText, int across, int down) {
    std::vector<QStringList> grid(static_cast<size_t>(std::max(down, 0)));
    for (QStringList& row : grid)
        for (int c = 0; c < across; ++c) row << QString();
    const QString numbers = figureText.startsWith(QLatin1Char('#')) ? figureText.mid(1) : figureText;
    if (numbers.isEmpty()) return grid;
    const QStringList list = numbers.split(QLatin1Char(','));
    for (int i = 0; i < list.size() && i < across * down; ++i)
        grid[static_cast<size_t>(i / across)][i % across] = list[i];
    return grid;
}

}  // namespace documents
