// The builder's dialog: its controls, and page 1 (a new database from a list
// or from filled-in forms). Pages 2 and 3 are in TForm2Pages.cpp.
#include "builder/window/TForm2.h"

#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QRadioButton>
#include <QShowEvent>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "builder/window/TForm7.h"
#include "excel/TUGExcel.h"
#include "excel/window/Waits.h"
#include "platform/BusyWindow.h"

namespace {

const QString kOpenCaption = QStringLiteral("開くの中止");
const QString kSelectionCaption = QStringLiteral("日付追加の中止");
const QString kExcelClosed = QStringLiteral("Excelが閉じてます");
const QString kBadSelection = QStringLiteral("Excelの選択が不良です");

template <class W>
W* named(W* w, const char* name) {
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

QToolButton* speedButton(QWidget* parent, const char* name, const QString& caption,
                         const QString& hint = {}) {
    auto* b = named(new QToolButton(parent), name);
    b->setText(caption);
    b->setToolTip(hint);
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    b->setMinimumWidth(64);
    return b;
}

// The six builder types as a row of radio buttons.
QGroupBox* typeGroup(QWidget* parent, const char* name, const QString& caption,
                     QButtonGroup*& items) {
    auto* box = named(new QGroupBox(caption, parent), name);
    items = new QButtonGroup(box);
    auto* row = new QHBoxLayout(box);
    for (int code = 0; code <= 5; ++code) {
        auto* r = new QRadioButton(builder::typeCaption(code), box);
        r->setObjectName(QStringLiteral("%1Item%2").arg(QLatin1String(name)).arg(code));
        items->addButton(r, code);
        row->addWidget(r);
    }
    items->button(0)->setChecked(true);
    return box;
}

// A width box (1..255, initial 50) whose line edit carries the edit's name.
QSpinBox* widthBox(QWidget* parent, const char* name, const char* editName, QLineEdit*& edit) {
    auto* box = named(new QSpinBox(parent), name);
    box->setRange(1, builder::kMaxWidth);
    box->setValue(builder::kDefaultWidth);
    edit = box->findChild<QLineEdit*>();
    edit->setObjectName(QString::fromLatin1(editName));
    return box;
}

// The ±10 stepper beside a width box.
QWidget* tenStepper(QWidget* parent, const char* name, const std::function<void(bool)>& step) {
    auto* w = named(new QWidget(parent), name);
    auto* up = named(new QToolButton(w), "Up");
    up->setArrowType(Qt::UpArrow);
    auto* down = named(new QToolButton(w), "Down");
    down->setArrowType(Qt::DownArrow);
    auto* col = new QVBoxLayout(w);
    col->setContentsMargins(0, 0, 0, 0);
    col->setSpacing(0);
    col->addWidget(up);
    col->addWidget(down);
    QObject::connect(up, &QToolButton::clicked, w, [step] { step(true); });
    QObject::connect(down, &QToolButton::clicked, w, [step] { step(false); });
    return w;
}

}  // namespace

int builderStep(int position, bool up) {
    if (up) return position < 246 ? position + 10 : position;
    return position > 11 ? position - 10 : position;
}

TForm2::TForm2(platform::Services& services, builder::MainWindowState& mainWindow, QWidget* parent)
    : QDialog(parent), services_(services), mainWindow_(mainWindow) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("データベース作成"));
    SourceExcel = std::make_unique<excel::TUGExcel>(mainWindow_.excelProgId());
    Form7 = new TForm7(this);
    PageControl1 = named(new QTabWidget(this), "PageControl1");
    auto* page1 = named(new QWidget, "TabSheet1");
    auto* page2 = named(new QWidget, "TabSheet2");
    auto* page3 = named(new QWidget, "TabSheet3");
    buildPage1(page1);
    buildPage2(page2);
    buildPage3(page3);
    PageControl1->addTab(page1, QStringLiteral("ﾃﾞｰﾀﾍﾞｰｽ作成"));
    PageControl1->addTab(page2, QStringLiteral("ﾃｰﾌﾞﾙ・ﾌｨｰﾙﾄﾞ追加"));
    PageControl1->addTab(page3, QStringLiteral("データ追加"));
    auto* root = new QVBoxLayout(this);
    root->addWidget(PageControl1);
    resize(560, 520);

    OpenDialog1.multiSelect = true;
    SaveDialog1.filter = QStringLiteral("Accessファイル(*.mdb)|*.mdb");
    SaveDialog1.defaultSuffix = QStringLiteral("mdb");
}

