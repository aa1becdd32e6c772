#pragma once
// "書き込みシートの選択": the small note that floats above the shown workbook
// while the user activates the sheet the list is to be written into. OK
// means "the active sheet now", ｷｬﾝｾﾙ means no writing at all. The caller
// shows it with excel::window::showAbove, which keeps it on top of the sheet
// window without taking the focus from it.
#include <QDialog>

class QLabel;
class QPushButton;

class TForm20 : public QDialog {
    Q_OBJECT
public:
    explicit TForm20(QWidget* parent = nullptr);

    QLabel* Label1;
    QLabel* Label2;  // the warning, in red
    QLabel* Label3;
    QPushButton* SpeedButton1;  // OK
    QPushButton* SpeedButton2;  // ｷｬﾝｾﾙ

    void SpeedButton1Click();
    void SpeedButton2Click();
};
