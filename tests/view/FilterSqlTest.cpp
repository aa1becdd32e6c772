#include <gtest/gtest.h>

#include "view/FilterSql.h"

using namespace view;

namespace {

TFieldDescriptor filtered(const QString& name, int type, int cond, const QString& a,
                          const QString& b = QString()) {
    TFieldDescriptor d(name, type);
    d.FilterCondition = cond;
    d.CompareA = a;
    d.CompareB = b;
    return d;
}

const ShownObject kTable{QStringLiteral("T"), false, QString()};

}  // namespace

TEST(BuildFilteredSql, TableWithoutFilterOrSortIsThePlainSelect) {
    FieldDescriptorList ds{TFieldDescriptor(QStringLiteral("数量"), 3)};
    EXPECT_EQ(buildFilteredSql(ds, kTable, QString()), QStringLiteral("SELECT * FROM [T]"));
    EXPECT_EQ(buildFilteredSql(ds, kTable, QStringLiteral(" ORDER BY [数量]")),
              QStringLiteral("SELECT * FROM [T] ORDER BY [数量]"));
}

TEST(BuildFilteredSql, EachConditionWritesItsComparison) {
    struct Case {
        int type, cond;
        const char* a;
        const char* b;
        const char* expected;
    } cases[] = {
        {3, 1, "5", "", "[F] < 5"},
        {3, 2, "5", "", "[F] <= 5"},
        {3, 3, "5", "", "[F] = 5"},
        {3, 4, "5", "", "[F] >= 5"},
        {3, 5, "5", "", "[F] > 5"},
        {3, 6, "5", "", "[F] <> 5"},
        {3, 7, "10", "20", "[F] >= 10 AND [F] <= 20"},
        {6, 8, "1.5", "2.5", "([F] < 1.5 OR [F] > 2.5)"},
        {24, 3, "山田", "", "[F] = \"山田\""},
        {24, 9, "田", "", "[F] LIKE \"%田%\""},
        {11, 4, "2024/03/05", "", "[F] >= DATEVALUE(\"2024/03/05\")"},
        {11, 7, "2024/01/01", "2024/12/31",
         "[F] >= DATEVALUE(\"2024/01/01\") AND [F] <= DATEVALUE(\"2024/12/31\")"},
        {5, 3, "True", "", "[F] = True"},
        {3, 0, "5", "", ""},
    };
    for (const Case& c : cases) {
        FieldDescriptorList ds{filtered(QStringLiteral("F"), c.type, c.cond, QString::fromUtf8(c.a),
                                        QString::fromUtf8(c.b))};
        EXPECT_EQ(filterConditionSql(ds), QString::fromUtf8(c.expected)) << c.type << "/" << c.cond;
    }
}

TEST(BuildFilteredSql, SeveralColumnsJoinWithAndInColumnOrder) {
    FieldDescriptorList ds{
        filtered(QStringLiteral("数量"), 3, 7, QStringLiteral("10"), QStringLiteral("20")),
        TFieldDescriptor(QStringLiteral("備考"), 16),
        filtered(QStringLiteral("氏名"), 24, 9, QStringLiteral("田")),
    };
    EXPECT_EQ(buildFilteredSql(ds, kTable, QString()),
              QStringLiteral("SELECT * FROM [T] WHERE [数量] >= 10 AND [数量] <= 20 AND [氏名] LIKE \"%田%\""));

    FieldDescriptorList outside{
        filtered(QStringLiteral("A"), 3, 8, QStringLiteral("1"), QStringLiteral("9")),
        filtered(QStringLiteral("B"), 3, 8, QStringLiteral("2"), QStringLiteral("8")),
    };
    EXPECT_EQ(buildFilteredSql(outside, kTable, QStringLiteral(" ORDER BY [A] DESC")),
              QStringLiteral("SELECT * FROM [T] WHERE ([A] < 1 OR [A] > 9) AND ([B] < 2 OR [B] > 8) ORDER BY [A] DESC"));
}

TEST(BuildFilteredSql, QuoteInsideATextValueStaysPartOfTheValue) {
    FieldDescriptorList eq{filtered(QStringLiteral("名"), 24, 3, QStringLiteral("a\" OR \"1\"=\"1"))};
    EXPECT_EQ(filterConditionSql(eq), QStringLiteral("[名] = \"a\"\" OR \"\"1\"\"=\"\"1\""));
    FieldDescriptorList like{filtered(QStringLiteral("名"), 24, 9, QStringLiteral("5\"型"))};
    EXPECT_EQ(filterConditionSql(like), QStringLiteral("[名] LIKE \"%5\"\"型%\""));
    FieldDescriptorList range{filtered(QStringLiteral("名"), 24, 7, QStringLiteral("\""), QStringLiteral("\"\""))};
    EXPECT_EQ(filterConditionSql(range),
              QStringLiteral("[名] >= \"\"\"\" AND [名] <= \"\"\"\"\"\""));
}