TForm2::~TForm2() {
    // A source still open goes unsaved: the user's file is only ever read.
    if (SourceExcel) SourceExcel->CloseBook(false);
}

void TForm2::buildPage1(QWidget* page) {
    SpeedButton1 = speedButton(page, "SpeedButton1", QStringLiteral("開く"),
                               QStringLiteral("データ元（Excel・CSV）を開く"));
    Edit1 = named(new QLineEdit(page), "Edit1");
    Edit1->setReadOnly(true);
    Label5 = named(new QLabel(QStringLiteral("フィールド一覧"), page), "Label5");
    Label1 = named(new QLabel(page), "Label1");
    Label4 = named(new QLabel(QStringLiteral("総文字数：2000"), page), "Label4");
    SG1 = named(new QTableWidget(1, 3, page), "SG1");
    SG1->setHorizontalHeaderLabels(
        {QStringLiteral("セル名"), QStringLiteral("フィールド名"), QStringLiteral("データ型")});
    SG1->setColumnWidth(0, 45);
    SG1->setColumnWidth(1, 209);
    SG1->setColumnWidth(2, 64);
    SG1->setSelectionBehavior(QAbstractItemView::SelectRows);
    SG1->setSelectionMode(QAbstractItemView::SingleSelection);
    SG1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    SG1->verticalHeader()->hide();
    SpeedButton2 = speedButton(page, "SpeedButton2", QStringLiteral("追加"), QStringLiteral("フィールドに追加"));
    SpeedButton5 = speedButton(page, "SpeedButton5", QStringLiteral("変更"), QStringLiteral("選択フィールドを変更"));
    SpeedButton6 = speedButton(page, "SpeedButton6", QStringLiteral("削除"), QStringLiteral("選択フィールドを削除"));

    GroupBox1 = named(new QGroupBox(QStringLiteral("選択ﾌｨｰﾙﾄﾞの編集"), page), "GroupBox1");
    auto* nameLabel = named(new QLabel(QStringLiteral("ﾌｨｰﾙﾄﾞ名"), GroupBox1), "Label2");
    Edit3 = named(new QLineEdit(GroupBox1), "Edit3");
    SpeedButton7 = speedButton(GroupBox1, "SpeedButton7", QStringLiteral("↑"),
                               QStringLiteral("選択セルをフィールド名にコピー"));
    SpeedButton7->setMinimumWidth(24);
    RadioGroup1 = typeGroup(GroupBox1, "RadioGroup1", QStringLiteral("データ型"), RadioGroup1Items);
    Label7 = named(new QLabel(QStringLiteral("文字数"), GroupBox1), "Label7");
    UpDown1 = widthBox(GroupBox1, "UpDown1", "Edit4", Edit4);
    UpDown2 = tenStepper(GroupBox1, "UpDown2", [this](bool up) { UpDown2ChangingEx(up); });
    auto* editor = new QGridLayout(GroupBox1);
    editor->addWidget(nameLabel, 0, 0);
    editor->addWidget(Edit3, 0, 1, 1, 3);
    editor->addWidget(SpeedButton7, 0, 4);
    editor->addWidget(RadioGroup1, 1, 0, 1, 5);
    editor->addWidget(Label7, 2, 0);
    editor->addWidget(UpDown1, 2, 1);
    editor->addWidget(UpDown2, 2, 2);
    editor->setColumnStretch(3, 1);

    SpeedButton3 = speedButton(page, "SpeedButton3", QStringLiteral("作成"));
    SpeedButton4 = speedButton(page, "SpeedButton4", QStringLiteral("ｷｬﾝｾﾙ"));
    SpeedButton8 = speedButton(page, "SpeedButton8", QStringLiteral("閉じる"));
    Label6 = named(new QLabel(QStringLiteral("＊Excelは閉じないで下さい"), page), "Label6");
    ProgressBar1 = named(new QProgressBar(page), "ProgressBar1");
    ProgressBar1->setRange(0, 100);
    ProgressBar1->hide();

    auto* top = new QHBoxLayout;
    top->addWidget(SpeedButton1);
    top->addWidget(Edit1, 1);
    auto* counts = new QHBoxLayout;
    counts->addWidget(Label5);
    counts->addWidget(Label1);
    counts->addStretch();
    counts->addWidget(Label4);
    auto* listButtons = new QVBoxLayout;
    for (QToolButton* b : {SpeedButton2, SpeedButton5, SpeedButton6}) listButtons->addWidget(b);
    listButtons->addStretch();
    auto* list = new QHBoxLayout;
    list->addWidget(SG1, 1);
    list->addLayout(listButtons);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(Label6);
    bottom->addStretch();
    for (QToolButton* b : {SpeedButton3, SpeedButton4, SpeedButton8}) bottom->addWidget(b);
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(top);
    layout->addLayout(counts);
    layout->addLayout(list, 1);
    layout->addWidget(GroupBox1);
    layout->addWidget(ProgressBar1);
    layout->addLayout(bottom);

    connect(SpeedButton1, &QToolButton::clicked, this, &TForm2::SpeedButton1Click);
    connect(SpeedButton2, &QToolButton::clicked, this, &TForm2::SpeedButton2Click);
    connect(SpeedButton5, &QToolButton::clicked, this, &TForm2::SpeedButton5Click);
    connect(SpeedButton6, &QToolButton::clicked, this, &TForm2::SpeedButton6Click);
    connect(SpeedButton7, &QToolButton::clicked, this, &TForm2::SpeedButton7Click);
    connect(SpeedButton3, &QToolButton::clicked, this, &TForm2::SpeedButton3Click);
    connect(SpeedButton4, &QToolButton::clicked, this, &TForm2::SpeedButton4Click);
    connect(SpeedButton8, &QToolButton::clicked, this, &TForm2::SpeedButton8Click);
    connect(SG1, &QTableWidget::itemSelectionChanged, this, &TForm2::SG1Click);
    connect(RadioGroup1Items, &QButtonGroup::idClicked, this, &TForm2::RadioGroup1Click);
}

