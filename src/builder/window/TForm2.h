#pragma once
// "データベース作成": the database builder. Page 1 makes a new database from a
// list (one workbook or CSV file) or from filled-in forms (one workbook per
// record); page 2 adds tables and fields to the open database; page 3
// appends another database's records to the shown table. The rules live in
// builder/Builder.h; the handlers here gather the controls and show results.
#include <QDialog>
#include <QStringList>
#include <memory>
#include <vector>

#include "builder/Builder.h"
#include "builder/MainWindowState.h"
#include "platform/Services.h"

class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QSpinBox;
class QTabWidget;
class QTableWidget;
class QToolButton;
class QWidget;
class TForm7;
namespace excel {
class TUGExcel;
}

class TForm2 : public QDialog {
    Q_OBJECT
public:
    TForm2(platform::Services& services, builder::MainWindowState& mainWindow,
           QWidget* parent = nullptr);
    ~TForm2() override;

    // --- Controls, under their design names -------------------------------
    QTabWidget* PageControl1;
    // Page 1: ﾃﾞｰﾀﾍﾞｰｽ作成
    QToolButton* SpeedButton1;  // 開く
    QLineEdit* Edit1;
    QLabel* Label5;  // フィールド一覧
    QLabel* Label1;  // field count
    QLabel* Label4;  // total of text widths
    QTableWidget* SG1;
    QToolButton* SpeedButton2;  // 追加
    QToolButton* SpeedButton5;  // 変更
    QToolButton* SpeedButton6;  // 削除
    QGroupBox* GroupBox1;       // 選択ﾌｨｰﾙﾄﾞの編集
    QLineEdit* Edit3;
    QToolButton* SpeedButton7;  // copy the selected cell
    QGroupBox* RadioGroup1;     // データ型
    QButtonGroup* RadioGroup1Items;
    QLabel* Label7;      // 文字数
    QSpinBox* UpDown1;   // its line edit is Edit4
    QLineEdit* Edit4;
    QWidget* UpDown2;    // ±10
    QToolButton* SpeedButton3;  // 作成
    QToolButton* SpeedButton4;  // ｷｬﾝｾﾙ
    QToolButton* SpeedButton8;  // 閉じる
    QLabel* Label6;
    QProgressBar* ProgressBar1;
    // Page 2: ﾃｰﾌﾞﾙ・ﾌｨｰﾙﾄﾞ追加
    QListWidget* ListBox1;
    QListWidget* ListBox2;
    QLabel* Label9;
    QLabel* Label10;
    QLineEdit* Edit2;
    QGroupBox* RadioGroup2;
    QButtonGroup* RadioGroup2Items;
    QLabel* Label13;  // 文字数
    QSpinBox* UpDown3;  // its line edit is Edit5
    QLineEdit* Edit5;
    QWidget* UpDown4;
    QToolButton* SpeedButton9;   // テーブル追加
    QToolButton* SpeedButton10;  // フィールド追加
    // Page 3: データ追加
    QToolButton* SpeedButton11;  // 開く
    QLineEdit* Edit6;
    QComboBox* ComboBox1;
    QListWidget* ListBox3;
    QListWidget* ListBox4;
    QToolButton* SpeedButton12;  // データ追加

    TForm7* Form7;

    // --- State ------------------------------------------------------------
    std::unique_ptr<excel::TUGExcel> SourceExcel;
    std::vector<builder::FieldDefinition> Fields;  // the grid's rows; empty list: none
    int TotalTextWidth = 0;
    QStringList SourceFiles;
    QStringList CreatedDatabases;
    bool StructureChanged = false;
    int TableFieldCount = 0;
    int TableTextWidth = 0;
    QStringList TableFields;
    std::vector<builder::FieldInfo> DestinationFields;
    builder::ImportPlan Plan;
    platform::FileDialogRequest OpenDialog1;
    platform::FileDialogRequest OpenDialog2;
    platform::FileDialogRequest SaveDialog1;

    // --- Page 1 -------------------------------------------------------------
    void FormShow();
    void SetEditing(bool on);
    void SpeedButton1Click();  // open a source
    void UpdateTotalTextWidth();
    void SG1Click();
    void SpeedButton2Click();  // add
    void SpeedButton5Click();  // change
    void SpeedButton6Click();  // delete
    void SpeedButton7Click();  // copy the selected cell
    void RadioGroup1Click();
    void UpDown2ChangingEx(bool up);
    void SpeedButton3Click();  // create
    void SpeedButton4Click();  // abandon the source
    void SpeedButton8Click();  // close
    bool ValidateFieldName(const QString& name, const QString& caption, int exclude);
    // --- Page 2 -------------------------------------------------------------
    void RadioGroup2Click();
    void UpDown4ChangingEx(bool up);
    void ListBox1Click();
    void SpeedButton9Click();   // add a table
    void SpeedButton10Click();  // add a field
    // --- Page 3 -------------------------------------------------------------
    void SpeedButton11Click();  // choose the source database
    void ComboBox1Change();
    void SpeedButton12Click();  // import

    // The shown page 2 and 3 are offered (what the main window shows allows them).
    bool structurePageOffered() const;
    bool importPageOffered() const;

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    void buildPage1(QWidget* page);
    void buildPage2(QWidget* page);
    void buildPage3(QWidget* page);
    void resetGrid();
    void fillGrid();
    void selectRow(int row);
    int selectedRow() const;
    void showTypeInEditor(int code, int width);
    QString editorTypeLabel() const;
    bool excelAliveOr(const QString& caption);
    // The selection in the sheet as an address, or "" after the refusal.
    QString selectedCellOr();
    void abandonSource(bool keepList);
    void fillStructurePage();
    void fillImportPage();
    void refreshTableLabels();

    platform::Services& services_;
    builder::MainWindowState& mainWindow_;
    bool perFile_ = false;
    bool pagesOffered_[2] = {false, false};
};
