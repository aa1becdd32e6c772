#include "favourites/TForm9.h"

#include <QButtonGroup>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>

#include "db/Db.h"
#include "favourites/FavouriteStore.h"
#include "favourites/MainWindowState.h"
#include "platform/BusyWindow.h"

namespace {

const QString kAddCaption = QStringLiteral("追加の中止");
const QString kChangeCaption = QStringLiteral("変更の中止");
const QString kBackupCaption = QStringLiteral("バックアップの確認");
const QString kRestoreCaption = QStringLiteral("バックアップ復元の中止");
const QString kWithBackup = QStringLiteral("ﾊﾞｯｸｱｯﾌﾟあり");
const QString kWithoutBackup = QStringLiteral("ﾊﾞｯｸｱｯﾌﾟなし");
const QString kNotABackup = QStringLiteral("データベースのファイルはバックアップに使えません");

QToolButton* button(QWidget* parent, int number, const QString& caption, const QString& hint) {
    auto* b = new QToolButton(parent);
    b->setObjectName(QStringLiteral("SpeedButton%1").arg(number));
    b->setText(caption);
    b->setToolTip(hint);
    b->setMinimumWidth(72);
    return b;
}

}  // namespace

TForm9::TForm9(platform::Services& services, favourites::MainWindowState& mainWindow,
               QWidget* parent)
    : QDialog(parent), services_(services), mainWindow_(mainWindow) {
    setObjectName(QStringLiteral("TForm9"));
    setWindowTitle(QStringLiteral("お気に入りの選択と設定"));
    setModal(true);

    auto* nameLabel = new QLabel(QStringLiteral("表示名称"), this);
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setToolTip(QStringLiteral("表示名称"));
    nameLabel->setBuddy(Edit1);
    SpeedButton1 = button(this, 1, QStringLiteral("追加"), QString());
    SpeedButton2 = button(this, 2, QStringLiteral("変更"), QString());
    SpeedButton3 = button(this, 3, QStringLiteral("削除"), QString());

    auto* listLabel = new QLabel(QStringLiteral("登録一覧"), this);
    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setToolTip(QStringLiteral("登録一覧"));
    ListBox1->setContextMenuPolicy(Qt::CustomContextMenu);
    listLabel->setBuddy(ListBox1);
    SpeedButton4 = button(this, 4, QStringLiteral("開く"), QString());
    SpeedButton5 = button(this, 5, QStringLiteral("閉じる"), QString());

    auto* backupBox = new QGroupBox(QStringLiteral("バックアップ"), this);
    SpeedButton6 = button(backupBox, 6, QStringLiteral("設定"), QStringLiteral("バックアップの設定"));
    SpeedButton7 = button(backupBox, 7, QStringLiteral("解除"), QStringLiteral("バックアップの解除"));
    Label4 = new QLabel(kWithoutBackup, backupBox);
    Label4->setObjectName(QStringLiteral("Label4"));
    SpeedButton8 = button(backupBox, 8, QStringLiteral("DBﾟ復元"),
                          QStringLiteral("メイン画面のデータベースをバックアップで復元"));

    RadioGroup1 = new QGroupBox(QStringLiteral("パスワード（ある場合）"), this);
    RadioGroup1->setObjectName(QStringLiteral("RadioGroup1"));
    RadioGroup1Items = new QButtonGroup(RadioGroup1);
    auto* radios = new QHBoxLayout(RadioGroup1);
    const QString items[] = {QStringLiteral("手動入力"), QStringLiteral("自動設定")};
    for (int i = 0; i < 2; ++i) {
        auto* item = new QRadioButton(items[i], RadioGroup1);
        item->setObjectName(QStringLiteral("RadioGroup1Item%1").arg(i));
        RadioGroup1Items->addButton(item, i);
        radios->addWidget(item);
    }
    RadioGroup1Items->button(0)->setChecked(true);
    // The dialog never captures a password, so the choice is not offered.
    RadioGroup1->hide();

    auto* grid = new QGridLayout(this);
    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(nameLabel);
    nameRow->addWidget(Edit1, 1);
    grid->addLayout(nameRow, 0, 0);
    auto* editButtons = new QHBoxLayout;
    for (QToolButton* b : {SpeedButton1, SpeedButton2, SpeedButton3}) editButtons->addWidget(b);
    grid->addLayout(editButtons, 0, 1);
    grid->addWidget(listLabel, 1, 0);
    grid->addWidget(ListBox1, 2, 0, 2, 1);
    auto* openButtons = new QVBoxLayout;
    openButtons->addWidget(SpeedButton4);
    openButtons->addWidget(SpeedButton5);
    openButtons->addStretch();
    grid->addLayout(openButtons, 2, 1);
    auto* backupRow = new QHBoxLayout(backupBox);
    backupRow->addWidget(SpeedButton6);
    backupRow->addWidget(SpeedButton7);
    backupRow->addWidget(Label4, 1);
    backupRow->addWidget(SpeedButton8);
    grid->addWidget(backupBox, 4, 0, 1, 2);
    grid->addWidget(RadioGroup1, 5, 0, 1, 2);
    grid->setColumnStretch(0, 1);
    resize(520, 400);

    connect(SpeedButton1, &QToolButton::clicked, this, &TForm9::SpeedButton1Click);
    connect(SpeedButton2, &QToolButton::clicked, this, &TForm9::SpeedButton2Click);
    connect(SpeedButton3, &QToolButton::clicked, this, &TForm9::SpeedButton3Click);
    connect(SpeedButton4, &QToolButton::clicked, this, &TForm9::SpeedButton4Click);
    connect(SpeedButton5, &QToolButton::clicked, this, &TForm9::SpeedButton5Click);
    connect(SpeedButton6, &QToolButton::clicked, this, &TForm9::SpeedButton6Click);
    connect(SpeedButton7, &QToolButton::clicked, this, &TForm9::SpeedButton7Click);
    connect(SpeedButton8, &QToolButton::clicked, this, &TForm9::SpeedButton8Click);
    connect(ListBox1, &QListWidget::itemClicked, this, &TForm9::ListBox1Click);
    connect(ListBox1, &QListWidget::currentRowChanged, this, &TForm9::ListBox1Click);
    connect(ListBox1, &QListWidget::itemDoubleClicked, this, &TForm9::ListBox1DblClick);
    connect(ListBox1, &QListWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        if (QListWidgetItem* item = ListBox1->itemAt(at)) {
            ListBox1->setCurrentItem(item);
            ListBox1ContextPopup();
        }
    });
}