void TForm2::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TForm2::done(int result) {
    // However the dialog closes, a source still open goes, unsaved.
    if (SourceExcel->BookOpen) abandonSource(false);
    QDialog::done(result);
}

void TForm2::FormShow() {
    CreatedDatabases.clear();
    resetGrid();
    Edit1->clear();
    Label1->clear();
    SetEditing(false);
    PageControl1->setCurrentIndex(0);
    OpenDialog1.filter = mainWindow_.builderSourceFilter();
    OpenDialog2.filter = mainWindow_.accessFilter();
    StructureChanged = false;
    pagesOffered_[0] = structurePageOffered();
    pagesOffered_[1] = importPageOffered();
    PageControl1->setTabEnabled(1, pagesOffered_[0]);
    PageControl1->setTabEnabled(2, pagesOffered_[1]);
    if (pagesOffered_[0]) fillStructurePage();
    if (pagesOffered_[1]) fillImportPage();
}

void TForm2::SetEditing(bool on) {
    SpeedButton1->setVisible(!on);
    SpeedButton8->setVisible(!on);
    for (QWidget* w : std::initializer_list<QWidget*>{Label5, Label1, Label4, SG1, SpeedButton2, SpeedButton5,
                                                      SpeedButton6, GroupBox1, SpeedButton3, SpeedButton4,
                                                      SpeedButton7})
        w->setVisible(on);
}

void TForm2::resetGrid() {
    Fields.clear();
    fillGrid();
}

void TForm2::fillGrid() {
    // An empty list still shows one row with empty texts.
    SG1->setRowCount(std::max<int>(1, int(Fields.size())));
    for (int r = 0; r < SG1->rowCount(); ++r) {
        const bool has = r < int(Fields.size());
        const QString texts[3] = {has ? Fields[size_t(r)].CellAddress : QString(),
                                  has ? Fields[size_t(r)].FieldName : QString(),
                                  has ? Fields[size_t(r)].TypeLabel : QString()};
        for (int c = 0; c < 3; ++c) SG1->setItem(r, c, new QTableWidgetItem(texts[c]));
    }
    Label1->setText(QStringLiteral("（フィールド数：%1）").arg(Fields.size()));
}

