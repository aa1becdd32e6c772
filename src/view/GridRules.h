#pragma once
// The rules the main window's grid follows, as plain data: how each column
// looks and whether it can be typed into, what each mode shows and enables,
// the hint texts of the status bar, and which cell texts are links. The
// window applies them; tests read them directly.
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

#include "view/FieldDescriptor.h"

namespace view {

enum class CellColour { White, Yellow, Red };

struct ColumnStyle {
    CellColour background = CellColour::White;
    bool readOnly = false;
    QString displayFormat;  // float columns: "0" or "0." plus one zero per decimal
    QStringList pickList;   // "True"/"False" for booleans a current-format database can store
    int width = 80;
    bool titleHighlighted = false;  // the column carries a filter
};

// canModify: the data set can write this field; primaryKey: its name is one
// of the table's key columns (see isPrimaryKeyField).
ColumnStyle columnStyle(const TFieldDescriptor& d, bool canModify, bool primaryKey,
                        bool oldFormatDatabase);

// Key column names are matched without regard to letter case.
bool isPrimaryKeyField(const QString& field, const QStringList& primaryKeyFields);

// A float as its column shows it: rounded to `decimals` places, "." as point.
QString formatWithDecimals(double value, int decimals);

enum class GridMode { Selection = 0, Edit = 1 };

// Everything a mode switch sets, by control object name.
struct ModeLayout {
    bool editing = false;      // cells can be typed into
    bool rowSelect = false;    // whole rows are selected
    bool multiSelect = false;  // several rows (click, Shift, Ctrl)
    bool gridReadOnly = false;
    QStringList enabledControls;   // enabled in this mode
    QStringList disabledControls;  // disabled in this mode
    QStringList shownControls;
    QStringList hiddenControls;
    QString hint;  // the hint panel's text
};
ModeLayout modeLayout(GridMode mode, bool isQueryView, bool oldFormatDatabase);

// The controls a mode enables only in selection mode, and the editing
// buttons it shows only in edit mode on a current-format table.
const QStringList& selectionOnlyControls();
const QStringList& editingButtons();

// The hint panel's text after a mode switch (no column involved).
QString modeHint(GridMode mode, bool isQueryView);

// Input hint of a field type ("整数入力", "20文字入力", ...); "" for others.
QString inputHint(int fieldType, int size);

struct ColumnEnterHint {
    QString hint;
    bool captureCellText = false;  // the cell's text becomes the undo text
};
ColumnEnterHint columnEnterHint(bool isQueryView, GridMode mode, bool canModify,
                                bool oldFormatDatabase, const QString& fieldName, int fieldType,
                                int size);

// Texts of the three status-bar panels.
QString recordCountText(int count);
inline const QString kFilterActiveText = QStringLiteral("フィルタ設定中");
inline const QString kQueryHint = QStringLiteral("クエリー表示中（入力不可）");
inline const QString kSelectionHint = QStringLiteral("選択モード（入力不可）");

// What a double click on a text cell may hand to the desktop: web addresses
// (http, https), absolute paths, and network paths (\\server\share becomes
// smb://server/share). Anything else, and any file that would run as a
// program, gives nullopt.
std::optional<QUrl> linkForCellText(const QString& cellText);

}  // namespace view