// The main window, whose store this dialog borrows, may already be gone
// when the dialog is destroyed with it: nothing of it is touched here.
TForm9::~TForm9() = default;

void TForm9::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    FormShow();
}

void TForm9::done(int result) {
    FormClose();
    QDialog::done(result);
}

// --- Showing and closing ----------------------------------------------------------

void TForm9::setEntryButtons(bool enabled) {
    for (QToolButton* b : {SpeedButton2, SpeedButton3, SpeedButton4}) b->setEnabled(enabled);
}

void TForm9::showBackupState() {
    Label4->setText(BackupFile.isEmpty() ? kWithoutBackup : kWithBackup);
}

void TForm9::FormShow() {
    SpeedButton1->setEnabled(!mainWindow_.databasePath().isEmpty());
    Entries.clear();
    ListBox1->clear();
    platform::runGuarded(services_, this, [&] {
        mainWindow_.systemStore().open();
        for (const favourites::FavouriteRow& row :
             favourites::FavouriteStore(mainWindow_.systemStore()).all()) {
            Entries.push_back({row.id, row.password, row.usePassword, row.backup});
            ListBox1->addItem(row.name);
        }
    });
    if (ListBox1->count() == 0) {
        Edit1->clear();
        BackupFile.clear();
        Label4->setText(kWithoutBackup);
        setEntryButtons(false);
    } else {
        setEntryButtons(true);
        select(0);
    }
    SpeedButton8->setVisible(mainWindow_.tableShown());
}

void TForm9::FormClose() {
    Entries.clear();
    ListBox1->clear();
    mainWindow_.systemStore().close();
}

// --- The list -------------------------------------------------------------------------

void TForm9::select(int row) {
    ListBox1->setCurrentRow(row);
    ListBox1Click();
}

void TForm9::ListBox1Click() {
    const int row = ListBox1->currentRow();
    if (row < 0 || row >= int(Entries.size())) return;
    const FavouriteEntry& entry = Entries[size_t(row)];
    RadioGroup1Items->button(entry.UsePassword ? 1 : 0)->setChecked(true);
    Edit1->setText(ListBox1->item(row)->text());
    BackupFile = entry.BackupFile;
    showBackupState();
    Edit1->setFocus();
}

void TForm9::ListBox1DblClick() { SpeedButton4Click(); }

