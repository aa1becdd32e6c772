#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>

#include "platform/ScriptedServices.h"
#include "view/TForm6.h"

namespace {

template <typename W>
W* control(QWidget& w, const char* name) {
    W* c = w.findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(c, nullptr) << name;
    return c;
}

struct Form6Fixture : ::testing::Test {
    platform::ScriptedServices services;
    TForm6 form{services};

    void show(const TFieldDescriptor& d, bool sortSet = false) {
        form.FormShow(d, sortSet);
    }
    void ok() { control<QPushButton>(form, "Button1")->click(); }
};

TFieldDescriptor column(const char* name, int type) { return TFieldDescriptor(QString::fromUtf8(name), type); }

}  // namespace

TEST_F(Form6Fixture, TextColumnOffersSuggestionsAndAllTenConditions) {
    form.DistinctValues = {QStringLiteral("山田"), QStringLiteral("田中")};
    TFieldDescriptor d = column("氏名", 24);
    d.FilterCondition = 9;
    d.CompareA = QStringLiteral("田");
    show(d);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("フィールドの設定"));
    EXPECT_EQ(control<QLabel>(form, "Label7")->text(), QStringLiteral("文字型"));
    auto* a = control<QComboBox>(form, "ComboBox3");
    EXPECT_EQ(a->count(), 2);
    EXPECT_EQ(a->currentText(), QStringLiteral("田"));
    EXPECT_EQ(control<QComboBox>(form, "ComboBox4")->count(), 2);
    auto* cond = control<QComboBox>(form, "ComboBox1");
    EXPECT_EQ(cond->count(), 10);
    EXPECT_EQ(cond->currentIndex(), 9);
    EXPECT_FALSE(control<QCheckBox>(form, "CheckBox1")->isEnabled());
    EXPECT_TRUE(control<QSpinBox>(form, "UpDown1")->isHidden());
    EXPECT_TRUE(control<QComboBox>(form, "ComboBox2")->isHidden());
    EXPECT_TRUE(control<QDateEdit>(form, "DateTimePicker1")->isHidden());

    control<QToolButton>(form, "SpeedButton2")->click();
    ok();
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_TRUE(services.messages.empty());
    FieldSettingsResult r = form.Result();
    EXPECT_EQ(r.direction, view::SortDirection::Descending);
    EXPECT_EQ(r.condition, 9);
    EXPECT_EQ(r.compareA, QStringLiteral("田"));
    EXPECT_TRUE(form.DistinctValues.isEmpty());
}

TEST_F(Form6Fixture, RefusalKeepsDialogOpenWithCaptionAndFocus) {
    form.show();
    show(column("数量", 4));
    control<QComboBox>(form, "ComboBox1")->setCurrentIndex(7);
    control<QComboBox>(form, "ComboBox3")->setEditText(QStringLiteral("10"));
    control<QComboBox>(form, "ComboBox4")->setEditText(QStringLiteral("256"));
    ok();
    ASSERT_EQ(services.messages.size(), 1u);
    EXPECT_EQ(services.messages[0].text, QStringLiteral("比較値Bが範囲（0～255）外です"));
    EXPECT_EQ(services.messages[0].caption, QStringLiteral("設定の中止"));
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.focusWidget(), control<QComboBox>(form, "ComboBox4"));

    control<QComboBox>(form, "ComboBox4")->setEditText(QStringLiteral("20"));
    ok();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.Result().compareB, QStringLiteral("20"));
}

TEST_F(Form6Fixture, SortButtonsExcludeEachOtherAndSecondaryNeedsAnEarlierSort) {
    show(column("年齢", 3), true);
    auto* az = control<QToolButton>(form, "SpeedButton1");
    auto* za = control<QToolButton>(form, "SpeedButton2");
    az->click();
    za->click();
    EXPECT_FALSE(az->isChecked());
    EXPECT_TRUE(za->isChecked());
    auto* secondary = control<QCheckBox>(form, "CheckBox1");
    EXPECT_TRUE(secondary->isEnabled());
    secondary->setChecked(true);
    ok();
    EXPECT_EQ(form.Result().direction, view::SortDirection::Descending);
    EXPECT_TRUE(form.Result().secondarySort);

    // The next showing starts afresh.
    show(column("年齢", 3), false);
    EXPECT_FALSE(za->isChecked());
    EXPECT_FALSE(secondary->isChecked());
    EXPECT_FALSE(secondary->isEnabled());
}

TEST_F(Form6Fixture, FloatShowsDecimalsBooleanAndDateTheirOwnEditors) {
    TFieldDescriptor f = column("金額", 6);
    f.Decimals = 4;
    show(f);
    EXPECT_FALSE(control<QSpinBox>(form, "UpDown1")->isHidden());
    EXPECT_EQ(control<QSpinBox>(form, "UpDown1")->value(), 4);
    EXPECT_EQ(control<QLabel>(form, "Label7")->text(), QStringLiteral("実数型"));
    control<QSpinBox>(form, "UpDown1")->stepUp();
    ok();
    EXPECT_EQ(form.Result().decimals, 5);

    TFieldDescriptor b = column("会員", 5);
    b.FilterCondition = 3;
    b.CompareA = QStringLiteral("True");
    show(b);
    EXPECT_EQ(control<QComboBox>(form, "ComboBox1")->count(), 2);
    EXPECT_EQ(control<QComboBox>(form, "ComboBox1")->currentIndex(), 1);
    EXPECT_EQ(control<QComboBox>(form, "ComboBox2")->currentText(), QStringLiteral("True"));
    EXPECT_TRUE(control<QLabel>(form, "Label5")->isHidden());
    EXPECT_TRUE(control<QComboBox>(form, "ComboBox3")->isHidden());
    control<QComboBox>(form, "ComboBox2")->setCurrentIndex(1);
    ok();
    EXPECT_EQ(form.Result().condition, 3);
    EXPECT_EQ(form.Result().compareA, QStringLiteral("False"));

    TFieldDescriptor d = column("誕生日", 11);
    d.CompareA = QStringLiteral("1980/02/29");
    d.CompareB = QStringLiteral("not a date");
    show(d);
    EXPECT_EQ(control<QDateEdit>(form, "DateTimePicker1")->date(), QDate(1980, 2, 29));
    EXPECT_EQ(control<QDateEdit>(form, "DateTimePicker2")->date(), QDate::currentDate());
    control<QComboBox>(form, "ComboBox1")->setCurrentIndex(8);
    control<QDateEdit>(form, "DateTimePicker2")->setDate(QDate(1990, 1, 1));
    ok();
    EXPECT_EQ(form.Result().compareA, QStringLiteral("1980/02/29"));
    EXPECT_EQ(form.Result().compareB, QStringLiteral("1990/01/01"));
}

TEST_F(Form6Fixture, CancelEmptiesSuggestionsAndRejects) {
    form.DistinctValues = {QStringLiteral("1")};
    show(column("数量", 3));
    control<QPushButton>(form, "Button2")->click();
    EXPECT_EQ(form.result(), QDialog::Rejected);
    EXPECT_TRUE(form.DistinctValues.isEmpty());
}
