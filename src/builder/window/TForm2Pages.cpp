// Pages 2 (tables and fields of the open database) and 3 (another
// database's records into the shown table) of the builder's dialog.
#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

#include "accessfile/AccessFile.h"
#include "accessfile/window/ConversionFlow.h"
#include "builder/window/TForm2.h"
#include "db/Db.h"
#include "platform/BusyWindow.h"

namespace {

template <class W>
W* named(W* w, const char* name) {
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

QToolButton* pageButton(QWidget* parent, const char* name, const QString& caption) {
    auto* b = named(new QToolButton(parent), name);
    b->setText(caption);
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    b->setMinimumWidth(90);
    return b;
}

QVBoxLayout* captioned(QWidget* parent, const QString& caption, QWidget* w) {
    auto* col = new QVBoxLayout;
    col->addWidget(new QLabel(caption, parent));
    col->addWidget(w, 1);
    return col;
}

// The builder's own connection to a database file, open for one job.
struct OwnConnection {
    db::Connection c;
    OwnConnection(const QString& path, const QString& password) {
        c.setConnectionString(builder::connectionStringFor(path, password));
        c.open();
    }
};

}  // namespace

int builderStep(int position, bool up);

void TForm2::buildPage2(QWidget* page) {
    ListBox1 = named(new QListWidget(page), "ListBox1");
    ListBox2 = named(new QListWidget(page), "ListBox2");
    Label9 = named(new QLabel(page), "Label9");
    Label10 = named(new QLabel(page), "Label10");
    Edit2 = named(new QLineEdit(page), "Edit2");
    RadioGroup2 = nullptr;
    QButtonGroup* items = nullptr;
    RadioGroup2 = named(new QGroupBox(QStringLiteral("データ型（フィールドのみ有効）"), page), "RadioGroup2");
    items = new QButtonGroup(RadioGroup2);
    auto* typeRow = new QHBoxLayout(RadioGroup2);
    for (int code = 0; code <= 5; ++code) {
        auto* r = new QRadioButton(builder::typeCaption(code), RadioGroup2);
        r->setObjectName(QStringLiteral("RadioGroup2Item%1").arg(code));
        items->addButton(r, code);
        typeRow->addWidget(r);
    }
    items->button(0)->setChecked(true);
    RadioGroup2Items = items;
    Label13 = named(new QLabel(QStringLiteral("文字数"), page), "Label13");
    UpDown3 = named(new QSpinBox(page), "UpDown3");
    UpDown3->setRange(1, builder::kMaxWidth);
    UpDown3->setValue(builder::kDefaultWidth);
    Edit5 = UpDown3->findChild<QLineEdit*>();
    Edit5->setObjectName(QStringLiteral("Edit5"));
    UpDown4 = named(new QWidget(page), "UpDown4");
    {
        auto* up = named(new QToolButton(UpDown4), "Up");
        up->setArrowType(Qt::UpArrow);
        auto* down = named(new QToolButton(UpDown4), "Down");
        down->setArrowType(Qt::DownArrow);
        auto* col = new QVBoxLayout(UpDown4);
        col->setContentsMargins(0, 0, 0, 0);
        col->setSpacing(0);
        col->addWidget(up);
        col->addWidget(down);
        connect(up, &QToolButton::clicked, this, [this] { UpDown4ChangingEx(true); });
        connect(down, &QToolButton::clicked, this, [this] { UpDown4ChangingEx(false); });
    }
    SpeedButton9 = pageButton(page, "SpeedButton9", QStringLiteral("テーブル追加"));
    SpeedButton10 = pageButton(page, "SpeedButton10", QStringLiteral("フィールド追加"));

    auto* lists = new QHBoxLayout;
    lists->addLayout(captioned(page, QStringLiteral("テーブル"), ListBox1), 1);
    auto* fields = captioned(page, QStringLiteral("フィールド"), ListBox2);
    fields->addWidget(Label9);
    fields->addWidget(Label10);
    lists->addLayout(fields, 1);
    auto* form = new QGridLayout;
    form->addWidget(new QLabel(QStringLiteral("名前"), page), 0, 0);
    form->addWidget(Edit2, 0, 1, 1, 3);
    form->addWidget(new QLabel(QStringLiteral("（必須入力）"), page), 0, 4);
    form->addWidget(RadioGroup2, 1, 0, 1, 5);
    form->addWidget(Label13, 2, 0);
    form->addWidget(UpDown3, 2, 1);
    form->addWidget(UpDown4, 2, 2);
    form->setColumnStretch(3, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(SpeedButton9);
    buttons->addWidget(SpeedButton10);
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(lists, 1);
    layout->addLayout(form);
    layout->addLayout(buttons);

    connect(ListBox1, &QListWidget::itemClicked, this, &TForm2::ListBox1Click);
    connect(RadioGroup2Items, &QButtonGroup::idClicked, this, &TForm2::RadioGroup2Click);
    connect(SpeedButton9, &QToolButton::clicked, this, &TForm2::SpeedButton9Click);
    connect(SpeedButton10, &QToolButton::clicked, this, &TForm2::SpeedButton10Click);
}

void TForm2::buildPage3(QWidget* page) {
    auto* note = new QLabel(QStringLiteral("＊メイン画面で開いているテーブルに以下のデータを追加します。"), page);
    note->setObjectName(QStringLiteral("Label11"));
    SpeedButton11 = pageButton(page, "SpeedButton11", QStringLiteral("開く"));
    Edit6 = named(new QLineEdit(page), "Edit6");
    Edit6->setReadOnly(true);
    ComboBox1 = named(new QComboBox(page), "ComboBox1");
    ListBox3 = named(new QListWidget(page), "ListBox3");
    ListBox4 = named(new QListWidget(page), "ListBox4");
    SpeedButton12 = pageButton(page, "SpeedButton12", QStringLiteral("データ追加"));

    auto* source = new QHBoxLayout;
    source->addWidget(SpeedButton11);
    source->addWidget(Edit6, 1);
    auto* table = new QHBoxLayout;
    table->addWidget(new QLabel(QStringLiteral("テーブル選択"), page));
    table->addWidget(ComboBox1, 1);
    auto* lists = new QHBoxLayout;
    lists->addLayout(captioned(page, QStringLiteral("取り込み可能フィールド"), ListBox3), 1);
    lists->addLayout(captioned(page, QStringLiteral("取り込み不能フィールド"), ListBox4), 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(SpeedButton12);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(note);
    layout->addLayout(source);
    layout->addLayout(table);
    layout->addLayout(lists, 1);
    layout->addLayout(buttons);

    connect(SpeedButton11, &QToolButton::clicked, this, &TForm2::SpeedButton11Click);
    connect(ComboBox1, &QComboBox::currentIndexChanged, this, &TForm2::ComboBox1Change);
    connect(SpeedButton12, &QToolButton::clicked, this, &TForm2::SpeedButton12Click);
}

bool TForm2::structurePageOffered() const {
    return mainWindow_.tableShown() && !mainWindow_.oldFormatDatabase();
}

bool TForm2::importPageOffered() const {
    if (!structurePageOffered()) return false;
    // The destination's key must be one auto-number field, filled by the
    // engine and never by the import.
    const QStringList keys = mainWindow_.primaryKeyFields();
    if (keys.size() != 1) return false;
    for (const builder::FieldInfo& f : const_cast<builder::MainWindowState&>(mainWindow_).shownFields())
        if (f.name.compare(keys.first(), Qt::CaseInsensitive) == 0) return f.type == db::ftAutoInc;
    return false;
}

// --- Page 2 ------------------------------------------------------------------

void TForm2::fillStructurePage() {
    StructureChanged = false;
    RadioGroup2Items->button(0)->setChecked(true);
    RadioGroup2Click();
    Edit2->clear();
    ListBox1->clear();
    ListBox2->clear();
    for (const QString& name : mainWindow_.tableList())
        if (!mainWindow_.isSavedQuery(name)) ListBox1->addItem(name);
    if (ListBox1->count() > 0) {
        ListBox1->setCurrentRow(0);
        ListBox1Click();
    }
}

void TForm2::RadioGroup2Click() {
    const bool text = RadioGroup2Items->checkedId() == builder::btText;
    for (QWidget* w : {static_cast<QWidget*>(Label13), static_cast<QWidget*>(UpDown3), UpDown4})
        w->setVisible(text);
}

void TForm2::UpDown4ChangingEx(bool up) {
    UpDown3->setValue(builderStep(UpDown3->value(), up));
}

void TForm2::refreshTableLabels() {
    Label9->setText(QStringLiteral("フィールド数＝%1").arg(TableFieldCount));
    Label10->setText(QStringLiteral("総文字数＝%1").arg(TableTextWidth));
}

void TForm2::ListBox1Click() {
    if (!ListBox1->currentItem()) return;
    ListBox2->clear();
    platform::runGuarded(services_, this, [&] {
        OwnConnection own(mainWindow_.databasePath(), mainWindow_.databasePassword());
        const builder::TableShape shape = builder::tableShape(own.c, ListBox1->currentItem()->text());
        TableFields = shape.fields;
        TableFieldCount = shape.fieldCount;
        TableTextWidth = shape.textWidth;
        ListBox2->addItems(shape.fields);
        if (ListBox2->count() > 0) ListBox2->setCurrentRow(0);
    });
    refreshTableLabels();
}

void TForm2::SpeedButton9Click() {
    const QString name = Edit2->text();
    QStringList tables;
    for (int i = 0; i < ListBox1->count(); ++i) tables << ListBox1->item(i)->text();
    platform::runGuarded(services_, this, [&] {
        try {
            OwnConnection own(mainWindow_.databasePath(), mainWindow_.databasePassword());
            builder::addTable(own.c, name, tables);
        } catch (const builder::Refusal& r) {
            services_.message(this, r.message(), r.caption());
            return;
        }
        StructureChanged = true;
        ListBox1->addItem(name);
        ListBox1->setCurrentRow(ListBox1->count() - 1);
        ListBox1Click();
    });
}

void TForm2::SpeedButton10Click() {
    if (!ListBox1->currentItem()) return;
    const int code = RadioGroup2Items->checkedId();
    const int width = code == builder::btText ? UpDown3->value() : 0;
    const QString name = Edit2->text();
    platform::runGuarded(services_, this, [&] {
        try {
            OwnConnection own(mainWindow_.databasePath(), mainWindow_.databasePassword());
            builder::addField(own.c, ListBox1->currentItem()->text(),
                              {TableFields, TableFieldCount, TableTextWidth}, name, code, width);
        } catch (const builder::Refusal& r) {
            services_.message(this, r.message(), r.caption());
            return;
        }
        StructureChanged = true;
        TableFields << name;
        ListBox2->addItem(name);
        ListBox2->setCurrentRow(ListBox2->count() - 1);
        ++TableFieldCount;
        TableTextWidth += width;
        refreshTableLabels();
    });
}

// --- Page 3 ------------------------------------------------------------------

void TForm2::fillImportPage() {
    Edit6->clear();
    Edit6->setToolTip(QString());
    ComboBox1->clear();
    ListBox3->clear();
    ListBox4->clear();
    Plan = {};
    DestinationFields = mainWindow_.shownFields();
}

void TForm2::SpeedButton11Click() {
    const QStringList files = services_.openFiles(this, OpenDialog2);
    if (files.isEmpty()) return;
    QString path = files.first();
    if (builder::sameDatabase(path, mainWindow_.databasePath())) {
        services_.message(this, QStringLiteral("開いているデータベースは選べません"), QStringLiteral("開くの中止"));
        return;
    }
    // A file made by Access itself is offered for conversion; its converted
    // copy becomes the source.
    if (accessfile::isGenuineAccessFile(path)) {
        path = accessfile::offerConversion(services_, this, path, mainWindow_.accessFilter());
        if (path.isEmpty()) return;
    }
    ComboBox1->blockSignals(true);
    ComboBox1->clear();
    ComboBox1->blockSignals(false);
    ListBox3->clear();
    ListBox4->clear();
    Plan = {};
    Edit6->setText(path);
    Edit6->setToolTip(path);
    platform::runGuarded(services_, this, [&] {
        OwnConnection own(path, QString());
        const QStringList tables = own.c.tableNames();
        own.c.close();
        ComboBox1->blockSignals(true);
        ComboBox1->addItems(tables);
        ComboBox1->blockSignals(false);
        if (!tables.isEmpty()) {
            ComboBox1->setCurrentIndex(0);
            ComboBox1Change();
        }
    });
}

void TForm2::ComboBox1Change() {
    if (Edit6->text().isEmpty() || ComboBox1->currentIndex() < 0) return;
    platform::BusyCursor busy(services_);
    ListBox3->clear();
    ListBox4->clear();
    Plan = {};
    platform::runGuarded(services_, this, [&] {
        OwnConnection own(Edit6->text(), QString());
        Plan = builder::classifyFields(builder::fieldsOf(own.c, ComboBox1->currentText()), DestinationFields);
        for (const builder::FieldInfo& f : Plan.importable) {
            auto* item = new QListWidgetItem(f.name, ListBox3);
            item->setData(Qt::UserRole, f.type);
        }
        ListBox4->addItems(Plan.refused);
    });
}

void TForm2::SpeedButton12Click() {
    const QString caption = QStringLiteral("データ追加の中止");
    if (Edit6->text().isEmpty()) {
        services_.message(this, QStringLiteral("データベースが未指定です"), caption);
        return;
    }
    if (ListBox3->count() == 0) {
        services_.message(this, QStringLiteral("取り込めるデータがありません"), caption);
        return;
    }
    bool done = false;
    {
        platform::BusyWindow busy(services_, this);
        platform::runGuarded(services_, this, [&] {
            try {
                OwnConnection own(Edit6->text(), QString());
                builder::importRecords(own.c, ComboBox1->currentText(), mainWindow_.userDatabase(),
                                       mainWindow_.shownTableName(), Plan);
                done = true;
            } catch (const builder::Refusal& r) {
                services_.message(this, r.message(), r.caption());
            }
        });
    }
    if (done) services_.message(this, QStringLiteral("データ追加が完了しました"), QStringLiteral("報告"));
}
