#include "view/TForm6.h"

#include "view/FieldTypes.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

#include "platform/Services.h"
#include "text/Text.h"
#include "view/FilterValidation.h"

namespace {

using namespace view::fieldtype;

template <typename W>
W* named(W* w, const char* name) {
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

QLabel* label(const QString& text, const char* name, QWidget* parent) {
    return named(new QLabel(text, parent), name);
}

QComboBox* editableList(const char* name, QWidget* parent) {
    auto* box = named(new QComboBox(parent), name);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setMinimumWidth(160);
    return box;
}

QDateEdit* datePicker(const char* name, QWidget* parent) {
    auto* picker = named(new QDateEdit(parent), name);
    picker->setCalendarPopup(true);
    picker->setDisplayFormat(text::shortDateFormat());
    return picker;
}

}  // namespace

TForm6::TForm6(platform::Services& services, QWidget* parent) : QDialog(parent), services_(services) {
    setObjectName(QStringLiteral("Form6"));
    setWindowTitle(QStringLiteral("フィールドの設定"));
    setModal(true);

    Edit2 = named(new QLineEdit(this), "Edit2");
    Edit2->setReadOnly(true);
    SpeedButton1 = named(new QToolButton(this), "SpeedButton1");
    SpeedButton1->setText(QStringLiteral("A-Z"));
    SpeedButton1->setToolTip(QStringLiteral("昇順ソート"));
    SpeedButton2 = named(new QToolButton(this), "SpeedButton2");
    SpeedButton2->setText(QStringLiteral("Z-A"));
    SpeedButton2->setToolTip(QStringLiteral("降順ソート"));
    for (QToolButton* b : {SpeedButton1, SpeedButton2}) {
        b->setCheckable(true);
        connect(b, &QToolButton::toggled, this, [this, b](bool down) { SortButtonToggled(b, down); });
    }
    CheckBox1 = named(new QCheckBox(QStringLiteral("下位ソートにする"), this), "CheckBox1");
    Label3 = label(QStringLiteral("小数表示桁"), "Label3", this);
    UpDown1 = named(new QSpinBox(this), "UpDown1");
    UpDown1->setRange(0, 10);
    if (auto* box = UpDown1->findChild<QLineEdit*>()) box->setReadOnly(true);  // changed only through the arrows

    GroupBox1 = named(new QGroupBox(QStringLiteral("フィルタ"), this), "GroupBox1");
    Label5 = label(QStringLiteral("比較値B"), "Label5", GroupBox1);
    Label7 = label(QString(), "Label7", GroupBox1);
    ComboBox1 = named(new QComboBox(GroupBox1), "ComboBox1");
    ComboBox1->setMaxVisibleItems(10);
    ComboBox2 = named(new QComboBox(GroupBox1), "ComboBox2");
    ComboBox2->addItems({QStringLiteral("True"), QStringLiteral("False")});
    ComboBox3 = editableList("ComboBox3", GroupBox1);
    ComboBox4 = editableList("ComboBox4", GroupBox1);
    DateTimePicker1 = datePicker("DateTimePicker1", GroupBox1);
    DateTimePicker2 = datePicker("DateTimePicker2", GroupBox1);

    auto* filter = new QGridLayout(GroupBox1);
    filter->addWidget(Label7, 0, 0, 1, 2);
    filter->addWidget(label(QStringLiteral("比較値A"), "Label4", GroupBox1), 1, 0);
    auto* valueA = new QHBoxLayout;
    valueA->addWidget(ComboBox3);
    valueA->addWidget(ComboBox2);
    valueA->addWidget(DateTimePicker1);
    filter->addLayout(valueA, 1, 1);
    filter->addWidget(Label5, 2, 0);
    auto* valueB = new QHBoxLayout;
    valueB->addWidget(ComboBox4);
    valueB->addWidget(DateTimePicker2);
    filter->addLayout(valueB, 2, 1);
    filter->addWidget(label(QStringLiteral("条件"), "Label6", GroupBox1), 3, 0);
    filter->addWidget(ComboBox1, 3, 1);

    Button1 = named(new QPushButton(QStringLiteral("OK"), this), "Button1");
    Button2 = named(new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this), "Button2");
    Button1->setAutoDefault(false);
    Button2->setAutoDefault(false);
    connect(Button1, &QPushButton::clicked, this, &TForm6::OkClick);
    connect(Button2, &QPushButton::clicked, this, &TForm6::CancelClick);

