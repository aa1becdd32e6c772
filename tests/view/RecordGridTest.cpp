#include <gtest/gtest.h>

#include <QItemSelectionModel>
#include <QTest>

#include "DemoDatabase.h"
#include "db/Db.h"
#include "support/TempDir.h"
#include "view/FilterSql.h"
#include "view/RecordGrid.h"
#include "view/RecordModel.h"
#include "view/TForm22.h"

namespace {

struct DemoGrid : ::testing::Test {
    testsupport::TempDir dir;
    db::Connection connection;
    std::unique_ptr<db::DataSet> ds;
    std::unique_ptr<view::RecordModel> model;
    view::RecordGrid grid;
    QStringList errors;

    void SetUp() override {
        const QString path = dir.file(QStringLiteral("会員名簿.mdb"));
        demo::writeDemoDatabase(path, 50);
        connection.setConnectionString(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + path);
        connection.open();
        ds = std::make_unique<db::DataSet>(connection);
        model = std::make_unique<view::RecordModel>(*ds);
        model->onError = [this](const std::exception& e) { errors << QString::fromUtf8(e.what()); };
        grid.setRecordModel(model.get());
        grid.resize(800, 400);
    }

    void open(const QString& sql) {
        ds->close();
        ds->setCommandText(sql);
        ds->open();
        std::vector<view::ColumnStyle> styles;
        for (int i = 0; i < ds->fieldCount(); ++i) {
            TFieldDescriptor d(ds->field(i).name(), ds->field(i).dataType());
            d.Decimals = 0;
            styles.push_back(view::columnStyle(d, ds->field(i).canModify(), i == 0, false));
        }
        model->setColumnStyles(std::move(styles));
    }
    int column(const QString& name) {
        for (int i = 0; i < model->columnCount(); ++i)
            if (model->headerData(i, Qt::Horizontal, Qt::DisplayRole).toString() == name) return i;
        ADD_FAILURE() << name.toStdString();
        return -1;
    }
};

}  // namespace

TEST_F(DemoGrid, ShowsEveryRowAndColumnWithTheirLooks) {
    open(view::tableSelectSql(demo::kMemberTable));
    EXPECT_EQ(model->rowCount(), 50);
    EXPECT_EQ(model->columnCount(), 11);
    const int key = column(QStringLiteral("会員番号"));
    EXPECT_EQ(model->index(0, key).data().toString(), QStringLiteral("M00001"));
    EXPECT_EQ(model->index(0, key).data(Qt::BackgroundRole).value<QBrush>().color(), QColor(Qt::yellow));
    EXPECT_EQ(model->index(0, 1).data(Qt::BackgroundRole).value<QBrush>().color(), QColor(Qt::white));
    // A float column with no decimals shows whole numbers.
    const QString height = model->index(0, column(QStringLiteral("身長"))).data().toString();
    EXPECT_FALSE(height.contains(QLatin1Char('.'))) << height.toStdString();
    // Postal codes are text: leading zeros stay.
    for (int r = 0; r < model->rowCount(); ++r) {
        const QString postal = model->index(r, column(QStringLiteral("郵便番号"))).data().toString();
        EXPECT_EQ(postal.size(), 7) << postal.toStdString();
    }
}

TEST_F(DemoGrid, SavedQueryIsShownReadOnly) {
    open(QStringLiteral("SELECT * FROM [配信希望者]"));
    ASSERT_GT(model->rowCount(), 0);
    grid.setMode(view::GridMode::Edit);
    EXPECT_EQ(model->index(0, 1).data(Qt::BackgroundRole).value<QBrush>().color(), QColor(Qt::red));
    EXPECT_FALSE(model->flags(model->index(0, 1)) & Qt::ItemIsEditable);
}

TEST_F(DemoGrid, EditIsPostedWhenTheUserLeavesTheRecord) {
    open(view::tableSelectSql(demo::kMemberTable));
    const int name = column(QStringLiteral("氏名"));
    // Selection mode types nothing.
    EXPECT_FALSE(model->setData(model->index(2, name), QStringLiteral("無視"), Qt::EditRole));

    grid.setMode(view::GridMode::Edit);
    grid.setCurrentIndex(model->index(2, name));
    ASSERT_TRUE(model->setData(model->index(2, name), QStringLiteral("新しい　名前"), Qt::EditRole));
    EXPECT_EQ(ds->state(), db::DataSet::State::Edit);
    EXPECT_EQ(model->index(2, name).data().toString(), QStringLiteral("新しい　名前"));
    grid.setCurrentIndex(model->index(3, name));
    EXPECT_EQ(ds->state(), db::DataSet::State::Browse);

    open(view::tableSelectSql(demo::kMemberTable));
    EXPECT_EQ(model->index(2, name).data().toString(), QStringLiteral("新しい　名前"));

    // A value the field refuses reaches the error handler and stores nothing.
    grid.setCurrentIndex(model->index(4, name));
    EXPECT_FALSE(model->setData(model->index(4, column(QStringLiteral("生年月日"))), QStringLiteral("昨日"), Qt::EditRole));
    EXPECT_EQ(errors.size(), 1);
}

TEST_F(DemoGrid, SelectionModeSelectsWholeRowsSeveralAtOnce) {
    open(view::tableSelectSql(demo::kMemberTable));
    grid.show();
    grid.setMode(view::GridMode::Selection);
    auto* sel = grid.selectionModel();
    const QRect r1 = grid.visualRect(model->index(1, 2));
    const QRect r4 = grid.visualRect(model->index(4, 2));
    const QRect r6 = grid.visualRect(model->index(6, 2));
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, r1.center());
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::ShiftModifier, r4.center());
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::ControlModifier, r6.center());
    EXPECT_EQ(grid.selectedRowNumbers(), (QList<int>{1, 2, 3, 4, 6}));
    EXPECT_TRUE(sel->isRowSelected(3, QModelIndex()));
    EXPECT_EQ(ds->recNo(), 6);  // the data set follows the current row

    grid.clearSelection();
    EXPECT_TRUE(grid.selectedRowNumbers().isEmpty());
}

TEST_F(DemoGrid, MemoBindingReadsAndWritesTheCurrentRecord) {
    open(view::tableSelectSql(demo::kMemberTable));
    auto memo = view::bindMemoField(*ds, QStringLiteral("備考"));
    ds->moveTo(5);
    const QString before = memo->text();
    memo->setText(before + QStringLiteral("\n追記"));
    EXPECT_EQ(ds->state(), db::DataSet::State::Edit);
    ds->post();
    open(view::tableSelectSql(demo::kMemberTable));
    ds->moveTo(5);
    EXPECT_EQ(memo->text(), before + QStringLiteral("\n追記"));
}
