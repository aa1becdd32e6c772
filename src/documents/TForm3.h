#pragma once
// "文書登録": where the user creates, changes and deletes the shown table's
// documents. While a document is being added or changed its template is
// shown in the sheet window and this dialog stays above it: the user selects
// cells or a picture there and binds them to fields here, and every bound
// cell gets a visible marker ("(氏名)", "(!日付)", "(!通し番号)") in the
// template, which is saved with the markers when the edit ends.
//
// Idle, adding ("追加中") and changing ("変更中"); while adding or changing
// the buttons that start other work are disabled. The dialog also exports
// and imports document files and sets the table's card document.
#include <QDialog>
#include <memory>

#include "documents/BindableFields.h"
#include "documents/Registry.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QSpinBox;
class QTableWidget;
class QTabWidget;
class QToolButton;
class TForm17;
class TForm19;
class TForm21;
namespace platform {
class Services;
}
namespace excel {
class TUGExcel;
}
namespace documents {
class MainWindowState;
}

class TForm3 : public QDialog {
    Q_OBJECT
public:
    TForm3(platform::Services& services, documents::MainWindowState& main,
           QWidget* parent = nullptr);
    ~TForm3() override;

    QToolButton* SpeedButton1;   // 追加 (a document)
    QToolButton* SpeedButton2;   // 変更
    QToolButton* SpeedButton3;   // 削除
    QLabel* Label2;              // "追加中" / "変更中"
    QGroupBox* GroupBox1;        // the editing area
    QLineEdit* Edit1;            // 文書名
    QComboBox* ComboBox1;        // 出力記録: "＜なし＞" + the fields
    QTabWidget* PageControl1;    // "データ設定", "オプション"
    QListWidget* ListBox1;       // ﾌｨｰﾙﾄﾞ一覧
    QTableWidget* SG1;           // 出力データ: セル / 記入フィールド
    QToolButton* SpeedButton4;   // 追加 (a binding)
    QToolButton* SpeedButton5;   // 削除 (a binding)
    QToolButton* SpeedButton13;  // 再編
    QToolButton* SpeedButton11;  // 通し番号
    QToolButton* SpeedButton9;   // 作成日付
    QToolButton* SpeedButton12;  // ﾊｲﾊﾟｰﾘﾝｸ
    QCheckBox* CheckBox1;        // ブロック出力を使う
    QGroupBox* GroupBox2;
    QSpinBox* UpDown1;  // blocks across, 1..10 (its read-only text is Edit2)
    QSpinBox* UpDown2;  // cells across, 1..127 (Edit3)
    QSpinBox* UpDown3;  // blocks down, 1..100 (Edit4)
    QSpinBox* UpDown4;  // cells down, 1..127 (Edit5)
    QComboBox* ComboBox2;  // start column "A".."AZ"
    QComboBox* ComboBox3;  // start row "1".."50"
    QCheckBox* CheckBox2;  // 出力順を指定する
    QGroupBox* GroupBox3;
    QCheckBox* CheckBox3;  // 第１ソート
    QCheckBox* CheckBox4;  // 第２ソート
    QCheckBox* CheckBox5;  // 第３ソート
    QComboBox* ComboBox4;
    QComboBox* ComboBox5;
    QComboBox* ComboBox6;
    QComboBox* ComboBox7;  // "A-Z↓" / "Z-A↓"
    QComboBox* ComboBox8;
    QComboBox* ComboBox9;
    QToolButton* SpeedButton6;   // 登録
    QToolButton* SpeedButton8;   // ｷｬﾝｾﾙ
    QToolButton* SpeedButton10;  // カード設定
    QToolButton* SpeedButton14;  // ﾌｧｲﾙ入力
    QToolButton* SpeedButton15;  // ﾌｧｲﾙ出力
    QToolButton* SpeedButton7;   // 閉じる

    TForm19* Form19;
    TForm17* Form17;
    TForm21* Form21;

    // The document being changed; -1 while adding and after a deletion.
    int CurrentDocumentID = -1;
    // The template shown while adding or changing; one per showing.
    std::unique_ptr<excel::TUGExcel> RegistrationExcel;

    void FormShow();
    void FormClose();
    void SpeedButton1Click();   // start adding
    void SpeedButton2Click();   // start changing
    void SpeedButton3Click();   // delete a document
    void SpeedButton4Click();   // bind the selected field to the sheet's selection
    void SpeedButton5Click();   // remove the current binding
    void SpeedButton13Click();  // re-assign a figure binding's pictures
    void SpeedButton11Click();  // serial number binding
    void SpeedButton9Click();   // date binding
    void SpeedButton12Click();  // hyperlink setting of the current binding
    void SpeedButton6Click();   // save
    void SpeedButton8Click();   // abandon the edit
    void SpeedButton10Click();  // card settings
    void SpeedButton14Click();  // import a document file
    void SpeedButton15Click();  // export a document file
    void CheckBox1Click();
    void CheckBox2Click();
    void CheckBox3Click();
    void CheckBox4Click();
    void CheckBox5Click();

    // The binding rows as they stand (empty when the only row is empty).
    documents::LinkList bindingRows() const;

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    void buildControls();
    void setEditing(const QString& mode);  // "" = idle
    void clearBindings();
    // The row a new binding goes into: row 0 while it is empty, else a new
    // last row.
    int bindingRowForNew();
    void setBindingRow(int row, const QString& cell, const QString& field);
    QString cellText(int row, int column) const;
    void addSpecialBinding(const QString& field);
    // The address the user has selected in the shown template, after the
    // checks that every binding button makes; "" after a refusal.
    QString selectedAddress(const QString& caption, bool pictureAllowed);
    int blocks() const;
    bool runFigureDialog(QString& figureText);
    void loadSortKeys(const documents::BlockSettings& settings);
    bool findSortKey(const QString& key, QComboBox* field, QComboBox* direction);
    // Closes the shown template, keeping the markers written into it.
    void closeTemplate();
    void exportFile();
    void importFile();

    platform::Services& services_;
    documents::MainWindowState& main_;
    documents::FieldList fields_;
    QString mode_;
    bool mainWasVisible_ = false;
};