void TForm9::ListBox1ContextPopup() {
    const int row = ListBox1->currentRow();
    if (row < 0 || row >= int(Entries.size())) return;
    platform::runGuarded(services_, this, [&] {
        const auto found =
            favourites::FavouriteStore(mainWindow_.systemStore()).byId(Entries[size_t(row)].EntryID);
        services_.message(this, found ? found->database : QString(),
                          QStringLiteral("選択登録のファイル"));
    });
}

// --- Adding, changing, deleting ---------------------------------------------------

bool TForm9::backupAllowed(const QString& database, const QString& caption) {
    if (BackupFile.isEmpty()) return true;
    favourites::FavouriteStore store(mainWindow_.systemStore());
    favourites::BackupCheck check = favourites::checkBackupPath(store.all(), BackupFile, database);
    if (check.conflict == favourites::BackupConflict::None &&
        favourites::samePath(BackupFile, mainWindow_.databasePath()))
        check.conflict = favourites::BackupConflict::IsADatabase;
    switch (check.conflict) {
        case favourites::BackupConflict::None:
            return true;
        case favourites::BackupConflict::IsADatabase:
            services_.message(this, kNotABackup, caption);
            return false;
        case favourites::BackupConflict::UsedByAnotherDatabase:
            services_.message(
                this, QStringLiteral("<") + check.favouriteName + QStringLiteral(">のバックアップに使われています"),
                caption);
            return false;
    }
    return false;
}

void TForm9::SpeedButton1Click() {
    const QString name = Edit1->text();
    if (name.trimmed().isEmpty()) {
        services_.message(this, QStringLiteral("登録名称が未記入です"), kAddCaption);
        Edit1->setFocus();
        return;
    }
    platform::runGuarded(services_, this, [&] {
        favourites::FavouriteStore store(mainWindow_.systemStore());
        const QString database = mainWindow_.databasePath();
        const QString table = mainWindow_.shownTableName();
        if (const auto existing = store.byDatabaseAndTable(database, table)) {
            services_.message(this, QStringLiteral("<") + existing->name + QStringLiteral(">で登録済です"),
                              kAddCaption);
            return;
        }
        if (!backupAllowed(database, kAddCaption)) return;
        if (services_.message(this, QStringLiteral("バックアップは設定通りですか？"), kBackupCaption,
                              platform::Buttons::OkCancel) != platform::Answer::Ok)
            return;
        const int id = store.insert(name, database, table, BackupFile);
        setEntryButtons(true);
        Entries.push_back({id, QString(), false, BackupFile});
        ListBox1->addItem(name);
        select(ListBox1->count() - 1);
    });
}

void TForm9::SpeedButton2Click() {
    const int row = ListBox1->currentRow();
    if (row < 0 || row >= int(Entries.size())) return;
    const QString name = Edit1->text();
    if (name.trimmed().isEmpty()) {
        services_.message(this, QStringLiteral("登録名称が未記入です"), kAddCaption);
        Edit1->setFocus();
        return;
    }
    platform::runGuarded(services_, this, [&] {
        FavouriteEntry& entry = Entries[size_t(row)];
        favourites::FavouriteStore store(mainWindow_.systemStore());
        const auto stored = store.byId(entry.EntryID);
        if (!backupAllowed(stored ? stored->database : QString(), kChangeCaption)) return;
        const bool usePassword = !entry.Password.isEmpty() && RadioGroup1Items->checkedId() == 1;
        store.update(entry.EntryID, name, usePassword, BackupFile);
        entry.UsePassword = usePassword;
        entry.BackupFile = BackupFile;
    });
}

void TForm9::SpeedButton3Click() {
    const int row = ListBox1->currentRow();
    if (row < 0 || row >= int(Entries.size())) return;
    if (services_.message(this, QStringLiteral("この登録を削除しますか？"),
                          QStringLiteral("削除の確認"),
                          platform::Buttons::OkCancel) != platform::Answer::Ok)
        return;
    const bool removed = platform::runGuarded(services_, this, [&] {
        favourites::FavouriteStore(mainWindow_.systemStore()).remove(Entries[size_t(row)].EntryID);
    });
    if (!removed) return;
    Entries.erase(Entries.begin() + row);
    delete ListBox1->takeItem(row);
    if (ListBox1->count() > 0) {
        select(0);
    } else {
        setEntryButtons(false);
        Edit1->clear();
        BackupFile.clear();
        Label4->setText(kWithoutBackup);
    }
}

// --- The backup file ------------------------------------------------------------------

