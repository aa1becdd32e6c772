#include "view/TForm1.h"

#include "view/RecordGrid.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QStatusBar>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

#include <stdexcept>

#include "accessfile/AccessFile.h"
#include "view/Catalogue.h"
#include "view/Detection.h"
#include "view/FlowLayout.h"
#include "view/ProgramFiles.h"
#include "view/TForm15.h"

namespace {

const QString kOpenCaption = QStringLiteral("開くの中止");
const QString kWarningCaption = QStringLiteral("警告");
const QString kNoDatabase = QStringLiteral("データベースが開いていません");

QString folderWithSeparator(QString folder) {
    if (!folder.endsWith('/')) folder += '/';
    return folder;
}

}  // namespace

TForm1::TForm1(platform::Services& services, const QString& programFolder, QWidget* parent)
    : QMainWindow(parent), services_(services) {
    setObjectName(QStringLiteral("TForm1"));
    ProgramFolder = programFolder;
    buildControls();
    wireGrid();
    wireEditing();
    FormCreate();
}

TForm1::~TForm1() { FormDestroy(); }

// --- Controls ---------------------------------------------------------------

QToolButton* TForm1::addSpeedButton(int number, const QString& caption, const QString& hint) {
    auto* button = new QToolButton(Panel1);
    button->setObjectName(QStringLiteral("SpeedButton%1").arg(number));
    // Buttons known only by their hint carry it as their text too: there are
    // no glyphs to show instead.
    button->setText(caption.isEmpty() ? hint : caption);
    button->setToolTip(hint);
    button->setAutoRaise(false);
    Panel1->layout()->addWidget(button);
    return button;
}

