#include "view/GridRules.h"

#include "view/FieldTypes.h"

#include <QFileInfo>
#include <QLocale>

#include <algorithm>
#include <cmath>

#include "text/Text.h"

namespace view {

namespace {
using namespace fieldtype;

bool editableType(int t) {
    switch (t) {
        case kSmallint: case kInteger: case kByte: case kBoolean: case kFloat:
        case kCurrency: case kDateTime: case kMemo: case kText:
            return true;
        default:
            return false;
    }
}
}  // namespace

ColumnStyle columnStyle(const TFieldDescriptor& d, bool canModify, bool primaryKey,
                        bool oldFormatDatabase) {
    ColumnStyle s;
    if (canModify && editableType(d.DataType)) {
        s.background = primaryKey ? CellColour::Yellow : CellColour::White;
        s.readOnly = oldFormatDatabase;
        if (d.DataType == kFloat)
            s.displayFormat = d.Decimals > 0 ? QStringLiteral("0.") + QString(d.Decimals, QLatin1Char('0'))
                                             : QStringLiteral("0");
    } else {
        s.background = CellColour::Red;
        s.readOnly = true;
    }
    if (d.DataType == kBoolean && !oldFormatDatabase)
        s.pickList = {QStringLiteral("True"), QStringLiteral("False")};
    s.width = d.ColumnWidth;
    s.titleHighlighted = d.FilterCondition > 0;
    return s;
}

bool isPrimaryKeyField(const QString& field, const QStringList& primaryKeyFields) {
    return primaryKeyFields.contains(field, Qt::CaseInsensitive);
}

QString formatWithDecimals(double value, int decimals) {
    // Halves round away from zero, as people round by hand ("2.5" shows "3").
    const int d = std::clamp(decimals, 0, 10);
    const double scale = std::pow(10.0, d);
    const double scaled = value * scale;
    const double rounded = std::fabs(scaled) < 1e15 ? std::round(scaled) / scale : value;
    return QString::number(rounded, 'f', d);
}

const QStringList& selectionOnlyControls() {
    static const QStringList names = {
        QStringLiteral("SpeedButton12"), QStringLiteral("SpeedButton1"),
        QStringLiteral("ComboBox1"),     QStringLiteral("SpeedButton2"),
        QStringLiteral("SpeedButton4"),  QStringLiteral("SpeedButton3"),
        QStringLiteral("SpeedButton5"),  QStringLiteral("SpeedButton13"),
        QStringLiteral("SpeedButton17"), QStringLiteral("SpeedButton8"),
    };
    return names;
}

const QStringList& editingButtons() {
    static const QStringList names = {
        QStringLiteral("SpeedButton6"),  QStringLiteral("SpeedButton7"),
        QStringLiteral("SpeedButton10"), QStringLiteral("SpeedButton11"),
        QStringLiteral("SpeedButton15"), QStringLiteral("SpeedButton16"),
        QStringLiteral("SpeedButton18"), QStringLiteral("SpeedButton19"),
    };
    return names;
}

QString modeHint(GridMode mode, bool isQueryView) {
    if (isQueryView) return kQueryHint;
    return mode == GridMode::Edit ? QString() : kSelectionHint;
}

ModeLayout modeLayout(GridMode mode, bool isQueryView, bool oldFormatDatabase) {
    ModeLayout m;
    const bool edit = mode == GridMode::Edit;
    m.editing = edit;
    m.rowSelect = !edit;
    m.multiSelect = !edit;
    m.gridReadOnly = isQueryView && edit;
    (edit ? m.disabledControls : m.enabledControls) = selectionOnlyControls();
    const bool showEditing = edit && !isQueryView && !oldFormatDatabase;
    (showEditing ? m.shownControls : m.hiddenControls) = editingButtons();
    (edit ? m.hiddenControls : m.shownControls) << QStringLiteral("SpeedButton14");
    m.hint = modeHint(mode, isQueryView);
    return m;
}

QString inputHint(int fieldType, int size) {
    switch (fieldType) {
        case kSmallint: case kInteger: return QStringLiteral("整数入力");
        case kByte: return QStringLiteral("整数0～255入力");
        case kBoolean: return QStringLiteral("TrueFalse入力");
        case kFloat: return QStringLiteral("実数入力");
        case kCurrency: return QStringLiteral("通貨数入力");
        case kDateTime: return QStringLiteral("日付入力");
        case kMemo: return QStringLiteral("メモ入力（ﾀﾞﾌﾞﾙｸﾘｯｸ）");
        case kText: return QString::number(size) + QStringLiteral("文字入力");
        default: return QString();
    }
}

ColumnEnterHint columnEnterHint(bool isQueryView, GridMode mode, bool canModify,
                                bool oldFormatDatabase, const QString& fieldName, int fieldType,
                                int size) {
    if (isQueryView) return {kQueryHint, false};
    if (mode == GridMode::Selection) return {kSelectionHint, false};
    if (!canModify || oldFormatDatabase) return {QStringLiteral("入力不可"), false};
    return {fieldName + QStringLiteral("：") + inputHint(fieldType, size), true};
}

QString recordCountText(int count) { return QStringLiteral("データ数：") + QString::number(count); }

std::optional<QUrl> linkForCellText(const QString& cellText) {
    const QString t = text::trimBlanksAndControls(cellText);
    if (t.startsWith(QStringLiteral("http:"), Qt::CaseInsensitive) ||
        t.startsWith(QStringLiteral("https:"), Qt::CaseInsensitive)) {
        QUrl url(t, QUrl::TolerantMode);
        const QString scheme = url.scheme().toLower();
        if (!url.isValid() || url.host().isEmpty() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
            return std::nullopt;
        return url;
    }
    if (t.startsWith(QStringLiteral("\\\\"))) {
        QString rest = t.mid(2);
        rest.replace(QLatin1Char('\\'), QLatin1Char('/'));
        const qsizetype slash = rest.indexOf(QLatin1Char('/'));
        const QString host = slash < 0 ? rest : rest.left(slash);
        if (host.isEmpty()) return std::nullopt;
        QUrl url;
        url.setScheme(QStringLiteral("smb"));
        url.setHost(host);
        if (slash >= 0) url.setPath(rest.mid(slash));
        if (!url.isValid()) return std::nullopt;
        return url;
    }
    if (t.startsWith(QLatin1Char('/'))) {
        // The desktop would run an executable file or a launcher instead of
        // showing it; a cell's text must never start a program.
        const QFileInfo info(t);
        if (info.isFile() && (info.isExecutable() || info.suffix().compare(QLatin1String("desktop"), Qt::CaseInsensitive) == 0))
            return std::nullopt;
        return QUrl::fromLocalFile(t);
    }
    return std::nullopt;
}

}  // namespace view
