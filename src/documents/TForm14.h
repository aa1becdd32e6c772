#pragma once
// "雛形の選択": before a template is edited, whether the template itself is
// changed or a copy of it that becomes a new document. TemplatePath and
// DocumentName come in as the document's and go out as the copy's when the
// copy is chosen.
#include <QDialog>

class QButtonGroup;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QToolButton;
namespace platform {
class Services;
}

class TForm14 : public QDialog {
    Q_OBJECT
public:
    explicit TForm14(platform::Services& services, QWidget* parent = nullptr);

    QGroupBox* RadioGroup1;  // "編集対象"
    QRadioButton* RadioButton1;  // "雛形を修正"
    QRadioButton* RadioButton2;  // "雛形の複製を修正"
    QLineEdit* Edit1;            // the copy's path, read-only
    QLabel* Label1;              // "文書名"
    QLineEdit* Edit2;            // the copy's name
    QToolButton* SpeedButton2;   // "ファイル"
    QPushButton* Button1;        // OK
    QPushButton* Button2;        // ｷｬﾝｾﾙ

    QString TemplatePath;
    QString DocumentName;
    QString TemplateExt;  // with its dot

    // 0: the template itself, 1: a copy.
    int itemIndex() const;
    void setItemIndex(int index);

    void FormShow();
    void RadioGroup1Click();
    void SpeedButton2Click();
    void Button1Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    platform::Services& services_;
    QButtonGroup* items_;
};

namespace documents {
// True when a and b name the same file, however they are written (relative
// or absolute, through links when the file exists).
bool sameFile(const QString& a, const QString& b);
}  // namespace documents
