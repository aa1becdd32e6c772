#pragma once
// The password prompt shown when a database does not open without one. The
// typed password is read from Edit1 by the main window after the prompt
// closes; the box is emptied every time the prompt is shown.
#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

class TForm15 : public QDialog {
    Q_OBJECT
public:
    explicit TForm15(QWidget* parent = nullptr);

    QLabel* Label1;
    QLineEdit* Edit1;
    QPushButton* Button1;  // "OK"
    QPushButton* Button2;  // "ｷｬﾝｾﾙ"

    void FormShow();

protected:
    void showEvent(QShowEvent* event) override;
};
