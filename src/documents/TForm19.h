#pragma once
// "図の割付設定": which picture of the template each block of a figure
// binding replaces. The grid has one cell per block (BlocksAcross columns,
// BlocksDown rows); the user selects a picture in the shown template and
// clicks the block's cell. It floats above the sheet while the user works
// there.
#include <QDialog>

class QLabel;
class QPushButton;
class QTableWidget;
namespace platform {
class Services;
}
namespace excel {
class TUGExcel;
}

class TForm19 : public QDialog {
    Q_OBJECT
public:
    explicit TForm19(platform::Services& services, QWidget* parent = nullptr);

    QLabel* Label1;  // "＜横n × 縦m＞"
    QLabel* Label2;  // the hint
    QLabel* Label3;  // "割付図番号"
    QTableWidget* SG1;
    QPushButton* Button1;  // OK
    QPushButton* Button2;  // ｷｬﾝｾﾙ

    int BlocksAcross = 1;
    int BlocksDown = 1;
    excel::TUGExcel* Excel = nullptr;
    QString FigureText;  // in: the binding's cell text; out: the new one

    void FormShow();
    // The user clicked a block's cell: it takes the selected picture's number.
    void SG1Click(int row, int column);
    void Button1Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    platform::Services& services_;
};