TEST(BuildFilteredSql, SavedQueryJoinsItsOwnWhereAndKeepsItsOrderUnlessSorted) {
    FieldDescriptorList ds{filtered(QStringLiteral("年齢"), 3, 5, QStringLiteral("30"))};
    ShownObject plain{QStringLiteral("Q"), true, QStringLiteral("SELECT * FROM [会員]")};
    EXPECT_EQ(buildFilteredSql(ds, plain, QString()),
              QStringLiteral("SELECT * FROM [会員] WHERE [年齢] > 30"));

    ShownObject withWhere{QStringLiteral("Q"), true,
                          QStringLiteral("SELECT * FROM [会員] WHERE [区分] = 1 ORDER BY [氏名]")};
    EXPECT_EQ(buildFilteredSql(ds, withWhere, QString()),
              QStringLiteral(
                  "SELECT * FROM [会員] WHERE ([年齢] > 30) And ([区分] = 1) ORDER BY [氏名]"));
    EXPECT_EQ(
        buildFilteredSql(ds, withWhere, QStringLiteral(" ORDER BY [年齢] DESC")),
        QStringLiteral(
            "SELECT * FROM [会員] WHERE ([年齢] > 30) And ([区分] = 1)  ORDER BY [年齢] DESC"));

    FieldDescriptorList none{TFieldDescriptor(QStringLiteral("年齢"), 3)};
    EXPECT_EQ(buildFilteredSql(none, withWhere, QString()), withWhere.querySql);
    EXPECT_EQ(buildFilteredSql(none, plain, QStringLiteral(" ORDER BY [年齢]")),
              QStringLiteral("SELECT * FROM [会員] ORDER BY [年齢]"));
}

TEST(BuildFilteredSql, SavedQueryConditionKeepsItsOrAndClausesAreFoundInAnyCase) {
    FieldDescriptorList tall{filtered(QStringLiteral("身長"), 6, 5, QStringLiteral("180"))};
    auto build = [&](const char* query, const QString& order = QString()) {
        return buildFilteredSql(tall, {QStringLiteral("Q"), true, QString::fromUtf8(query)}, order);
    };
    EXPECT_EQ(build("SELECT * FROM [会員] WHERE [年会費] = 3000 OR [年会費] = 12000"),
              QStringLiteral("SELECT * FROM [会員] WHERE ([身長] > 180) And ([年会費] = 3000 OR "
                             "[年会費] = 12000)"));
    EXPECT_EQ(
        build("select * from [会員] where [区分] = 1 or [区分] = 2 order by [氏名]"),
        QStringLiteral("select * from [会員] where ([身長] > 180) And ([区分] = 1 or [区分] = "
                       "2) order by [氏名]"));
    EXPECT_EQ(build("select * from [会員] where [区分] = 1 order by [氏名]", " ORDER BY [身長]"),
              QStringLiteral(
                  "select * from [会員] where ([身長] > 180) And ([区分] = 1)  ORDER BY [身長]"));
    // The filter goes before the grouping, never after it.
    EXPECT_EQ(
        build("SELECT [区分], [身長] FROM [会員] Group By [区分], [身長] Having count(*) > 1"),
        QStringLiteral("SELECT [区分], [身長] FROM [会員] WHERE [身長] > 180 Group By [区分], "
                       "[身長] Having count(*) > 1"));
    EXPECT_EQ(
        build("SELECT [区分] FROM [会員] WHERE [区分] > 0 GROUP BY [区分]"),
        QStringLiteral(
            "SELECT [区分] FROM [会員] WHERE ([身長] > 180) And ([区分] > 0) GROUP BY [区分]"));
    // Words inside names, values and subqueries are not the query's clauses.
    EXPECT_EQ(
        build("SELECT [where], \"order by\" FROM [会員] WHERE [ID] IN (SELECT [ID] FROM [x] "
              "WHERE [a] = 1 ORDER BY [a] LIMIT 3) ORDER BY [ID]"),
        QStringLiteral("SELECT [where], \"order by\" FROM [会員] WHERE ([身長] > 180) And ([ID] "
                       "IN (SELECT [ID] FROM [x] WHERE [a] = 1 ORDER BY [a] LIMIT 3)) ORDER "
                       "BY [ID]"));
    EXPECT_EQ(build("SELECT * FROM [Orderly]"),
              QStringLiteral("SELECT * FROM [Orderly] WHERE [身長] > 180"));
}

TEST(BuildFilteredSql, LongSavedQueryIsNeverCut) {
    QString longWhere = QStringLiteral("SELECT * FROM [T] WHERE [A] IN (") +
                        QStringLiteral("1,").repeated(3000) + QStringLiteral("2)");
    FieldDescriptorList ds{filtered(QStringLiteral("B"), 3, 3, QStringLiteral("1"))};
    QString sql = buildFilteredSql(ds, {QStringLiteral("Q"), true, longWhere}, QString());
    EXPECT_TRUE(sql.endsWith(QStringLiteral("1,2))"))) << sql.right(20).toStdString();
    EXPECT_EQ(sql.size(), longWhere.size() + QStringLiteral("([B] = 1) And ()").size());
}

