#pragma once
// The report shown after a conversion: what was carried over and what was
// not, in a read-only text box the user can scroll and copy from.
#include <QDialog>

class QPlainTextEdit;
class QPushButton;

namespace accessfile {

class ReportDialog : public QDialog {
    Q_OBJECT
public:
    ReportDialog(const QString& text, QWidget* parent = nullptr);
    QPlainTextEdit* Memo1;
    QPushButton* Button1;
};

}  // namespace accessfile
