#pragma once
// "文書出力": the output dialog. The main window fills its inputs (the
// chosen document, the records query in the document's order, the grid's
// selection, the bindings and block settings) and shows it; its buttons
// start an output run in one of three modes (save, print, preview). The run
// itself is DocumentRun; this window gathers the choices, shows progress and
// turns failures into messages.
#include <QDialog>
#include <functional>
#include <memory>

#include "documents/BindableFields.h"
#include "documents/Registry.h"
#include "output/document/RecordSelection.h"
#include "platform/Services.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QRadioButton;
class QSpinBox;
class QToolButton;

namespace db {
class Connection;
class DataSet;
}  // namespace db
namespace excel {
class TUGExcel;
}

class TForm5 : public QDialog {
    Q_OBJECT
public:
    // userDatabase: the main window's connection, which outlives the dialog.
    TForm5(platform::Services& services, db::Connection& userDatabase, QWidget* parent = nullptr);
    ~TForm5() override;

    QLineEdit* Edit1;            // 登録名 (read-only)
    QRadioButton* RadioButton1;  // 選択 n 件
    QRadioButton* RadioButton2;  // 全て n 件
    QLabel* Label1;              // ファイル名の
    QLabel* Label2;              // 付加フィールド
    QComboBox* ComboBox1;        // the file-name field
    QLabel* Label6;              // 通し（開始）番号
    QLabel* Label7;              // （印刷のみ有効）
    QSpinBox* CSpinEdit1;        // the serial number to start from
    QLabel* Label3;              // 部数
    QLineEdit* Edit2;            // copies
    QSpinBox* UpDown1;           // the arrows beside Edit2
    QCheckBox* CheckBox1;        // Webﾍﾟｰｼﾞ
    QToolButton* SpeedButton1;   // 保存
    QToolButton* SpeedButton2;   // 印刷
    QToolButton* SpeedButton4;   // 表示
    QToolButton* SpeedButton3;   // 閉じる
    QLabel* Label5;              // 出力中：l / n
    QProgressBar* ProgressBar1;
    QLabel* Label9;              // the note on print settings
    platform::FileDialogRequest SaveDialog1;
    std::unique_ptr<db::DataSet> ADODataSet1;  // the records to output

    // --- Inputs, set by the main window before showing -----------------------
    QString ProgramFolder;  // ends with '/'
    QString ExcelProgID;
    QString TableName;    // the shown table, for its bindable fields
    QString RecordsSql;   // the records query, in the document's order
    QString TemplatePath;
    QString TemplateSheet;
    QString LogField;
    int SerialNumber = 1;
    documents::BlockSettings Block;
    docoutput::SelectedRecords SelectedRows;
    documents::LinkList* Bindings = nullptr;  // owned by the main window
    // Called when the dialog created the print log, so the main window can
    // list the new table.
    std::function<void()> printLogCreated;
    // Where the dialog's printing would go; tests print to PDF.
    // (The sheet window's printer source decides; kept for symmetry.)

    // --- State --------------------------------------------------------------
    std::unique_ptr<excel::TUGExcel> Excel;
    documents::FieldList EligibleFields;
    bool HasSerialBinding = false;

    // Record scope as the main window sets it: counts in the captions and
    // tags, the selection button enabled and checked only with a selection.
    void setRecordCounts(int selected, int all);

    void FormShow();
    void FormClose();
    void SpeedButton1Click();  // 保存
    void SpeedButton2Click();  // 印刷
    void SpeedButton4Click();  // 表示
    void SpeedButton3Click();  // 閉じる
    // One output run; base "" prints, "@@@@" previews, anything else saves.
    // Returns true when every sheet was written.
    bool RunOutput(const QString& base, const QString& extension, bool web);

    int copies() const;

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    void showProgress(int record, int total);

    platform::Services& services_;
    db::Connection& userDatabase_;
    QString excelFilter_;
};