TEST(SortClause, PrimaryReplacesSecondaryAppendsNoneKeeps) {
    QString o = applySortChoice(QString(), QStringLiteral("氏名"), SortDirection::Ascending, false);
    EXPECT_EQ(o, QStringLiteral(" ORDER BY [氏名]"));
    o = applySortChoice(o, QStringLiteral("年齢"), SortDirection::Descending, true);
    EXPECT_EQ(o, QStringLiteral(" ORDER BY [氏名],[年齢] DESC"));
    EXPECT_EQ(applySortChoice(o, QStringLiteral("x"), SortDirection::None, true), o);
    EXPECT_EQ(applySortChoice(o, QStringLiteral("住所"), SortDirection::Descending, false),
              QStringLiteral(" ORDER BY [住所] DESC"));
}

TEST(Suggestions, QueryClausesAreFoundInAnyLetterCase) {
    const ShownObject lower{
        QStringLiteral("Q"), true,
        QStringLiteral("select * from [会員] where [区分] = 1 order by [氏名]")};
    EXPECT_EQ(planSuggestions(24, QStringLiteral("氏名"), lower).sql,
              QStringLiteral("SELECT DISTINCT [氏名] from [会員] where [区分] = 1 "));
    const ShownObject grouped{QStringLiteral("Q"), true,
                              QStringLiteral("select [区分] from [会員] group by [区分]")};
    EXPECT_FALSE(planSuggestions(3, QStringLiteral("区分"), grouped).openDialog);
}

TEST(Suggestions, TablesAskDistinctValuesQueriesBorrowTheirFromPart) {
    auto p = planSuggestions(24, QStringLiteral("氏名"), kTable);
    EXPECT_TRUE(p.openDialog);
    EXPECT_EQ(p.sql.value_or(QString()), QStringLiteral("SELECT DISTINCT [氏名] FROM [T]"));

    ShownObject q{QStringLiteral("Q"), true,
                  QStringLiteral("SELECT [氏名] FROM [会員] WHERE [年齢] > 3 ORDER BY [氏名]")};
    p = planSuggestions(3, QStringLiteral("年齢"), q);
    EXPECT_EQ(p.sql.value_or(QString()), QStringLiteral("SELECT DISTINCT [年齢] FROM [会員] WHERE [年齢] > 3 "));

    ShownObject grouped{QStringLiteral("G"), true,
                        QStringLiteral("SELECT [区分], Count(*) AS 件数 FROM [会員] GROUP BY [区分]")};
    EXPECT_FALSE(planSuggestions(3, QStringLiteral("区分"), grouped).openDialog);
    EXPECT_FALSE(planSuggestions(24, QStringLiteral("区分"), grouped).openDialog);
    // Date and boolean columns have no suggestions, so they open even there.
    p = planSuggestions(11, QStringLiteral("日付"), grouped);
    EXPECT_TRUE(p.openDialog);
    EXPECT_FALSE(p.sql.has_value());
    EXPECT_TRUE(planSuggestions(5, QStringLiteral("可"), grouped).openDialog);

    EXPECT_FALSE(planSuggestions(16, QStringLiteral("メモ"), kTable).openDialog);
    EXPECT_FALSE(planSuggestions(3, QStringLiteral("x"), {QStringLiteral("Q"), true, QStringLiteral("SELECT 1")}).openDialog);
    p = planSuggestions(14, QStringLiteral("ID"), kTable);
    EXPECT_TRUE(p.openDialog);
    EXPECT_FALSE(p.sql.has_value());
}

TEST(ConditionLists, EveryTypeItsLabelAndConditionTexts) {
    const QStringList all = {"＜解　除＞",       "比較値Aより小",   "比較値A以下",
                             "比較値Aと等しい", "比較値A以上",     "比較値Aより大",
                             "比較値Aと違う",   "比較値A-B範囲内", "比較値A-B範囲外",
                             "比較値Aを含む"};
    const QStringList upToRange = all.mid(0, 9);
    const std::pair<int, const char*> labels[] = {{4, "バイト型"}, {2, "小整数型"}, {3, "整数型"},
                                                  {6, "実数型"},   {8, "通貨型"},   {24, "文字型"},
                                                  {11, "日付型"},  {5, "論理型"}};
    for (const auto& [type, label] : labels) {
        EXPECT_EQ(typeLabel(type), QString::fromUtf8(label)) << type;
        const QStringList want = type == 24 ? all
                                 : type == 5 ? QStringList{all[0], all[3]}
                                             : upToRange;
        EXPECT_EQ(conditionTexts(type), want) << type;
    }
}

TEST(ConditionLists, TextOffersContainsBooleanOnlyEquals) {
    EXPECT_EQ(conditionTexts(24).size(), 10);
    EXPECT_EQ(conditionTexts(24).last(), QStringLiteral("比較値Aを含む"));
    EXPECT_EQ(conditionTexts(3).size(), 9);
    EXPECT_EQ(conditionTexts(11).last(), QStringLiteral("比較値A-B範囲外"));
    EXPECT_EQ(conditionTexts(5), (QStringList{QStringLiteral("＜解　除＞"), QStringLiteral("比較値Aと等しい")}));
}
