// Page splitting and the row/column positions it stands on.
#include <gtest/gtest.h>

#include "excel/window/AxisLayout.h"
#include "excel/window/PageLayout.h"

using excel::window::AxisLayout;
using excel::window::layoutPages;
using excel::window::PageRequest;
using excel::window::Span;
using excel::window::splitAxis;

namespace {

AxisLayout uniform(int count, double size) {
    return AxisLayout(std::vector<double>(count, size));
}

// A page of exactly w x h points of printable room.
PageRequest page(double w, double h, Span rows, Span cols) {
    PageRequest r;
    r.paper = QSizeF(w, h);
    r.margins = QMarginsF(0, 0, 0, 0);
    r.rows = rows;
    r.cols = cols;
    return r;
}

}  // namespace

TEST(AxisLayout, FindsIndexesAndSkipsHiddenOnes) {
    AxisLayout axis({10, 0, 20, 5});
    EXPECT_DOUBLE_EQ(axis.total(), 35);
    EXPECT_DOUBLE_EQ(axis.start(2), 10);
    EXPECT_DOUBLE_EQ(axis.length(1, 3), 25);
    EXPECT_EQ(axis.indexAt(-5), 0);
    EXPECT_EQ(axis.indexAt(9.99), 0);
    EXPECT_EQ(axis.indexAt(10), 2);  // the hidden row 1 shares this edge
    EXPECT_EQ(axis.indexAt(31), 3);
    EXPECT_EQ(axis.indexAt(1000), 3);
    EXPECT_EQ(AxisLayout().indexAt(3), 0);
}

TEST(SplitAxis, CutsAtTheLastWholeIndexThatFits) {
    AxisLayout axis = uniform(5, 10);
    std::vector<Span> pieces = splitAxis(axis, {0, 4}, 25, std::nullopt);
    ASSERT_EQ(pieces.size(), 3u);
    EXPECT_EQ(pieces[0], (Span{0, 1}));
    EXPECT_EQ(pieces[1], (Span{2, 3}));
    EXPECT_EQ(pieces[2], (Span{4, 4}));
    // Exactly fitting sums stay on one page despite rounding of the parts.
    EXPECT_EQ(splitAxis(AxisLayout({0.1, 0.2, 0.3}), {0, 2}, 0.6, std::nullopt).size(), 1u);
}

TEST(SplitAxis, OversizedIndexGetsAPageOfItsOwn) {
    AxisLayout axis({10, 100, 10});
    std::vector<Span> pieces = splitAxis(axis, {0, 2}, 50, std::nullopt);
    ASSERT_EQ(pieces.size(), 3u);
    EXPECT_EQ(pieces[1], (Span{1, 1}));
    // A span reaching past the axis is cut back to it.
    EXPECT_EQ(splitAxis(axis, {1, 99}, 1000, std::nullopt).front(), (Span{1, 2}));
}

TEST(LayoutPages, RepeatsTitleRowsOnlyOnPagesBelowThem) {
    PageRequest r = page(100, 40, {0, 9}, {0, 0});
    r.titleRows = Span{0, 0};
    auto layout = layoutPages(uniform(10, 10), uniform(1, 50), r);
    ASSERT_EQ(layout.pages.size(), 3u);
    EXPECT_EQ(layout.pages[0].rows, (Span{0, 3}));
    EXPECT_FALSE(layout.pages[0].titleRows.has_value());
    // Later pages give one row's room to the repeated title.
    EXPECT_EQ(layout.pages[1].rows, (Span{4, 6}));
    EXPECT_EQ(layout.pages[1].titleRows, (Span{0, 0}));
    EXPECT_EQ(layout.pages[2].rows, (Span{7, 9}));
}

TEST(LayoutPages, RunsDownFirstUnlessAskedOtherwise) {
    PageRequest r = page(20, 20, {0, 3}, {0, 3});
    auto down = layoutPages(uniform(4, 10), uniform(4, 10), r);
    ASSERT_EQ(down.pages.size(), 4u);
    EXPECT_EQ(down.pagesAcross, 2);
    EXPECT_EQ(down.pagesDown, 2);
    EXPECT_EQ(down.pages[1].rows, (Span{2, 3}));
    EXPECT_EQ(down.pages[1].cols, (Span{0, 1}));
    r.overThenDown = true;
    auto over = layoutPages(uniform(4, 10), uniform(4, 10), r);
    EXPECT_EQ(over.pages[1].rows, (Span{0, 1}));
    EXPECT_EQ(over.pages[1].cols, (Span{2, 3}));
}

TEST(LayoutPages, ScaleChangesHowMuchFitsAndIsClamped) {
    PageRequest r = page(100, 100, {0, 39}, {0, 0});
    r.scalePercent = 50;
    auto half = layoutPages(uniform(40, 10), uniform(1, 10), r);
    EXPECT_DOUBLE_EQ(half.scale, 0.5);
    EXPECT_EQ(half.pages.size(), 2u);  // 400 points at 50% on 100-point pages
    r.scalePercent = 1000;
    EXPECT_DOUBLE_EQ(layoutPages(uniform(40, 10), uniform(1, 10), r).scale, 4.0);
    r.scalePercent = 0;
    EXPECT_DOUBLE_EQ(layoutPages(uniform(40, 10), uniform(1, 10), r).scale, 0.1);
}

TEST(LayoutPages, FitToPageFindsTheLargestWholePercent) {
    // 300 x 150 points of sheet on a 100 x 100 page.
    PageRequest r = page(100, 100, {0, 14}, {0, 29});
    r.fitToPage = true;
    r.fitWidth = 1;
    r.fitHeight = 1;
    auto one = layoutPages(uniform(15, 10), uniform(30, 10), r);
    EXPECT_DOUBLE_EQ(one.scale, 0.33);
    EXPECT_EQ(one.pages.size(), 1u);
    // One page wide, as many down as needed.
    r.fitHeight = 0;
    r.rows = {0, 99};
    auto tall = layoutPages(uniform(100, 10), uniform(30, 10), r);
    EXPECT_EQ(tall.pagesAcross, 1);
    EXPECT_GT(tall.pagesDown, 1);
    // A sheet that fits already is never enlarged.
    r.rows = {0, 1};
    r.cols = {0, 1};
    EXPECT_DOUBLE_EQ(layoutPages(uniform(2, 10), uniform(2, 10), r).scale, 1.0);
}

TEST(LayoutPages, MarginsWiderThanThePaperFallBackToTheWholeSheet) {
    PageRequest r = page(100, 100, {0, 0}, {0, 0});
    r.margins = QMarginsF(60, 60, 60, 60);
    auto layout = layoutPages(uniform(1, 10), uniform(1, 10), r);
    EXPECT_EQ(layout.printable, QRectF(0, 0, 100, 100));
    EXPECT_EQ(layout.pages.size(), 1u);
}
