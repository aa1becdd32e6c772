#pragma once
// "開くファイルの選択": which of the databases just created the main window
// opens.
#include <QDialog>

#include "platform/Services.h"

class QLabel;
class QListWidget;
class QPushButton;

class TForm16 : public QDialog {
    Q_OBJECT
public:
    explicit TForm16(platform::Services& services, QWidget* parent = nullptr);
    QLabel* Label1;
    QListWidget* ListBox1;
    QPushButton* Button1;  // 開く
    QPushButton* Button2;  // ｷｬﾝｾﾙ

    void Button1Click();
    void ListBox1DblClick();

private:
    platform::Services& services_;
};
