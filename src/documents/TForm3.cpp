#include "documents/TForm3.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QShowEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "db/FieldType.h"
#include "documents/Bindings.h"
#include "documents/DocumentFile.h"
#include "documents/MainWindowState.h"
#include "documents/RegistrationRules.h"
#include "documents/TForm17.h"
#include "documents/TForm19.h"
#include "documents/TForm21.h"
#include "excel/TUGExcel.h"
#include "excel/window/Waits.h"
#include "platform/BusyWindow.h"
#include "platform/Services.h"

namespace {

const QString kAdding = QStringLiteral("追加中");
const QString kChanging = QStringLiteral("変更中");
const QString kWarning = QStringLiteral("警告");
const QString kExcelClosed = QStringLiteral("Excelが閉じてます");
const QString kBadSelection = QStringLiteral("Excelの選択が不良です");
const QString kSaveStopped = QStringLiteral("登録の中止");
const QString kExportStopped = QStringLiteral("ファイル出力の中止");
const QString kReadStopped = QStringLiteral("ファイル読込みの中止");

QToolButton* toolButton(QWidget* parent, const QString& name, const QString& caption,
                        const QString& hint = QString()) {
    auto* b = new QToolButton(parent);
    b->setObjectName(name);
    b->setText(caption);
    b->setToolTip(hint);
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    b->setMinimumWidth(64);
    return b;
}

QComboBox* comboBox(QWidget* parent, const QString& name, const QStringList& items = {}) {
    auto* c = new QComboBox(parent);
    c->setObjectName(name);
    c->addItems(items);
    return c;
}

QCheckBox* checkBox(QWidget* parent, const QString& name, const QString& caption) {
    auto* c = new QCheckBox(caption, parent);
    c->setObjectName(name);
    return c;
}

// A counter whose text the user cannot type into: only its arrows change it.
QSpinBox* upDown(QWidget* parent, const QString& name, const QString& editName, int maximum) {
    auto* s = new QSpinBox(parent);
    s->setObjectName(name);
    s->setRange(1, maximum);
    if (auto* edit = s->findChild<QLineEdit*>()) {
        edit->setObjectName(editName);
        edit->setReadOnly(true);
    }
    return s;
}

const QStringList kDirections{QStringLiteral("A-Z↓"), QStringLiteral("Z-A↓")};

}  // namespace

TForm3::TForm3(platform::Services& services, documents::MainWindowState& main, QWidget* parent)
    : QDialog(parent), services_(services), main_(main) {
    setObjectName(QStringLiteral("TForm3"));
    setWindowTitle(QStringLiteral("文書登録"));
    // Stays above the shown template while the user works there.
    setWindowFlag(Qt::WindowStaysOnTopHint);
    buildControls();
    Form19 = new TForm19(services_, this);
    Form17 = new TForm17(this);
    Form21 = new TForm21(this);
}

TForm3::~TForm3() = default;