int TForm2::selectedRow() const {
    const auto rows = SG1->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void TForm2::selectRow(int row) {
    SG1->selectRow(row);
    SG1Click();
}

void TForm2::UpdateTotalTextWidth() {
    TotalTextWidth = builder::totalTextWidth(Fields);
    Label4->setText(QStringLiteral("総文字数：%1").arg(TotalTextWidth));
    Label4->setStyleSheet(TotalTextWidth >= builder::kCreateTextLimit ? QStringLiteral("color: red;")
                                                                      : QStringLiteral("color: black;"));
}

void TForm2::showTypeInEditor(int code, int width) {
    RadioGroup1Items->button(code)->setChecked(true);
    if (code == builder::btText) UpDown1->setValue(width);
    RadioGroup1Click();
}

void TForm2::SG1Click() {
    GroupBox1->setVisible(true);
    const int row = selectedRow();
    if (Fields.empty() || row < 0 || row >= int(Fields.size())) return;
    const builder::FieldDefinition& f = Fields[size_t(row)];
    Edit3->setText(f.FieldName);
    showTypeInEditor(f.TypeCode, f.Width);
}

void TForm2::RadioGroup1Click() {
    const bool text = RadioGroup1Items->checkedId() == builder::btText;
    for (QWidget* w : {static_cast<QWidget*>(Label7), static_cast<QWidget*>(UpDown1), UpDown2})
        w->setVisible(text);
}

int builderStep(int position, bool up);

void TForm2::UpDown2ChangingEx(bool up) {
    UpDown1->setValue(builderStep(UpDown1->value(), up));
}

bool TForm2::excelAliveOr(const QString& caption) {
    if (SourceExcel->ExcelAlive()) return true;
    services_.message(this, kExcelClosed, caption);
    return false;
}

QString TForm2::selectedCellOr() {
    const QString address = SourceExcel->SelectionAddress();
    if (address.isEmpty() || address.startsWith(QLatin1Char('#'))) {
        services_.message(this, kBadSelection, kSelectionCaption);
        return {};
    }
    return address;
}

bool TForm2::ValidateFieldName(const QString& name, const QString& caption, int exclude) {
    const QString problem =
        builder::nameProblem(name, builder::NameKind::Field, builder::otherNames(Fields, exclude));
    if (problem.isEmpty()) return true;
    services_.message(this, problem, caption);
    return false;
}

void TForm2::SpeedButton1Click() {
    const QStringList files = services_.openFiles(this, OpenDialog1);
    if (files.isEmpty()) return;
    if (files.size() > 1)
        for (const QString& f : files)
            if (QFileInfo(f).suffix().compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0) {
                services_.message(this, QStringLiteral("CSVファイルは単独でしか開けません"), kOpenCaption);
                return;
            }
    platform::runGuarded(services_, this, [&] {
        SourceExcel->OpenBook(files.first(), true);
        perFile_ = files.size() > 1;
        SpeedButton2->setEnabled(perFile_);
        SpeedButton6->setEnabled(perFile_);
        if (perFile_) {
            QString names;
            for (const QString& f : files) names += QFileInfo(f).fileName();
            Edit1->setText(names);
            Fields.clear();
        } else {
            excel::window::showAbove(services_, *Form7, *SourceExcel, this);
            if (!SourceExcel->ExcelAlive()) {
                services_.message(this, kExcelClosed, kOpenCaption);
                SourceExcel->CloseBook(false);
                return;
            }
            const QString address = SourceExcel->SelectionAddress();
            try {
                if (address.isEmpty() || address.startsWith(QLatin1Char('#')))
                    throw builder::Refusal(kBadSelection, kSelectionCaption);
                Fields = builder::readHeaderFields(SourceExcel->Book->activeSheet(), address);
            } catch (const builder::Refusal& r) {
                services_.message(this, r.message(), r.caption());
                SourceExcel->CloseBook(false);
                return;
            }
            Edit1->setText(QFileInfo(files.first()).fileName());
        }
        SourceFiles = files;
        fillGrid();
        UpdateTotalTextWidth();
        selectRow(0);
        SetEditing(true);
    });
}

void TForm2::SpeedButton2Click() {
    const QString caption = QStringLiteral("追加の中止");
    if (!excelAliveOr(caption)) return;
    if (int(Fields.size()) >= builder::kMaxFields) {
        services_.message(this, QStringLiteral("最大フィールド数のため追加できません"), caption);
        return;
    }
    if (!ValidateFieldName(Edit3->text(), caption, -1)) return;
    const QString address = selectedCellOr();
    if (address.isEmpty()) return;
    builder::FieldDefinition f;
    f.CellAddress = address;
    f.FieldName = Edit3->text();
    f.setType(RadioGroup1Items->checkedId(), UpDown1->value());
    Fields.push_back(f);
    fillGrid();
    UpdateTotalTextWidth();
    selectRow(int(Fields.size()) - 1);
}

void TForm2::SpeedButton5Click() {
    const int row = selectedRow();
    if (row < 0 || row >= int(Fields.size())) return;
    if (!ValidateFieldName(Edit3->text(), QStringLiteral("変更の中止"), row)) return;
    builder::FieldDefinition& f = Fields[size_t(row)];
    f.FieldName = Edit3->text();
    f.setType(RadioGroup1Items->checkedId(), UpDown1->value());
    fillGrid();
    UpdateTotalTextWidth();
    SG1->selectRow(row);
}

void TForm2::SpeedButton6Click() {
    const int row = selectedRow();
    if (row < 0 || row >= int(Fields.size())) return;
    if (services_.message(this, QStringLiteral("選択フィールドを削除しますか"), QStringLiteral("削除の確認"),
                          platform::Buttons::OkCancel) != platform::Answer::Ok)
        return;
    // Removing the row takes its type and width with it, so the total drops
    // even when it was the only field.
    Fields.erase(Fields.begin() + row);
    fillGrid();
    UpdateTotalTextWidth();
    selectRow(0);
}

void TForm2::SpeedButton7Click() {
    if (!excelAliveOr(QStringLiteral("セルコピーの中止"))) return;
    const QString address = selectedCellOr();
    if (address.isEmpty()) return;
    platform::runGuarded(services_, this, [&] { Edit3->setText(SourceExcel->GetCell(address)); });
}

void TForm2::abandonSource(bool keepList) {
    // The user's file is only read: closing never saves it back.
    SourceExcel->CloseBook(false);
    SetEditing(false);
    Edit1->clear();
    if (!keepList) resetGrid();
}

void TForm2::SpeedButton4Click() {
    abandonSource(false);
}

void TForm2::SpeedButton8Click() {
    accept();
}

void TForm2::SpeedButton3Click() {
    const QString caption = QStringLiteral("作成の中止");
    if (!excelAliveOr(caption)) return;
    int failedRow = -1;
    try {
        builder::checkFieldList(Fields, &failedRow);
    } catch (const builder::Refusal& r) {
        services_.message(this, r.message(), r.caption());
        if (failedRow >= 0) {
            selectRow(failedRow);
            Edit3->setFocus();
        }
        return;
    }
    const QString chosen = services_.saveFile(this, SaveDialog1);
    if (chosen.isEmpty()) return;
    const QString target = builder::targetPathFor(chosen);
    if (QFileInfo::exists(target)) {
        services_.message(this, QStringLiteral("同名ファイルがあります"), caption);
        return;
    }
    repaint();
    bool created = false;
    {
        // Disabled with the busy cursor while the file is built; both come
        // back however the creation ends.
        platform::BusyWindow busy(services_, this);
        struct ProgressShown {
            QProgressBar* bar;
            ~ProgressShown() { bar->hide(); }
        } progressShown{ProgressBar1};
        ProgressBar1->setValue(0);
        ProgressBar1->show();
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        builder::CreateRequest request{mainWindow_.programFolder() + QStringLiteral("DBTemplate.mdb"), target,
                                       Fields, [this](int p) { ProgressBar1->setValue(p); }};
        platform::runGuarded(services_, this, [&] {
            try {
                if (perFile_) {
                    // Each form is read from its own file; the first one stays
                    // open in the sheet window until the creation worked.
                    builder::createPerFile(request, SourceFiles, SourceExcel->SheetName(),
                                           [&](const QString& path) {
                                               services_.message(this, builder::missingSheetMessage(path),
                                                                 QStringLiteral("警告"));
                                           });
                } else {
                    builder::createFromList(request, SourceExcel->Book->activeSheet());
                }
                created = true;
            } catch (const builder::Refusal& r) {
                services_.message(this, r.message(), r.caption());
            }
        });
    }
    if (!created) return;
    CreatedDatabases << target;
    abandonSource(false);
    services_.message(this, QStringLiteral("データベース作成が完了しました"), QStringLiteral("報告"));
}
