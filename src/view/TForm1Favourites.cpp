// The main window's side of favourites: the お気に入り button, opening the
// chosen favourite (also from the command line), and the two steps of a
// restore that the favourites dialog asks of this window.
#include <QComboBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QLineEdit>
#include <QToolButton>

#include "accessfile/AccessFile.h"
#include "favourites/FavouriteStore.h"
#include "favourites/TForm9.h"
#include "view/Catalogue.h"
#include "view/ProgramFiles.h"
#include "view/RecordGrid.h"
#include "view/TForm1.h"
#include "view/TForm15.h"

namespace {
const QString kFavouriteCaption = QStringLiteral("お気に入りを開くを中止");
const QString kRestoreFailed = QStringLiteral("バックアップ復元の失敗");
}  // namespace

void TForm1::SpeedButton12Click() {
    if (!Form9) Form9 = new TForm9(services_, *this, this);
    if (services_.execDialog(Form9) != QDialog::Accepted) return;
    OpenFavourite(Form9->SelectedDatabase, Form9->SelectedTable, Form9->BackupFile);
}

void TForm1::OpenFavourite(const QString& file, const QString& table, const QString& backup) {
    // A genuine Access file is offered for conversion as the open dialog
    // offers it; the converted file is a database of its own, without the
    // favourite's backup.
    if (accessfile::isGenuineAccessFile(file)) {
        OpenGenuineAccessFile(file, table);
        return;
    }
    BackupOnClose();
    resetView();
    if (!TryConnectDatabase(file)) {
        services_.message(this, QStringLiteral("パスワードが違います"),
                          QStringLiteral("開くの中止"));
        closedState();
        return;
    }
    DatabasePassword = Form15->Edit1->text();
    const bool opened = platform::runGuarded(services_, this, [&] {
        const QStringList names = ADOConnection1.tableNames();
        int index = -1;
        for (int i = 0; i < names.size() && index < 0; ++i)
            if (names[i].compare(table, Qt::CaseInsensitive) == 0) index = i;
        if (index < 0) {
            services_.message(this, QStringLiteral("テーブルがありません"), kFavouriteCaption);
            abandonOpening();
            return;
        }
        ComboBox1->addItems(names);
        showOpenedDatabase(file, index, backup);
    });
    if (!opened) abandonOpening();
}

void TForm1::OpenFavouriteByName(const QString& name) {
    // Opening a favourite is the favourites button's work: not possible when
    // start-up disabled that button.
    if (!SpeedButton12->isEnabled()) return;
    std::optional<favourites::FavouriteRow> row;
    const bool read = platform::runGuarded(services_, this, [&] {
        ADOConnection2.open();
        struct CloseStore {
            db::Connection& store;
            ~CloseStore() { store.close(); }
        } closeStore{ADOConnection2};
        row = favourites::FavouriteStore(ADOConnection2).byName(name);
    });
    if (!read) return;
    if (!row) {
        services_.message(this, QStringLiteral("<") + name + QStringLiteral(">は登録されていません"),
                          kFavouriteCaption);
        return;
    }
    if (!QFileInfo(row->database).isFile()) {
        services_.message(this, QStringLiteral("ファイルがありません"), QStringLiteral("開くの中止"));
        return;
    }
    OpenFavourite(row->database, row->table, row->backup);
}


QString TForm1::databaseFilter() const {
    return OpenDialog1.filter.isEmpty() ? AccessFilter : OpenDialog1.filter;
}

QString TForm1::closeForRestore() {
    const QString table = shownTableName();
    OrderByClause.clear();
    FieldDescriptors.clear();
    for (int i = 0; i < 3; ++i) setPanelText(i, QString());
    releaseMemoEditors();
    ADODataSet1.close();
    ADOConnection1.close();
    return table;
}

void TForm1::reopenAfterRestore(const QString& table) {
    const QString file = DatabasePath;
    ComboBox1->clear();
    ADOConnection1.setConnectionString(
        DatabasePassword.isEmpty()
            ? view::userConnectionString(ProviderPrefix, file)
            : view::userConnectionStringWithPassword(ProviderPrefix, file, DatabasePassword));
    try {
        ADOConnection1.open();
    } catch (const std::exception&) {
        // Nothing is left half-open: the window shows no database.
        services_.message(this, QStringLiteral("データベースを開けません"), kRestoreFailed);
        abandonOpening();
        return;
    }
    const bool shown = platform::runGuarded(services_, this, [&] {
        QStringList names;
        ListTablesAndQueries(file, names);
        if (names.isEmpty()) {
            services_.message(this, QStringLiteral("テーブルがありません"), kRestoreFailed);
            abandonOpening();
            return;
        }
        ComboBox1->addItems(names);
        int index = ComboBox1->findText(table);
        if (index < 0) index = ComboBox1->findText(table, Qt::MatchFixedString);
        // The restored copy may lack the table that was shown.
        ComboBox1->setCurrentIndex(index < 0 ? 0 : index);
        DBGrid1->show();
        SpeedButton9->show();
        // The restored file is the backup itself: leaving it unchanged needs
        // no new copy.
        OpenedFileTime = QFileInfo(file).lastModified();
        ShowTable();
        setRadioGroupIndex(0);
        RadioGroup1Click();
        RadioGroup1->hide();
    });
    if (!shown) abandonOpening();
}