void TForm3::buildControls() {
    SpeedButton1 = toolButton(this, QStringLiteral("SpeedButton1"), QStringLiteral("追加"),
                              QStringLiteral("新しい文書を作成"));
    SpeedButton2 = toolButton(this, QStringLiteral("SpeedButton2"), QStringLiteral("変更"),
                              QStringLiteral("登録文書を変更"));
    SpeedButton3 = toolButton(this, QStringLiteral("SpeedButton3"), QStringLiteral("削除"),
                              QStringLiteral("登録文書を削除"));
    SpeedButton10 = toolButton(this, QStringLiteral("SpeedButton10"), QStringLiteral("カード設定"));
    SpeedButton14 = toolButton(this, QStringLiteral("SpeedButton14"), QStringLiteral("ﾌｧｲﾙ入力"));
    SpeedButton15 = toolButton(this, QStringLiteral("SpeedButton15"), QStringLiteral("ﾌｧｲﾙ出力"));
    SpeedButton7 = toolButton(this, QStringLiteral("SpeedButton7"), QStringLiteral("閉じる"));
    Label2 = new QLabel(this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setStyleSheet(QStringLiteral("color: blue; font-weight: bold"));

    GroupBox1 = new QGroupBox(this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    Edit1 = new QLineEdit(GroupBox1);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    ComboBox1 = comboBox(GroupBox1, QStringLiteral("ComboBox1"));
    PageControl1 = new QTabWidget(GroupBox1);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));

    // "データ設定": the fields and the bindings.
    auto* data = new QWidget;
    ListBox1 = new QListWidget(data);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    SG1 = new QTableWidget(1, 2, data);
    SG1->setObjectName(QStringLiteral("SG1"));
    SG1->setHorizontalHeaderLabels({QStringLiteral("セル"), QStringLiteral("記入フィールド")});
    SG1->setSelectionBehavior(QAbstractItemView::SelectRows);
    SG1->setSelectionMode(QAbstractItemView::SingleSelection);
    SG1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    SG1->verticalHeader()->setVisible(false);
    SG1->horizontalHeader()->setStretchLastSection(true);
    SpeedButton4 = toolButton(data, QStringLiteral("SpeedButton4"), QStringLiteral("追加"),
                              QStringLiteral("選択フィールドを追加"));
    SpeedButton5 = toolButton(data, QStringLiteral("SpeedButton5"), QStringLiteral("削除"),
                              QStringLiteral("選択項目を削除"));
    SpeedButton13 = toolButton(data, QStringLiteral("SpeedButton13"), QStringLiteral("再編"),
                               QStringLiteral("図割付を再編"));
    SpeedButton11 = toolButton(data, QStringLiteral("SpeedButton11"), QStringLiteral("通し番号"),
                               QStringLiteral("通し番号を追加"));
    SpeedButton9 = toolButton(data, QStringLiteral("SpeedButton9"), QStringLiteral("作成日付"),
                              QStringLiteral("作成日付を追加"));
    SpeedButton12 = toolButton(data, QStringLiteral("SpeedButton12"), QStringLiteral("ﾊｲﾊﾟｰﾘﾝｸ"));
    auto* bindingButtons = new QVBoxLayout;
    for (QToolButton* b :
         {SpeedButton4, SpeedButton5, SpeedButton13, SpeedButton11, SpeedButton9, SpeedButton12})
        bindingButtons->addWidget(b);
    bindingButtons->addStretch();
    auto* dataLayout = new QGridLayout(data);
    dataLayout->addWidget(new QLabel(QStringLiteral("ﾌｨｰﾙﾄﾞ一覧"), data), 0, 0);
    dataLayout->addWidget(new QLabel(QStringLiteral("出力データ"), data), 0, 2);
    dataLayout->addWidget(ListBox1, 1, 0);
    dataLayout->addLayout(bindingButtons, 1, 1);
    dataLayout->addWidget(SG1, 1, 2);
    dataLayout->setColumnStretch(0, 2);
    dataLayout->setColumnStretch(2, 3);
    PageControl1->addTab(data, QStringLiteral("データ設定"));

    // "オプション": block output and output order.
    auto* options = new QWidget;
    CheckBox1 = checkBox(options, QStringLiteral("CheckBox1"), QStringLiteral("ブロック出力を使う"));
    GroupBox2 = new QGroupBox(options);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    UpDown1 = upDown(GroupBox2, QStringLiteral("UpDown1"), QStringLiteral("Edit2"),
                     documents::limits::kMaxXSection);
    UpDown2 = upDown(GroupBox2, QStringLiteral("UpDown2"), QStringLiteral("Edit3"),
                     documents::limits::kMaxIncrement);
    UpDown3 = upDown(GroupBox2, QStringLiteral("UpDown3"), QStringLiteral("Edit4"),
                     documents::limits::kMaxYSection);
    UpDown4 = upDown(GroupBox2, QStringLiteral("UpDown4"), QStringLiteral("Edit5"),
                     documents::limits::kMaxIncrement);
    ComboBox2 = comboBox(GroupBox2, QStringLiteral("ComboBox2"), documents::startColumnItems());
    ComboBox3 = comboBox(GroupBox2, QStringLiteral("ComboBox3"), documents::startRowItems());
    auto* blockLayout = new QGridLayout(GroupBox2);
    blockLayout->addWidget(new QLabel(QStringLiteral("＜横方向＞　ﾌﾞﾛｯｸ数"), GroupBox2), 0, 0);
    blockLayout->addWidget(UpDown1, 0, 1);
    blockLayout->addWidget(new QLabel(QStringLiteral("セル数"), GroupBox2), 0, 2);
    blockLayout->addWidget(UpDown2, 0, 3);
    blockLayout->addWidget(new QLabel(QStringLiteral("＜縦方向＞　ﾌﾞﾛｯｸ数"), GroupBox2), 1, 0);
    blockLayout->addWidget(UpDown3, 1, 1);
    blockLayout->addWidget(new QLabel(QStringLiteral("セル数"), GroupBox2), 1, 2);
    blockLayout->addWidget(UpDown4, 1, 3);
    blockLayout->addWidget(new QLabel(QStringLiteral("開始セル"), GroupBox2), 2, 0);
    blockLayout->addWidget(ComboBox2, 2, 1);
    blockLayout->addWidget(ComboBox3, 2, 3);

    CheckBox2 = checkBox(options, QStringLiteral("CheckBox2"), QStringLiteral("出力順を指定する"));
    GroupBox3 = new QGroupBox(options);
    GroupBox3->setObjectName(QStringLiteral("GroupBox3"));
    CheckBox3 = checkBox(GroupBox3, QStringLiteral("CheckBox3"), QStringLiteral("第１ソート"));
    CheckBox4 = checkBox(GroupBox3, QStringLiteral("CheckBox4"), QStringLiteral("第２ソート"));
    CheckBox5 = checkBox(GroupBox3, QStringLiteral("CheckBox5"), QStringLiteral("第３ソート"));
    ComboBox4 = comboBox(GroupBox3, QStringLiteral("ComboBox4"));
    ComboBox5 = comboBox(GroupBox3, QStringLiteral("ComboBox5"));
    ComboBox6 = comboBox(GroupBox3, QStringLiteral("ComboBox6"));
    ComboBox7 = comboBox(GroupBox3, QStringLiteral("ComboBox7"), kDirections);
    ComboBox8 = comboBox(GroupBox3, QStringLiteral("ComboBox8"), kDirections);
    ComboBox9 = comboBox(GroupBox3, QStringLiteral("ComboBox9"), kDirections);
    auto* sortLayout = new QGridLayout(GroupBox3);
    sortLayout->addWidget(CheckBox3, 0, 0);
    sortLayout->addWidget(ComboBox4, 0, 1);
    sortLayout->addWidget(ComboBox7, 0, 2);
    sortLayout->addWidget(CheckBox4, 1, 0);
    sortLayout->addWidget(ComboBox5, 1, 1);
    sortLayout->addWidget(ComboBox8, 1, 2);
    sortLayout->addWidget(CheckBox5, 2, 0);
    sortLayout->addWidget(ComboBox6, 2, 1);
    sortLayout->addWidget(ComboBox9, 2, 2);
    sortLayout->setColumnStretch(1, 1);

    auto* optionsLayout = new QVBoxLayout(options);
    optionsLayout->addWidget(CheckBox1);
    optionsLayout->addWidget(GroupBox2);
    optionsLayout->addWidget(CheckBox2);
    optionsLayout->addWidget(GroupBox3);
    optionsLayout->addStretch();
    PageControl1->addTab(options, QStringLiteral("オプション"));

    SpeedButton6 = toolButton(GroupBox1, QStringLiteral("SpeedButton6"), QStringLiteral("登録"));
    SpeedButton8 = toolButton(GroupBox1, QStringLiteral("SpeedButton8"), QStringLiteral("ｷｬﾝｾﾙ"));

    auto* head = new QGridLayout;
    head->addWidget(new QLabel(QStringLiteral("文書名"), GroupBox1), 0, 0);
    head->addWidget(Edit1, 0, 1);
    head->addWidget(new QLabel(QStringLiteral("出力記録"), GroupBox1), 0, 2);
    head->addWidget(ComboBox1, 0, 3);
    head->setColumnStretch(1, 2);
    head->setColumnStretch(3, 1);
    auto* saveButtons = new QHBoxLayout;
    saveButtons->addStretch();
    saveButtons->addWidget(SpeedButton6);
    saveButtons->addWidget(SpeedButton8);
    auto* editLayout = new QVBoxLayout(GroupBox1);
    editLayout->addLayout(head);
    editLayout->addWidget(PageControl1);
    editLayout->addLayout(saveButtons);

    auto* top = new QHBoxLayout;
    for (QToolButton* b : {SpeedButton1, SpeedButton2, SpeedButton3}) top->addWidget(b);
    top->addSpacing(12);
    top->addWidget(Label2);
    top->addStretch();
    for (QToolButton* b : {SpeedButton10, SpeedButton14, SpeedButton15, SpeedButton7})
        top->addWidget(b);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(GroupBox1, 1);
    resize(640, 460);

    connect(SpeedButton1, &QToolButton::clicked, this, &TForm3::SpeedButton1Click);
    connect(SpeedButton2, &QToolButton::clicked, this, &TForm3::SpeedButton2Click);
    connect(SpeedButton3, &QToolButton::clicked, this, &TForm3::SpeedButton3Click);
    connect(SpeedButton4, &QToolButton::clicked, this, &TForm3::SpeedButton4Click);
    connect(SpeedButton5, &QToolButton::clicked, this, &TForm3::SpeedButton5Click);
    connect(SpeedButton13, &QToolButton::clicked, this, &TForm3::SpeedButton13Click);
    connect(SpeedButton11, &QToolButton::clicked, this, &TForm3::SpeedButton11Click);
    connect(SpeedButton9, &QToolButton::clicked, this, &TForm3::SpeedButton9Click);
    connect(SpeedButton12, &QToolButton::clicked, this, &TForm3::SpeedButton12Click);
    connect(SpeedButton6, &QToolButton::clicked, this, &TForm3::SpeedButton6Click);
    connect(SpeedButton8, &QToolButton::clicked, this, &TForm3::SpeedButton8Click);
    connect(SpeedButton10, &QToolButton::clicked, this, &TForm3::SpeedButton10Click);
    connect(SpeedButton14, &QToolButton::clicked, this, &TForm3::SpeedButton14Click);
    connect(SpeedButton15, &QToolButton::clicked, this, &TForm3::SpeedButton15Click);
    connect(SpeedButton7, &QToolButton::clicked, this, &QDialog::reject);
    connect(CheckBox1, &QCheckBox::clicked, this, &TForm3::CheckBox1Click);
    connect(CheckBox2, &QCheckBox::clicked, this, &TForm3::CheckBox2Click);
    connect(CheckBox3, &QCheckBox::clicked, this, &TForm3::CheckBox3Click);
    connect(CheckBox4, &QCheckBox::clicked, this, &TForm3::CheckBox4Click);
    connect(CheckBox5, &QCheckBox::clicked, this, &TForm3::CheckBox5Click);
}

