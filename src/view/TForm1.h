#pragma once
// The main window: the toolbar, the table box, the mode switch, the grid and
// the status bar, and the state every job of the program reads (the open
// database, its connection and data set, the field descriptors, what start-up
// detected). Handlers stay short: they gather what the user chose, call the
// plain code of this folder (Catalogue, Detection, GridRules, ...) and show
// the result. The grid's own behaviour lives in TForm1Grid.cpp.
#include <QDateTime>
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

#include "aggregate/MainWindowState.h"
#include "builder/MainWindowState.h"
#include "db/Db.h"
#include "documents/BindableFields.h"
#include "documents/MainWindowState.h"
#include "documents/Registry.h"
#include "favourites/MainWindowState.h"
#include "output/MainWindowState.h"
#include "platform/Services.h"
#include "view/FieldDescriptor.h"

class QButtonGroup;
class QComboBox;
class QDialog;
class QGroupBox;
class QLabel;
class QRadioButton;
class QStatusBar;
class QTableView;
class QToolButton;
class TForm11;
class TForm12;
class TForm13;
class TForm3;
class TForm14;
class TForm15;
class TForm18;
class TForm5;
class TForm16;
class TForm2;
class TForm4;
class TForm58;
class TForm6;
class TForm8;
class TForm9;
namespace view {
class RecordGrid;
class RecordModel;
}  // namespace view

// One memo editor per memo field of the shown object, owned by the main window.
struct MemoEditorEntry {
    QString fieldName;
    QPointer<QDialog> editor;
};

