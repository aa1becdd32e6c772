#pragma once
// "カードの設定": the shown table's documents, of which the user makes one the
// card through which a record is viewed, or none. CardDocumentID is read
// before the dialog opens and after it closes with OK.
#include <QDialog>

#include "documents/Registry.h"

class QLabel;
class QListWidget;
class QPushButton;

class TForm12 : public QDialog {
    Q_OBJECT
public:
    explicit TForm12(QWidget* parent = nullptr);

    QLabel* Label1;  // "データ閲覧用の文書を選んで下さい"
    QLabel* Label2;  // the current card: "現在：…"
    QListWidget* ListBox1;
    QPushButton* Button1;  // "選択"
    QPushButton* Button2;  // "解除"
    QPushButton* Button3;  // "ｷｬﾝｾﾙ"

    // The card document's ID, -1 for none.
    int CardDocumentID = -1;

    void setDocuments(const documents::DocumentList& list);
    void FormShow();
    void Button1Click();
    void Button2Click();

protected:
    void showEvent(QShowEvent* event) override;
};
