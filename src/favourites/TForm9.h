#pragma once
// "お気に入りの選択と設定": the favourites of the store, added from the
// table the main window shows, changed, deleted and chosen; the backup file
// of the favourite being edited; and the restore of the main window's
// database from its backup. The chosen favourite is left in SelectedDatabase,
// SelectedTable and BackupFile for the main window, which opens it.
#include <QDialog>
#include <vector>

#include "platform/Services.h"

class QButtonGroup;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QToolButton;

namespace favourites {
class MainWindowState;
}

// One per list item, in the item's position.
struct FavouriteEntry {
    int EntryID = 0;
    QString Password;
    bool UsePassword = false;
    QString BackupFile;
};

class TForm9 : public QDialog {
    Q_OBJECT
public:
    TForm9(platform::Services& services, favourites::MainWindowState& mainWindow,
           QWidget* parent = nullptr);
    ~TForm9() override;

    QLineEdit* Edit1;           // 表示名称
    QToolButton* SpeedButton1;  // 追加
    QToolButton* SpeedButton2;  // 変更
    QToolButton* SpeedButton3;  // 削除
    QListWidget* ListBox1;      // 登録一覧
    QToolButton* SpeedButton4;  // 開く
    QToolButton* SpeedButton5;  // 閉じる
    QToolButton* SpeedButton6;  // 設定
    QToolButton* SpeedButton7;  // 解除
    QLabel* Label4;             // ﾊﾞｯｸｱｯﾌﾟあり / なし
    QToolButton* SpeedButton8;  // DBﾟ復元
    QGroupBox* RadioGroup1;     // パスワード（ある場合）, kept hidden
    QButtonGroup* RadioGroup1Items;

    QString SelectedDatabase;
    QString SelectedTable;
    QString BackupFile;
    std::vector<FavouriteEntry> Entries;

    void FormShow();
    void FormClose();
    void ListBox1Click();
    void ListBox1DblClick();
    void ListBox1ContextPopup();
    void SpeedButton1Click();
    void SpeedButton2Click();
    void SpeedButton3Click();
    void SpeedButton4Click();
    void SpeedButton5Click();
    void SpeedButton6Click();
    void SpeedButton7Click();
    void SpeedButton8Click();

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    void select(int row);
    void showBackupState();
    void setEntryButtons(bool enabled);
    // A backup path that may not be stored for database; refuses under
    // caption and returns false.
    bool backupAllowed(const QString& database, const QString& caption);

    platform::Services& services_;
    favourites::MainWindowState& mainWindow_;
};