void TForm1::buildControls() {
    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    Panel1 = new QWidget(central);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    // The buttons of both modes do not fit in one row on a common screen;
    // they wrap to a second row instead of running off the window.
    auto* row = new view::FlowLayout(Panel1);
    row->setContentsMargins(4, 4, 4, 4);
    column->addWidget(Panel1);

    SpeedButton12 = addSpeedButton(12, QStringLiteral("お気に入り"), QStringLiteral("登録データベースを開く"));
    SpeedButton1 = addSpeedButton(1, QStringLiteral("開く"), QStringLiteral("データベースを開く"));
    ComboBox1 = new QComboBox(Panel1);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setEditable(false);
    ComboBox1->setToolTip(QStringLiteral("データベースのテーブル選択"));
    ComboBox1->setMinimumWidth(160);
    row->addWidget(ComboBox1);
    SpeedButton2 = addSpeedButton(2, QStringLiteral("DB作成"), QStringLiteral("新しいデータベースを作成"));
    SpeedButton4 = addSpeedButton(4, QStringLiteral("文書登録"), QStringLiteral("個票の作成・変更・削除"));
    SpeedButton3 = addSpeedButton(3, QStringLiteral("一覧出力"), QStringLiteral("データ一覧表の保存・印刷"));
    SpeedButton5 = addSpeedButton(5, QStringLiteral("文書出力"), QStringLiteral("個票の保存・印刷"));
    SpeedButton13 = addSpeedButton(13, QStringLiteral("雛形編集"), QStringLiteral("個票からデータ入力"));
    SpeedButton17 = addSpeedButton(17, QStringLiteral("ﾃﾞｰﾀ集計"), QString());

    RadioGroup1 = new QGroupBox(Panel1);
    RadioGroup1->setObjectName(QStringLiteral("RadioGroup1"));
    auto* modes = new QHBoxLayout(RadioGroup1);
    modes->setContentsMargins(4, 0, 4, 0);
    RadioGroup1Items = new QButtonGroup(RadioGroup1);
    const QString items[] = {QStringLiteral("選択モード"), QStringLiteral("編集モード")};
    for (int i = 0; i < 2; ++i) {
        auto* item = new QRadioButton(items[i], RadioGroup1);
        item->setObjectName(QStringLiteral("RadioGroup1Item%1").arg(i));
        RadioGroup1Items->addButton(item, i);
        modes->addWidget(item);
    }
    RadioGroup1Items->button(0)->setChecked(true);
    row->addWidget(RadioGroup1);

    SpeedButton9 = addSpeedButton(9, QStringLiteral("ﾌｨﾙﾀ解除"), QString());
    SpeedButton14 = addSpeedButton(14, QStringLiteral("選択解除"), QString());
    SpeedButton18 = addSpeedButton(18, QStringLiteral("ﾃﾞｰﾀ追加"), QString());
    SpeedButton6 = addSpeedButton(6, QStringLiteral("ﾃﾞｰﾀ削除"), QString());
    SpeedButton7 = addSpeedButton(7, QStringLiteral("ﾃﾞｰﾀ戻す"), QString());
    SpeedButton10 = addSpeedButton(10, QString(), QStringLiteral("コピー"));
    SpeedButton11 = addSpeedButton(11, QString(), QStringLiteral("貼付け"));
    SpeedButton19 = addSpeedButton(19, QString(), QStringLiteral("フォルダ名貼付け"));
    SpeedButton15 = addSpeedButton(15, QString(), QStringLiteral("ファイル名貼付け"));
    SpeedButton16 = addSpeedButton(16, QString(), QStringLiteral("URL名貼付け"));
    SpeedButton8 = addSpeedButton(8, QStringLiteral("終了"), QString());

    DBGrid1 = new view::RecordGrid(central);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    column->addWidget(DBGrid1, 1);
    // Keeps the toolbar at the top while the grid is hidden (no database).
    column->addStretch(0);
    setCentralWidget(central);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    const int widths[] = {100, 80, 300};
    for (int i = 0; i < 3; ++i) {
        auto* panel = new QLabel(StatusBar1);
        panel->setObjectName(QStringLiteral("StatusBar1Panel%1").arg(i));
        // The widths are minimums: a longer text ("データ数：1000000")
        // widens its panel instead of losing its last characters.
        panel->setMinimumWidth(widths[i]);
        panel->setSizePolicy(i < 2 ? QSizePolicy::Minimum : QSizePolicy::Preferred,
                             QSizePolicy::Preferred);
        StatusBar1->addWidget(panel);
        panels_ << panel;
    }
    setStatusBar(StatusBar1);
    resize(1100, 640);

    connect(SpeedButton1, &QToolButton::clicked, this, &TForm1::SpeedButton1Click);
    connect(SpeedButton12, &QToolButton::clicked, this, &TForm1::SpeedButton12Click);
    connect(SpeedButton2, &QToolButton::clicked, this, &TForm1::SpeedButton2Click);
    connect(SpeedButton3, &QToolButton::clicked, this, &TForm1::SpeedButton3Click);
    connect(SpeedButton4, &QToolButton::clicked, this, &TForm1::SpeedButton4Click);
    connect(SpeedButton5, &QToolButton::clicked, this, &TForm1::SpeedButton5Click);
    connect(SpeedButton8, &QToolButton::clicked, this, &TForm1::SpeedButton8Click);
    connect(SpeedButton13, &QToolButton::clicked, this, &TForm1::SpeedButton13Click);
    connect(SpeedButton17, &QToolButton::clicked, this, &TForm1::SpeedButton17Click);
    connect(ComboBox1, &QComboBox::activated, this, &TForm1::ComboBox1Change);
    connect(RadioGroup1Items, &QButtonGroup::idClicked, this, &TForm1::RadioGroup1Click);
}

int TForm1::radioGroupIndex() const { return RadioGroup1Items->checkedId(); }

void TForm1::setRadioGroupIndex(int index) { RadioGroup1Items->button(index)->setChecked(true); }

QString TForm1::panelText(int panel) const { return panels_.at(panel)->text(); }

void TForm1::setPanelText(int panel, const QString& text) { panels_.at(panel)->setText(text); }

QToolButton* TForm1::speedButton(int number) const {
    return findChild<QToolButton*>(QStringLiteral("SpeedButton%1").arg(number));
}

// --- Life cycle ---------------------------------------------------------------

void TForm1::FormCreate() {
    if (ProgramFolder.isEmpty()) ProgramFolder = QCoreApplication::applicationDirPath();
    ProgramFolder = folderWithSeparator(ProgramFolder);
    ADOConnection1.close();
    ADOConnection1.setLoginPrompt(false);
    ADOConnection2.setConnectionString(view::systemStoreConnectionString(ProgramFolder));
    ADOConnection2.setLoginPrompt(false);
    MemoEditors.clear();
    FieldDescriptors.clear();
    OrderByClause.clear();
    for (int i = 0; i < 3; ++i) setPanelText(i, QString());
    for (QWidget* w : {static_cast<QWidget*>(SpeedButton6), static_cast<QWidget*>(SpeedButton7),
                       static_cast<QWidget*>(SpeedButton9), static_cast<QWidget*>(SpeedButton10),
                       static_cast<QWidget*>(SpeedButton11), static_cast<QWidget*>(SpeedButton14),
                       static_cast<QWidget*>(SpeedButton15), static_cast<QWidget*>(SpeedButton16),
                       static_cast<QWidget*>(SpeedButton18), static_cast<QWidget*>(SpeedButton19),
                       static_cast<QWidget*>(RadioGroup1)})
        w->hide();
    DBGrid1->hide();
    DatabasePath.clear();
    SetCaption(QString());
    PrimaryKeyFields.clear();

    const view::ExcelDetection excel = view::detectExcel(services_);
    ExcelProgID = excel.progId;
    ExcelVersion = excel.version;
    // The window still comes up; what ran before the failure stays in effect.
    if (excel.error) services_.showError(this, std::runtime_error(excel.error->toStdString()));
}

