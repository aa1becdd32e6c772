// Name rules and the value each cell text becomes.
#include <gtest/gtest.h>

#include <QDateTime>

#include "builder/Builder.h"

using namespace builder;

namespace {

QString fieldProblem(const QString& name, const QStringList& others = {}) {
    return nameProblem(name, NameKind::Field, others);
}

}  // namespace

TEST(NameRules, ReservedWordsSymbolsAndControlCharacters) {
    EXPECT_EQ(fieldProblem(QString()), QStringLiteral("フィールド名が未入力です"));
    EXPECT_EQ(fieldProblem(QStringLiteral("names")), QStringLiteral("namesはフィールド名に使えません"));
    EXPECT_EQ(fieldProblem(QStringLiteral("name")), QString());
    EXPECT_EQ(fieldProblem(QStringLiteral("Gloabal")), QStringLiteral("Gloabalはフィールド名に使えません"));
    EXPECT_EQ(fieldProblem(QStringLiteral("GLOBAL")), QString());
    EXPECT_EQ(fieldProblem(QStringLiteral("sys_q_id")), QStringLiteral("sys_q_idはフィールド名に使えません"));
    // Names that would hide the row identity.
    for (const char* n : {"rowid", "OID", "_RowID_"})
        EXPECT_EQ(fieldProblem(QString::fromLatin1(n)), QString::fromLatin1(n) + QStringLiteral("はフィールド名に使えません"));
    EXPECT_EQ(reservedNames().size(), 249);
    EXPECT_EQ(forbiddenSymbols().size(), 25);
    for (const QChar c : forbiddenSymbols())
        EXPECT_EQ(fieldProblem(QStringLiteral("a") + c), QStringLiteral("a") + c + QStringLiteral("で半角記号文字は使えません"));
    // A line break or tab would change the statement; full-width blanks are fine.
    EXPECT_EQ(fieldProblem(QStringLiteral("売上\n金額")), QStringLiteral("売上\n金額で半角記号文字は使えません"));
    EXPECT_EQ(fieldProblem(QStringLiteral("売上\t金額")), QStringLiteral("売上\t金額で半角記号文字は使えません"));
    EXPECT_EQ(fieldProblem(QStringLiteral("売上　金額")), QString());
    for (const char* ok : {"4月売上", "2024", "a@b", "Limit", "Q_Q_Q_Q"})
        EXPECT_EQ(fieldProblem(QString::fromUtf8(ok)), QString()) << ok;
}

TEST(NameRules, DuplicatesIgnoreLetterCaseAndTablesKeepTheEnginesNames) {
    EXPECT_EQ(fieldProblem(QStringLiteral("NAME"), {QStringLiteral("Name")}),
              QStringLiteral("フィールド名が重複してます"));
    std::vector<FieldDefinition> list{FieldDefinition::text("A1", "Name"), FieldDefinition::text("B1", "NAME")};
    EXPECT_EQ(otherNames(list, 1), QStringList{QStringLiteral("Name")});
    EXPECT_EQ(nameProblem(QStringLiteral("顧客"), NameKind::Table, {QStringLiteral("顧客")}),
              QStringLiteral("テーブル名が重複してます"));
    EXPECT_EQ(nameProblem(QStringLiteral("sqlite_stat1"), NameKind::Table, {}),
              QStringLiteral("sqlite_stat1はテーブル名に使えません"));
    EXPECT_EQ(nameProblem(QStringLiteral("Tesmora_Catalog"), NameKind::Table, {}),
              QStringLiteral("Tesmora_Catalogはテーブル名に使えません"));
    EXPECT_EQ(nameProblem(QString(), NameKind::Table, {}), QStringLiteral("テーブル名が未入力です"));
    EXPECT_EQ(nameProblem(QStringLiteral("rowid"), NameKind::Table, {}), QString());
}

