#pragma once
// "文書の選択": the list of the shown table's documents from which the user
// picks one. Each item carries its document's ID (Qt::UserRole). OK (or a
// double click) without a chosen item is refused and the dialog stays open.
#include <QDialog>

#include "documents/Registry.h"

class QListWidget;
class QPushButton;
namespace platform {
class Services;
}

class TForm8 : public QDialog {
    Q_OBJECT
public:
    explicit TForm8(platform::Services& services, QWidget* parent = nullptr);

    QListWidget* ListBox1;
    QPushButton* Button1;  // "OK"
    QPushButton* Button2;  // "ｷｬﾝｾﾙ"

    // Fills the list and preselects its first item.
    void setDocuments(const documents::DocumentList& list);
    // The ID of the chosen item, -1 when none is chosen.
    int chosenId() const;

    void Button1Click();

private:
    platform::Services& services_;
};
