#pragma once
// "出力記録の確認": the output history of the main grid's current record,
// under each document of the shown table that keeps a print log. The main
// window fills ListBox1 (document names) and ListBox3 (their log fields, at
// the same index) and shows it; choosing a document lists that record's rows
// of "_印刷記録_", newest first.
#include <QDialog>
#include <functional>

#include "platform/Services.h"

class QLabel;
class QListWidget;
class QToolButton;

namespace db {
class Connection;
}

class TForm18 : public QDialog {
    Q_OBJECT
public:
    TForm18(platform::Services& services, db::Connection& userDatabase, QWidget* parent = nullptr);

    QLabel* Label1;         // 出力記録がある文書
    QListWidget* ListBox1;  // document names
    QListWidget* ListBox3;  // hidden: each document's log field
    QLabel* Label3;         // 出力記録 / 出力記録： n 件
    QListWidget* ListBox2;  // the history lines
    QToolButton* SpeedButton1;  // 閉じる

    // The text of the grid's current record in a field (not trimmed).
    std::function<QString(const QString& field)> currentFieldText;

    void FormShow();
    void ListBox1Click();
    void SpeedButton1Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    platform::Services& services_;
    db::Connection& userDatabase_;
};
