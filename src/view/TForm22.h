#pragma once
// The memo editor: shows the long text of one memo field of the current
// record, which the grid cannot show in full. One window per memo field of
// the shown table, owned by the main window. Typing writes the field of the
// current record through its MemoBinding; posting is left to the grid, so
// closing the window neither stores nor discards.
#include <QDialog>

#include <memory>

class QPlainTextEdit;
class QStatusBar;
class QToolButton;

namespace platform {
class Services;
}

namespace view {

// The field of the current record a memo editor is bound to.
class MemoBinding {
public:
    virtual ~MemoBinding() = default;
    virtual QString text() const = 0;
    // Writes into the current record (putting it into edit state); may throw
    // what the data set throws.
    virtual void setText(const QString& text) = 0;
};

}  // namespace view

class TForm22 : public QDialog {
    Q_OBJECT
public:
    TForm22(platform::Services& services, const QString& fieldName,
            std::unique_ptr<view::MemoBinding> binding, QWidget* parent = nullptr);
    ~TForm22() override;

    // Set by the opener before each showing: may the field be modified.
    bool Editable = false;

    QString fieldName() const { return fieldName_; }

    // Loads the current record's text and sets the editing state; the opener
    // calls it right before showing the window.
    void FormShow();

protected:
    // Ctrl+Z goes through the same one-step undo as "戻る".
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void MemoChanged();
    void CutClick();
    void CopyClick();
    void PasteClick();
    void UndoClick();

    platform::Services& services_;
    QString fieldName_;
    std::unique_ptr<view::MemoBinding> binding_;
    bool loading_ = false;

    QPlainTextEdit* DBMemo1;
    QToolButton* SpeedButton1;  // 閉じる
    QToolButton* SpeedButton2;  // 切り取り
    QToolButton* SpeedButton3;  // コピー
    QToolButton* SpeedButton4;  // 貼付け
    QToolButton* SpeedButton5;  // 戻る
    QStatusBar* StatusBar1;
};