void TForm1::FormShow() {
    if (ExcelProgID.isEmpty()) {
        for (int n : {12, 1, 2, 4, 3, 5, 13, 17}) speedButton(n)->setEnabled(false);
        services_.message(this, QStringLiteral("該当Excelがありません"),
                          QStringLiteral("Tesmoraエラー"));
        return;
    }
    XlsxCapable = ExcelVersion >= 12;
    ExcelFilter = view::excelFilter(XlsxCapable);
    const view::AccessDetection access = view::detectAccess(services_);
    AceAvailable = access.aceAvailable;
    ProviderPrefix = access.providerPrefix;
    AccessFilter = access.accessFilter;
    OpenDialog1.filter = AccessFilter;
    IsQueryView = false;
    OldFormatDatabase = false;
}

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!shown_) {
        shown_ = true;
        FormShow();
    }
}

bool TForm1::FormCloseQuery() {
    if (radioGroupIndex() != 0) {
        services_.message(this, QStringLiteral("選択モード以外は終了できません"), kWarningCaption);
        return false;
    }
    return services_.message(this, QStringLiteral("Tesmoraを終了しますか？"),
                             QStringLiteral("終了の確認"),
                             platform::Buttons::OkCancel) == platform::Answer::Ok;
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (FormCloseQuery())
        event->accept();
    else
        event->ignore();
}

void TForm1::SpeedButton8Click() { close(); }

void TForm1::FormDestroy() {
    if (destroyed_) return;
    destroyed_ = true;
    ADODataSet1.close();
    ADOConnection1.close();
    FieldDescriptors.clear();
    PrimaryKeyFields.clear();
    releaseMemoEditors();
    BackupOnClose();
}

void TForm1::SetCaption(const QString& path) {
    // The window title is also what the desktop's task list shows.
    setWindowTitle(view::windowCaption(path));
}

// --- Opening a database ---------------------------------------------------------

QString TForm1::catalogueConnection(const QString& path) const {
    return view::catalogueConnectionString(ProviderPrefix, path, DatabasePassword);
}

void TForm1::ConnectDatabase(const QString& path) {
    if (!Form15) throw std::logic_error("the password prompt was not created");
    Form15->Edit1->clear();
    ADODataSet1.close();
    ADOConnection1.close();
    ADOConnection1.setConnectionString(view::userConnectionString(ProviderPrefix, path));
    try {
        ADOConnection1.open();
        return;
    } catch (const db::Error&) {
        // Any refusal may be a missing password: the user gets one chance.
    }
    if (services_.execDialog(Form15) != QDialog::Accepted) return;
    ADOConnection1.setConnectionString(
        view::userConnectionStringWithPassword(ProviderPrefix, path, Form15->Edit1->text()));
    ADOConnection1.open();
}

bool TForm1::TryConnectDatabase(const QString& path) {
    try {
        ConnectDatabase(path);
    } catch (const std::exception&) {
        return false;
    }
    return ADOConnection1.connected();
}

void TForm1::ListTablesAndQueries(const QString& path, QStringList& list) {
    list = view::listTablesAndQueries(catalogueConnection(path));
}

bool TForm1::IsSavedQuery(const QString& path, const QString& name) {
    return view::isSavedQuery(catalogueConnection(path), name);
}

QString TForm1::GetQuerySql(const QString& name) {
    return view::savedQuerySql(catalogueConnection(DatabasePath), name);
}

int TForm1::GetPrimaryKeyFields(const QString& path, const QString& table, QStringList& list) {
    list = view::primaryKeyFields(catalogueConnection(path), table);
    return static_cast<int>(list.size());
}

bool TForm1::IsNewFormatDatabase(const QString& path) {
    return view::isNewFormatDatabase(path, DatabasePassword);
}

