#include <gtest/gtest.h>

#include <QFile>

#include "support/TempDir.h"
#include "view/GridRules.h"

using namespace view;

TEST(ColumnStyle, ColoursFollowKeyAndModifiability) {
    TFieldDescriptor text(QStringLiteral("氏名"), 24);
    EXPECT_EQ(columnStyle(text, true, false, false).background, CellColour::White);
    EXPECT_EQ(columnStyle(text, true, true, false).background, CellColour::Yellow);
    ColumnStyle locked = columnStyle(text, false, true, false);
    EXPECT_EQ(locked.background, CellColour::Red);
    EXPECT_TRUE(locked.readOnly);
    ColumnStyle autoNumber = columnStyle(TFieldDescriptor(QStringLiteral("ID"), 14), true, true, false);
    EXPECT_EQ(autoNumber.background, CellColour::Red);
    EXPECT_TRUE(autoNumber.readOnly);
    EXPECT_FALSE(columnStyle(text, true, false, false).readOnly);
    EXPECT_TRUE(columnStyle(text, true, false, true).readOnly);
    EXPECT_TRUE(isPrimaryKeyField(QStringLiteral("code"), {QStringLiteral("ID"), QStringLiteral("Code")}));
}

TEST(ColumnStyle, FloatFormatBooleanPickListWidthAndTitle) {
    TFieldDescriptor f(QStringLiteral("金額"), 6);
    f.Decimals = 0;
    EXPECT_EQ(columnStyle(f, true, false, false).displayFormat, QStringLiteral("0"));
    f.Decimals = 3;
    f.ColumnWidth = 123;
    f.FilterCondition = 2;
    ColumnStyle s = columnStyle(f, true, false, false);
    EXPECT_EQ(s.displayFormat, QStringLiteral("0.000"));
    EXPECT_EQ(s.width, 123);
    EXPECT_TRUE(s.titleHighlighted);
    EXPECT_TRUE(s.pickList.isEmpty());
    EXPECT_EQ(formatWithDecimals(2.5, 0), QStringLiteral("3"));
    EXPECT_EQ(formatWithDecimals(-2.5, 0), QStringLiteral("-3"));
    EXPECT_EQ(formatWithDecimals(1.23456, 3), QStringLiteral("1.235"));

    TFieldDescriptor b(QStringLiteral("可"), 5);
    EXPECT_EQ(columnStyle(b, true, false, false).pickList, (QStringList{QStringLiteral("True"), QStringLiteral("False")}));
    EXPECT_TRUE(columnStyle(b, true, false, true).pickList.isEmpty());
    EXPECT_FALSE(columnStyle(b, true, false, false).titleHighlighted);
}

namespace {

// The main window's controls by their object names, as the window builds them.
const QStringList kSelectionOnly = {"SpeedButton12", "SpeedButton1",  "ComboBox1",
                                    "SpeedButton2",  "SpeedButton4",  "SpeedButton3",
                                    "SpeedButton5",  "SpeedButton13", "SpeedButton17",
                                    "SpeedButton8"};
const QStringList kEditOnly = {"SpeedButton6",  "SpeedButton7",  "SpeedButton10", "SpeedButton11",
                               "SpeedButton15", "SpeedButton16", "SpeedButton18", "SpeedButton19"};

QStringList sorted(QStringList l) {
    l.sort();
    return l;
}

}  // namespace

TEST(Modes, SelectionAndEditLayouts) {
    ModeLayout sel = modeLayout(GridMode::Selection, false, false);
    EXPECT_TRUE(sel.rowSelect && sel.multiSelect && !sel.editing && !sel.gridReadOnly);
    EXPECT_EQ(sorted(sel.enabledControls), sorted(kSelectionOnly));
    EXPECT_TRUE(sel.disabledControls.isEmpty());
    EXPECT_EQ(sorted(sel.shownControls), QStringList({"SpeedButton14"}));
    EXPECT_EQ(sorted(sel.hiddenControls), sorted(kEditOnly));
    EXPECT_EQ(sel.hint, QStringLiteral("選択モード（入力不可）"));

    ModeLayout edit = modeLayout(GridMode::Edit, false, false);
    EXPECT_TRUE(edit.editing && !edit.rowSelect && !edit.multiSelect && !edit.gridReadOnly);
    EXPECT_EQ(sorted(edit.disabledControls), sorted(kSelectionOnly));
    EXPECT_TRUE(edit.enabledControls.isEmpty());
    EXPECT_EQ(sorted(edit.shownControls), sorted(kEditOnly));
    EXPECT_EQ(sorted(edit.hiddenControls), QStringList({"SpeedButton14"}));
    EXPECT_EQ(edit.hint, QString());
    // The filter reset button belongs to neither mode.
    for (const auto* l : {&sel.shownControls, &sel.hiddenControls, &edit.shownControls, &edit.hiddenControls,
                          &sel.enabledControls, &edit.disabledControls})
        EXPECT_FALSE(l->contains(QStringLiteral("SpeedButton9")));
}

