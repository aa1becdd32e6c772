#include "aggregate/TForm13.h"

#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>

#include "aggregate/FieldTally.h"
#include "aggregate/MainWindowState.h"
#include "platform/BusyWindow.h"

TForm13::TForm13(platform::Services& services, aggregate::MainWindowState& mainWindow,
                 QWidget* parent)
    : QDialog(parent), services_(services), mainWindow_(mainWindow) {
    setObjectName(QStringLiteral("TForm13"));
    setWindowTitle(QStringLiteral("データ集計"));
    setModal(true);

    Label1 = new QLabel(QStringLiteral("フィールド名"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setMinimumWidth(220);
    Label1->setBuddy(ComboBox1);

    GroupBox1 = new QGroupBox(QStringLiteral("基本統計"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    auto* stats = new QVBoxLayout(GroupBox1);
    QLabel** labels[] = {&Label2, &Label3, &Label4, &Label5};
    for (int i = 0; i < 4; ++i) {
        *labels[i] = new QLabel(GroupBox1);
        (*labels[i])->setObjectName(QStringLiteral("Label%1").arg(i + 2));
        (*labels[i])->setTextInteractionFlags(Qt::TextSelectableByMouse);
        stats->addWidget(*labels[i]);
    }

    Label6 = new QLabel(QStringLiteral("データ出現数"), this);
    Label6->setObjectName(QStringLiteral("Label6"));
    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setUniformItemSizes(true);

    SpeedButton1 = new QToolButton(this);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setText(QStringLiteral("閉じる"));
    SpeedButton1->setMinimumWidth(80);

    auto* column = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    top->addWidget(Label1);
    top->addWidget(ComboBox1, 1);
    column->addLayout(top);
    column->addWidget(GroupBox1);
    column->addWidget(Label6);
    column->addWidget(ListBox1, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(SpeedButton1);
    column->addLayout(bottom);
    resize(420, 520);

    connect(ComboBox1, &QComboBox::activated, this, &TForm13::ComboBox1Change);
    connect(SpeedButton1, &QToolButton::clicked, this, &TForm13::SpeedButton1Click);
}

void TForm13::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    FormShow();
}

void TForm13::FormShow() {
    ComboBox1->clear();
    ListBox1->clear();
    for (QLabel* l : {Label2, Label3, Label4, Label5}) l->clear();
    fields_.clear();
    const bool read = platform::runGuarded(services_, this, [&] {
        mainWindow_.ListBindableFields(fields_);
    });
    if (!read) fields_.clear();
    for (const documents::BindableField& f : fields_) ComboBox1->addItem(f.name);
    const bool any = !fields_.empty();
    GroupBox1->setVisible(any);
    Label6->setVisible(any);
    ListBox1->setVisible(any);
    if (!any) return;
    ComboBox1->setCurrentIndex(0);
    ComboBox1Change();
}

void TForm13::ComboBox1Change() {
    const int index = ComboBox1->currentIndex();
    if (index < 0 || index >= int(fields_.size())) return;
    // Disabled with the busy cursor while counting; both come back on every
    // way out, an error included.
    platform::BusyWindow busy(services_, this);
    ListBox1->clear();
    for (QLabel* l : {Label2, Label3, Label4, Label5}) l->clear();
    const documents::BindableField field = fields_[size_t(index)];
    platform::runGuarded(services_, this, [&] {
        const aggregate::FieldTally tally = aggregate::aggregateField(
            mainWindow_.userConnection(), mainWindow_.shownSql(), field.name, field.typeCode);
        Label2->setText(tally.selectedLine());
        Label3->setText(tally.validLine());
        Label4->setText(tally.sumLine());
        Label5->setText(tally.meanLine());
        ListBox1->addItems(tally.occurrenceLines());
    });
}

void TForm13::SpeedButton1Click() { close(); }