// --- showing and closing ------------------------------------------------------

void TForm3::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TForm3::FormShow() {
    RegistrationExcel = std::make_unique<excel::TUGExcel>(main_.excelProgId());
    // The main window comes back when this dialog closes.
    QWidget* mainWindow = main_.mainWindow();
    mainWasVisible_ = mainWindow && mainWindow->isVisible();
    if (mainWasVisible_) mainWindow->hide();

    fields_.clear();
    platform::runGuarded(services_, this, [&] {
        documents::ListBindableFields(main_.userDatabase(), main_.shownTableName(), fields_);
    });
    ListBox1->clear();
    ComboBox1->clear();
    ComboBox1->addItem(QStringLiteral("＜なし＞"));
    QStringList names;
    for (const documents::BindableField& f : fields_) {
        auto* item = new QListWidgetItem(f.name, ListBox1);
        item->setData(Qt::UserRole, f.typeCode);
        names << f.name;
    }
    ComboBox1->addItems(names);
    ComboBox1->setCurrentIndex(0);
    clearBindings();
    setEditing(QString());
    CheckBox1->setChecked(false);
    CheckBox1Click();
    CheckBox2->setChecked(false);
    CheckBox2Click();
    for (QComboBox* c : {ComboBox4, ComboBox5, ComboBox6}) {
        c->clear();
        c->addItems(names);
        c->setCurrentIndex(0);
    }
    for (QComboBox* c : {ComboBox7, ComboBox8, ComboBox9}) c->setCurrentIndex(0);
    PageControl1->setCurrentIndex(0);
    CurrentDocumentID = -1;
}

