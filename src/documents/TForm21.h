#pragma once
// "出力文書の選択": the shown table's documents with a check box each, of
// which the checked ones go into a document file. OK needs one checked.
#include <QDialog>
#include <vector>

#include "documents/Registry.h"

class QListWidget;
class QPushButton;

class TForm21 : public QDialog {
    Q_OBJECT
public:
    explicit TForm21(QWidget* parent = nullptr);

    QListWidget* CheckListBox1;
    QPushButton* Button1;  // "全ﾁｪｯｸ"
    QPushButton* Button2;  // "全ｸﾘｱ"
    QPushButton* Button3;  // "OK"
    QPushButton* Button4;  // "ｷｬﾝｾﾙ"

    // Fills the list, all unchecked.
    void setDocuments(const documents::DocumentList& list);
    // The IDs of the checked items, in list order.
    std::vector<int> checkedIds() const;

    void Button1Click();
    void Button2Click();
    void Button3Click();
};