TEST(Modes, QueriesAndOldFormatsNeverShowEditingButtons) {
    for (auto [query, old] : {std::pair{true, false}, std::pair{false, true}}) {
        ModeLayout edit = modeLayout(GridMode::Edit, query, old);
        for (const QString& b : editingButtons()) EXPECT_TRUE(edit.hiddenControls.contains(b));
        EXPECT_EQ(edit.gridReadOnly, query);
    }
    EXPECT_EQ(modeLayout(GridMode::Edit, true, false).hint, QStringLiteral("クエリー表示中（入力不可）"));
    EXPECT_FALSE(modeLayout(GridMode::Selection, true, false).gridReadOnly);
}

TEST(Hints, ColumnEnterHintsByStateAndType) {
    auto h = columnEnterHint(false, GridMode::Edit, true, false, QStringLiteral("氏名"), 24, 20);
    EXPECT_EQ(h.hint, QStringLiteral("氏名：20文字入力"));
    EXPECT_TRUE(h.captureCellText);
    EXPECT_EQ(columnEnterHint(false, GridMode::Edit, false, false, QStringLiteral("ID"), 14, 0).hint,
              QStringLiteral("入力不可"));
    EXPECT_EQ(columnEnterHint(false, GridMode::Edit, true, true, QStringLiteral("x"), 3, 0).hint,
              QStringLiteral("入力不可"));
    EXPECT_EQ(columnEnterHint(true, GridMode::Edit, true, false, QStringLiteral("x"), 3, 0).hint,
              QStringLiteral("クエリー表示中（入力不可）"));
    EXPECT_FALSE(columnEnterHint(false, GridMode::Selection, true, false, QStringLiteral("x"), 3, 0).captureCellText);
    EXPECT_EQ(inputHint(4, 0), QStringLiteral("整数0～255入力"));
    EXPECT_EQ(inputHint(16, 0), QStringLiteral("メモ入力（ﾀﾞﾌﾞﾙｸﾘｯｸ）"));
    EXPECT_EQ(inputHint(15, 0), QString());
    EXPECT_EQ(recordCountText(0), QStringLiteral("データ数：0"));
}

TEST(Links, WebNetworkAndAbsolutePathsOnly) {
    EXPECT_EQ(linkForCellText(QStringLiteral("  http://example.com/a b\r\n"))->host(), QStringLiteral("example.com"));
    EXPECT_EQ(linkForCellText(QStringLiteral("https://example.com/x"))->scheme(), QStringLiteral("https"));
    auto smb = linkForCellText(QStringLiteral("\\\\server\\共有\\資料.xlsx"));
    ASSERT_TRUE(smb.has_value());
    EXPECT_EQ(smb->scheme(), QStringLiteral("smb"));
    EXPECT_EQ(smb->host(), QStringLiteral("server"));
    EXPECT_EQ(smb->path(), QStringLiteral("/共有/資料.xlsx"));
    EXPECT_EQ(linkForCellText(QStringLiteral("/home/a/文書.pdf"))->toLocalFile(), QStringLiteral("/home/a/文書.pdf"));
    for (const char* t : {"", "山田", "C:\\data\\a.xls", "ftp://x", "javascript:alert(1)", "http:", "\\\\", "file:///bin/sh", "~/x"})
        EXPECT_FALSE(linkForCellText(QString::fromUtf8(t)).has_value()) << t;
}

TEST(Links, ExecutableFilesAndLaunchersAreNeverHandedOver) {
    testsupport::TempDir dir;
    QFile script(dir.file(QStringLiteral("run.sh")));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\n");
    script.close();
    EXPECT_TRUE(linkForCellText(script.fileName()).has_value());
    script.setPermissions(script.permissions() | QFile::ExeOwner);
    EXPECT_FALSE(linkForCellText(script.fileName()).has_value());
    QFile launcher(dir.file(QStringLiteral("a.desktop")));
    ASSERT_TRUE(launcher.open(QIODevice::WriteOnly));
    launcher.close();
    EXPECT_FALSE(linkForCellText(launcher.fileName()).has_value());
    EXPECT_TRUE(linkForCellText(dir.path()).has_value());  // a folder opens in the file manager
}

TEST(Hints, InputHintOfEveryType) {
    const std::pair<int, const char*> hints[] = {
        {2, "整数入力"},     {3, "整数入力"}, {4, "整数0～255入力"}, {5, "TrueFalse入力"},
        {6, "実数入力"},     {8, "通貨数入力"}, {11, "日付入力"},     {16, "メモ入力（ﾀﾞﾌﾞﾙｸﾘｯｸ）"},
        {14, ""},            {15, ""}};
    for (const auto& [type, hint] : hints) EXPECT_EQ(inputHint(type, 40), QString::fromUtf8(hint)) << type;
    EXPECT_EQ(inputHint(24, 255), QStringLiteral("255文字入力"));
    EXPECT_EQ(inputHint(24, 7), QStringLiteral("7文字入力"));
}