void TForm3::done(int result) {
    FormClose();
    QDialog::done(result);
}

void TForm3::FormClose() {
    // Closed in the middle of an edit (the window's close box): the template
    // keeps the markers written so far, as "ｷｬﾝｾﾙ" would leave them.
    if (!mode_.isEmpty()) closeTemplate();
    RegistrationExcel.reset();
    QWidget* mainWindow = main_.mainWindow();
    if (mainWasVisible_ && mainWindow) mainWindow->show();
    mainWasVisible_ = false;
}

void TForm3::setEditing(const QString& mode) {
    mode_ = mode;
    Label2->setText(mode);
    Label2->setVisible(!mode.isEmpty());
    GroupBox1->setVisible(!mode.isEmpty());
    for (QToolButton* b : {SpeedButton1, SpeedButton2, SpeedButton3, SpeedButton7, SpeedButton10,
                           SpeedButton14, SpeedButton15})
        b->setEnabled(mode.isEmpty());
}

void TForm3::closeTemplate() {
    if (RegistrationExcel) {
        RegistrationExcel->CloseBook(true);
        if (!RegistrationExcel->LastCloseError.isEmpty())
            services_.showError(
                this, std::runtime_error(RegistrationExcel->LastCloseError.toStdString()));
    }
    setEditing(QString());
}

// --- check-box rules ----------------------------------------------------------

void TForm3::CheckBox1Click() {
    GroupBox2->setVisible(CheckBox1->isChecked());
    if (CheckBox1->isChecked()) return;
    for (QSpinBox* s : {UpDown1, UpDown2, UpDown3, UpDown4}) s->setValue(1);
    ComboBox2->setCurrentIndex(0);
    ComboBox3->setCurrentIndex(0);
}

void TForm3::CheckBox2Click() {
    GroupBox3->setVisible(CheckBox2->isChecked());
    if (CheckBox2->isChecked()) return;
    for (QCheckBox* c : {CheckBox3, CheckBox4, CheckBox5}) c->setChecked(false);
}

