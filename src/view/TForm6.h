#pragma once
// The field-settings dialog opened by a click on a column title: sort
// direction (optionally as a secondary key), one filter condition with its
// comparison values, and the decimals of a float column. It edits nothing
// itself; the main window reads Result() after an OK and applies it.
#include <QDialog>
#include <QStringList>

#include "view/FieldDescriptor.h"
#include "view/FilterSql.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QToolButton;

namespace platform {
class Services;
}

struct FieldSettingsResult {
    view::SortDirection direction = view::SortDirection::None;
    bool secondarySort = false;
    int condition = 0;
    QString compareA;
    QString compareB;
    int decimals = 1;
};

class TForm6 : public QDialog {
    Q_OBJECT
public:
    explicit TForm6(platform::Services& services, QWidget* parent = nullptr);

    // Suggested values for lists A and B; set by the opener before FormShow
    // and emptied whenever the dialog closes.
    QStringList DistinctValues;

    // Fills the controls for one column: its descriptor and whether a sort is
    // already set (only then can the new one be secondary).
    void FormShow(const TFieldDescriptor& column, bool sortAlreadySet);

    // What the user chose; meaningful after the dialog closed with OK.
    FieldSettingsResult Result() const { return result_; }

private:
    void OkClick();
    void CancelClick();
    void SortButtonToggled(QToolButton* pressed, bool down);

    platform::Services& services_;
    int fieldType_ = 0;
    FieldSettingsResult result_;

    QLineEdit* Edit2;
    QToolButton* SpeedButton1;  // A-Z
    QToolButton* SpeedButton2;  // Z-A
    QCheckBox* CheckBox1;
    QLabel* Label3;             // 小数表示桁
    QSpinBox* UpDown1;
    QGroupBox* GroupBox1;
    QLabel* Label5;             // 比較値B
    QLabel* Label7;             // type label
    QComboBox* ComboBox1;       // condition
    QComboBox* ComboBox2;       // True / False
    QComboBox* ComboBox3;       // A
    QComboBox* ComboBox4;       // B
    QDateEdit* DateTimePicker1;
    QDateEdit* DateTimePicker2;
    QPushButton* Button1;       // OK
    QPushButton* Button2;       // ｷｬﾝｾﾙ
};