TEST(CellValues, TextIsCutAtACharacterBoundaryOfTheOriginal) {
    EXPECT_EQ(truncateToCp932Bytes(QStringLiteral("abcdefg"), 5), QStringLiteral("abcde"));
    // Three double-byte characters in five bytes: the cut third one is left out.
    EXPECT_EQ(truncateToCp932Bytes(QStringLiteral("あいう"), 5), QStringLiteral("あい"));
    EXPECT_EQ(truncateToCp932Bytes(QStringLiteral("aあいう"), 5), QStringLiteral("aあい"));
    // The wave dash keeps its own code point (no round trip through CP932).
    EXPECT_EQ(truncateToCp932Bytes(QStringLiteral("〜〜〜"), 4), QStringLiteral("〜〜"));
    EXPECT_EQ(truncateToCp932Bytes(QStringLiteral("ｱｲｳｴｵｶ"), 5), QStringLiteral("ｱｲｳｴｵ"));
    // A character outside the basic plane is never split into halves.
    EXPECT_EQ(truncateToCp932Bytes(QStringLiteral("a😀b"), 2), QStringLiteral("a"));
}

TEST(CellValues, EachTypeConvertsOrBecomesNull) {
    EXPECT_EQ(convertCellText(QStringLiteral("true"), btLogical, 0), QVariant(true));
    EXPECT_EQ(convertCellText(QStringLiteral("False"), btLogical, 0), QVariant(false));
    EXPECT_TRUE(convertCellText(QStringLiteral("yes"), btLogical, 0).isNull());
    EXPECT_EQ(convertCellText(QStringLiteral("-12"), btInteger, 0).toLongLong(), -12);
    EXPECT_TRUE(convertCellText(QStringLiteral("1.5"), btInteger, 0).isNull());
    EXPECT_TRUE(convertCellText(QStringLiteral("3000000000"), btInteger, 0).isNull());
    EXPECT_DOUBLE_EQ(convertCellText(QStringLiteral("1.5"), btReal, 0).toDouble(), 1.5);
    EXPECT_TRUE(convertCellText(QString(), btReal, 0).isNull());
    EXPECT_EQ(convertCellText(QStringLiteral("2024/03/05"), btDate, 0).toDateTime().date(), QDate(2024, 3, 5));
    EXPECT_TRUE(convertCellText(QStringLiteral("2024/02/30"), btDate, 0).isNull());
    EXPECT_EQ(convertCellText(QString(), btText, 50), QVariant(QString()));
    EXPECT_EQ(convertCellText(QStringLiteral("00123"), btText, 50), QVariant(QStringLiteral("00123")));
    EXPECT_EQ(convertCellText(QString(300, QLatin1Char('x')), btMemo, 0).toString().size(), 300);
}

TEST(FieldList, TotalsAndLimitsBeforeCreation) {
    std::vector<FieldDefinition> fields;
    EXPECT_THROW(checkFieldList(fields), Refusal);
    // 39 text fields of 50 and one of 49: 1999 passes, one more character does not.
    for (int i = 0; i < 40; ++i) fields.push_back(FieldDefinition::text("A1", QStringLiteral("f%1").arg(i)));
    fields.back().setType(btText, 49);
    fields.push_back(FieldDefinition::text("A1", QStringLiteral("memo")));
    fields.back().setType(btMemo, 0);
    EXPECT_EQ(totalTextWidth(fields), 1999);
    EXPECT_NO_THROW(checkFieldList(fields));
    fields[39].setType(btText, 50);
    try {
        checkFieldList(fields);
        FAIL();
    } catch (const Refusal& r) {
        EXPECT_EQ(r.message(), QStringLiteral("総文字数2000以上は設定できません"));
        EXPECT_EQ(r.caption(), QStringLiteral("作成の中止"));
    }
    fields[39].setType(btText, 49);
    fields[5].FieldName = QStringLiteral("F1");
    int row = -1;
    EXPECT_THROW(checkFieldList(fields, &row), Refusal);
    EXPECT_EQ(row, 1);  // the first of the pair that the rule finds
    EXPECT_EQ(targetPathFor(QStringLiteral("/x/name")), QStringLiteral("/x/name.mdb"));
    EXPECT_EQ(targetPathFor(QStringLiteral("/x/a.b.csv")), QStringLiteral("/x/a.b.mdb"));
}