void TForm3::CheckBox3Click() {
    if (CheckBox3->isChecked()) return;
    CheckBox4->setChecked(false);
    CheckBox5->setChecked(false);
}

void TForm3::CheckBox4Click() {
    if (!CheckBox3->isChecked()) CheckBox4->setChecked(false);
    if (!CheckBox4->isChecked()) CheckBox5->setChecked(false);
}

void TForm3::CheckBox5Click() {
    if (!CheckBox3->isChecked() || !CheckBox4->isChecked()) CheckBox5->setChecked(false);
}

// --- the binding grid ---------------------------------------------------------

QString TForm3::cellText(int row, int column) const {
    const QTableWidgetItem* item = SG1->item(row, column);
    return item ? item->text() : QString();
}

void TForm3::setBindingRow(int row, const QString& cell, const QString& field) {
    SG1->setItem(row, 0, new QTableWidgetItem(cell));
    SG1->setItem(row, 1, new QTableWidgetItem(field));
}

void TForm3::clearBindings() {
    SG1->setRowCount(1);
    setBindingRow(0, QString(), QString());
}

int TForm3::bindingRowForNew() {
    if (cellText(0, 0).isEmpty()) return 0;
    SG1->setRowCount(SG1->rowCount() + 1);
    return SG1->rowCount() - 1;
}

documents::LinkList TForm3::bindingRows() const {
    documents::LinkList list;
    if (cellText(0, 0).isEmpty()) return list;
    for (int r = 0; r < SG1->rowCount(); ++r) list.push_back({cellText(r, 0), cellText(r, 1), {}});
    return list;
}

int TForm3::blocks() const {
    return UpDown1->value() + UpDown3->value();
}

QString TForm3::selectedAddress(const QString& caption, bool pictureAllowed) {
    if (!RegistrationExcel || !RegistrationExcel->ExcelAlive()) {
        services_.message(this, kExcelClosed, caption);
        return {};
    }
    QString address;
    if (!platform::runGuarded(services_, this,
                              [&] { address = RegistrationExcel->SelectionAddress(); }))
        return {};
    if (address.isEmpty() || (!pictureAllowed && documents::isPictureCell(address))) {
        services_.message(this, kBadSelection, caption);
        return {};
    }
    return address;
}

bool TForm3::runFigureDialog(QString& figureText) {
    Form19->BlocksAcross = UpDown1->value();
    Form19->BlocksDown = UpDown3->value();
    Form19->Excel = RegistrationExcel.get();
    Form19->FigureText = figureText;
    // The user picks pictures in the template while this dialog waits.
    const int result = RegistrationExcel
                           ? excel::window::showAbove(services_, *Form19, *RegistrationExcel, this)
                           : services_.execDialog(Form19);
    Form19->Excel = nullptr;
    if (result != QDialog::Accepted) return false;
    figureText = Form19->FigureText;
    return true;
}

void TForm3::SpeedButton4Click() {
    const QString caption = QStringLiteral("項目追加の中止");
    const QListWidgetItem* item = ListBox1->currentItem();
    if (!item || !item->isSelected()) {
        services_.message(this, QStringLiteral("フィールドが未選択です"), caption);
        ListBox1->setFocus();
        return;
    }
    QString address = selectedAddress(caption, true);
    if (address.isEmpty()) return;
    const bool picture = documents::isPictureCell(address);
    if (picture && blocks() > 2 && !runFigureDialog(address)) return;
    const QString field = item->text();
    const int row = bindingRowForNew();
    setBindingRow(row, address, field);
    SG1->selectRow(row);
    if (!picture)
        platform::runGuarded(services_, this, [&] {
            RegistrationExcel->SetCell(address, documents::cellMarker(field));
        });
}

void TForm3::addSpecialBinding(const QString& field) {
    const QString address = selectedAddress(QStringLiteral("日付追加の中止"), false);
    if (address.isEmpty()) return;
    const int row = bindingRowForNew();
    setBindingRow(row, address, field);
    SG1->selectRow(row);
    platform::runGuarded(services_, this, [&] {
        RegistrationExcel->SetCell(address, documents::cellMarker(field));
    });
}

void TForm3::SpeedButton11Click() {
    addSpecialBinding(documents::kSerialField);
}

void TForm3::SpeedButton9Click() {
    addSpecialBinding(documents::kDateField);
}

void TForm3::SpeedButton5Click() {
    const int row = SG1->currentRow();
    if (row < 0) return;
    const QString cell = cellText(row, 0);
    if (cell.isEmpty()) return;
    // The marker goes with its binding; a template the user has closed is
    // no longer ours to write.
    if (!documents::isPictureCell(cell) && RegistrationExcel && RegistrationExcel->ExcelAlive())
        platform::runGuarded(services_, this,
                             [&] { RegistrationExcel->SetCell(cell, QString()); });
    if (SG1->rowCount() == 1)
        setBindingRow(0, QString(), QString());
    else
        SG1->removeRow(row);
}