    auto* top = new QGridLayout;
    top->addWidget(label(QStringLiteral("ﾌｨｰﾙﾄﾞ名"), "Label1", this), 0, 0);
    top->addWidget(Edit2, 0, 1, 1, 3);
    top->addWidget(label(QStringLiteral("ソート"), "Label2", this), 1, 0);
    top->addWidget(SpeedButton1, 1, 1);
    top->addWidget(SpeedButton2, 1, 2);
    top->addWidget(CheckBox1, 1, 3);
    top->addWidget(Label3, 2, 0);
    top->addWidget(UpDown1, 2, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    auto* root = new QVBoxLayout(this);
    root->addLayout(top);
    root->addWidget(GroupBox1);
    root->addLayout(buttons);
}

void TForm6::SortButtonToggled(QToolButton* pressed, bool down) {
    // At most one direction is down; pressing the other one lifts it.
    if (!down) return;
    QToolButton* other = pressed == SpeedButton1 ? SpeedButton2 : SpeedButton1;
    other->setChecked(false);
}

void TForm6::FormShow(const TFieldDescriptor& column, bool sortAlreadySet) {
    fieldType_ = column.DataType;
    result_ = FieldSettingsResult{};
    SpeedButton1->setChecked(false);
    SpeedButton2->setChecked(false);
    ComboBox3->clear();
    ComboBox4->clear();
    Label3->hide();
    UpDown1->hide();
    Edit2->setText(column.FieldName);
    CheckBox1->setChecked(false);
    CheckBox1->setEnabled(sortAlreadySet);

    const bool isBoolean = fieldType_ == kBoolean;
    const bool isDate = fieldType_ == kDateTime;
    const bool isList = !isBoolean && !isDate;
    ComboBox3->setVisible(isList);
    ComboBox4->setVisible(isList);
    ComboBox2->setVisible(isBoolean);
    DateTimePicker1->setVisible(isDate);
    DateTimePicker2->setVisible(isDate);
    Label5->setVisible(!isBoolean);
    if (isList) {
        ComboBox3->addItems(DistinctValues);
        ComboBox4->addItems(DistinctValues);
        ComboBox3->setEditText(column.CompareA);
        ComboBox4->setEditText(column.CompareB);
        if (fieldType_ == kFloat) {
            Label3->show();
            UpDown1->show();
        }
    }
    UpDown1->setValue(column.Decimals);
    if (isBoolean)
        ComboBox2->setCurrentIndex(column.CompareA == QLatin1String("True") ? 0 : 1);
    if (isDate) {
        auto dateOr = [](const QString& s) {
            auto dt = text::parseDateTime(s);
            return dt ? dt->date() : QDate::currentDate();
        };
        DateTimePicker1->setDate(dateOr(column.CompareA));
        DateTimePicker2->setDate(dateOr(column.CompareB));
    }

    Label7->setText(view::typeLabel(fieldType_));
    ComboBox1->clear();
    ComboBox1->addItems(view::conditionTexts(fieldType_));
    const int selected = isBoolean ? (column.FilterCondition != 0 ? 1 : 0) : column.FilterCondition;
    ComboBox1->setCurrentIndex(std::clamp(selected, 0, ComboBox1->count() - 1));
}

void TForm6::OkClick() {
    view::FilterInput in;
    in.fieldType = fieldType_;
    in.condition = ComboBox1->currentIndex();
    in.a = ComboBox3->currentText();
    in.b = ComboBox4->currentText();
    in.dateA = DateTimePicker1->date();
    in.dateB = DateTimePicker2->date();
    in.booleanText = ComboBox2->currentText();
    const view::FilterVerdict verdict = view::validateFilter(in);
    if (!verdict.accepted) {
        services_.message(this, verdict.message, view::kFilterRefusalCaption);
        switch (verdict.focus) {
            case view::FilterFocus::ListA: ComboBox3->setFocus(); break;
            case view::FilterFocus::ListB: ComboBox4->setFocus(); break;
            case view::FilterFocus::DateA: DateTimePicker1->setFocus(); break;
            case view::FilterFocus::None: break;
        }
        return;
    }
    result_.direction = SpeedButton1->isChecked()   ? view::SortDirection::Ascending
                        : SpeedButton2->isChecked() ? view::SortDirection::Descending
                                                    : view::SortDirection::None;
    result_.secondarySort = CheckBox1->isChecked();
    result_.condition = verdict.condition;
    result_.compareA = verdict.a;
    result_.compareB = verdict.b;
    result_.decimals = UpDown1->value();
    DistinctValues.clear();
    accept();
}

void TForm6::CancelClick() {
    DistinctValues.clear();
    reject();
}