void TForm1::BackupOnClose() {
    if (DatabasePath.isEmpty() || BackupPath.isEmpty()) return;
    const QDateTime modified = QFileInfo(DatabasePath).lastModified();
    if (OpenedFileTime.isValid() && OpenedFileTime >= modified) return;
    if (!view::copyFileReplacing(DatabasePath, BackupPath))
        services_.message(this, QStringLiteral("バックアップが出来ません"), kWarningCaption);
}

void TForm1::releaseMemoEditors() {
    for (MemoEditorEntry& entry : MemoEditors)
        if (entry.editor) entry.editor->deleteLater();
    MemoEditors.clear();
}

void TForm1::resetView() {
    BackupPath.clear();
    OrderByClause.clear();
    FieldDescriptors.clear();
    for (int i = 0; i < 3; ++i) setPanelText(i, QString());
    ComboBox1->clear();
    DBGrid1->hide();
    releaseMemoEditors();
}

void TForm1::closedState() {
    DatabasePath.clear();
    BackupPath.clear();
    RadioGroup1->hide();
    for (int n : {6, 7, 9, 10, 11, 14, 15, 16, 18, 19}) speedButton(n)->hide();
    SetCaption(QString());
}

void TForm1::SpeedButton1Click() {
    const QStringList files = services_.openFiles(this, OpenDialog1);
    if (files.isEmpty()) return;
    OpenDatabase(files.first());
}

void TForm1::OpenFromCommandLine(const QString& file, const QString& table) {
    // Opening from the command line is the open button's work: not possible
    // when start-up disabled that button.
    if (!SpeedButton1->isEnabled()) return;
    if (!QFileInfo(file).isFile()) {
        services_.message(this, QStringLiteral("ファイルがありません"), kOpenCaption);
        return;
    }
    OpenDatabase(QFileInfo(file).absoluteFilePath(), table);
}

void TForm1::OpenDatabase(const QString& file, const QString& table) {
    // Told apart by its header before anything is left: choosing not to
    // convert leaves the open database as it was.
    if (accessfile::isGenuineAccessFile(file)) {
        OpenGenuineAccessFile(file, table);
        return;
    }
    BackupOnClose();
    resetView();
    if (!TryConnectDatabase(file)) {
        services_.message(this, QStringLiteral("パスワードが違います"), kOpenCaption);
        closedState();
        return;
    }
    DatabasePassword = Form15->Edit1->text();
    const bool opened = platform::runGuarded(services_, this, [&] {
        QStringList names;
        ListTablesAndQueries(file, names);
        if (names.isEmpty()) {
            services_.message(this, QStringLiteral("テーブルがありません"),
                              QStringLiteral("開くを中止"));
            abandonOpening();
            return;
        }
        ComboBox1->addItems(names);
        int index = table.isEmpty() ? -1 : ComboBox1->findText(table);
        if (index < 0 && !table.isEmpty())
            index = ComboBox1->findText(table, Qt::MatchFixedString);  // letter case aside
        showOpenedDatabase(file, index < 0 ? 0 : index, QString());
    });
    // A catalogue that cannot be read leaves no half-open database behind:
    // the window would otherwise name one file while connected to another.
    if (!opened) abandonOpening();
}

void TForm1::abandonOpening() {
    ADODataSet1.close();
    ADOConnection1.close();
    DBGrid1->hide();
    ComboBox1->clear();
    closedState();
}

void TForm1::showOpenedDatabase(const QString& file, int index, const QString& backup) {
    OldFormatDatabase = !IsNewFormatDatabase(file);
    if (OldFormatDatabase)
        services_.message(this, QStringLiteral("旧バージョンのためデータ変更はできません"),
                          kWarningCaption);
    DBGrid1->show();
    DatabasePath = file;
    OpenedFileTime = QFileInfo(file).lastModified();
    BackupPath = backup;
    SpeedButton9->show();
    ComboBox1->setCurrentIndex(index);
    ShowTable();
    RadioGroup1->show();
    setRadioGroupIndex(0);
    RadioGroup1Click();
    SetCaption(DatabasePath);
}

// --- Buttons whose windows come with their own jobs -----------------------------

bool TForm1::tableShownOrRefuse(const QString& caption) {
    if (!DBGrid1->isHidden()) return true;
    services_.message(this, kNoDatabase, caption);
    return false;
}

bool TForm1::documentWorkAllowed(const QString& caption) {
    if (!tableShownOrRefuse(caption)) return false;
    if (!QFileInfo::exists(ProgramFolder + view::kSystemStore)) {
        services_.message(this, QStringLiteral("システムファイルがありません"), caption);
        return false;
    }
    return true;
}

