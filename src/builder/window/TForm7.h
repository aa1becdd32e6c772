#pragma once
// "データ範囲の指定": floats above the sheet window while the user selects the
// left-most field-name cell there, and closes with OK.
#include <QDialog>

class QLabel;
class QPushButton;

class TForm7 : public QDialog {
    Q_OBJECT
public:
    explicit TForm7(QWidget* parent = nullptr);
    QLabel* Label1;
    QLabel* Label2;
    QPushButton* Button1;
};