class TForm1 : public QMainWindow,
              public output::MainWindowState,
              public documents::MainWindowState,
              public aggregate::MainWindowState,
              public favourites::MainWindowState,
              public builder::MainWindowState {
    Q_OBJECT
public:
    // programFolder: the folder of the system files, ending with '/'; empty
    // means the folder of the executable (tests pass their own).
    explicit TForm1(platform::Services& services, const QString& programFolder = QString(),
                    QWidget* parent = nullptr);
    ~TForm1() override;

    // --- Controls, under their design names -------------------------------
    QWidget* Panel1;
    QToolButton* SpeedButton1;   // 開く
    QToolButton* SpeedButton2;   // DB作成
    QToolButton* SpeedButton3;   // 一覧出力
    QToolButton* SpeedButton4;   // 文書登録
    QToolButton* SpeedButton5;   // 文書出力
    QToolButton* SpeedButton6;   // ﾃﾞｰﾀ削除
    QToolButton* SpeedButton7;   // ﾃﾞｰﾀ戻す
    QToolButton* SpeedButton8;   // 終了
    QToolButton* SpeedButton9;   // ﾌｨﾙﾀ解除
    QToolButton* SpeedButton10;  // コピー
    QToolButton* SpeedButton11;  // 貼付け
    QToolButton* SpeedButton12;  // お気に入り
    QToolButton* SpeedButton13;  // 雛形編集
    QToolButton* SpeedButton14;  // 選択解除
    QToolButton* SpeedButton15;  // ファイル名貼付け
    QToolButton* SpeedButton16;  // URL名貼付け
    QToolButton* SpeedButton17;  // ﾃﾞｰﾀ集計
    QToolButton* SpeedButton18;  // ﾃﾞｰﾀ追加
    QToolButton* SpeedButton19;  // フォルダ名貼付け
    QComboBox* ComboBox1;        // the shown table's name is its text
    QGroupBox* RadioGroup1;      // 選択モード / 編集モード
    QButtonGroup* RadioGroup1Items;
    view::RecordGrid* DBGrid1;  // the grid; its model is set by TForm1Grid.cpp
    QStatusBar* StatusBar1;

    // RadioGroup1's chosen item: 0 selection mode, 1 edit mode.
    int radioGroupIndex() const;
    void setRadioGroupIndex(int index);
    // The three status-bar panels: 0 record count, 1 filter, 2 hint.
    QString panelText(int panel) const;
    void setPanelText(int panel, const QString& text);
    // SpeedButton1 .. SpeedButton19 by number.
    QToolButton* speedButton(int number) const;

    // --- Connections and data sets ----------------------------------------
    db::Connection ADOConnection1;  // the user database
    db::DataSet ADODataSet1{ADOConnection1};
    // The system store: connected only for the duration of each store operation.
    db::Connection ADOConnection2;
    db::DataSet ADODataSet3{ADOConnection2};
    db::Command ADOCommand1{ADOConnection2};

    // --- State every job reads --------------------------------------------
    QString ProgramFolder;  // ends with '/'
    QString DatabasePath;
    QString DatabasePassword;
    QString BackupPath;
    QDateTime OpenedFileTime;
    bool OldFormatDatabase = false;

    QString ExcelProgID;
    double ExcelVersion = 0;
    bool XlsxCapable = false;
    bool AceAvailable = false;
    QString ProviderPrefix;
    // Filters decided at first show. Dialogs that open workbooks or databases
    // take theirs from here: ExcelFilter (list output, registration, output),
    // ExcelFilter + kCsvFilterPart (builder), AccessFilter (builder, favourites).
    QString ExcelFilter;
    QString AccessFilter;
    platform::FileDialogRequest OpenDialog1;

    bool IsQueryView = false;
    QString QuerySql;
    QString CurrentSql;
    QStringList PrimaryKeyFields;
    std::vector<MemoEditorEntry> MemoEditors;
    QString SavedCellText;
    QString OrderByClause;
    FieldDescriptorList FieldDescriptors;

    // The password prompt; created by start-up, not owned here.
    TForm15* Form15 = nullptr;
    // List output; created on first use unless set before (tests hand in
    // one that prints to PDF). Owned by this window.
    TForm4* Form4 = nullptr;
    // The URL search window of "URL名貼付け"; created on first use unless set
    // before (tests hand in one with their own browser). Owned by this window.
    TForm58* Form58 = nullptr;
    // Document output and the output-record dialog; created on first use
    // unless set before. Owned by this window.
    TForm5* Form5 = nullptr;
    TForm18* Form18 = nullptr;
    // The file dialog of "ファイル名貼付け": any file, no filter.
    platform::FileDialogRequest OpenDialog2;

    // --- Life cycle ---------------------------------------------------------
    void FormCreate();
    void FormShow();
    bool FormCloseQuery();  // true when the window may close
    void FormDestroy();
    void SetCaption(const QString& path);

    // --- Opening a database -------------------------------------------------
    void SpeedButton1Click();
    // Opens file as the open dialog does, then shows table (or the first
    // table when table is "" or not in the database). Used for the command line.
    void OpenDatabase(const QString& file, const QString& table = QString());
    // The command line's database; refused when opening is not possible.
    void OpenFromCommandLine(const QString& file, const QString& table);
    // A genuine Access file cannot be opened as it is: it is offered for
    // conversion and the new file is opened instead (TForm1AccessFiles.cpp).
    void OpenGenuineAccessFile(const QString& file, const QString& table);
    void ConnectDatabase(const QString& path);
    bool TryConnectDatabase(const QString& path);
    void ListTablesAndQueries(const QString& path, QStringList& list);
    bool IsSavedQuery(const QString& path, const QString& name);
    QString GetQuerySql(const QString& name);
    int GetPrimaryKeyFields(const QString& path, const QString& table, QStringList& list);
    bool IsNewFormatDatabase(const QString& path);
    void BackupOnClose();

    // --- Favourites (TForm1Favourites.cpp) ----------------------------------
    void SpeedButton12Click();  // お気に入り
    // Opens file as a favourite does: shows table, which must be in the
    // database (letter case aside), and backs the file up to backup when it
    // is left changed.
    void OpenFavourite(const QString& file, const QString& table, const QString& backup);
    // The command line's favourite, found by its name in the store.
    void OpenFavouriteByName(const QString& name);
    TForm9* Form9 = nullptr;  // the favourites dialog; created on first use, owned here
    // What the favourites dialog reads (favourites::MainWindowState).
    QString databasePassword() const override { return DatabasePassword; }
    QString backupPath() const override { return BackupPath; }
    bool tableShown() const override;
    QString databaseFilter() const override;
    QString closeForRestore() override;
    void reopenAfterRestore(const QString& table) override;

    // --- The table view (TForm1Grid.cpp) ------------------------------------
    void ShowTable();
    void ComboBox1Change();
    void RadioGroup1Click();
    void ApplyColumnLayout();
    void DBGrid1ColEnter();
    void DBGrid1KeyDown(int key);
    void DBGrid1DblClick();
    void DBGrid1MouseUp();
    void DBGrid1TitleClick(int column);
    void ADODataSet1BeforePost();
    void SpeedButton9Click();   // ﾌｨﾙﾀ解除
    void SpeedButton14Click();  // 選択解除
    QString BuildFilteredSql();
    // Rows selected in selection mode, ascending (positions in ADODataSet1).
    QList<int> SelectedRows() const;
    TForm6* Form6 = nullptr;  // the field-settings dialog, owned by this window

    // --- Record editing (TForm1Editing.cpp) ---------------------------------
    void SpeedButton18Click();  // ﾃﾞｰﾀ追加
    void SpeedButton6Click();   // ﾃﾞｰﾀ削除
    void SpeedButton7Click();   // ﾃﾞｰﾀ戻す

    // --- Clipboard and name pasting (TForm1Paste.cpp) -----------------------
    void SpeedButton10Click();  // コピー
    void SpeedButton11Click();  // 貼付け
    void SpeedButton19Click();  // フォルダ名貼付け
    void SpeedButton15Click();  // ファイル名貼付け
    void SpeedButton16Click();  // URL名貼付け

    // --- The document registry (TForm1Documents.cpp) -------------------------
    // Each operation works on the system store through ADOConnection2 and
    // leaves it as it found it (connected only while a job holds it). The
    // list operations see the documents of DatabasePath and the shown table.
    TForm8* Form8 = nullptr;    // document choice; created by start-up, not owned
    TForm12* Form12 = nullptr;  // card settings; created by start-up, not owned
    TForm3* Form3 = nullptr;    // registration; made on first use, owned by this window
    TForm14* Form14 = nullptr;  // template choice; made on first use, owned by this window
    // The external template editor (LibreOffice Calc), "" for the sheet
    // window; found on first use.
    std::optional<QString> TemplateEditor;
    int FindCardDocument(QString& templatePath, QString& sheet);
    void EditCardDocument() override;
    int SelectDocument(QString& templatePath, QString& sheet, QString& name,
                       QString& outputLogField, int& serialNumber);
    int SelectDocument(documents::ChosenDocument& chosen) override;
    int ListDocuments(documents::DocumentList& list);
    bool ReadBlockSettings(int id, documents::BlockSettings& settings);
    void WriteBlockSettings(int id, const documents::BlockSettings& settings);
    int InsertDocument(const QString& name, const QString& databasePath, const QString& table,
                       const QString& templatePath, const QString& sheet,
                       const QString& outputLogField);
    void UpdateDocument(int id, const QString& name, const QString& databasePath,
                        const QString& table, const QString& templatePath, const QString& sheet,
                        const QString& outputLogField, int serialNumber);
    void SetSerialNumber(int id, int serialNumber);
    void DeleteDocument(int id);
    int DuplicateDocument(int id, const QString& newTemplatePath, const QString& newName);
    int ReadBindings(int id, documents::LinkList& list);
    void InsertBinding(int id, const QString& cell, const QString& field);
    void InsertBindings(int id, const documents::LinkList& list);
    void ReplaceBindings(int id, const documents::LinkList& list);
    void ListBindableFields(documents::FieldList& list) override;

    // --- The card view (TForm1Card.cpp) --------------------------------------
    // The card view's window; created on first use, owned by this window.
    TForm11* Form11 = nullptr;
    // Shows the current record in the shown table's card document, when the
    // table has one, and writes the user's saved changes back to it.
    void OpenCardView();

    // What the document windows read (documents::MainWindowState).
    QWidget* mainWindow() override { return this; }
    QString databasePath() const override { return DatabasePath; }
    QString shownTableName() const override;
    db::Connection& userDatabase() override { return ADOConnection1; }
    db::Connection& systemStore() override { return ADOConnection2; }
    QString programFolder() const override { return ProgramFolder; }
    bool xlsxCapable() const override { return XlsxCapable; }
    bool aceAvailable() const override { return AceAvailable; }

    // --- The database builder (TForm1Builder.cpp) ----------------------------
    // "DB作成": this window is hidden while the builder is up; afterwards it
    // opens a database created there, or re-reads the open one when tables
    // or fields were added to it.
    void SpeedButton2Click();
    TForm2* Form2 = nullptr;    // created on first use, owned by this window
    TForm16* Form16 = nullptr;  // created on first use, owned by this window
    // databasePassword() and tableShown() serve the builder too (see above).
    bool oldFormatDatabase() const override { return OldFormatDatabase; }
    QStringList tableList() const override;
    bool isSavedQuery(const QString& name) override { return IsSavedQuery(DatabasePath, name); }
    QStringList primaryKeyFields() const override { return PrimaryKeyFields; }
    std::vector<builder::FieldInfo> shownFields() override;
    QString builderSourceFilter() const override;
    QString accessFilter() const override { return AccessFilter; }

    // --- Toolbar buttons whose windows come with their own jobs -------------
    void SpeedButton3Click();   // 一覧出力
    void SpeedButton4Click();   // 文書登録
    void SpeedButton5Click();   // 文書出力
    void SpeedButton8Click();   // 終了
    void SpeedButton13Click();  // 雛形編集
    void SpeedButton17Click();  // ﾃﾞｰﾀ集計 (TForm1Aggregate.cpp)
    // The aggregation window; created on first use. Owned by this window.
    TForm13* Form13 = nullptr;

    // --- What the output windows read (TForm1ListOutput.cpp) ----------------
    db::Connection& userConnection() override;
    QString shownSql() const override;
    int gridColumnWidth(int column) const override;
    QString excelProgId() const override;
    QString excelFilter() const override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    QToolButton* addSpeedButton(int number, const QString& caption, const QString& hint);
    void resetView();    // forget the shown table before another database opens
    void rereadAfterStructureChange();
    void closedState();  // after a failed open
    // A database whose opening failed part-way is let go whole: nothing
    // stays connected while the window's state names no database.
    void abandonOpening();
    // The last steps of opening file, once the table box holds its tables:
    // shows the entry at index in selection mode.
    void showOpenedDatabase(const QString& file, int index, const QString& backup);
    void releaseMemoEditors();
    // The shared check of the document buttons: a table is shown and the
    // store exists. Shows the refusal under caption and returns false.
    bool documentWorkAllowed(const QString& caption);
    bool tableShownOrRefuse(const QString& caption);
    QString catalogueConnection(const QString& path) const;

    // The table view's helpers (TForm1Grid.cpp).
    void wireGrid();
    bool reopenGrid(const QString& sql);
    // column: the grid column that was current before the re-query (-1 none).
    void afterRequery(int column);
    void storeColumnWidths();
    QStringList distinctValues(const QString& sql);
    int currentGridField() const;
    void openMemoEditor(int column);

    // Record editing and pasting (TForm1Editing.cpp, TForm1Paste.cpp).
    void wireEditing();
    // SavedCellText = the text of field column of the current record, which
    // is remembered with it: "ﾃﾞｰﾀ戻す" writes the text back only there.
    void captureCellText(int column);
    bool savedTextBelongsTo(int column) const;
    void showRecordCount();
    QVariant freePlaceholderKey(const QString& table, const QString& field, int fieldType);
    // The current cell when it can take a pasted text (textOnly: a text
    // field), else -1.
    int pasteTarget(bool textOnly) const;
    // Stores text in the current cell as one edit of its own; a refused
    // write is cancelled and reported.
    void storeInCell(int column, const QString& text);
    std::optional<db::DataSet::Bookmark> savedCellRecord_;
    int savedCellField_ = -1;
    view::RecordModel* gridModel_ = nullptr;

    platform::Services& services_;
    QList<QLabel*> panels_;
    bool shown_ = false;
    bool destroyed_ = false;
};
