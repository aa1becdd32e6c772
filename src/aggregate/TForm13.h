#pragma once
// "データ集計": counts, sum, mean and value frequencies of one field over the
// records the grid shows. Every choice of a field computes anew from the
// database (FieldTally); the window only reads.
#include <QDialog>

#include "documents/BindableFields.h"
#include "platform/Services.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QToolButton;

namespace aggregate {
class MainWindowState;
}

class TForm13 : public QDialog {
    Q_OBJECT
public:
    TForm13(platform::Services& services, aggregate::MainWindowState& mainWindow,
            QWidget* parent = nullptr);

    QLabel* Label1;  // フィールド名
    QComboBox* ComboBox1;
    QGroupBox* GroupBox1;  // 基本統計
    QLabel* Label2;        // selected records
    QLabel* Label3;        // valid records
    QLabel* Label4;        // sum
    QLabel* Label5;        // mean
    QLabel* Label6;        // データ出現数
    QListWidget* ListBox1;
    QToolButton* SpeedButton1;  // 閉じる

    void FormShow();
    void ComboBox1Change();
    void SpeedButton1Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    platform::Services& services_;
    aggregate::MainWindowState& mainWindow_;
    documents::FieldList fields_;
};
