#pragma once
// "ハイパーリンクの設定": whether a text field's binding becomes a link on
// its cell, and which text the cell then shows (its own, or another field's).
#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;

class TForm17 : public QDialog {
    Q_OBJECT
public:
    explicit TForm17(QWidget* parent = nullptr);

    QLabel* Label1;  // the current setting, blue
    QRadioButton* RadioButton1;  // "解除する"
    QRadioButton* RadioButton2;  // "表示名をセル内容で固定する"
    QRadioButton* RadioButton3;  // "表示名を下記フィールドにする"
    QComboBox* ComboBox1;        // every bindable field
    QPushButton* Button1;        // OK
    QPushButton* Button2;        // ｷｬﾝｾﾙ
};