void TForm3::SpeedButton13Click() {
    const int row = SG1->currentRow();
    if (row < 0) return;
    QString cell = cellText(row, 0);
    if (cell.isEmpty()) return;
    if (!documents::isPictureCell(cell)) {
        services_.message(this, QStringLiteral("選択欄は図ではありません"),
                          QStringLiteral("再編の中止"));
        return;
    }
    if (runFigureDialog(cell)) SG1->item(row, 0)->setText(cell);
}

void TForm3::SpeedButton12Click() {
    const int row = SG1->currentRow();
    if (row < 0 || cellText(row, 0).isEmpty()) return;
    const QString linkField = documents::parseHyperlink(cellText(row, 1)).linkField;
    const int index = documents::indexOfField(fields_, linkField);
    if (index < 0) return;
    if (fields_[static_cast<size_t>(index)].typeCode != db::ftText) {
        services_.message(this, QStringLiteral("文字型以外は設定できません"),
                          QStringLiteral("ハイパーリンクの中止"));
        return;
    }
    Form17->ComboBox1->clear();
    for (const documents::BindableField& f : fields_) Form17->ComboBox1->addItem(f.name);
    Form17->ComboBox1->setCurrentIndex(0);
    const documents::HyperlinkPreset preset = documents::hyperlinkPreset(cellText(row, 1), fields_);
    Form17->Label1->setText(preset.label);
    using Choice = documents::HyperlinkPreset::Choice;
    Form17->RadioButton1->setChecked(preset.choice == Choice::Off);
    Form17->RadioButton2->setChecked(preset.choice == Choice::CellText);
    Form17->RadioButton3->setChecked(preset.choice == Choice::Field);
    if (preset.choice == Choice::Field)
        Form17->ComboBox1->setCurrentIndex(Form17->ComboBox1->findText(preset.displayField));
    if (services_.execDialog(Form17) != QDialog::Accepted) return;
    const Choice choice = Form17->RadioButton3->isChecked()   ? Choice::Field
                          : Form17->RadioButton2->isChecked() ? Choice::CellText
                                                              : Choice::Off;
    SG1->item(row, 1)->setText(
        documents::hyperlinkChoiceText(linkField, choice, Form17->ComboBox1->currentText()));
}

// --- adding, changing, deleting -----------------------------------------------

void TForm3::SpeedButton1Click() {
    platform::FileDialogRequest request;
    request.filter = main_.excelFilter();
    const QStringList files = services_.openFiles(this, request);
    if (files.isEmpty()) return;
    const QString file = files.first();
    if (!QFileInfo(file).isFile()) {
        services_.message(this, QStringLiteral("未作成ファイルは指定できません"),
                          QStringLiteral("追加の中止"));
        return;
    }
    clearBindings();
    Edit1->setText(QFileInfo(file).completeBaseName());
    ComboBox1->setCurrentIndex(0);
    CheckBox1->setChecked(false);
    CheckBox1Click();
    CurrentDocumentID = -1;
    if (!platform::runGuarded(services_, this, [&] { RegistrationExcel->OpenBook(file, true); }))
        return;  // a workbook that does not open starts no edit
    setEditing(kAdding);
    raise();
}

bool TForm3::findSortKey(const QString& key, QComboBox* field, QComboBox* direction) {
    const documents::SortKey k = documents::parseSortKey(key);
    const int index = field->findText(k.field, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index < 0) return false;
    field->setCurrentIndex(index);
    direction->setCurrentIndex(key.startsWith(QLatin1Char('+')) ? 0 : 1);
    return true;
}

void TForm3::loadSortKeys(const documents::BlockSettings& s) {
    auto drop = [this] {
        CheckBox2->setChecked(false);
        CheckBox2Click();
    };
    if (s.Sort1.isEmpty()) return drop();
    if (!findSortKey(s.Sort1, ComboBox4, ComboBox7)) {
        services_.message(this, QStringLiteral("第１ソートのフィールドがありません"), kWarning);
        return drop();
    }
    CheckBox2->setChecked(true);
    CheckBox2Click();
    CheckBox3->setChecked(true);
    if (s.Sort2.isEmpty() || !findSortKey(s.Sort2, ComboBox5, ComboBox8)) {
        if (!s.Sort2.isEmpty())
            services_.message(this, QStringLiteral("第２ソートのフィールドがありません"),
                              kWarning);
        CheckBox4->setChecked(false);
        CheckBox5->setChecked(false);
        return;
    }
    CheckBox4->setChecked(true);
    if (s.Sort3.isEmpty() || !findSortKey(s.Sort3, ComboBox6, ComboBox9)) {
        if (!s.Sort3.isEmpty())
            services_.message(this, QStringLiteral("第３ソートのフィールドがありません"),
                              kWarning);
        CheckBox5->setChecked(false);
        return;
    }
    CheckBox5->setChecked(true);
}