void TForm9::SpeedButton6Click() {
    if (ListBox1->currentRow() < 0) return;
    platform::FileDialogRequest request;
    request.filter = mainWindow_.databaseFilter();
    request.fileName = BackupFile;
    const QString chosen = services_.saveFile(this, request);
    if (chosen.isEmpty()) return;
    const QString path =
        favourites::withExtension(chosen, favourites::backupExtension(BackupFile));
    const QString caption = QStringLiteral("バックアップ設定の中止");
    bool isDatabase = favourites::samePath(path, mainWindow_.databasePath());
    const bool read = platform::runGuarded(services_, this, [&] {
        for (const favourites::FavouriteRow& row :
             favourites::FavouriteStore(mainWindow_.systemStore()).all())
            isDatabase = isDatabase || favourites::samePath(path, row.database);
    });
    if (!read) return;
    if (isDatabase) {
        services_.message(this, kNotABackup, caption);
        return;
    }
    // Every later backup replaces the file: the user agrees to that now, for
    // the name the backup will really have.
    if (QFileInfo::exists(path) && !favourites::samePath(path, BackupFile) &&
        services_.message(this,
                          path + QStringLiteral("\nは既にあります。バックアップで置き換えて良いですか？"),
                          kBackupCaption, platform::Buttons::OkCancel) != platform::Answer::Ok)
        return;
    BackupFile = path;
    Label4->setText(kWithBackup);
}

void TForm9::SpeedButton7Click() {
    if (ListBox1->currentRow() < 0) return;
    BackupFile.clear();
    Label4->setText(kWithoutBackup);
}

// --- Choosing -------------------------------------------------------------------------

void TForm9::SpeedButton4Click() {
    const int row = ListBox1->currentRow();
    if (row < 0 || row >= int(Entries.size())) return;
    bool chosen = false;
    platform::runGuarded(services_, this, [&] {
        favourites::FavouriteStore store(mainWindow_.systemStore());
        const int id = Entries[size_t(row)].EntryID;
        const auto stored = store.byId(id);
        if (!stored) return;
        SelectedDatabase = stored->database;
        SelectedTable = stored->table;
        BackupFile = stored->backup;
        if (!QFileInfo(SelectedDatabase).isFile()) {
            if (services_.message(this, QStringLiteral("ファイルがありません。探しますか？"),
                                  QStringLiteral("開く確認"),
                                  platform::Buttons::OkCancel) != platform::Answer::Ok)
                return;
            platform::FileDialogRequest request;
            request.filter = mainWindow_.databaseFilter();
            request.fileName = SelectedDatabase;
            const QStringList files = services_.openFiles(this, request);
            if (files.isEmpty()) return;
            if (!QFileInfo(files.first()).isFile()) {
                services_.message(this, QStringLiteral("ファイルがありません"),
                                  QStringLiteral("開くの中止"));
                return;
            }
            SelectedDatabase = files.first();
            store.setDatabase(id, SelectedDatabase);
        }
        chosen = true;
    });
    if (chosen) accept();
}

void TForm9::SpeedButton5Click() { reject(); }

// --- Restoring the open database ------------------------------------------------------

void TForm9::SpeedButton8Click() {
    const QString backup = mainWindow_.backupPath();
    if (backup.isEmpty()) {
        services_.message(this, QStringLiteral("バックアップは未設定です"), kRestoreCaption);
        return;
    }
    if (!QFileInfo(backup).isFile()) {
        services_.message(this, QStringLiteral("バックアップファイルがありません"), kRestoreCaption);
        return;
    }
    // Copying a file that is not this database's backup would replace the
    // database with something it cannot open.
    if (!favourites::backupOpens(backup, mainWindow_.databasePassword())) {
        services_.message(this, QStringLiteral("バックアップファイルがデータベースとして開けません"),
                          kRestoreCaption);
        return;
    }
    if (services_.message(this, QStringLiteral("バックアップで復元して良いですか？"),
                          QStringLiteral("バックアップ復元の確認"),
                          platform::Buttons::OkCancel) != platform::Answer::Ok)
        return;
    platform::BusyWindow busy(services_, this);
    const QString database = mainWindow_.databasePath();
    QString table;
    const bool closed =
        platform::runGuarded(services_, this, [&] { table = mainWindow_.closeForRestore(); });
    if (closed && !favourites::copyFileReplacing(backup, database))
        services_.message(this, QStringLiteral("ファイルコピーが出来ません"),
                          QStringLiteral("バックアップ復元の失敗"));
    platform::runGuarded(services_, this, [&] { mainWindow_.reopenAfterRestore(table); });
}