void TForm3::SpeedButton2Click() {
    documents::ChosenDocument chosen;
    int id = -1;
    if (!platform::runGuarded(services_, this, [&] { id = main_.SelectDocument(chosen); }) ||
        id == -1)
        return;
    documents::LinkList bindings;
    documents::BlockSettings settings;
    const bool read = platform::runGuarded(services_, this, [&] {
        documents::Registry registry = main_.registry();
        documents::StoreSession job(registry.store());
        registry.ReadBindings(id, bindings);
        registry.ReadBlockSettings(id, settings);
    });
    if (!read) return;

    if (chosen.outputLogField.isEmpty()) {
        ComboBox1->setCurrentIndex(0);
    } else {
        const int index =
            ComboBox1->findText(chosen.outputLogField, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (index > 0) {
            ComboBox1->setCurrentIndex(index);
        } else {
            services_.message(this, QStringLiteral("出力記録のフィールドがありません。変更して下さい"),
                              kWarning);
            ComboBox1->setCurrentIndex(0);
        }
    }
    clearBindings();
    if (!bindings.empty()) {
        SG1->setRowCount(static_cast<int>(bindings.size()));
        for (size_t i = 0; i < bindings.size(); ++i)
            setBindingRow(static_cast<int>(i), bindings[i].Cell, bindings[i].BoundField);
    }
    UpDown1->setValue(settings.XSection);
    UpDown2->setValue(settings.XIncrement);
    UpDown3->setValue(settings.YSection);
    UpDown4->setValue(settings.YIncrement);
    ComboBox2->setCurrentIndex(settings.XStart);
    ComboBox3->setCurrentIndex(settings.YStart);
    CheckBox1->setChecked(settings.usesBlocks());
    CheckBox1Click();
    loadSortKeys(settings);
    Edit1->setText(chosen.name);

    if (!platform::runGuarded(services_, this,
                              [&] { RegistrationExcel->OpenBook(chosen.templatePath, true); }))
        return;
    CurrentDocumentID = id;
    setEditing(kChanging);
    bool sheetFound = false;
    platform::runGuarded(services_, this,
                         [&] { sheetFound = RegistrationExcel->SelectSheet(chosen.sheet); });
    if (!sheetFound) services_.message(this, QStringLiteral("登録シートがありません"), kWarning);
    raise();
}

void TForm3::SpeedButton3Click() {
    documents::ChosenDocument chosen;
    int id = -1;
    if (!platform::runGuarded(services_, this, [&] { id = main_.SelectDocument(chosen); }) ||
        id == -1)
        return;
    if (services_.message(this, QStringLiteral("選択文書を削除しますか？"),
                          QStringLiteral("削除の確認"),
                          platform::Buttons::OkCancel) != platform::Answer::Ok)
        return;
    if (platform::runGuarded(services_, this, [&] { main_.registry().DeleteDocument(id); }))
        CurrentDocumentID = -1;
}

// --- saving -------------------------------------------------------------------

void TForm3::SpeedButton6Click() {
    if (Edit1->text().isEmpty()) {
        services_.message(this, QStringLiteral("登録名が未入力です"), kSaveStopped);
        Edit1->setFocus();
        return;
    }
    if (cellText(0, 0).isEmpty()) {
        services_.message(this, QStringLiteral("出力が未指定です"), kSaveStopped);
        return;
    }
    if (!RegistrationExcel || !RegistrationExcel->ExcelAlive()) {
        services_.message(this, kExcelClosed, kSaveStopped);
        return;
    }
    if (blocks() > 2) {
        QStringList cells;
        for (int r = 0; r < SG1->rowCount(); ++r) cells << cellText(r, 0);
        const int row = documents::figureMismatchRow(cells, UpDown1->value() * UpDown3->value());
        if (row >= 0) {
            services_.message(this, QStringLiteral("図割付が不一致です"), kSaveStopped);
            SG1->selectRow(row);
            SG1->setFocus();
            return;
        }
    }
    const documents::SortRow sorts[3] = {
        {CheckBox3->isChecked(), ComboBox4->currentText(), ComboBox7->currentIndex() != 0},
        {CheckBox4->isChecked(), ComboBox5->currentText(), ComboBox8->currentIndex() != 0},
        {CheckBox5->isChecked(), ComboBox6->currentText(), ComboBox9->currentIndex() != 0}};
    if (documents::sortFieldsRepeat(sorts)) {
        services_.message(this, QStringLiteral("ソートフィールドが重複してます"), kSaveStopped);
        return;
    }

    documents::Registration r;
    r.id = mode_ == kAdding ? -1 : CurrentDocumentID;
    r.name = Edit1->text();
    r.outputLogField = ComboBox1->currentIndex() == 0 ? QString() : ComboBox1->currentText();
    r.block.XSection = UpDown1->value();
    r.block.XIncrement = UpDown2->value();
    r.block.YSection = UpDown3->value();
    r.block.YIncrement = UpDown4->value();
    r.block.XStart = ComboBox2->currentIndex();
    r.block.YStart = ComboBox3->currentIndex();
    documents::sortKeysFrom(sorts, r.block);
    r.bindings = bindingRows();
    int id = -1;
    const bool saved = platform::runGuarded(services_, this, [&] {
        if (r.id == -1) {
            r.databasePath = main_.databasePath();
            r.table = main_.shownTableName();
            r.templatePath = RegistrationExcel->FileName;
            r.sheet = RegistrationExcel->SheetName();
        }
        id = main_.registry().SaveRegistration(r);
    });
    if (!saved) return;  // nothing was stored; the edit goes on
    CurrentDocumentID = id;
    closeTemplate();
}

void TForm3::SpeedButton8Click() {
    closeTemplate();
}

void TForm3::SpeedButton10Click() {
    platform::runGuarded(services_, this, [&] { main_.EditCardDocument(); });
}

// --- document files -----------------------------------------------------------

void TForm3::SpeedButton15Click() {
    platform::runGuarded(services_, this, [&] { exportFile(); });
}

void TForm3::SpeedButton14Click() {
    platform::runGuarded(services_, this, [&] { importFile(); });
}

void TForm3::exportFile() {
    documents::Registry registry = main_.registry();
    documents::DocumentList list;
    if (registry.ListDocuments(list) == 0) {
        services_.message(this, QStringLiteral("登録文書がありません"), kExportStopped);
        return;
    }
    platform::FileDialogRequest request;
    request.filter = documents::kDocumentFileFilter;
    const QString chosen = services_.saveFile(this, request);
    if (chosen.isEmpty()) return;
    Form21->setDocuments(list);
    if (services_.execDialog(Form21) != QDialog::Accepted) return;
    const std::vector<int> ids = Form21->checkedIds();
    const QString path = documents::changeFileExt(chosen, documents::kDocumentFileExtension);

    platform::BusyWindow busy(services_, this);
    documents::StoreSession job(registry.store());
    try {
        documents::ExportDocuments(registry, ids, path);
    } catch (const documents::ExportError& e) {
        using Kind = documents::ExportError::Kind;
        QString text;
        switch (e.kind()) {
            case Kind::CannotCreate:
                text = QStringLiteral("ファイルが作成できません");
                break;
            case Kind::Unencodable:
                text = QStringLiteral("ファイルに書けない文字があります（%1）").arg(e.documentName());
                break;
            case Kind::LineBreak:
                text = QStringLiteral("改行を含む出力データがあります（%1）").arg(e.documentName());
                break;
            case Kind::NoDocument:
                text = QStringLiteral("登録文書がありません");
                break;
        }
        services_.message(this, text, kExportStopped);
    }
}

void TForm3::importFile() {
    platform::FileDialogRequest request;
    request.filter = documents::kDocumentFileFilter;
    const QStringList files = services_.openFiles(this, request);
    if (files.isEmpty()) return;
    QFile file(files.first());
    if (!file.open(QIODevice::ReadOnly)) {
        services_.message(this, QStringLiteral("ファイルが開けません"),
                          QStringLiteral("ファイル入力の中止"));
        return;
    }
    documents::ImportResult result;
    {
        platform::BusyWindow busy(services_, this);
        documents::Registry registry = main_.registry();
        documents::StoreSession job(registry.store());
        result = documents::ImportDocuments(file, registry,
                                            {main_.aceAvailable(), main_.xlsxCapable()});
    }
    using Stop = documents::ImportResult::Stop;
    switch (result.stop) {
        case Stop::None:
            return;
        case Stop::NotADocumentFile:
            services_.message(this, QStringLiteral("文書情報ではありません"), kReadStopped);
            return;
        case Stop::DatabaseVersion:
            services_.message(this, QStringLiteral("データベースバージョンが違います"),
                              kReadStopped);
            return;
        case Stop::ExcelVersion:
            services_.message(this, QStringLiteral("エクセルバージョンが違います"), kReadStopped);
            return;
        case Stop::BadRecord:
            services_.message(this,
                              QStringLiteral("文書情報が正しくありません（%1行目）").arg(result.line),
                              kReadStopped);
            return;
    }
}
